#pragma once

#include <QObject>
#include <QString>

//! Shows a desktop notification through the session bus's notification
//! service. The call is asynchronous: neither a missing service nor a slow
//! one ever holds up the caller; a failure is only logged.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    //! False when there is no session bus to talk to (then notify() does
    //! nothing).
    bool available() const;
    void notify(const QString &summary, const QString &body);
    //! Calls sent and not yet answered.
    int pending() const { return m_pending; }

signals:
    //! The service answered a call (with the notification's id, 0 on error).
    void answered(uint id, const QString &error);

private:
    int m_pending = 0;
};

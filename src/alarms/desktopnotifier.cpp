#include "desktopnotifier.h"

#include "limitslog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
// Long enough to be seen after a glance away, short enough not to pile up.
constexpr int ExpireMs = 10000;
} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

bool DesktopNotifier::available() const
{
    // Without an address the bus library would try to launch a bus, which
    // can wait on the X server; a desktop session always sets it.
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") &&
           QDBusConnection::sessionBus().isConnected();
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!available())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
    call << QStringLiteral("Orvanel") << uint(0) << QStringLiteral("dialog-warning") << summary
         << body << QStringList() << hints << ExpireMs;
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    ++m_pending;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        --m_pending;
        QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            qCWarning(lcLimits) << "desktop notification failed:" << reply.error().message();
            emit answered(0, reply.error().message());
            return;
        }
        emit answered(reply.value(), QString());
    });
}

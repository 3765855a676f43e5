#pragma once

#include "wifiapinfo.h"

#include <QObject>
#include <QStringList>

// Where scans come from: the platform's wireless stack or a survey file.
// A backend reports every finished scan it hears of, requested or not, and
// reports a requested scan that could not be carried out.
class WifiScanBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    //! True when scans can be asked for.
    virtual bool isAvailable() const = 0;
    //! Asks for a scan; returns at once. The result or a failure follows.
    virtual void requestScan() = 0;

    //! How the survey runs, for the user; empty when there is nothing to say.
    virtual QString surveyStatus() const { return QString(); }
    //! The adapters a scan can run on, and the one in use.
    virtual QStringList adapters() const { return {}; }
    virtual QString adapter() const { return QString(); }
    virtual void setAdapter(const QString &) {}
    //! Scans without probe requests: slower to find networks, but the
    //! adapter's own transmissions stay out of the measured spectrum.
    virtual void setPassiveScan(bool) {}

signals:
    //! A finished scan, unfiltered, in the order the source listed it.
    void resultsReady(WifiScan results);
    //! The requested scan will bring no result.
    void scanFailed(QString reason);
    //! surveyStatus(), adapters() or adapter() changed.
    void statusChanged();
    //! Scans can be asked for from now on (an adapter appeared).
    void becameAvailable();
};

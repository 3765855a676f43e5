#pragma once

#include "wifiapinfo.h"

#include <QObject>

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

signals:
    //! A finished scan, unfiltered, in the order the source listed it.
    void resultsReady(WifiScan results);
    //! The requested scan will bring no result.
    void scanFailed(QString reason);
};

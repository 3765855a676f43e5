#pragma once

#include "wifiscanbackend.h"

#include <QTimer>

//! Scans read from a survey file (see wififileparser.h), anew for each scan,
//! once the file's scan delay has passed.
class WifiFileBackend : public WifiScanBackend
{
    Q_OBJECT
public:
    explicit WifiFileBackend(const QString &path, QObject *parent = nullptr);

    bool isAvailable() const override { return true; }
    void requestScan() override;

private:
    void finishScan();

    QString m_path;
    int m_delayMs = 1500; //!< from the last file read
    QTimer m_scanTimer;
};

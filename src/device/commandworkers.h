#pragma once

#include "sequenceworker.h"

// Workers that send one scanner command and end on its done signal, which
// they also forward to the receiver. Same constructor form as every worker:
// (port name, receiver, parameter map, parent); arguments come from the map.

class WrkConnectCmd : public SequenceWorker
{
    Q_OBJECT
public:
    WrkConnectCmd(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                  QObject *parent = nullptr);
};

class WrkGetDeviceVer : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetDeviceVer(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                    QObject *parent = nullptr);
};

class WrkGetFwVer : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetFwVer(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                QObject *parent = nullptr);
};

class WrkGetRfParams : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetRfParams(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                   QObject *parent = nullptr);
};

class WrkGetLastError : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetLastError(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                    QObject *parent = nullptr);
};

class WrkSync : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSync(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
            QObject *parent = nullptr);
};

class WrkHostBL : public SequenceWorker
{
    Q_OBJECT
public:
    WrkHostBL(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
              QObject *parent = nullptr);
};

class WrkResetToBootloader : public SequenceWorker
{
    Q_OBJECT
public:
    WrkResetToBootloader(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent = nullptr);
};

//! The device has no such command: nothing is sent, nothing answers, and the
//! worker always ends with a time-out.
class WrkInitParameter : public SequenceWorker
{
    Q_OBJECT
public:
    WrkInitParameter(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent = nullptr);
};

class WrkGetSpecNoInit : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetSpecNoInit(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent = nullptr);
};

class WrkGetCalibration : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetCalibration(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                      QObject *parent = nullptr);
};

class WrkGetInfoStr : public SequenceWorker
{
    Q_OBJECT
public:
    WrkGetInfoStr(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                  QObject *parent = nullptr);
};

class WrkSetFBand : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetFBand(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                QObject *parent = nullptr);
};

class WrkSetFStart : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetFStart(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                 QObject *parent = nullptr);
};

class WrkSetFStop : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetFStop(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                QObject *parent = nullptr);
};

class WrkSetRBW : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetRBW(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
              QObject *parent = nullptr);
};

class WrkSetFStep : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetFStep(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                QObject *parent = nullptr);
};

class WrkSetStepCount : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetStepCount(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                    QObject *parent = nullptr);
};

class WrkSetSpan : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetSpan(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
               QObject *parent = nullptr);
};

class WrkSetSpanIndex : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetSpanIndex(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                    QObject *parent = nullptr);
};

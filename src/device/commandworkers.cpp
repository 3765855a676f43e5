#include "commandworkers.h"

#include "devicecomms.h"
#include "rfsaserialcomms.h"

#include <QFinalState>
#include <QState>

WrkConnectCmd::WrkConnectCmd(const QString &portName, DeviceComms *receiver,
                             const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->connect(); }), c, &RfsaSerialComms::connectDone,
                  &DeviceComms::rfsaConnectDone);
}

WrkGetDeviceVer::WrkGetDeviceVer(const QString &portName, DeviceComms *receiver,
                                 const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->getDeviceVer(); }), c, &RfsaSerialComms::getDeviceVerDone,
                  &DeviceComms::rfsaGetDeviceVerDone);
}

WrkGetFwVer::WrkGetFwVer(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->getFwVer(); }), c, &RfsaSerialComms::getFwVerDone,
                  &DeviceComms::rfsaGetFwVerDone);
}

WrkGetRfParams::WrkGetRfParams(const QString &portName, DeviceComms *receiver,
                               const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->getRfParams(
                          static_cast<RfsaSerialComms::FBand>(uintParam(p, "FBand") & 0xFF));
                  }),
                  c, &RfsaSerialComms::getRfParamsDone, &DeviceComms::rfsaGetRfParamsDone);
}

WrkGetLastError::WrkGetLastError(const QString &portName, DeviceComms *receiver,
                                 const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->getLastError(); }), c, &RfsaSerialComms::getLastErrorDone,
                  &DeviceComms::rfsaGetLastErrorDone);
}

WrkSync::WrkSync(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                 QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->sync(); }), c, &RfsaSerialComms::syncDone,
                  &DeviceComms::rfsaSyncDone);
}

WrkHostBL::WrkHostBL(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->hostBL(); }), c, &RfsaSerialComms::hostBLDone,
                  &DeviceComms::rfsaHostBLDone);
}

WrkResetToBootloader::WrkResetToBootloader(const QString &portName, DeviceComms *receiver,
                                           const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->resetToBootloader(); }), c,
                  &RfsaSerialComms::resetToBootloaderDone, &DeviceComms::rfsaResetToBootloaderDone);
}

WrkInitParameter::WrkInitParameter(const QString &portName, DeviceComms *receiver,
                                   const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->initParameter(); }), c, &RfsaSerialComms::initParameterDone,
                  &DeviceComms::rfsaInitParameterDone);
}

WrkGetSpecNoInit::WrkGetSpecNoInit(const QString &portName, DeviceComms *receiver,
                                   const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->getSpecNoInit(); }), c, &RfsaSerialComms::getSpecNoInitDone,
                  &DeviceComms::rfsaGetSpecNoInitDone);
}

WrkGetCalibration::WrkGetCalibration(const QString &portName, DeviceComms *receiver,
                                     const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->getCalibration(); }), c, &RfsaSerialComms::getCalibrationDone,
                  &DeviceComms::rfsaGetCalibrationDone);
}

WrkGetInfoStr::WrkGetInfoStr(const QString &portName, DeviceComms *receiver,
                             const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->getInfoStr(static_cast<uchar>(uintParam(p, "Cpu")),
                                    static_cast<uchar>(uintParam(p, "String")));
                  }),
                  c, &RfsaSerialComms::getInfoStrDone, &DeviceComms::rfsaGetInfoStrDone);
}

WrkSetFBand::WrkSetFBand(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->setFBand(
                          static_cast<RfsaSerialComms::SetFBand>(uintParam(p, "FBand") & 0xFF));
                  }),
                  c, &RfsaSerialComms::setFBandDone, &DeviceComms::rfsaSetFBandDone);
}

WrkSetFStart::WrkSetFStart(const QString &portName, DeviceComms *receiver,
                           const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->setFStart(doubleParam(p, "FStart")); }), c,
                  &RfsaSerialComms::setFStartDone, &DeviceComms::rfsaSetFStartDone);
}

WrkSetFStop::WrkSetFStop(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->setFStop(doubleParam(p, "FStop")); }), c,
                  &RfsaSerialComms::setFStopDone, &DeviceComms::rfsaSetFStopDone);
}

WrkSetRBW::WrkSetRBW(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->setRBW(static_cast<uchar>(uintParam(p, "RBW"))); }), c,
                  &RfsaSerialComms::setRBWDone, &DeviceComms::rfsaSetRBWDone);
}

WrkSetFStep::WrkSetFStep(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->setFStep(doubleParam(p, "FStep")); }), c,
                  &RfsaSerialComms::setFStepDone, &DeviceComms::rfsaSetFStepDone);
}

WrkSetStepCount::WrkSetStepCount(const QString &portName, DeviceComms *receiver,
                                 const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(
        addStep([this, c, p] { c->setStepCount(static_cast<ushort>(uintParam(p, "StepCount"))); }),
        c, &RfsaSerialComms::setStepCountDone, &DeviceComms::rfsaSetStepCountDone);
}

WrkSetSpan::WrkSetSpan(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->setSpan(static_cast<ushort>(uintParam(p, "Span"))); }),
                  c, &RfsaSerialComms::setSpanDone, &DeviceComms::rfsaSetSpanDone);
}

WrkSetSpanIndex::WrkSetSpanIndex(const QString &portName, DeviceComms *receiver,
                                 const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RfsaSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(
        addStep([this, c, p] { c->setSpanIndex(static_cast<uchar>(uintParam(p, "SpanIndex"))); }),
        c, &RfsaSerialComms::setSpanIndexDone, &DeviceComms::rfsaSetSpanIndexDone);
}

#include "firmwarecontroller.h"

#include "devicecomms.h"
#include "dfuutilrunner.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"

#include "mainwindowlog.h"

#include <QDir>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

// Long enough for the radio (or the host) to start its new firmware.
constexpr int ReconnectAfterUpdateMs = 2000;

//! Keeps the main window open while a firmware update runs; a filter, so
//! whatever else the window's close does stays where it is.
class UpdateCloseGuard : public QObject
{
public:
    UpdateCloseGuard(QWidget *window, const FirmwareController *firmware)
        : QObject(window), m_firmware(firmware)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && m_firmware->quitRefused()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const FirmwareController *m_firmware;
};

} // namespace

FirmwareController::FirmwareController(DeviceComms *device, QWidget *window,
                                       const QString &radioImageVersion,
                                       const QString &hostImageVersion)
    : QObject(window), m_device(device), m_radioImage(radioImageVersion),
      m_hostImage(hostImageVersion), m_dialog(new FwUpdateDialog(device, window))
{
    m_dialog->setModal(true);
    m_dialog->setNewVersions(radioImageVersion, hostImageVersion);
    new UpdateCloseGuard(window, this);

    connect(m_device, &DeviceComms::radioInBootloader, this, [this] {
        const int answer =
            DialogSeam::question(tr("Firmware Update"),
                                 FwUpdateDialog::radioWaitingText() + QStringLiteral("\n\n") +
                                     tr("Finish the radio update now?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            m_dialog->finishRadioUpdate();
    });
    // The scanner restarts with its new firmware: the session resumes by
    // itself once the device is back.
    connect(m_dialog, &FwUpdateDialog::updateFinished, this, [this](bool ok) {
        if (!ok)
            return;
        QTimer::singleShot(ReconnectAfterUpdateMs, this, [this] {
            if (!m_device->connected() && !m_device->busy() && !m_device->updateLocked())
                emit reconnectWanted();
        });
    });
}

bool FirmwareController::dialogShown() const
{
    return m_dialog->isVisible();
}

bool FirmwareController::quitRefused() const
{
    if (!m_dialog->running())
        return false;
    qCWarning(lcMainWindow) << "Quit refused: a firmware update is running";
    DialogSeam::warning(tr("Firmware Update"),
                        tr("The firmware update is still running. Orvanel can be closed once "
                           "it has finished.") +
                            QStringLiteral("\n") +
                            tr("Do not unplug the scanner until the update has finished."));
    return true;
}

bool FirmwareController::offerHostUpdateFinish()
{
    if (m_dialog->running() || DfuUtilRunner::countListed() != 1)
        return false;
    qCInfo(lcMainWindow) << "No serial scanner, but its host processor is in DFU mode";
    const int answer = DialogSeam::question(
        tr("Firmware Update"),
        tr("The scanner's host processor is waiting in its DFU bootloader; an earlier update "
           "did not finish.") +
            QStringLiteral("\n\n") + tr("Finish the host update?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        m_dialog->finishHostUpdate();
    return true;
}

void FirmwareController::radioVersionReported(const QString &version)
{
    m_radio = version;
    m_dialog->setUpdRadio(version != m_radioImage);
    offerWhenBothKnown();
}

void FirmwareController::hostVersionReported(const QString &version)
{
    m_host = version;
    m_dialog->setUpdHost(version != m_hostImage);
    offerWhenBothKnown();
}

void FirmwareController::forgetVersions()
{
    m_radio.clear();
    m_host.clear();
}

void FirmwareController::offerWhenBothKnown()
{
    m_dialog->setCurrentVersions(m_radio, m_host);
    if (!m_radio.isEmpty() && !m_host.isEmpty() && (m_dialog->updRadio() || m_dialog->updHost()) &&
        !dialogShown()) {
        qCInfo(lcMainWindow).noquote() << "Firmware differs from the carried images; offering"
                                       << "the update";
        m_dialog->offer();
    }
}

void FirmwareController::offerRadioRecovery()
{
    // The box says why the dialog appears.
    DialogSeam::critical(tr("Error"),
                         tr("The device on %1 did not answer.")
                             .arg(QDir::toNativeSeparators(m_device->currentPortName())));
    if (m_device->connected())
        m_device->disconnectFromDevice();
    m_dialog->setUpdRadio(true);
    open();
}

void FirmwareController::open()
{
    if (!dialogShown())
        m_dialog->open();
}

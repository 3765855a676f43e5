// The firmware update as the main window sees it: offering it when the
// device reports versions other than the images', the recovery offer for a
// device that does not answer, and the Update Firmware action.
#include "mainwindow.h"

#include "devicecomms.h"
#include "dfuutilrunner.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"

#include "mainwindowlog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace {

// Long enough for the radio (or the host) to start its new firmware.
constexpr int ReconnectAfterUpdateMs = 2000;

//! The version a "R: v…" / "H: v…" label shows; empty while unknown.
QString versionOf(const QLabel *label)
{
    const QString text = label->text();
    return text.contains(QLatin1String("---")) ? QString() : text.mid(4);
}

} // namespace

namespace {

//! Keeps the main window open while a firmware update runs; a filter, so
//! whatever else the window's close does stays where it is.
class UpdateCloseGuard : public QObject
{
public:
    UpdateCloseGuard(MainWindow *window, std::function<bool()> refused)
        : QObject(window), m_refused(std::move(refused))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && m_refused()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_refused;
};

} // namespace

void MainWindow::buildFirmwareUpdate()
{
    m_fwUpdateDialog = new FwUpdateDialog(m_device, this);
    m_fwUpdateDialog->setModal(true);
    m_fwUpdateDialog->setNewVersions(QLatin1String(expectedRadioVersion),
                                     QLatin1String(expectedHostVersion));
    // While the update owns the session the window offers nothing that
    // would use the port.
    connect(m_device, &DeviceComms::updateLockChanged, this, [this] { updateActionStates(); });
    new UpdateCloseGuard(this, [this] { return quitRefusedByUpdate(); });

    connect(m_device, &DeviceComms::radioInBootloader, this, [this] {
        const int answer =
            DialogSeam::question(tr("Firmware Update"),
                                 FwUpdateDialog::radioWaitingText() + QStringLiteral("\n\n") +
                                     tr("Finish the radio update now?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            m_fwUpdateDialog->finishRadioUpdate();
    });
    // The scanner restarts with its new firmware: the session resumes by
    // itself once the device is back.
    connect(m_fwUpdateDialog, &FwUpdateDialog::updateFinished, this, [this](bool ok) {
        if (!ok)
            return;
        QTimer::singleShot(ReconnectAfterUpdateMs, this, [this] {
            if (!m_device->connected() && !m_device->busy() && !m_device->updateLocked())
                on_actionConnect_triggered();
        });
    });
}

bool MainWindow::quitRefusedByUpdate()
{
    if (!m_fwUpdateDialog || !m_fwUpdateDialog->running())
        return false;
    qCWarning(lcMainWindow) << "Quit refused: a firmware update is running";
    DialogSeam::warning(tr("Firmware Update"),
                        tr("The firmware update is still running. Orvanel can be closed once "
                           "it has finished.") +
                            QStringLiteral("\n") +
                            tr("Do not unplug the scanner until the update has finished."));
    return true;
}

bool MainWindow::firmwareDialogShown() const
{
    return m_fwUpdateDialog && m_fwUpdateDialog->isVisible();
}

void MainWindow::onRfsaGetInfoStrDone(uchar cpu, uchar str, QString data)
{
    if (cpu == 0 && str == 0) {
        m_lblRadioVersion->setText(QStringLiteral("R: v") + data);
        m_fwUpdateDialog->setUpdRadio(data != QLatin1String(expectedRadioVersion));
    } else if (cpu == 1 && str == 0) {
        m_lblHostVersion->setText(QStringLiteral("H: v") + data);
        m_fwUpdateDialog->setUpdHost(data != QLatin1String(expectedHostVersion));
    } else {
        return;
    }
    m_fwUpdateDialog->setCurrentVersions(versionOf(m_lblRadioVersion), versionOf(m_lblHostVersion));
    const bool bothKnown = !m_lblRadioVersion->text().contains(QLatin1String("---")) &&
                           !m_lblHostVersion->text().contains(QLatin1String("---"));
    if (bothKnown && (m_fwUpdateDialog->updRadio() || m_fwUpdateDialog->updHost()) &&
        !firmwareDialogShown()) {
        qCInfo(lcMainWindow).noquote() << "Firmware differs from the carried images; offering"
                                       << "the update";
        m_fwUpdateDialog->offer();
    }
}

void MainWindow::startBootloader()
{
    // The device did not answer the connect: its radio may be stuck without
    // a working firmware, so the radio update is offered as a recovery. The
    // box says why the dialog appears.
    DialogSeam::critical(tr("Error"),
                         tr("The device on %1 did not answer.")
                             .arg(QDir::toNativeSeparators(m_device->currentPortName())));
    if (m_device->connected())
        m_device->disconnectFromDevice();
    m_fwUpdateDialog->setUpdRadio(true);
    if (!firmwareDialogShown())
        m_fwUpdateDialog->open();
}

void MainWindow::on_actionUpdate_Firmware_triggered()
{
    if (!firmwareDialogShown())
        m_fwUpdateDialog->open();
}

bool MainWindow::offerHostUpdateFinish()
{
    if (m_fwUpdateDialog->running() || DfuUtilRunner::countListed() != 1)
        return false;
    qCInfo(lcMainWindow) << "No serial scanner, but its host processor is in DFU mode";
    const int answer = DialogSeam::question(
        tr("Firmware Update"),
        tr("The scanner's host processor is waiting in its DFU bootloader; an earlier update "
           "did not finish.") +
            QStringLiteral("\n\n") + tr("Finish the host update?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        m_fwUpdateDialog->finishHostUpdate();
    return true;
}

// The firmware update as the main window sees it: offering it when the
// device reports versions other than the images', the recovery offer for a
// device that does not answer, and the Update Firmware action.
#include "mainwindow.h"

#include "devicecomms.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"

#include "mainwindowlog.h"
#include <QAction>
#include <QDir>
#include <QLabel>

void MainWindow::buildFirmwareUpdate()
{
    m_fwUpdateDialog = new FwUpdateDialog(m_device, this);
    m_fwUpdateDialog->setModal(true);
    // While the update owns the session the window offers nothing that
    // would use the port.
    connect(m_device, &DeviceComms::updateLockChanged, this, [this] { updateActionStates(); });
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
    const bool bothKnown = !m_lblRadioVersion->text().contains(QLatin1String("---")) &&
                           !m_lblHostVersion->text().contains(QLatin1String("---"));
    if (bothKnown && (m_fwUpdateDialog->updRadio() || m_fwUpdateDialog->updHost()) &&
        !firmwareDialogShown()) {
        qCInfo(lcMainWindow).noquote() << "Firmware differs from the carried images; offering"
                                       << "the update";
        m_fwUpdateDialog->open();
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

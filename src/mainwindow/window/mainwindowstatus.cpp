// What the window tells about the session: the state label in the status bar
// and the one message when the device goes away.
#include "mainwindow.h"

#include "devicecomms.h"
#include "dialogseam.h"
#include "scansession.h"
#include "serialcomms.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

void MainWindow::updateSessionState()
{
    const QString port = m_device->currentPortName();
    QString text;
    if (m_device->scanning() && m_session->scanBand() >= 0) {
        const QString band =
            m_session->scanBand() == ScanPlan::Band900 ? tr("900 MHz") : tr("2.4 GHz");
        const int rate = qRound(m_session->sweepsPerSecond());
        text = tr("Scanning %1 on %2, %3 sweeps/s").arg(band, port).arg(rate);
        if (recentlyReconnected())
            text = tr("Reconnected") + QStringLiteral(". ") + text;
    } else if (m_device->connected()) {
        text = tr("Connected on %1").arg(port);
    } else if (waitingForDevice()) {
        text = tr("Device lost: waiting for it to come back");
    } else if (m_device->busy()) {
        text = tr("Connecting…");
    } else if (m_deviceLost) {
        text = tr("Device lost");
    } else {
        text = tr("Not connected");
    }
    m_lblSessionState->setText(text);
    showScanSettings();
}

void MainWindow::askToSave(const QString &why)
{
    QString text = tr("Do you want to save the recording?");
    if (!why.isEmpty())
        text = why + (why.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) +
               text;
    const int answer = DialogSeam::question(tr("Recording stopped"), text,
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        m_form.actionSave->trigger();
    else if (answer == QMessageBox::No) {
        endAutosave(true); // discarded: nothing to recover at the next start
        for (int i = 0; i < 2; ++i)
            m_sweepsSaved[i] = m_sweepsTaken[i]; // and nothing to ask about on Quit
    }
}

void MainWindow::onDcDeviceLost(const QString &text)
{
    m_deviceLost = true;
    // A port that went away comes back when the cable is plugged in again;
    // a device that stopped sending on a port still there is another fault.
    const bool portGone = text.startsWith(SerialComms::deviceLostText());
    if (portGone && m_session->scanWanted() && !m_qcMode && m_session->scanBand() >= 0 &&
        !waitingForDevice()) {
        // A loose cable must not end a survey: wait for the device instead
        // of asking to save. Stop ends the wait (and asks then).
        waitForDeviceReturn(ScanPlan::Band(m_session->scanBand()));
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                updateSessionState();
                updateActionStates();
                statusBar()->showMessage(
                    text + QStringLiteral(". ") +
                    tr("Plug the scanner in again: the scan resumes by itself."));
            },
            Qt::QueuedConnection);
        return;
    }
    if (waitingForDevice())
        return; // a failed attempt to reconnect: keep waiting quietly
    const bool capturing = m_session->scanWanted() && !m_qcMode;
    // The session lowers its flags right after this signal: speak once it
    // has, so the window behind the box already shows the device gone (and
    // the scanned page, which stays current, can be saved from the box).
    QMetaObject::invokeMethod(
        this,
        [this, text, capturing] {
            updateSessionState();
            if (capturing)
                askToSave(text);
            else
                DialogSeam::critical(tr("Error"), text);
        },
        Qt::QueuedConnection);
}

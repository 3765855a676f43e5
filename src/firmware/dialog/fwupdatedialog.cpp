#include "fwupdatedialog.h"

#include "devicecomms.h"
#include "dfuutilrunner.h"
#include "dialogseam.h"
#include "firmwareimages.h"
#include "firmwarelog.h"
#include "rblpacket.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QSpacerItem>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

FwUpdateDialog::FwUpdateDialog(DeviceComms *deviceComms, QWidget *parent)
    : QDialog(parent), m_dc(deviceComms), m_dfu(new DfuUtilRunner(this))
{
    buildForm();
    setTimings(m_timings);

    m_stepTimer.setSingleShot(true);
    // The bootloader asks for at least its delays; a coarse timer fires up to
    // 5 % early.
    m_stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] {
        const auto step = std::move(m_delayedStep);
        m_delayedStep = nullptr;
        if (step && running())
            step();
    });
    m_idlePoll.setInterval(20);
    connect(&m_idlePoll, &QTimer::timeout, this, &FwUpdateDialog::waitForIdle);

    connect(m_dc, &DeviceComms::rfsaResetToBootloaderDone, this, [this] {
        if (m_step != Step::ResetToBootloader)
            return;
        m_step = Step::AutoBaud;
        later(m_timings.autoBaudDelayMs,
              [this] { m_dc->asUpdateStep([this] { m_dc->rblAutoBaud(); }); });
    });
    connect(m_dc, &DeviceComms::rblAutoBaudDone, this, &FwUpdateDialog::onRadioAutoBaudDone);
    connect(m_dc, &DeviceComms::rblCmdGetChipIdDone, this, &FwUpdateDialog::onRadioChipIdDone);
    connect(m_dc, &DeviceComms::rblCmdMemoryReadDone, this, &FwUpdateDialog::onRadioFlashSizeDone);
    connect(m_dc, &DeviceComms::rblEraseSectorsDone, this, &FwUpdateDialog::onRadioEraseDone);
    connect(m_dc, &DeviceComms::rblProbeDone, this, [this](bool inBootloader) {
        if (m_step != Step::Probe)
            return;
        if (!inBootloader) {
            fail(tr("Communication error! No response received (%1)")
                     .arg(QStringLiteral("WrkResetToBootloader")),
                 true);
            return;
        }
        setRadioWaiting(true);
        checkChip();
    });
    connect(m_dc, &DeviceComms::rblWriteSectorDone, this, &FwUpdateDialog::onRadioSectorWriteDone);
    connect(m_dc, &DeviceComms::rblCmdCrc32Done, this, &FwUpdateDialog::onRadioCrc32Done);
    connect(m_dc, &DeviceComms::rblCmdResetDone, this, &FwUpdateDialog::onRadioResetDone);
    connect(m_dc, &DeviceComms::error, this, &FwUpdateDialog::onSessionFailure);
    connect(m_dc, &DeviceComms::timeout, this, [this](const QString &workerClass) {
        if (m_step == Step::ResetToBootloader) {
            // The scanner protocol got no answer: a radio an earlier update
            // left in its ROM bootloader holds the line.
            m_step = Step::Probe;
            lblInfo->setText(tr("The scanner does not answer; looking for the radio's "
                                "bootloader..."));
            m_dc->asUpdateStep([this] { m_dc->rblProbe(); });
            return;
        }
        // The session shows no box for an update's time-out: the dialog does.
        if (m_step != Step::Idle && m_step != Step::WaitIdle && m_step != Step::DfuWait &&
            m_step != Step::DfuUtil)
            fail(tr("Communication error! No response received (%1)").arg(workerClass), true);
    });
    connect(m_dfu, &DfuUtilRunner::progress, this, &FwUpdateDialog::onDfuUtilProgress);
    connect(m_dfu, &DfuUtilRunner::searching, this,
            [this] { lblInfo->setText(tr("Searching for DFU device...")); });
    connect(m_dfu, &DfuUtilRunner::finished, this, &FwUpdateDialog::onDfuUtilFinished);

    QMetaObject::connectSlotsByName(this);
}

FwUpdateDialog::~FwUpdateDialog()
{
    if (running())
        m_dc->setUpdateLocked(false);
}

void FwUpdateDialog::buildForm()
{
    setObjectName(QStringLiteral("FwUpdateDialog"));
    setWindowTitle(tr("Firmware Update"));
    resize(462, 89);
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    lblVersions = new QLabel(this);
    lblVersions->setObjectName(QStringLiteral("lblVersions"));
    lblVersions->setTextFormat(Qt::RichText);
    verticalLayout->addWidget(lblVersions);
    lblWarning = new QLabel(tr("Do not unplug the scanner until the update has finished"), this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setStyleSheet(QStringLiteral("font-weight: bold"));
    lblWarning->setWordWrap(true);
    lblWarning->hide();
    verticalLayout->addWidget(lblWarning);
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    verticalLayout->addWidget(lblInfo);
    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setValue(0);
    verticalLayout->addWidget(pbProgress);

    auto *hlButtonLayout = new QHBoxLayout;
    hlButtonLayout->setObjectName(QStringLiteral("hlButtonLayout"));
    hlButtonLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    const auto makeButton = [this](const char *name) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    tbCancel = makeButton("tbCancel");
    tbCancel->setMinimumWidth(60);
    tbStart = makeButton("tbStart");
    tbStart->setMinimumWidth(60);
    tbExtra = makeButton("tbExtra");
    tbExtra->setPopupMode(QToolButton::InstantPopup);
    tbExtra->setText(QStringLiteral("..."));
    hlButtonLayout->addWidget(tbCancel);
    hlButtonLayout->addWidget(tbStart);
    hlButtonLayout->addWidget(tbExtra);
    verticalLayout->addLayout(hlButtonLayout);

    const auto makeAction = [this](const char *name, const QString &text) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    actionStart = makeAction("actionStart", tr("Start"));
    actionForce_Radio = makeAction("actionForce_Radio", tr("Force Radio"));
    actionForce_Host = makeAction("actionForce_Host", tr("Force Host"));
    actionCancel = makeAction("actionCancel", tr("Cancel"));
    tbStart->setDefaultAction(actionStart);
    tbCancel->setDefaultAction(actionCancel);
    auto *menu = new QMenu(tbExtra);
    menu->addAction(actionForce_Radio);
    menu->addAction(actionForce_Host);
    tbExtra->setMenu(menu);
}

void FwUpdateDialog::setTimings(const Timings &timings)
{
    m_timings = timings;
    DfuUtilRunner::Timings dfu;
    dfu.searchWindowMs = timings.dfuSearchWindowMs;
    dfu.retryDelayMs = timings.dfuRetryDelayMs;
    dfu.runTimeoutMs = timings.dfuRunTimeoutMs;
    m_dfu->setTimings(dfu);
}

void FwUpdateDialog::setUpdRadio(bool updRadio)
{
    if (updRadio == m_updRadio)
        return;
    m_updRadio = updRadio;
    emit updRadioChanged(updRadio);
    refreshIdleState();
}

void FwUpdateDialog::setUpdHost(bool updHost)
{
    if (updHost == m_updHost)
        return;
    m_updHost = updHost;
    emit updHostChanged(updHost);
    refreshIdleState();
}

// ---- showing and closing ---------------------------------------------------

void FwUpdateDialog::setCurrentVersions(const QString &radio, const QString &host)
{
    m_currentRadio = radio;
    m_currentHost = host;
    showVersions();
}

void FwUpdateDialog::setNewVersions(const QString &radio, const QString &host)
{
    m_newRadio = radio;
    m_newHost = host;
    showVersions();
}

void FwUpdateDialog::showVersions()
{
    const auto row = [](const QString &name, const QString &current, const QString &next,
                        bool wanted, bool now) {
        QString text = name + QStringLiteral(": ") +
                       (current.isEmpty() ? tr("unknown") : QStringLiteral("v") + current);
        if (wanted && !next.isEmpty())
            text += QStringLiteral(" \u2192 v") + next;
        else if (!wanted)
            text += QStringLiteral(" (") + tr("no update") + QLatin1Char(')');
        text = text.toHtmlEscaped();
        if (now)
            text = QStringLiteral("<b>") + text + QStringLiteral(" \u2014 ") +
                   tr("being updated").toHtmlEscaped() + QStringLiteral("</b>");
        return text;
    };
    lblVersions->setText(
        row(tr("Radio processor"), m_currentRadio, m_newRadio, m_updRadio,
            m_target == Target::Radio) +
        QStringLiteral("<br>") +
        row(tr("Host processor"), m_currentHost, m_newHost, m_updHost, m_target == Target::Host));
}

bool FwUpdateDialog::offer()
{
    if (m_postponed || running())
        return false;
    open();
    m_offerOpen = true;
    actionCancel->setText(tr("Remind me later"));
    return true;
}

void FwUpdateDialog::finishHostUpdate()
{
    if (running())
        return;
    m_hostWaiting = true;
    startOnly(false);
}

void FwUpdateDialog::finishRadioUpdate()
{
    if (running())
        return;
    setRadioWaiting(true);
    startOnly(true);
}

void FwUpdateDialog::startOnly(bool radio)
{
    setUpdRadio(radio);
    setUpdHost(!radio);
    if (!isVisible())
        open();
    on_actionStart_triggered();
}

void FwUpdateDialog::refreshIdleState()
{
    if (running())
        return;
    const bool radioImage = !FirmwareImages::radioImagePath().isEmpty();
    const bool hostImage = !FirmwareImages::hostImagePath().isEmpty();
    const bool wanted = m_updRadio || m_updHost;
    const bool imagesThere = (!m_updRadio || radioImage) && (!m_updHost || hostImage);
    actionStart->setEnabled(wanted && imagesThere);
    actionForce_Radio->setEnabled(radioImage);
    actionForce_Host->setEnabled(hostImage);
    actionCancel->setEnabled(true);
    tbExtra->setEnabled(true);
    lblWarning->hide();
    m_target = Target::None;
    showVersions();
    if (!radioImage && !hostImage)
        lblInfo->setText(tr("This build carries no firmware images, so the scanner's firmware "
                            "cannot be updated from here"));
    else if (!imagesThere)
        lblInfo->setText(m_updRadio && !radioImage
                             ? tr("This build carries no radio firmware image")
                             : tr("This build carries no host firmware image"));
    else
        lblInfo->setText(wanted ? tr("Click start to begin the update")
                                : tr("Device currently up to date"));
}

void FwUpdateDialog::showEvent(QShowEvent *event)
{
    if (!running()) {
        actionCancel->setText(tr("Cancel"));
        pbProgress->setRange(0, 100);
        pbProgress->setValue(0);
        refreshIdleState();
    }
    QDialog::showEvent(event);
}

void FwUpdateDialog::reject()
{
    // Escape, the title bar and Cancel all end here: an update in progress
    // is never walked away from.
    if (running())
        return;
    if (std::exchange(m_offerOpen, false)) {
        m_postponed = true;
        qCInfo(lcFirmware) << "Firmware update postponed for this session";
    }
    QDialog::reject();
}

void FwUpdateDialog::closeEvent(QCloseEvent *event)
{
    if (running()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// ---- actions ----------------------------------------------------------------

void FwUpdateDialog::on_actionStart_triggered()
{
    if (running() || !(m_updRadio || m_updHost))
        return;
    m_offerOpen = false;
    actionCancel->setEnabled(false);
    actionStart->setEnabled(false);
    actionForce_Radio->setEnabled(false);
    actionForce_Host->setEnabled(false);
    tbExtra->setEnabled(false);
    lblWarning->show();
    m_target = m_updRadio ? Target::Radio : Target::Host;
    showVersions();
    m_hostAfterRadio = m_updRadio && m_updHost;
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);

    // Take the session first, so nothing new starts, then let a scan or a
    // sequence still on the port finish.
    m_step = Step::WaitIdle;
    m_dc->setUpdateLocked(true);
    if (m_dc->scanning()) {
        lblInfo->setText(tr("Stopping the scan..."));
        emit m_dc->stopScanning();
    }
    m_idleClock.start();
    m_idlePoll.start();
    waitForIdle();
}

void FwUpdateDialog::waitForIdle()
{
    if (m_step != Step::WaitIdle) {
        m_idlePoll.stop();
        return;
    }
    if (m_dc->busy() || m_dc->scanning()) {
        if (m_idleClock.elapsed() > m_timings.idleWaitMs)
            fail(tr("The device is still busy; try again"), true);
        return;
    }
    m_idlePoll.stop();
    if (m_updRadio)
        startRadio();
    else
        startHost();
}

void FwUpdateDialog::on_actionForce_Radio_triggered()
{
    setUpdRadio(true);
    setUpdHost(false);
    on_actionStart_triggered();
}

void FwUpdateDialog::on_actionForce_Host_triggered()
{
    setUpdRadio(false);
    setUpdHost(true);
    on_actionStart_triggered();
}

void FwUpdateDialog::on_actionCancel_triggered()
{
    if (running())
        return;
    actionCancel->setText(tr("Cancel"));
    refreshIdleState();
    close();
}

void FwUpdateDialog::later(int ms, std::function<void()> step)
{
    m_delayedStep = std::move(step);
    m_stepTimer.start(ms);
}

// ---- radio ------------------------------------------------------------------

void FwUpdateDialog::startRadio()
{
    // The image is checked before the device is touched: with no data the
    // sector loop would never end, and nothing may be erased for nothing.
    QString problem;
    if (!FirmwareImages::read(FirmwareImages::radioImagePath(), &radioImage, &problem)) {
        fail(problem, true);
        return;
    }
    m_target = Target::Radio;
    showVersions();
    m_dc->setConnected(false);
    if (m_radioWaiting) {
        lblInfo->setText(radioWaitingText());
        checkChip();
        return;
    }
    m_step = Step::ResetToBootloader;
    m_dc->asUpdateStep([this] { m_dc->rfsaResetToBootloader(); });
    lblInfo->setText(tr("Connecting to bootloader..."));
}

QString FwUpdateDialog::radioWaitingText()
{
    return tr("The radio is waiting in its bootloader; an earlier update did not finish.");
}

void FwUpdateDialog::setRadioWaiting(bool waiting)
{
    m_radioWaiting = waiting;
}

void FwUpdateDialog::showStep(const QString &text, int maximum)
{
    lblInfo->setText(text);
    pbProgress->setRange(0, maximum);
    pbProgress->setValue(0);
}

void FwUpdateDialog::checkChip()
{
    // Nothing is erased before the chip and the size of its flash are known.
    m_step = Step::ChipId;
    showStep(tr("Checking the radio chip..."), 2);
    m_dc->asUpdateStep([this] { m_dc->rblCmdGetChipId(); });
}

void FwUpdateDialog::onRadioChipIdDone(quint32 chipId)
{
    if (m_step != Step::ChipId)
        return;
    m_chipId = chipId;
    pbProgress->setValue(1);
    m_step = Step::FlashSize;
    m_dc->asUpdateStep([this] { m_dc->rblCmdMemoryRead(RblPacket::FlashSizeRegister, 4); });
}

void FwUpdateDialog::onRadioFlashSizeDone(const QByteArray &data)
{
    if (m_step != Step::FlashSize)
        return;
    pbProgress->setValue(2);
    const int sectors = data.isEmpty() ? 0 : static_cast<quint8>(data.at(0));
    qCInfo(lcFirmware, "Radio chip id %08x, %d flash sectors", m_chipId, sectors);
    const QString problem = RblPacket::chipProblem(m_chipId, sectors, radioImage.size());
    if (!problem.isEmpty()) {
        refuseRadio(problem);
        return;
    }
    sectorIndex = 0;
    sectorCount = int((radioImage.size() + RblPacket::SectorSize - 1) / RblPacket::SectorSize);
    m_step = Step::Erase;
    showStep(tr("Erasing the radio's flash..."), 0);
    const quint32 size = quint32(radioImage.size());
    m_dc->asUpdateStep([this, size] { m_dc->rblEraseSectors(0, size); });
}

void FwUpdateDialog::refuseRadio(const QString &text)
{
    // Nothing was touched: a reset starts the radio's old image again.
    m_dc->asUpdateStep([this] { m_dc->rblCmdReset(); });
    setRadioWaiting(false);
    fail(text + QStringLiteral("\n") + tr("Nothing was erased; the radio keeps its firmware."),
         true);
}

void FwUpdateDialog::onRadioEraseDone()
{
    if (m_step != Step::Erase)
        return;
    m_step = Step::Sectors;
    showStep(tr("Writing the radio image..."), sectorCount);
    writeSector();
}

void FwUpdateDialog::onRadioAutoBaudDone()
{
    if (m_step != Step::AutoBaud)
        return;
    lblInfo->setText(tr("Connected"));
    // From here on the radio stays in its bootloader until the final reset.
    setRadioWaiting(true);
    later(m_timings.firstSectorDelayMs, [this] { checkChip(); });
}

void FwUpdateDialog::writeSector()
{
    const quint32 address = quint32(sectorIndex) * RblPacket::SectorSize;
    const QByteArray data = radioImage.mid(int(address), RblPacket::SectorSize);
    m_dc->asUpdateStep([this, address, data] { m_dc->rblWriteSector(address, data); });
}

void FwUpdateDialog::onRadioSectorWriteDone()
{
    if (m_step != Step::Sectors)
        return;
    lblInfo->setText(tr("Writing the radio image..."));
    ++sectorIndex;
    pbProgress->setValue(sectorIndex);
    if (sectorIndex < sectorCount) {
        writeSector();
        return;
    }
    // Read back through the bootloader before the radio is started on it.
    m_step = Step::Verify;
    showStep(tr("Verifying radio image..."), 0);
    const quint32 size = quint32(radioImage.size());
    m_dc->asUpdateStep([this, size] { m_dc->rblCmdCrc32(0, size, 0); });
}

void FwUpdateDialog::onRadioCrc32Done(quint32 crc)
{
    if (m_step != Step::Verify)
        return;
    const quint32 expected = RblPacket::crc32(radioImage);
    qCInfo(lcFirmware, "Radio image CRC32 %08x, expected %08x", crc, expected);
    if (crc != expected) {
        fail(tr("Verification failed: the radio's flash does not hold the image (CRC32 %1, "
                "expected %2). The radio stays in its bootloader; start the update again "
                "to finish it.")
                 .arg(crc, 8, 16, QLatin1Char('0'))
                 .arg(expected, 8, 16, QLatin1Char('0')),
             true);
        return;
    }
    m_step = Step::Reset;
    showStep(tr("Restarting the radio..."), 0);
    m_dc->asUpdateStep([this] { m_dc->rblCmdReset(); });
}

void FwUpdateDialog::onRadioResetDone()
{
    if (m_step != Step::Reset)
        return;
    setRadioWaiting(false);
    pbProgress->setRange(0, 1);
    pbProgress->setValue(1);
    actionCancel->setEnabled(true);
    lblInfo->setText(tr("Update completed"));
    actionCancel->setText(tr("Close"));
    if (m_hostAfterRadio) {
        actionCancel->setEnabled(false);
        startHost();
        return;
    }
    succeed();
}

// ---- host -------------------------------------------------------------------

void FwUpdateDialog::startHost()
{
    QString problem;
    if (!FirmwareImages::read(FirmwareImages::hostImagePath(), &m_hostImage, &problem)) {
        fail(problem, true);
        return;
    }
    m_target = Target::Host;
    showVersions();
    if (std::exchange(m_hostWaiting, false)) {
        showStep(tr("Searching for DFU device..."), 100);
        runDfuUtil();
        return;
    }
    m_step = Step::HostBootloader;
    showStep(tr("Starting DFU mode..."), 0);
    // Connected only now: a host-bootloader command sent by hand (debug
    // window) must never start dfu-util.
    QObject::disconnect(m_hostBlConnection);
    m_hostBlConnection =
        connect(m_dc, &DeviceComms::rfsaHostBLDone, this, &FwUpdateDialog::onHostBlDone);
    later(m_timings.hostBlDelayMs, [this] { m_dc->asUpdateStep([this] { m_dc->rfsaHostBL(); }); });
}

void FwUpdateDialog::onHostBlDone()
{
    QObject::disconnect(m_hostBlConnection);
    if (m_step != Step::HostBootloader)
        return;
    m_step = Step::DfuWait;
    lblInfo->setText(tr("Searching for DFU device..."));
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    later(m_timings.dfuStartDelayMs, [this] { runDfuUtil(); });
}

void FwUpdateDialog::runDfuUtil()
{
    m_step = Step::DfuUtil;
    m_dfu->start(m_hostImage);
}

void FwUpdateDialog::onDfuUtilProgress(DfuOutputParser::Phase phase, int percent)
{
    if (m_step != Step::DfuUtil)
        return;
    lblInfo->setText(tr("Updating host") + QStringLiteral(": ") +
                     DfuOutputParser::phaseName(phase));
    pbProgress->setValue(percent);
}

void FwUpdateDialog::onDfuUtilFinished(bool ok, const QString &message)
{
    if (m_step != Step::DfuUtil)
        return;
    if (ok) {
        lblInfo->setText(tr("Update completed"));
        succeed();
        close();
        return;
    }
    fail(tr("Update error") + QStringLiteral(": ") + message, false);
    DialogSeam::critical(tr("Error"), tr("Error while updating the host firmware") +
                                          QStringLiteral("\n") + message);
}

// ---- ends -------------------------------------------------------------------

void FwUpdateDialog::onSessionFailure(const QString &text)
{
    // The session has shown its own message box; the dialog shows where the
    // update stopped and hands the buttons back.
    switch (m_step) {
    case Step::ResetToBootloader:
    case Step::Probe:
    case Step::AutoBaud:
    case Step::ChipId:
    case Step::FlashSize:
    case Step::Erase:
    case Step::Sectors:
    case Step::Verify:
    case Step::Reset:
    case Step::HostBootloader:
        fail(text, false);
        break;
    default:
        break;
    }
}

void FwUpdateDialog::fail(const QString &text, bool showBox)
{
    qCWarning(lcFirmware).noquote() << "Firmware update failed:" << text;
    endRun();
    lblInfo->setText(text);
    actionCancel->setText(tr("Close"));
    emit updateFinished(false, text);
    if (showBox)
        DialogSeam::critical(tr("Error"), text);
}

void FwUpdateDialog::succeed()
{
    endRun();
    lblInfo->setText(tr("Update completed"));
    actionCancel->setText(tr("Close"));
    emit updateFinished(true, QString());
    DialogSeam::information(tr("Update completed"), tr("Update completed successfully!"));
}

void FwUpdateDialog::endRun()
{
    m_stepTimer.stop();
    m_delayedStep = nullptr;
    m_idlePoll.stop();
    QObject::disconnect(m_hostBlConnection);
    const bool wasRunning = running();
    m_step = Step::Idle;
    // The device has restarted or gone: the session must not count it as
    // connected (a disconnect command is sent while the port still answers).
    if (m_dc->connected() && !m_dc->busy())
        m_dc->asUpdateStep([this] { m_dc->disconnectFromDevice(); });
    if (wasRunning)
        m_dc->setUpdateLocked(false);
    const QString info = lblInfo->text();
    refreshIdleState();
    lblInfo->setText(info);
}

#include "simserver.h"

#include "ptylink.h"
#include "rfsaframe.h"
#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// 115200 baud, 8N1: ten bit times per byte.
constexpr double MsPerByte = 10.0 * 1000.0 / 115200.0;
// Bytes of a frame that stop coming for this long were not a frame.
constexpr int StaleInputMs = 100;
// Timers tick in whole milliseconds. Bootloader bytes within half of one of
// being due go now and the others at the nearest tick, so the line keeps its
// rate on average; rounding every wait up would add up to a millisecond to
// each of the bootloader's many short exchanges. Scanner frames never go
// early, so their delays (--frame-delay, --delay-cmd) hold as given.
constexpr double DueSlackMs = 0.5;
constexpr double FrameSlackMs = 0.2;

int timerMs(double wait, bool bootloader)
{
    return static_cast<int>(bootloader ? std::lround(wait) : std::ceil(wait));
}
// After the last sweep of --hangup-after, give the program a moment to read
// it before the cable goes.
constexpr int PullCableDelayMs = 150;

const QByteArray junkBytes = QByteArray::fromHex("00ff55");

} // namespace

SimServer::SimServer(const SimOptions &options, const RfScene &scene, QObject *parent)
    : QObject(parent), m_options(options), m_log(m_clock), m_device(options, scene),
      m_bootloader(options)
{
    m_clock.start();
    m_link = new PtyLink(this);
    m_sendTimer = new QTimer(this);
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    connect(m_sendTimer, &QTimer::timeout, this, &SimServer::pump);
    m_staleTimer = new QTimer(this);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(StaleInputMs);
    connect(m_staleTimer, &QTimer::timeout, this, [this] {
        if (m_inBootloader)
            m_bootloader.dropPartial();
        else
            m_device.dropPartial();
        restartStaleTimer();
    });
    m_bootloaderInTimer = new QTimer(this);
    m_bootloaderInTimer->setSingleShot(true);
    m_bootloaderInTimer->setTimerType(Qt::PreciseTimer);
    connect(m_bootloaderInTimer, &QTimer::timeout, this, &SimServer::feedBootloader);

    m_device.onFrame = [this](const QByteArray &f) { m_log.write("RX", f); };
    m_device.onJunk = [this](const QByteArray &j) { m_log.write("RX-JUNK", j); };
    m_device.onReply = [this](const SimReply &r) { enqueue(r); };
    m_device.onResetToBootloader = [this] { enterBootloader(); };
    m_bootloader.onReceived = [this](const QByteArray &b) { m_log.write("BL-RX", b); };
    m_bootloader.onSend = [this](const QByteArray &b) {
        SimReply r;
        r.frame = b;
        r.kind = SimReply::Kind::Bootloader;
        enqueue(r);
    };
    m_bootloader.onReset = [this] { leaveBootloader(); };
    m_bootloader.onUnacknowledged = [this](const QByteArray &response) {
        ++m_unacknowledged;
        m_log.write("BL-UNACKED", response);
        qCWarning(lcSim, "bootloader response %s was never acknowledged",
                  response.toHex().constData());
    };

    attachLink();
}

void SimServer::attachLink()
{
    connect(m_link, &PtyLink::received, this, &SimServer::onReceived);
    connect(m_link, &PtyLink::hungUp, this, &SimServer::onHungUp);
    connect(m_link, &PtyLink::reopened, this, [] { qCInfo(lcSim, "port opened"); });
    connect(m_link, &PtyLink::writable, this, &SimServer::pump);
}

SimServer::~SimServer()
{
    shutdown();
}

bool SimServer::start(QString *error, bool *badArgument)
{
    *badArgument = true;
    if (!m_options.logPath.isEmpty() && !m_log.open(m_options.logPath, error))
        return false;
    if (!m_link->open(error)) {
        *badArgument = false;
        return false;
    }
    if (!m_options.linkPath.isEmpty() && !m_link->makeLink(m_options.linkPath, error))
        return false;
    if (m_options.startInBootloader)
        enterBootloader();
    if (m_options.blHalfWritten) {
        m_bootloader.holdHalfWritten(TestImages::radioImage());
        qCInfo(lcSim, "radio in its ROM bootloader with a half-written image");
    }
    return true;
}

QString SimServer::slavePath() const
{
    return m_link->slavePath();
}

void SimServer::shutdown()
{
    m_sendTimer->stop();
    m_staleTimer->stop();
    m_bootloaderInTimer->stop();
    m_queue.clear();
    m_link->close();
    m_link->removeLink();
}

void SimServer::restartStaleTimer()
{
    if (m_inBootloader ? m_bootloader.hasPartial() : m_device.hasPartial())
        m_staleTimer->start();
    else
        m_staleTimer->stop();
}

void SimServer::onReceived(const QByteArray &bytes)
{
    if (m_pulling)
        return;
    if (m_inBootloader && !m_options.fast) {
        const double due = std::max(nowMs(), m_inLineFreeAtMs) + bytes.size() * MsPerByte;
        m_inLineFreeAtMs = due;
        m_bootloaderIn.enqueue(Incoming{bytes, due});
        feedBootloader();
        return;
    }
    if (m_inBootloader)
        m_bootloader.receive(bytes);
    else
        m_device.receive(bytes);
    restartStaleTimer();
}

void SimServer::feedBootloader()
{
    while (!m_bootloaderIn.isEmpty() && m_inBootloader) {
        const double wait = m_bootloaderIn.head().dueMs - nowMs();
        if (wait > DueSlackMs) {
            m_bootloaderInTimer->start(timerMs(wait, true));
            return;
        }
        m_bootloader.receive(m_bootloaderIn.dequeue().bytes);
        restartStaleTimer();
    }
    // Whatever followed a reset belongs to the scanner again.
    while (!m_bootloaderIn.isEmpty())
        m_device.receive(m_bootloaderIn.dequeue().bytes);
}

void SimServer::enterBootloader()
{
    m_inBootloader = true;
    m_device.resetLink(); // anything after the command is the bootloader's
    m_bootloader.enter();
    m_inLineFreeAtMs = nowMs();
}

void SimServer::leaveBootloader()
{
    if (!m_bootloader.imageValid()) {
        qCInfo(lcSim, "radio reset without a valid image (its last sector is blank): it stays "
                      "in its ROM bootloader");
        return; // the bootloader has already started over, waiting for auto-baud
    }
    m_inBootloader = false;
    m_staleTimer->stop();
    const QString version = m_bootloader.imageVersion();
    m_device.radioRestarted(version);
    qCInfo(lcSim, "radio reset: reports version %s%s", qPrintable(m_device.radioVersion()),
           version.isEmpty() ? " (no version in its flash)" : "");
}

void SimServer::onHungUp()
{
    // What the host wrote before it closed did arrive (an acknowledgement
    // among it); only its pacing is cut short.
    for (Incoming &in : m_bootloaderIn)
        in.dueMs = 0;
    feedBootloader();
    // Nobody listens: what is queued would only fill the terminal's buffer
    // and reach whoever opens the port next, stale. A real device's USB
    // endpoint drops it too.
    if (!m_queue.isEmpty())
        qCInfo(lcSim, "port closed; %d queued frames dropped", int(m_queue.size()));
    else
        qCInfo(lcSim, "port closed");
    m_queue.clear();
    m_out.clear();
    m_outKinds.clear();
    m_sendTimer->stop();
    m_staleTimer->stop();
    m_device.resetLink();
    m_bootloaderIn.clear();
    m_bootloaderInTimer->stop();
    if (m_inBootloader)
        m_bootloader.lineClosed();
    else
        m_bootloader.dropPartial();
    m_lineFreeAtMs = nowMs();
}

void SimServer::enqueue(const SimReply &reply)
{
    if (!m_link->listening() || m_pulling)
        return;
    const double now = nowMs();
    const bool paced = !m_options.fast && m_options.rate <= 0;
    const bool frame = reply.kind != SimReply::Kind::Bootloader;
    double start =
        std::max(now, m_lineFreeAtMs) + (frame ? m_options.frameDelayMs : 0.0) + reply.extraDelayMs;
    if (reply.kind == SimReply::Kind::SweepStart) {
        if (m_options.rate > 0 && !m_options.fast)
            start = std::max(start, m_lastSweepEndMs + 1000.0 / m_options.rate);
        else if (paced)
            start += m_options.sweepTimeMs;
    }
    // A frame is handed over when its last byte would have left the line.
    const double due = start + (paced ? reply.frame.size() * MsPerByte : 0.0);
    m_lineFreeAtMs = due;
    if (reply.kind == SimReply::Kind::SweepEnd)
        m_lastSweepEndMs = due;
    m_queue.enqueue(Pending{reply.frame, reply.kind, due});
    pump();
}

void SimServer::pump()
{
    while (m_link->listening()) {
        if (m_out.isEmpty()) {
            // Everything that is due goes out in one write: fewer wake-ups
            // on both sides when unpaced.
            double wait = 0;
            bool bootloader = false;
            while (!m_queue.isEmpty()) {
                wait = m_queue.head().dueMs - nowMs();
                bootloader = m_queue.head().kind == SimReply::Kind::Bootloader;
                if (wait > (bootloader ? DueSlackMs : FrameSlackMs))
                    break;
                Pending p = m_queue.dequeue();
                if (p.kind == SimReply::Kind::Bootloader) {
                    m_log.write("BL-TX", p.frame);
                    m_out.append(p.frame);
                    m_outKinds.append(p.kind);
                    continue;
                }
                ++m_framesSent;
                if (m_framesSent == m_options.garbageFrame) {
                    m_log.write("TX-JUNK", junkBytes);
                    m_out.append(junkBytes);
                }
                if (m_framesSent == m_options.badCrcFrame)
                    p.frame[p.frame.size() - 1] =
                        static_cast<char>(p.frame.at(p.frame.size() - 1) ^ 0x5A);
                m_log.write("TX", p.frame);
                m_out.append(p.frame);
                m_outKinds.append(p.kind);
            }
            if (m_out.isEmpty()) {
                if (!m_queue.isEmpty())
                    m_sendTimer->start(timerMs(wait, bootloader));
                return;
            }
        }
        const qint64 n = m_link->write(m_out.constData(), m_out.size());
        if (n < 0)
            return; // hung up; onHungUp has emptied the queue
        m_out.remove(0, static_cast<int>(n));
        if (!m_out.isEmpty()) {
            m_link->waitWritable();
            return;
        }
        const QVector<SimReply::Kind> kinds = std::exchange(m_outKinds, {});
        for (SimReply::Kind kind : kinds)
            transmitted(kind);
        if (m_pulling)
            return;
    }
}

void SimServer::transmitted(SimReply::Kind kind)
{
    if (kind == SimReply::Kind::HostBlAck) {
        // The host processor restarts as a DFU device: the serial port goes
        // away as it does when the USB device re-enumerates.
        qCInfo(lcSim, "host processor leaves for its DFU bootloader: the port goes away");
        m_pulling = true;
        m_toDfu = true;
        m_queue.clear();
        QTimer::singleShot(PullCableDelayMs, this, &SimServer::pullCable);
        return;
    }
    if (kind != SimReply::Kind::SweepEnd)
        return;
    ++m_sweepsSent;
    if (m_options.hangupAfter > 0 && m_sweepsSent == m_options.hangupAfter) {
        qCInfo(lcSim, "%d sweeps sent: pulling the cable", m_sweepsSent);
        m_pulling = true;
        m_queue.clear();
        QTimer::singleShot(PullCableDelayMs, this, &SimServer::pullCable);
    }
}

void SimServer::pullCable()
{
    if (m_toDfu && !m_options.dfuDir.isEmpty())
        showAsDfuDevice();
    shutdown();
    if (m_options.reappearAfterMs < 0 || m_reappeared) {
        emit finished();
        return;
    }
    // Plugged in again: a new terminal, under the same link, with the
    // device starting afresh as a re-enumerated one does.
    qCInfo(lcSim, "cable plugged in again in %d ms", m_options.reappearAfterMs);
    QTimer::singleShot(m_options.reappearAfterMs, this, &SimServer::plugIn);
}

void SimServer::plugIn()
{
    m_link->deleteLater();
    m_link = new PtyLink(this);
    attachLink();
    QString error;
    if (!m_link->open(&error) ||
        (!m_options.linkPath.isEmpty() && !m_link->makeLink(m_options.linkPath, &error))) {
        qCWarning(lcSim, "cannot plug in again: %s", qPrintable(error));
        emit finished();
        return;
    }
    m_reappeared = true;
    m_pulling = false;
    m_inBootloader = false;
    m_device.resetLink();
    m_lineFreeAtMs = nowMs();
    emit pluggedIn(m_link->slavePath());
}

void SimServer::showAsDfuDevice()
{
    // The line dfu-util -l prints for the host processor in its DFU
    // bootloader; a stand-in dfu-util lists what it finds there.
    const QString line =
        QStringLiteral("Found DFU: [%1:%2] ver=2200, devnum=9, cfg=1, intf=0, path=\"1-1.3\", "
                       "alt=0, name=\"@Internal Flash  /0x08000000/04*016Kg,01*064Kg,07*128Kg\", "
                       "serial=\"ORVSIM%3\"\n")
            .arg(QStringLiteral(ORVANEL_DFU_VENDOR_ID), QStringLiteral(ORVANEL_DFU_PRODUCT_ID))
            .arg(m_options.seed % 1000000, 6, 10, QLatin1Char('0'));
    QFile file(QDir(m_options.dfuDir).filePath(QStringLiteral("host.dev")));
    if (!file.open(QIODevice::WriteOnly) || file.write(line.toLatin1()) < 0)
        qCWarning(lcSim, "cannot write %s", qPrintable(file.fileName()));
    else
        qCInfo(lcSim, "host processor shows up as a DFU device");
}

#include "capturesession.h"

#include "bursts.h"
#include "capturealarms.h"
#include "devicecomms.h"
#include "pointgrid.h"
#include "recordingio.h"
#include "rtlpowercsv.h"
#include "scansession.h"
#include "surveyreport.h"

#include <cstdio>

namespace {

constexpr int ProgressIntervalMs = 500;
constexpr int LogIntervalMs = 10000;
constexpr int StopGraceMs = 3000;

void say(const QString &text)
{
    std::fprintf(stderr, "orvanel-capture: %s\n", qPrintable(text));
}

} // namespace

CaptureSession::CaptureSession(const CaptureOptions &options, DeviceComms *device,
                               bool progressLine, QObject *parent)
    : QObject(parent), m_options(options), m_device(device), m_scan(new ScanSession(device, this)),
      m_progressLine(progressLine)
{
    m_scan->setRbwOverride(options.rbw);
    m_scan->setFStepOverride(options.fStepKHz);
    const PointGrid grid = PointGrid::forBandContaining(options.band == 900 ? 915 : 2450);
    m_history.frequencyInterval = grid.bandInterval();
    m_history.amplitudeInterval = QwtInterval(-100, -30); // what a live page shows
    m_history.projectInfo = options.project;
    // A node left running for days must not hold every sweep in memory.
    m_keepHistory = !options.outPath.isEmpty() || options.survey || !options.reportPath.isEmpty();
    if (!options.limits.isEmpty())
        m_alarms = new CaptureAlarms(options, m_history.frequencyInterval.minValue(),
                                     m_history.frequencyInterval.maxValue(), progressLine, this);

    m_durationTimer.setSingleShot(true);
    connect(&m_durationTimer, &QTimer::timeout, this, &CaptureSession::requestStop);
    m_reportTimer.setInterval(progressLine ? ProgressIntervalMs : LogIntervalMs);
    connect(&m_reportTimer, &QTimer::timeout, this, &CaptureSession::report);
    m_stopGrace.setSingleShot(true);
    connect(&m_stopGrace, &QTimer::timeout, this, &CaptureSession::writeAndFinish);

    connect(device, &DeviceComms::connectedChanged, this, &CaptureSession::onConnectedChanged);
    connect(device, &DeviceComms::scanningChanged, this, &CaptureSession::onScanningChanged);
    connect(m_scan, &ScanSession::sweep, this,
            [this](qint64 timeStamp, ScanPlan::Band, const RfSpectrumScan &levels) {
                onSweep(timeStamp, levels);
            });
    connect(m_scan, &ScanSession::ready, this, [this] {
        if (!m_stopping)
            m_scan->start(m_options.band == 900 ? ScanPlan::Band900 : ScanPlan::Band2400);
    });
    // The program would offer a firmware recovery here; a capture can only say so.
    connect(device, &DeviceComms::shouldTryBootload, this, [this] {
        deviceFailed(QStringLiteral("the scanner does not answer; if this persists, let the "
                                    "program restore its firmware"));
        writeAndFinish();
    });
}

void CaptureSession::start()
{
    m_elapsed.start();
    m_device->connectToDevice(false);
}

void CaptureSession::requestStop()
{
    if (m_stopping || m_done)
        return;
    m_stopping = true;
    const bool scanning = m_device->scanning();
    // Also keeps a scan whose setup still runs from going on once it starts.
    m_scan->stop();
    if (scanning) {
        m_stopGrace.start(StopGraceMs);
    } else if (!m_device->busy()) {
        writeAndFinish();
    } else {
        // A connect or setup still runs: its end brings us back here.
        m_stopGrace.start(StopGraceMs);
    }
}

void CaptureSession::deviceFailed(const QString &text)
{
    if (m_failure.isEmpty())
        m_failure = text;
    say(text);
}

void CaptureSession::onConnectedChanged(bool connected)
{
    if (!connected) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("the device was lost");
        writeAndFinish();
    }
}

void CaptureSession::onScanningChanged(bool scanning)
{
    if (scanning) {
        if (m_stopping)
            return; // the scan session stops it: it was not wanted any more
        if (!m_scanStarted) {
            m_scanStarted = true;
            m_elapsed.restart();
            if (m_options.durationMs > 0)
                m_durationTimer.start(int(qMin<qint64>(m_options.durationMs, INT_MAX)));
            m_reportTimer.start();
        }
        return;
    }
    if (m_stopping) {
        writeAndFinish();
    } else if (m_scanStarted) {
        if (m_failure.isEmpty())
            m_failure = QStringLiteral("the scan ended unexpectedly");
        writeAndFinish();
    } else if (!m_failure.isEmpty()) {
        writeAndFinish(); // the connect or the setup failed
    }
}

void CaptureSession::onSweep(qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    // The communication thread waits for this: append and return. The scan
    // session has dropped sweeps of the wrong length.
    if (m_done)
        return;
    ++m_taken;
    emit sweepTaken(timeStamp, spectrum);
    if (m_alarms)
        m_alarms->onSweep(timeStamp, spectrum);
    if (!m_keepHistory)
        return;
    m_history.samples.append(RfSpectrumSample(timeStamp, spectrum));
    m_bytes += 8 + 4 + spectrum.size() + 4;
}

qint64 CaptureSession::estimatedFileSize() const
{
    return 64 + m_bytes;
}

void CaptureSession::report()
{
    const double s = m_elapsed.elapsed() / 1000.0;
    const int n = sweepCount();
    const QString line = QStringLiteral("%1 sweeps, %2 s, %3 sweeps/s, %4 kB")
                             .arg(n)
                             .arg(s, 0, 'f', 1)
                             .arg(s > 0 ? n / s : 0.0, 0, 'f', 1)
                             .arg(estimatedFileSize() / 1024);
    if (m_progressLine)
        std::fprintf(stdout, "\r%s   ", qPrintable(line));
    else
        std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void CaptureSession::writeAndFinish()
{
    if (m_done)
        return;
    m_done = true;
    m_durationTimer.stop();
    m_reportTimer.stop();
    m_stopGrace.stop();
    if (m_scanStarted)
        report();
    if (m_progressLine && m_scanStarted)
        std::fputc('\n', stdout);
    std::fflush(stdout);

    int code = m_failure.isEmpty() ? 0 : 1;
    if (!m_keepHistory) {
        emit finished(code);
        return;
    }
    if (m_history.samples.isEmpty()) {
        say(QStringLiteral("no sweep was captured; nothing written"));
        emit finished(1);
        return;
    }
    const QString out = RecordingIo::withSuffix(m_options.outPath, RecordingIo::RecordingSuffix);
    QString error;
    if (!RecordingIo::saveFile(out, m_history, &error)) {
        say(QStringLiteral("cannot write %1: %2").arg(out, error));
        code = 1;
    } else {
        std::fprintf(stdout, "wrote %d sweeps to %s\n", sweepCount(), qPrintable(out));
    }
    if (!m_options.csvPath.isEmpty()) {
        if (!RtlPowerCsv::exportFile(m_options.csvPath, m_history.samples,
                                     m_history.frequencyInterval, &error)) {
            say(QStringLiteral("cannot write %1: %2").arg(m_options.csvPath, error));
            code = 1;
        } else {
            std::fprintf(stdout, "wrote %s\n", qPrintable(m_options.csvPath));
        }
    }
    if ((m_options.survey || !m_options.reportPath.isEmpty()) && !survey(m_history, m_options))
        code = 1;
    std::fflush(stdout);
    emit finished(code);
}

bool CaptureSession::survey(const RfSpectrumHistory &history, const CaptureOptions &options)
{
    const SurveyReport r = SurveyReport::fromSelection(history, history.samples);
    if (options.survey) {
        std::fprintf(stdout, "%d sweeps, noise floor %d dBm, threshold %g dBm\n",
                     r.utilization.sampleCount, r.utilization.noiseFloorDbm,
                     r.utilization.thresholdDbm);
        for (const ChannelUtilization &u : r.utilization.channels) {
            const QString level = qIsNaN(u.persistentDbm)
                                      ? QStringLiteral("-")
                                      : QString::number(u.persistentDbm) + QStringLiteral(" dBm");
            std::fprintf(stdout, "%-16s %-22s %6.1f %% worst point %6.1f %% level %8s%s%s\n",
                         qPrintable(u.channel.name()), qPrintable(u.channel.rangeText()),
                         u.utilization * 100, u.peak * 100, qPrintable(level),
                         u.carrier ? " carrier" : "", u.partial ? " (cut by the span)" : "");
        }
        const QVector<Burst> bursts = findBursts(
            history.samples, PointGrid::forHistory(history.frequencyInterval,
                                                 history.samples.first().spectrum.size()));
        const QVector<BurstSource> sources = classifyBursts(bursts, history.samples.size());
        std::fprintf(stdout, "%d bursts from %d sources\n", int(bursts.size()),
                     int(sources.size()));
        for (const BurstSource &s : sources)
            std::fprintf(stdout, "  %s\n", s.text().toUtf8().constData());
        // UTF-8 whatever the locale: the text carries real minus signs.
        std::fprintf(stdout, "%s\n", r.utilization.recommendationText().toUtf8().constData());
    }
    if (options.reportPath.isEmpty())
        return true;
    QString error;
    if (!SurveyReportWriter::writeHtml(options.reportPath, r, &error)) {
        say(error);
        return false;
    }
    std::fprintf(stdout, "wrote %s\n", qPrintable(options.reportPath));
    return true;
}

int CaptureSession::surveyFile(const CaptureOptions &options)
{
    RfSpectrumHistory history;
    QString error;
    if (RtlPowerCsv::isCsvFileName(options.inputPath)) {
        const RtlPowerCsv::Import csv = RtlPowerCsv::importFile(options.inputPath);
        if (csv.ok)
            history = csv.history;
        error = csv.errorText;
    } else {
        const RecordingIo::Recording rec = RecordingIo::loadFile(options.inputPath);
        // A damaged recording still gives what it holds, as the program
        // opens it; one that cannot be opened or has no page gives nothing.
        if (rec.opened && rec.band != RecordingIo::PageBand::None)
            history = rec.history;
        else
            error = rec.errorText;
        if (rec.opened && !rec.complete && !rec.history.samples.isEmpty())
            say(QStringLiteral("%1: %2; surveying what it holds")
                    .arg(options.inputPath, rec.errorText));
    }
    if (history.samples.isEmpty()) {
        say(QStringLiteral("cannot read %1: %2")
                .arg(options.inputPath, error.isEmpty() ? QStringLiteral("no sweeps") : error));
        return 1;
    }
    const bool ok = survey(history, options);
    std::fflush(stdout);
    return ok ? 0 : 1;
}

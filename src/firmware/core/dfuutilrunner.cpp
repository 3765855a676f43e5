#include "dfuutilrunner.h"

#include "firmwarelog.h"

#include <QFile>
#include <QMetaEnum>
#include <QStandardPaths>
#include <QTemporaryDir>

Q_LOGGING_CATEGORY(lcFirmware, "orvanel.firmware", QtInfoMsg)

DfuUtilRunner::DfuUtilRunner(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<DfuOutputParser::Phase>("DfuOutputParser::Phase");
    m_runTimer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    connect(&m_runTimer, &QTimer::timeout, this, &DfuUtilRunner::onRunTimeout);
    connect(&m_retryTimer, &QTimer::timeout, this, &DfuUtilRunner::list);
    connect(&m_process, &QProcess::started, this, [] { qCDebug(lcFirmware) << "Started"; });
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            &DfuUtilRunner::onReadyReadOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &DfuUtilRunner::onReadyReadError);
    connect(&m_process, &QProcess::errorOccurred, this, &DfuUtilRunner::onErrorOccurred);
    connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &DfuUtilRunner::onFinished);
}

DfuUtilRunner::~DfuUtilRunner()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QString DfuUtilRunner::deviceId()
{
    return QStringLiteral(ORVANEL_DFU_VENDOR_ID ":" ORVANEL_DFU_PRODUCT_ID).toLower();
}

int DfuUtilRunner::countListed(int timeoutMs)
{
    const QString exe = program();
    if (exe.isEmpty())
        return 0;
    QProcess list;
    list.start(exe, {QStringLiteral("-l"), QStringLiteral("-d"), deviceId()}, QIODevice::ReadOnly);
    if (!list.waitForFinished(timeoutMs)) {
        list.kill();
        list.waitForFinished(1000);
        return 0;
    }
    return int(DfuOutputParser::listedDevices(QString::fromLocal8Bit(list.readAllStandardOutput()),
                                              deviceId())
                   .size());
}

QString DfuUtilRunner::program()
{
    const QString configured = qEnvironmentVariable("ORVANEL_DFU_UTIL");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::findExecutable(QStringLiteral("dfu-util"));
}

void DfuUtilRunner::start(const QByteArray &image)
{
    if (m_active)
        return;
    m_active = true;
    m_lastError.clear();
    m_parser = DfuOutputParser();

    m_dir.reset(new QTemporaryDir);
    if (!m_dir->isValid()) {
        finish(false, tr("Cannot create a temporary directory: %1").arg(m_dir->errorString()));
        return;
    }
    m_imagePath = m_dir->filePath(QStringLiteral("7140_orvanel_host.dfu"));
    QFile file(m_imagePath);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(image) == image.size() &&
                         file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.close();
    if (!written) {
        finish(false, tr("Cannot write the host image: %1").arg(file.errorString()));
        return;
    }
    m_searchClock.start();
    list();
}

void DfuUtilRunner::list()
{
    const QString exe = program();
    if (exe.isEmpty()) {
        finish(false, tr("dfu-util not found"));
        return;
    }
    m_killed = false;
    m_listing = true;
    m_allOutput.clear();
    m_allErrors.clear();
    m_process.setProgram(exe);
    m_process.setArguments({QStringLiteral("-l"), QStringLiteral("-d"), deviceId()});
    qCInfo(lcFirmware).noquote() << "Running" << exe << m_process.arguments().join(' ');
    m_runTimer.start(m_timings.runTimeoutMs);
    m_process.start(QIODevice::ReadOnly);
}

void DfuUtilRunner::launch()
{
    m_listing = false;
    m_killed = false;
    m_allOutput.clear();
    m_allErrors.clear();
    m_lastError.clear();
    m_parser = DfuOutputParser();
    QStringList arguments{QStringLiteral("-d"), deviceId(), QStringLiteral("-p"), m_devicePath};
    if (!m_deviceSerial.isEmpty() && m_deviceSerial != QLatin1String("UNKNOWN"))
        arguments << QStringLiteral("-S") << m_deviceSerial;
    arguments << QStringLiteral("-a") << QStringLiteral("0") << QStringLiteral("-D") << m_imagePath
              << QStringLiteral("-s") << QStringLiteral(":leave");
    m_process.setArguments(arguments);
    qCInfo(lcFirmware).noquote() << "Running" << m_process.program() << arguments.join(' ');
    m_runTimer.start(m_timings.runTimeoutMs);
    m_process.start(QIODevice::ReadOnly);
}

bool DfuUtilRunner::searchAgain()
{
    if (m_searchClock.elapsed() + m_timings.retryDelayMs >= m_timings.searchWindowMs)
        return false;
    emit searching();
    m_retryTimer.start(m_timings.retryDelayMs);
    return true;
}

void DfuUtilRunner::onListed(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (m_killed || exitStatus == QProcess::CrashExit) {
        finish(false, m_killed ? tr("dfu-util did not finish within %1 s and was stopped")
                                     .arg(m_timings.runTimeoutMs / 1000.0)
                               : tr("dfu-util crashed"));
        return;
    }
    const QList<DfuOutputParser::Device> devices =
        DfuOutputParser::listedDevices(m_allOutput, deviceId());
    if (devices.size() > 1) {
        QStringList paths;
        for (const DfuOutputParser::Device &d : devices)
            paths << d.path;
        finish(false, tr("More than one device in DFU mode with the scanner's USB id %1 (at %2); "
                         "unplug all but the scanner and try again")
                          .arg(deviceId(), paths.join(QStringLiteral(", "))));
        return;
    }
    if (devices.isEmpty()) {
        if (searchAgain())
            return;
        QString message =
            tr("The scanner did not show up in DFU mode (no USB device %1)").arg(deviceId());
        if (exitCode != 0 && !m_lastError.isEmpty())
            message += QStringLiteral(": ") + m_lastError;
        finish(false, message);
        return;
    }
    m_devicePath = devices.first().path;
    m_deviceSerial = devices.first().serial;
    qCInfo(lcFirmware).noquote() << "Scanner in DFU mode at" << m_devicePath << "serial"
                                 << m_deviceSerial;
    launch();
}

void DfuUtilRunner::onReadyReadOutput()
{
    const QString text = QString::fromLocal8Bit(m_process.readAllStandardOutput());
    // Bounded: only the listing and the last words are looked at.
    m_allOutput = (m_allOutput + text).right(64 * 1024);
    if (m_listing)
        return;
    const bool changed = m_parser.feed(text);
    for (const QString &line : m_parser.takeLines())
        qCDebug(lcFirmware).noquote() << line;
    if (changed)
        emit progress(m_parser.phase(), m_parser.percent());
}

void DfuUtilRunner::onReadyReadError()
{
    const QString text = QString::fromLocal8Bit(m_process.readAllStandardError());
    qCDebug(lcFirmware).noquote() << text;
    m_allErrors = (m_allErrors + text).right(64 * 1024);
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        m_lastError = lines.last().trimmed();
}

void DfuUtilRunner::onErrorOccurred(QProcess::ProcessError error)
{
    qCDebug(lcFirmware) << "Error occurred:"
                        << QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error);
    // A program that never started sends no finished(); the others do.
    if (error == QProcess::FailedToStart && m_active) {
        m_runTimer.stop();
        finish(false, tr("dfu-util not found") + QStringLiteral(" (") + m_process.program() +
                          QStringLiteral(": ") + m_process.errorString() + QLatin1Char(')'));
    }
}

void DfuUtilRunner::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    m_runTimer.stop();
    onReadyReadOutput();
    onReadyReadError();
    qCDebug(lcFirmware) << "dfu-util finished:" << exitCode
                        << QMetaEnum::fromType<QProcess::ExitStatus>().valueToKey(exitStatus);
    if (!m_active)
        return;
    if (m_listing) {
        onListed(exitCode, exitStatus);
        return;
    }
    const bool downloaded = m_allOutput.contains(QLatin1String("File downloaded successfully"));
    const bool noDevice =
        m_allErrors.contains(QLatin1String("No DFU capable USB device available"));
    if (m_killed) {
        finish(false, tr("dfu-util did not finish within %1 s and was stopped")
                          .arg(m_timings.runTimeoutMs / 1000.0));
    } else if (exitStatus == QProcess::CrashExit) {
        finish(false, tr("dfu-util crashed"));
    } else if (exitCode == ExitNoDevice && noDevice) {
        // Listed a moment ago, gone now: it may still be re-enumerating.
        if (!searchAgain())
            finish(false, tr("dfu-util exited with code %1").arg(exitCode) + QStringLiteral(": ") +
                              m_lastError);
    } else if (exitCode != 0 && downloaded && m_lastError.contains(QLatin1String("get_status"))) {
        // The image is in; the device left DFU mode before answering the
        // last status request, as many do with ":leave".
        qCWarning(lcFirmware).noquote()
            << "dfu-util reported" << m_lastError << "after the download; the image is written";
        finish(true, QString());
    } else if (exitCode != 0) {
        QString message = tr("dfu-util exited with code %1").arg(exitCode);
        if (!m_lastError.isEmpty())
            message += QStringLiteral(": ") + m_lastError;
        finish(false, message);
    } else {
        finish(true, QString());
    }
}

void DfuUtilRunner::onRunTimeout()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    qCWarning(lcFirmware) << "dfu-util overran its time; killing it";
    m_killed = true;
    m_process.kill();
}

void DfuUtilRunner::finish(bool ok, const QString &message)
{
    m_active = false;
    m_retryTimer.stop();
    m_runTimer.stop();
    if (!ok)
        qCWarning(lcFirmware).noquote() << message;
    // The image copy goes with its directory once dfu-util is done with it.
    if (m_process.state() == QProcess::NotRunning)
        m_dir.reset();
    emit finished(ok, message);
}

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
    connect(&m_retryTimer, &QTimer::timeout, this, &DfuUtilRunner::launch);
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
    launch();
}

void DfuUtilRunner::launch()
{
    const QString exe = program();
    if (exe.isEmpty()) {
        finish(false, tr("dfu-util not found"));
        return;
    }
    m_killed = false;
    m_process.setProgram(exe);
    m_process.setArguments({QStringLiteral("-a"), QStringLiteral("0"), QStringLiteral("-D"),
                            m_imagePath, QStringLiteral("-s"), QStringLiteral(":leave")});
    qCInfo(lcFirmware).noquote() << "Running" << exe << m_process.arguments().join(' ');
    m_runTimer.start(m_timings.runTimeoutMs);
    m_process.start(QIODevice::ReadOnly);
}

void DfuUtilRunner::onReadyReadOutput()
{
    const bool changed = m_parser.feed(QString::fromLocal8Bit(m_process.readAllStandardOutput()));
    for (const QString &line : m_parser.takeLines())
        qCDebug(lcFirmware).noquote() << line;
    if (changed)
        emit progress(m_parser.phase(), m_parser.percent());
}

void DfuUtilRunner::onReadyReadError()
{
    const QString text = QString::fromLocal8Bit(m_process.readAllStandardError());
    qCDebug(lcFirmware).noquote() << text;
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
    if (m_killed) {
        finish(false, tr("dfu-util did not finish within %1 s and was stopped")
                          .arg(m_timings.runTimeoutMs / 1000.0));
    } else if (exitStatus == QProcess::CrashExit) {
        finish(false, tr("dfu-util crashed"));
    } else if (exitCode == ExitNoDevice &&
               m_searchClock.elapsed() + m_timings.retryDelayMs < m_timings.searchWindowMs) {
        emit searching();
        m_retryTimer.start(m_timings.retryDelayMs);
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

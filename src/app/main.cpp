#include "commandline.h"
#include "devicetypes.h"
#include "instancechannel.h"
#include "mainwindow.h"
#include "messageboxhandler.h"
#include "rfspectrumhistory.h"
#include "signalwatcher.h"
#include "tnwapp.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <malloc.h>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

static bool wantsHelp(const QStringList &arguments)
{
    for (const CommandLine::Step &step : CommandLine::parse(arguments))
        if (step.kind == CommandLine::Step::Help)
            return true;
    return false;
}

int main(int argc, char *argv[])
{
    // Every replot allocates a few canvas-sized images; with glibc's default
    // thresholds each one is a fresh mmap handed back afterwards, and the page
    // faults alone cost a live 2.4 GHz plot about 20 ms per frame. Keep such
    // blocks in the heap instead.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);

    // Answered before the application object exists: creating it needs a
    // display, and the options must print on a console or over ssh too.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    if (wantsHelp(rawArguments)) {
        std::fputs(qPrintable(CommandLine::helpText()), stdout);
        return 0;
    }

    TnwApp app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tarnwell.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvanel"));

    const QStringList arguments = QCoreApplication::arguments();

    // The web engine's settings are touched when the manual is first opened:
    // doing it here would cost every start a large share of a second.

    if (InstanceChannel::forwardArguments(
            CommandLine::withAbsoluteFileNames(arguments, QDir::currentPath()), 1000)) {
        qCDebug(lcApp) << "Handed the command line to the running instance";
        return 0;
    }

    QFile styleSheet(QStringLiteral(":qdarkstyle/style.qss"));
    if (styleSheet.exists() && styleSheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        app.setStyleSheet(QTextStream(&styleSheet).readAll());
    } else {
        qCWarning(lcApp) << "Unable to set stylesheet, file not found";
    }

    // Values that cross from the communication thread in queued signals.
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    registerWifiMetaTypes();
    MessageBoxHandler::install();

    MainWindow window;
    QObject::connect(&app, &TnwApp::fileOpenRequested, &window,
                     [&window](QFile &file) { window.openRecordingFile(file.fileName()); });
    window.show();

    // Ctrl+C and SIGTERM end the program as Quit does, without its save
    // question: the scanner is told goodbye and the scan journal is closed
    // and kept, or it is refused (with the reason) while a firmware update runs.
    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &SignalWatcher::received, &window, [&window](int number) {
        qCInfo(lcApp) << "Signal" << number << "received: quitting";
        window.quitOnSignal();
    });
    return app.exec();
}

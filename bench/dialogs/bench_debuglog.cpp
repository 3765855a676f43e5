// Live scanning with and without the debug window: the unpaced emulator, the
// real session and main window (offscreen). The session logs every frame, a
// few kilobytes per sweep; with the window open those lines go to its log.
// Phases alternate (closed, open, closed, open) so a change in the machine's
// load hits both alike. Prints the sweep rates and the ratio.
//
//   bench_debuglog [seconds per phase]   (default 8; the emulator from env ORVANEL_SIM)
#include "debugwindow.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 8;
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        std::fprintf(stderr, "dialog: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.kind == DialogSeam::Request::Message ? QVariant(0x00010000) : QVariant();
    });
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();

    const QString sim = qEnvironmentVariable("ORVANEL_SIM");
    if (sim.isEmpty()) {
        std::fprintf(stderr, "ORVANEL_SIM is not set\n");
        return 1;
    }
    QProcess emulator;
    emulator.start(sim, {QStringLiteral("--fast")});
    if (!emulator.waitForStarted(5000) || !emulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "emulator did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(emulator.readLine()).trimmed();

    MainWindow window(nullptr, false);
    window.resize(1024, 640);
    window.show();
    QTest::qWaitForWindowExposed(&window);
    window.processArguments({QStringLiteral("orvanel"), QStringLiteral("-port"), pty});
    qint64 sweeps = 0;
    QObject::connect(window.deviceComms(), &DeviceComms::rfsaGetSpecNoInitDone, &window,
                     [&sweeps](qint64, const RfSpectrumScan &) { ++sweeps; });
    window.form()->actionConnect->trigger();
    QElapsedTimer wait;
    wait.start();
    while (!window.deviceComms()->scanning() && wait.elapsed() < 15000)
        QTest::qWait(10);
    if (!window.deviceComms()->scanning()) {
        std::fprintf(stderr, "no scan started\n");
        return 1;
    }

    qint64 logLines = 0;
    QObject::connect(window.deviceComms(), &DeviceComms::log, &window,
                     [&logLines](const QString &) { ++logLines; });
    auto phase = [&](bool debugOpen, double *rate) {
        if (debugOpen && !window.debugWindow())
            window.processArguments({QStringLiteral("orvanel"), QStringLiteral("-debug")});
        if (!debugOpen && window.debugWindow())
            delete window.debugWindow();
        const qint64 s0 = sweeps;
        QElapsedTimer t;
        t.start();
        QEventLoop loop; // a real loop: the device thread waits for each sweep's hand-over
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        *rate += (sweeps - s0) / (t.nsecsElapsed() / 1e9);
    };
    double closedRate = 0, openRate = 0;
    const qint64 lines0 = logLines;
    phase(false, &closedRate);
    phase(true, &openRate);
    phase(false, &closedRate);
    phase(true, &openRate);
    closedRate /= 2;
    openRate /= 2;
    int shownLines = 0;
    if (DebugWindow *d = window.debugWindow()) {
        d->flushLog();
        shownLines = d->form()->logText->blockCount();
    }
    const qint64 lines = logLines - lines0;

    window.form()->actionStop->trigger();
    window.deviceComms()->shutdown();
    emulator.terminate();
    emulator.waitForFinished(5000);

    const double ratio = closedRate > 0 ? 100.0 * openRate / closedRate : 0;
    std::printf("phases                   4 x %d s, alternating closed/open\n", seconds);
    std::printf("sweeps/s, window closed  %.0f\n", closedRate);
    std::printf("sweeps/s, window open    %.0f\n", openRate);
    std::printf("log lines                %lld (%.1f per sweep); kept in the window %d\n",
                static_cast<long long>(lines),
                (closedRate + openRate) > 0 ? lines / ((closedRate + openRate) * 2 * seconds) : 0.0,
                shownLines);
    std::printf("TARGET dialogs.debuglog_rate_ratio %.0f %% >=80 %s\n", ratio,
                ratio >= 80 ? "met" : "missed");
    return 0;
}

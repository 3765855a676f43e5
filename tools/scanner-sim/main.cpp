// orvanel-scanner-sim: the scanner on a pseudo-terminal, for trying the
// program without hardware, for the tests and for reproducing field problems.
#include "rfscene.h"
#include "simoptions.h"
#include "simserver.h"
#include "tcpbridge.h"
#include "testimages.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

void fail(const QString &message)
{
    std::fprintf(stderr, "orvanel-scanner-sim: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvanel-scanner-sim"));

    SimOptions options;
    QString error;
    if (!options.parse(app.arguments().mid(1), &error)) {
        fail(error);
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(SimOptions::helpText()), stdout);
        return 0;
    }
    if (!options.testImagesDir.isEmpty()) {
        if (!TestImages::write(options.testImagesDir, &error)) {
            fail(error);
            return 1;
        }
        return 0;
    }

    RfScene scene = RfScene::defaultScene();
    if (!options.scenePath.isEmpty() && !RfScene::fromFile(options.scenePath, &scene, &error)) {
        fail(error);
        return 2;
    }

    SimServer server(options, scene);
    bool badArgument = false;
    if (!server.start(&error, &badArgument)) {
        fail(error);
        return badArgument ? 2 : 1;
    }

    TcpBridge bridge(server.slavePath());
    if (options.tcpPort >= 0 && !bridge.listen(options.tcpPort, &error)) {
        fail(error);
        return 1;
    }

    // Signals end the event loop through a pipe, so the link is removed by
    // ordinary destructors rather than inside a signal handler.
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail(QStringLiteral("cannot create the signal pipe"));
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char buf[16];
        while (::read(signalPipe[0], buf, sizeof buf) > 0) {
        }
        QCoreApplication::quit();
    });
    QObject::connect(&server, &SimServer::finished, &app, &QCoreApplication::quit);
    QObject::connect(&server, &SimServer::pluggedIn, &app, [](const QString &path) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    });

    std::printf("%s\n", qPrintable(server.slavePath()));
    if (options.tcpPort >= 0)
        std::printf("tcp://127.0.0.1:%u\n", unsigned(bridge.port()));
    std::fflush(stdout);

    const int rc = app.exec();
    server.shutdown();
    if (rc == 0 && server.unacknowledged() > 0) {
        fail(QStringLiteral("%1 bootloader responses were never acknowledged (see BL-UNACKED "
                            "in the log)")
                 .arg(server.unacknowledged()));
        return 3;
    }
    return rc;
}

// The program itself watching four remote scanners: four nodes publish 2.4 GHz
// sweeps at the scanner's rate (20/s) through a real local mosquitto broker
// into one running orvanel (`--watch`), in a 1920x1080 window on Xvfb (the
// benchmark starts itself under xvfb-run when there is no display; without
// xvfb-run the program runs offscreen and says so). Figures and TARGET lines:
//  - every sweep sent is taken by its page;
//  - end-to-end delay (node's time stamp to the page) p99 <= 250 ms;
//  - the program's CPU (utime + stime of /proc/PID/stat) <= 25 % of a core.
// The program reports what its pages took through ORVANEL_REMOTE_STATS.
// Seconds measured: first argument (default 30).
#include "benchtarget.h"
#include "brokerprocess.h"
#include "venuenode.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int Nodes = 4;
constexpr int SweepMs = 50;
constexpr int Points = 501;
constexpr int SettleMs = 8000;

QVector<qint8> levels(int k)
{
    QVector<qint8> v(Points);
    for (int i = 0; i < Points; ++i)
        v[i] = qint8(-100 + (i * 7 + k) % 70);
    for (int i = 130; i < 230; ++i) // a busy Wi-Fi channel for the plots to show
        v[i] = qint8(-50 - (k + i) % 8);
    return v;
}

void runFor(int ms)
{
    QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which may hold spaces: state is field 3.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char *argv[])
{
    const bool inDisplay = qEnvironmentVariableIsSet("ORVANEL_BENCH_IN_XVFB");
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (!inDisplay && !xvfbRun.isEmpty()) {
        // The window as users have it: a real X server, 1920x1080.
        qputenv("ORVANEL_BENCH_IN_XVFB", "1");
        std::vector<char *> args = {const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                    const_cast<char *>("-s"),
                                    const_cast<char *>("-screen 0 1920x1080x24")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        fflush(stdout);
        execv(qPrintable(xvfbRun), args.data());
        std::perror("xvfb-run");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(5, atoi(argv[1])) : 30;
    const QString exe = QStringLiteral(ORVANEL_APP_PATH);
    BrokerProcess broker;
    if (!broker.start()) {
        std::fprintf(stderr, "bench_venuewindow: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    MqttSettings settings;
    QString error;
    MqttSettings::parseUrl(broker.url(), &settings, &error);

    // The nodes say who they are (retained), so the program opens a page for
    // each as soon as it starts.
    std::vector<std::unique_ptr<VenueNode>> nodes;
    for (int i = 0; i < Nodes; ++i) {
        auto node = std::make_unique<VenueNode>(QStringLiteral("node%1").arg(i));
        node->setPlan(2400, 2400, 200, Points);
        node->setState(NodeStatus::Scanning);
        if (!node->startPublishing(settings, &error)) {
            std::fprintf(stderr, "node %d: %s\n", i, qPrintable(error));
            return 1;
        }
        nodes.push_back(std::move(node));
    }

    QTemporaryDir home;
    const QString stats = home.filePath(QStringLiteral("stats.txt"));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool offscreen = !inDisplay;
    if (offscreen)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("ORVANEL_REMOTE_STATS"), stats);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(exe, {QStringLiteral("--watch"), broker.url()});
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "bench_venuewindow: cannot start %s\n", qPrintable(exe));
        return 1;
    }
    const qint64 pid = program.processId();
    if (!offscreen) {
        QProcess::execute(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("for i in $(seq 100); do w=$(xdotool search --onlyvisible "
                            "--pid %1 2>/dev/null | head -1); [ -n \"$w\" ] && "
                            "xdotool windowmove $w 0 0 windowsize $w 1920 1080 && "
                            "exit 0; sleep 0.1; done; echo no window found")
                 .arg(pid)});
    }
    runFor(3000); // the pages open and subscribe

    // Each node on a timer of its own, as each would be on its own machine.
    std::vector<std::unique_ptr<QTimer>> ticks;
    int sent = 0;
    for (int i = 0; i < Nodes; ++i) {
        ticks.push_back(std::make_unique<QTimer>());
        VenueNode *node = nodes[size_t(i)].get();
        QObject::connect(ticks.back().get(), &QTimer::timeout, [node, &sent] {
            node->addSweep(QDateTime::currentMSecsSinceEpoch(), levels(sent));
            ++sent;
        });
        ticks.back()->start(SweepMs);
    }
    runFor(SettleMs);
    const double c0 = cpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds(pid) - c0;
    const double share = 100.0 * cpu / (wall.elapsed() / 1000.0);
    for (auto &t : ticks)
        t->stop();
    runFor(1000); // the last sweeps arrive

    program.terminate(); // SIGTERM: the program quits without questions
    if (!program.waitForFinished(20000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    for (auto &n : nodes)
        n->stop();

    QFile f(stats);
    quint64 taken = 0;
    qint64 p50 = 0, p99 = 0, worst = 0;
    int pages = 0;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> v = line.split(' ');
            if (line.startsWith('#') || v.size() < 6)
                continue;
            ++pages;
            taken += v.at(1).toULongLong();
            p50 = qMax(p50, v.at(3).toLongLong());
            p99 = qMax(p99, v.at(4).toLongLong());
            worst = qMax(worst, v.at(5).toLongLong());
        }
    }
    std::printf("program (%s): %d remote pages took %llu of %d sweeps; delay ms p50 %lld "
                "p99 %lld max %lld (worst page); CPU %.2f s over %.1f s = %.1f %% of a core\n",
                offscreen ? "offscreen, no xvfb-run" : "Xvfb 1920x1080", pages,
                static_cast<unsigned long long>(taken), sent, static_cast<long long>(p50),
                static_cast<long long>(p99), static_cast<long long>(worst), cpu,
                wall.elapsed() / 1000.0, share);
    BenchTarget::report("venue.window_delivered", sent > 0 ? 100.0 * double(taken) / sent : 0, "%",
                        BenchTarget::AtLeast, 100.0, 2);
    BenchTarget::report("venue.window_delay_p99", double(p99), "ms", BenchTarget::AtMost, 250.0, 0);
    BenchTarget::report("venue.window_cpu", share, "%", BenchTarget::AtMost, 25.0, 1);
    return pages == Nodes ? 0 : 1;
}

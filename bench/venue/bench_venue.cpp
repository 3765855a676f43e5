// The venue network through a real local mosquitto broker, printed as figures
// and TARGET lines:
//  - four nodes publishing 2.4 GHz sweeps at the scanner's rate (20/s) into
//    one watcher: every sweep delivered, end-to-end delay p99 <= 250 ms;
//  - one node publishing alone: the process's CPU time, <= 1 % of a core.
// Seconds per phase: first argument (default 20).
#include "benchtarget.h"
#include "brokerprocess.h"
#include "venuenode.h"
#include "venuesubscriber.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int Nodes = 4;
constexpr int SweepMs = 50;
constexpr int Points = 501;

double cpuSeconds()
{
    rusage u = {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QVector<qint8> levels(int k)
{
    QVector<qint8> v(Points);
    for (int i = 0; i < Points; ++i)
        v[i] = qint8(-100 + (i * 7 + k) % 70);
    return v;
}

void runFor(int ms)
{
    QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::unique_ptr<VenueNode> makeNode(const MqttSettings &settings, int i)
{
    auto node = std::make_unique<VenueNode>(QStringLiteral("node%1").arg(i));
    node->setPlan(2400, 2400, 200, Points);
    node->setState(NodeStatus::Scanning);
    QString error;
    if (!node->startPublishing(settings, &error))
        std::fprintf(stderr, "node %d: %s\n", i, qPrintable(error));
    return node;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(2, atoi(argv[1])) : 20;
    BrokerProcess broker;
    if (!broker.start()) {
        std::fprintf(stderr, "bench_venue: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    MqttSettings settings;
    QString error;
    MqttSettings::parseUrl(broker.url(), &settings, &error);

    // What publishing costs one node, with nobody else in this process.
    {
        auto node = makeNode(settings, 9);
        waitFor([&] { return node->publisher()->isConnected(); }, 10000);
        QTimer tick;
        int k = 0;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { node->addSweep(QDateTime::currentMSecsSinceEpoch(), levels(k++)); });
        const double c0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        tick.start(SweepMs);
        runFor(seconds * 1000);
        const double percent = 100.0 * (cpuSeconds() - c0) / (wall.elapsed() / 1000.0);
        std::printf("one node: %d sweeps published in %d s, %.2f %% of a core\n",
                    int(node->publisher()->sweepsPublished()), seconds, percent);
        BenchTarget::report("venue.node_cpu", percent, "%", BenchTarget::AtMost, 1.0, 2);
    }

    // Four nodes into one watcher.
    VenueSubscriber watcher(settings);
    if (!watcher.start(&error))
        return 1;
    QVector<qint64> delays;
    delays.reserve(Nodes * seconds * 1000 / SweepMs + 100);
    QObject::connect(
        &watcher, &VenueSubscriber::sweepReceived,
        [&](const QString &, const SweepPayload &, qint64 delayMs) { delays.append(delayMs); });
    std::vector<std::unique_ptr<VenueNode>> nodes;
    for (int i = 0; i < Nodes; ++i)
        nodes.push_back(makeNode(settings, i));
    waitFor(
        [&] {
            return watcher.isConnected() &&
                   std::all_of(nodes.begin(), nodes.end(),
                               [](const auto &n) { return n->publisher()->isConnected(); });
        },
        10000);
    // Each node on a timer of its own, as each would be on its own machine.
    std::vector<std::unique_ptr<QTimer>> ticks;
    int sent = 0;
    for (int i = 0; i < Nodes; ++i) {
        ticks.push_back(std::make_unique<QTimer>());
        VenueNode *node = nodes[size_t(i)].get();
        QObject::connect(ticks.back().get(), &QTimer::timeout, [node, &sent] {
            node->addSweep(QDateTime::currentMSecsSinceEpoch(), levels(sent++));
        });
        ticks.back()->start(SweepMs);
    }
    runFor(seconds * 1000);
    for (auto &t : ticks)
        t->stop();
    waitFor([&] { return delays.size() >= sent; }, 5000);

    std::sort(delays.begin(), delays.end());
    const auto percentile = [&](double p) {
        return delays.isEmpty()
                   ? -1.0
                   : double(delays.at(qMin(delays.size() - 1, int(p * (delays.size() - 1) + 0.5))));
    };
    std::printf("four nodes: %d sweeps sent, %d delivered in %d s; delay ms p50 %.0f p99 %.0f "
                "max %.0f\n",
                sent, int(delays.size()), seconds, percentile(0.5), percentile(0.99),
                percentile(1.0));
    BenchTarget::report("venue.delivered", sent > 0 ? 100.0 * delays.size() / sent : 0, "%",
                        BenchTarget::AtLeast, 100.0, 2);
    BenchTarget::report("venue.delay_p99", percentile(0.99), "ms", BenchTarget::AtMost, 250.0, 0);
    for (auto &n : nodes)
        n->stop();
    return 0;
}

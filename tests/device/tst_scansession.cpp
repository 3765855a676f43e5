// The scan session without a window: what it sends (the emulator's frame log
// is the evidence), the states it goes through, and which sweeps it passes on.

#include "devicecomms.h"
#include "dialogseam.h"
#include "scansession.h"
#include "simprocess.h"

#include <QMetaEnum>
#include <QtTest>

#include <memory>

namespace {

constexpr int Wait = 15000; // two shared cores, several builds at once

} // namespace

class TestScanSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scan_data();
    void scan();
    void sweepChecks_data();
    void sweepChecks();

private:
    //! RX payloads of one command, as hex.
    QStringList payloads(const QString &command) const;
    bool waitFor(const std::function<bool()> &done, int ms = Wait);

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<DeviceComms> dc;
    std::unique_ptr<ScanSession> session;
    QStringList states;
    QMap<int, int> sweepSizes; //!< band -> points of its last sweep passed on
};

void TestScanSession::initTestCase()
{
    registerDeviceMetaTypes();
    DialogSeam::setHandler([](const DialogSeam::Request &r) { return QVariant(r.defaultButton); });
}

void TestScanSession::init()
{
    states.clear();
    sweepSizes.clear();
    sim.reset(new SimProcess);
    dc.reset(new DeviceComms);
    session.reset(new ScanSession(dc.get()));
    connect(session.get(), &ScanSession::stateChanged, this, [this](ScanSession::State s) {
        states << QMetaEnum::fromType<ScanSession::State>().valueToKey(s);
    });
    connect(session.get(), &ScanSession::sweep, this,
            [this](qint64, ScanPlan::Band band, const RfSpectrumScan &levels) {
                sweepSizes[band] = levels.size();
            });
}

void TestScanSession::cleanup()
{
    if (QTest::currentTestFailed() && sim) {
        const QStringList log = sim->logLines();
        for (const QString &line : log.mid(qMax(0, log.size() - 30)))
            qWarning().noquote() << "sim:" << line.left(120);
    }
    dc->shutdown();
    session.reset();
    dc.reset();
    sim.reset();
}

QStringList TestScanSession::payloads(const QString &command) const
{
    QStringList out;
    for (const QString &hex : sim->logLines("RX"))
        if (hex.size() >= 10 && hex.mid(4, 2) == command)
            out << hex.mid(6, hex.size() - 10);
    return out;
}

bool TestScanSession::waitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
    return done();
}

void TestScanSession::scan_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("bandsSent"); // payloads of the band command, in order
    QTest::addColumn<QStringList>("expectedStates");
    QTest::addColumn<bool>("connectedAfter");

    const QStringList plain;
    QTest::newRow("stop") << plain << "stop" << QStringList{"02"}
                          << QStringList{"Starting", "Scanning", "Idle"} << true;
    QTest::newRow("switch restarts the other band")
        << plain << "switch" << QStringList{"02", "01"}
        << QStringList{"Starting", "Scanning", "Switching", "Scanning"} << true;
    QTest::newRow("stop while a switch waits")
        << plain << "switch, stop" << QStringList{"02"}
        << QStringList{"Starting", "Scanning", "Switching", "Idle"} << true;
    // The step acknowledgement comes late, so the stop lands inside the setup.
    QTest::newRow("stop during the setup")
        << QStringList{"--delay-cmd", "18=600"} << "stop in setup" << QStringList{"02"}
        << QStringList{"Starting", "Idle"} << true;
    QTest::newRow("disconnect after the scan")
        << plain << "disconnect" << QStringList{"02"} << QStringList{"Starting", "Scanning", "Idle"}
        << false;
}

void TestScanSession::scan()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, action);
    QFETCH(QStringList, bandsSent);
    QFETCH(QStringList, expectedStates);
    QFETCH(bool, connectedAfter);

    if (!sim->start(simArgs))
        QSKIP(qPrintable(sim->errorText()));
    dc->setPortName(sim->ptyPath());
    QSignalSpy ready(session.get(), &ScanSession::ready);
    dc->connectToDevice(false);
    QVERIFY(ready.wait(Wait));
    QVERIFY(session->canStart());
    session->setRbwOverride(40);
    session->setFStepOverride(100);
    session->start(ScanPlan::Band2400);
    QVERIFY(session->scanWanted());

    if (action == "stop in setup") {
        QVERIFY(waitFor([&] { return dc->busy(); }));
        QVERIFY(!dc->scanning());
        session->stop();
        QVERIFY(waitFor([&] { return !dc->busy() && !dc->scanning(); }));
        const int requests = payloads("1f").size();
        QTest::qWait(500);
        QCOMPARE(payloads("1f").size(), requests); // no sweeps requested any more
        // The sweep that proves the scan sequence listens may be followed by
        // one request already on its way.
        QVERIFY(requests <= 2);
    } else {
        QVERIFY(waitFor([&] { return sweepSizes.contains(ScanPlan::Band2400); }));
        // The overrides: RBW 40 and a 100 kHz step, so 1001 points.
        QCOMPARE(payloads("19").value(0), QString("28"));
        QCOMPARE(payloads("18").value(0), QString("0000199a"));
        QCOMPARE(sweepSizes.value(ScanPlan::Band2400), 1001);
        QVERIFY(session->sweepsPerSecond() > 0);
    }
    if (action.startsWith("switch")) {
        QVERIFY(session->chooseBand(ScanPlan::Band900));
        QVERIFY(session->restartPending());
        QTest::qWait(300); // nothing is sent before the pause is over
        QCOMPARE(payloads("14").size(), 1);
        if (action == "switch") {
            QVERIFY(waitFor([&] { return sweepSizes.contains(ScanPlan::Band900); }));
            QVERIFY(!session->switching());
            QCOMPARE(sweepSizes.value(ScanPlan::Band900), 252);
            QCOMPARE(payloads("19").last(), QString("24")); // its own RBW, no override
            QCOMPARE(payloads("18").last(), QString("00001a6f"));
        } else {
            session->stop();
            QVERIFY(!session->restartPending());
            QTest::qWait(1200); // past the restart that was pending
        }
    }
    if (action == "stop")
        session->stop();
    if (action == "disconnect") {
        session->disconnectAfterScan();
        session->stop();
        session->disconnectOnceScanEnded();
        QVERIFY(waitFor([&] { return !dc->connected(); }));
    }
    if (action != "switch")
        QVERIFY(waitFor([&] { return !dc->scanning() && !dc->busy(); }));
    QCOMPARE(payloads("14"), bandsSent);
    QCOMPARE(states, expectedStates);
    QCOMPARE(dc->connected(), connectedAfter);
}

void TestScanSession::sweepChecks_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("expected"); // the level passed on; 0: the sweep is dropped

    QTest::newRow("2.4 GHz offset wraps at 8 bits") << 0 << 3 << 501 << 126 << -127;
    QTest::newRow("no data stays no data") << 0 << 3 << 501 << -128 << -128;
    QTest::newRow("900 MHz is never offset") << 1 << 3 << 252 << 126 << 126;
    QTest::newRow("a point short is dropped") << 0 << 0 << 500 << -60 << 0;
    QTest::newRow("the other band's length is dropped") << 0 << 0 << 252 << -60 << 0;
    QTest::newRow("on 900 MHz too") << 1 << 0 << 501 << -60 << 0;
}

void TestScanSession::sweepChecks()
{
    QFETCH(int, band);
    QFETCH(int, offset);
    QFETCH(int, points);
    QFETCH(int, level);
    QFETCH(int, expected);

    // Before any setup was sent there is nothing a sweep could match.
    QSignalSpy passed(session.get(), &ScanSession::sweep);
    session->takeSweep(1, RfSpectrumScan(points, qint8(level)));
    QCOMPARE(passed.size(), 0);

    session->setAmplitudeOffset(offset);
    session->start(ScanPlan::Band(band)); // no device: only the plan is kept
    session->takeSweep(2, RfSpectrumScan(points, qint8(level)));
    QCOMPARE(passed.size(), expected ? 1 : 0);
    if (expected) {
        QCOMPARE(passed.at(0).at(0).toLongLong(), 2LL);
        QCOMPARE(passed.at(0).at(1).value<ScanPlan::Band>(), ScanPlan::Band(band));
        QCOMPARE(passed.at(0).at(2).value<RfSpectrumScan>(),
                 RfSpectrumScan(points, qint8(expected)));
    }
}

QTEST_GUILESS_MAIN(TestScanSession)
#include "tst_scansession.moc"

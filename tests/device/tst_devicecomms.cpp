// The device session end to end: DeviceComms on this (GUI) thread, its
// sequences on the communication thread, the scanner emulator on the other
// side of a pty. The emulator's frame log is the evidence of what was sent.

#include "bandparameters.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "rfsaframe.h"
#include "serialcomms.h"
#include "simprocess.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QString hexFrame(int command, const QByteArray &payload = QByteArray())
{
    return QString::fromLatin1(
        RfsaFrame::buildFrame(static_cast<quint8>(command), payload).toHex());
}

QString hexFrame(int command, const char *payloadHex)
{
    return hexFrame(command, QByteArray::fromHex(payloadHex));
}

// Generous: two shared cores, several builds at once.
constexpr int Wait = 15000;

class EventCounter : public QObject
{
public:
    EventCounter(QEvent::Type type, int *count) : m_type(type), m_count(count) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == m_type)
            ++*m_count;
        return false;
    }

private:
    QEvent::Type m_type;
    int *m_count;
};

} // namespace

class TestDeviceComms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectSequence();
    void connectSkippingVersions();
    void logReachesAListenerThatComesLater();
    void requestsIgnoredInTheWrongState();
    void setupThenScanBackToBack_data();
    void setupThenScanBackToBack();
    void restartRightAfterStop_data();
    void restartRightAfterStop();
    void disconnect();
    void singleCommandPayload();

    void setupWatchdogCoversWholeSequence_data();
    void setupWatchdogCoversWholeSequence();
    void initParameterAlwaysTimesOut();
    void disconnectGivesUpAfter100ms_data();
    void disconnectGivesUpAfter100ms();
    void stalledSweepWaitsUntilStopped();
    void silentScannerEndsTheScan();
    void badCrcShowsItsText();
    void noAnswerShowsTimeoutUnlessQc();
    void hostBootloaderTimeoutCountsAsDone();
    void connectTimeoutByMatchingPorts_data();
    void connectTimeoutByMatchingPorts();
    void portThatCannotBeOpened();
    void cablePulledDuringScan();
    void readErrorEndsScanOnlyIfItRepeats_data();
    void readErrorEndsScanOnlyIfItRepeats();

    void shutdownWhileScanning_data();
    void shutdownWhileScanning();
    void destroyedWhileScanning();

private:
    bool startSim(const QStringList &args);
    bool connectSession(bool skipVersions = false);
    bool startScan(const QVariantMap &set);
    QStringList rx() const { return sim->logLines("RX"); }
    QStringList boxTexts() const;

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<DeviceComms> dc;
    QList<DialogSeam::Request> boxes;
    QStringList flags; //!< flag signals in order: "busy:1", "connected:0", ...
    int sweeps = 0;
    int lastSweepSize = 0;
};

void TestDeviceComms::initTestCase()
{
    registerDeviceMetaTypes();
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
}

void TestDeviceComms::init()
{
    boxes.clear();
    flags.clear();
    sweeps = 0;
    lastSweepSize = 0;
    DialogSeam::setHandler([this](const DialogSeam::Request &r) {
        boxes << r;
        return QVariant(r.defaultButton);
    });
    sim.reset(new SimProcess);
    dc.reset(new DeviceComms);
    connect(dc.get(), &DeviceComms::busyChanged, this,
            [this](bool b) { flags << QStringLiteral("busy:%1").arg(b); });
    connect(dc.get(), &DeviceComms::connectedChanged, this,
            [this](bool b) { flags << QStringLiteral("connected:%1").arg(b); });
    connect(dc.get(), &DeviceComms::scanningChanged, this,
            [this](bool b) { flags << QStringLiteral("scanning:%1").arg(b); });
    connect(dc.get(), &DeviceComms::rfsaGetSpecNoInitDone, this,
            [this](qint64, const RfSpectrumScan &s) {
                ++sweeps;
                lastSweepSize = s.size();
            });
}

void TestDeviceComms::cleanup()
{
    dc.reset(); // ends the thread; the port goes back to this thread
    sim.reset();
    DialogSeam::setHandler(nullptr);
    QVERIFY(SerialComms::sharedPort()->thread() == QThread::currentThread());
}

bool TestDeviceComms::startSim(const QStringList &args)
{
    if (!sim->start(args)) {
        qWarning() << sim->errorText();
        return false;
    }
    dc->setPortName(sim->ptyPath());
    return true;
}

bool TestDeviceComms::connectSession(bool skipVersions)
{
    dc->connectToDevice(skipVersions);
    return QTest::qWaitFor([this] { return dc->connected() && !dc->busy(); }, Wait);
}

bool TestDeviceComms::startScan(const QVariantMap &set)
{
    dc->sendRfSetupAndScan(set);
    return QTest::qWaitFor([this] { return dc->scanning() && sweeps >= 3; }, Wait);
}

QStringList TestDeviceComms::boxTexts() const
{
    QStringList texts;
    for (const auto &b : boxes) {
        if (b.title != QLatin1String("Error") || b.icon != DialogSeam::Request::Critical)
            texts << QStringLiteral("(unexpected box) ") + b.title;
        texts << b.text;
    }
    return texts;
}

void TestDeviceComms::connectSequence()
{
    QVERIFY(startSim({}));
    QSignalSpy info(dc.get(), &DeviceComms::rfsaGetInfoStrDone);
    QSignalSpy params(dc.get(), &DeviceComms::rfsaGetRfParamsDone);
    QSignalSpy connected(dc.get(), &DeviceComms::rfsaConnectDone);
    QSignalSpy log(dc.get(), &DeviceComms::log);
    QVERIFY(connectSession());
    QCOMPARE(rx(), QStringList({hexFrame(0x82, "0100"), hexFrame(0x82, "0000"),
                                hexFrame(0x05, "00"), hexFrame(0x05, "01"), hexFrame(0x01)}));
    QCOMPARE(info.count(), 2);
    QCOMPARE(info.at(0).at(0).value<uchar>(), uchar(1));
    QCOMPARE(info.at(0).at(2).toString(), QString("1.0.0.9.0.69"));
    QCOMPARE(info.at(1).at(0).value<uchar>(), uchar(0));
    QCOMPARE(info.at(1).at(2).toString(), QString("1.0.0.9.0.0"));
    QCOMPARE(params.count(), 2);
    QVERIFY(!params.at(0).at(0).value<RfParams>().entries.isEmpty());
    QCOMPARE(connected.count(), 1);
    QCOMPARE(flags, QStringList({"busy:1", "connected:1", "busy:0"}));
    QVERIFY(log.count() >= 10); // every frame both ways, and the decoded texts
    QCOMPARE(log.at(0).at(0).toString(), ">> " + hexFrame(0x82, "0100"));
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::connectSkippingVersions()
{
    QVERIFY(startSim({}));
    QVERIFY(connectSession(true));
    QCOMPARE(rx(), QStringList({hexFrame(0x05, "00"), hexFrame(0x05, "01"), hexFrame(0x01)}));
}

// The frames' lines are built only while something listens (the debug
// window); one opened during a scan gets them from the next frame on.
void TestDeviceComms::logReachesAListenerThatComesLater()
{
    QVERIFY(startSim({}));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    // Without a listener nothing but the sweep itself crosses to this
    // thread: each extra post wakes the window's thread for nobody.
    int calls = 0;
    EventCounter counter(QEvent::MetaCall, &calls);
    dc->installEventFilter(&counter);
    const int before = sweeps;
    QTRY_VERIFY(sweeps >= before + 10);
    dc->removeEventFilter(&counter);
    QVERIFY2(calls <= sweeps - before + 1, qPrintable(QString::number(calls)));

    QSignalSpy log(dc.get(), &DeviceComms::log);
    QTRY_VERIFY(log.count() >= 2);
    QVERIFY(log.at(0).at(0).toString().startsWith(QLatin1String(">> ")) ||
            log.at(0).at(0).toString().startsWith(QLatin1String("<< ")));
}

void TestDeviceComms::requestsIgnoredInTheWrongState()
{
    QVERIFY(startSim({}));
    dc->sendRfSetupAndScan(rfParams2400());
    dc->disconnectFromDevice();
    QVERIFY(!dc->busy());
    QVERIFY(connectSession(true));
    flags.clear();
    dc->connectToDevice(false);
    QVERIFY(!dc->busy());
    QTest::qWait(200);
    QCOMPARE(rx().size(), 3);
    QVERIFY(flags.isEmpty());
}

void TestDeviceComms::setupThenScanBackToBack_data()
{
    QTest::addColumn<QVariantMap>("set");
    QTest::addColumn<QStringList>("setupFrames");
    QTest::addColumn<int>("points");
    QTest::newRow("2.4 GHz") << rfParams2400()
                             << QStringList({hexFrame(0x14, "02"), hexFrame(0x15, "09600000"),
                                             hexFrame(0x16, "09c40000"), hexFrame(0x19, "29"),
                                             hexFrame(0x18, "00003333"), hexFrame(0x1A, "0005"),
                                             hexFrame(0x1B, "0064"), hexFrame(0x17, "09")})
                             << 501;
    QTest::newRow("900 MHz") << rfParams900()
                             << QStringList({hexFrame(0x14, "01"), hexFrame(0x15, "03860000"),
                                             hexFrame(0x16, "03a00000"), hexFrame(0x19, "24"),
                                             hexFrame(0x18, "00001a6f"), hexFrame(0x1A, "000a"),
                                             hexFrame(0x1B, "001a"), hexFrame(0x17, "09")})
                             << 252;
}

void TestDeviceComms::setupThenScanBackToBack()
{
    QFETCH(QVariantMap, set);
    QFETCH(QStringList, setupFrames);
    QFETCH(int, points);
    QVERIFY(startSim({"--rate", "100"}));
    QVERIFY(connectSession(true));
    flags.clear();
    QVERIFY(startScan(set));
    QCOMPARE(flags, QStringList({"busy:1", "scanning:1", "busy:0"}));
    QCOMPARE(lastSweepSize, points);
    const QStringList sent = rx().mid(3);
    QCOMPARE(sent.mid(0, 8), setupFrames);
    // after the setup only sweep requests, one per sweep taken
    for (const QString &f : sent.mid(8))
        QCOMPARE(f, hexFrame(0x1F));
    QVERIFY(sent.size() - 8 >= sweeps);

    flags.clear();
    emit dc->stopScanning();
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning(); }, Wait));
    QCOMPARE(flags, QStringList({"scanning:0"}));
    QVERIFY(dc->connected());
    QVERIFY(!dc->busy());
    const int requests = rx().size();
    QTest::qWait(300);
    QCOMPARE(rx().size(), requests); // no more requests once stopped
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::restartRightAfterStop_data()
{
    QTest::addColumn<bool>("stopAsScanStarts");
    QTest::newRow("stop during the scan") << false;
    QTest::newRow("stop as the scan starts") << true;
}

void TestDeviceComms::restartRightAfterStop()
{
    // A stop must not leave a sweep in flight: its rest would be taken as
    // the acknowledgement of the next setup's first command.
    QFETCH(bool, stopAsScanStarts);
    QVERIFY(startSim({}));
    QVERIFY(connectSession(true));
    for (int round = 0; round < 3; ++round) {
        const int before = sweeps;
        QMetaObject::Connection stopper;
        if (stopAsScanStarts) {
            stopper = connect(dc.get(), &DeviceComms::scanningChanged, this, [this](bool on) {
                if (on)
                    emit dc->stopScanning();
            });
            dc->sendRfSetupAndScan(round % 2 ? rfParams900() : rfParams2400());
            QVERIFY(QTest::qWaitFor([this] { return !dc->busy() && !dc->scanning(); }, Wait));
            QObject::disconnect(stopper);
        } else {
            dc->sendRfSetupAndScan(round % 2 ? rfParams900() : rfParams2400());
            QVERIFY(QTest::qWaitFor([&] { return sweeps >= before + 2; }, Wait));
            emit dc->stopScanning();
            QVERIFY(QTest::qWaitFor([this] { return !dc->scanning(); }, Wait));
        }
        QVERIFY(dc->connected());
    }
    // and the session still works: a full scan right away
    sweeps = 0;
    QVERIFY(startScan(rfParams900()));
    QCOMPARE(lastSweepSize, 252);
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join(", ")));
    emit dc->stopScanning();
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning(); }, Wait));
}

void TestDeviceComms::disconnect()
{
    QVERIFY(startSim({}));
    QVERIFY(connectSession(true));
    QSignalSpy done(dc.get(), &DeviceComms::rfsaDisconnectDone);
    flags.clear();
    dc->disconnectFromDevice();
    QVERIFY(QTest::qWaitFor([this] { return !dc->connected() && !dc->busy(); }, Wait));
    QCOMPARE(done.count(), 1);
    QCOMPARE(flags, QStringList({"busy:1", "connected:0", "busy:0"}));
    QCOMPARE(rx().last(), hexFrame(0x02));
    QVERIFY(boxes.isEmpty());
    // and connects again on the same port
    QVERIFY(connectSession(true));
}

void TestDeviceComms::singleCommandPayload()
{
    QVERIFY(startSim({}));
    QSignalSpy info(dc.get(), &DeviceComms::rfsaGetInfoStrDone);
    QSignalSpy fw(dc.get(), &DeviceComms::rfsaGetFwVerDone);
    QSignalSpy dev(dc.get(), &DeviceComms::rfsaGetDeviceVerDone);
    dc->rfsaGetInfoString(1, 0);
    QTRY_COMPARE_WITH_TIMEOUT(info.count(), 1, Wait);
    QCOMPARE(info.at(0).at(2).toString(), QString("1.0.0.9.0.69"));
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    dc->rfsaGetDeviceVer();
    QTRY_COMPARE_WITH_TIMEOUT(dev.count(), 1, Wait);
    QCOMPARE(dev.at(0).at(0).toString(), QString("Orvanel Scanner"));
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    dc->rfsaSetFStart(2412.5);
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(rx(),
             QStringList({hexFrame(0x82, "0100"), hexFrame(0x03), hexFrame(0x15, "096c8000")}));
    QVERIFY(!dc->connected()); // single commands do not look at the session
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::setupWatchdogCoversWholeSequence_data()
{
    QTest::addColumn<QStringList>("delays");
    QTest::addColumn<bool>("scans");
    QTest::newRow("one ack after 1300 ms") << QStringList({"--delay-cmd", "15=1300"}) << true;
    // every acknowledgement comes well within 2000 ms, the whole setup not
    QTest::newRow("two acks of 1300 ms")
        << QStringList({"--delay-cmd", "15=1300", "--delay-cmd", "17=1300"}) << false;
}

void TestDeviceComms::setupWatchdogCoversWholeSequence()
{
    QFETCH(QStringList, delays);
    QFETCH(bool, scans);
    QVERIFY(startSim(delays));
    QVERIFY(connectSession(true));
    if (scans) {
        QVERIFY(startScan(rfParams2400()));
        QVERIFY(boxes.isEmpty());
        return;
    }
    dc->sendRfSetupAndScan(rfParams2400());
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"Communication error! No response received"}));
    QVERIFY(!dc->connected());
    QVERIFY(!dc->scanning());
    QCOMPARE(sweeps, 0);
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

void TestDeviceComms::initParameterAlwaysTimesOut()
{
    QVERIFY(startSim({}));
    QSignalSpy done(dc.get(), &DeviceComms::rfsaInitParameterDone);
    dc->rfsaInitParameter();
    QVERIFY(dc->busy());
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"Communication error! No response received"}));
    QCOMPARE(done.count(), 0);
    QVERIFY(rx().isEmpty()); // nothing was sent
}

void TestDeviceComms::disconnectGivesUpAfter100ms_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no answer") << QStringList({"--no-ack", "02"});
    // Given up on long before the answer: the port is closed when it comes.
    QTest::newRow("answer after 1500 ms") << QStringList({"--delay-cmd", "02=1500"});
}

void TestDeviceComms::disconnectGivesUpAfter100ms()
{
    QFETCH(QStringList, args);
    QVERIFY(startSim(args));
    QVERIFY(connectSession(true));
    QSignalSpy done(dc.get(), &DeviceComms::rfsaDisconnectDone);
    QElapsedTimer t;
    t.start();
    dc->disconnectFromDevice();
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    qInfo() << "disconnect gave up after" << t.elapsed() << "ms";
    QVERIFY(!sim->logLines("TX").contains(hexFrame(0x02))); // not waited for the answer
    QCOMPARE(done.count(), 1);
    QVERIFY(!dc->connected());
    QVERIFY(boxes.isEmpty());
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

void TestDeviceComms::stalledSweepWaitsUntilStopped()
{
    QVERIFY(startSim({"--stall-sweep", "4", "--rate", "100"}));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    QVERIFY(sim->waitForLog("RX", 3 + 8 + 4, Wait));
    QTest::qWait(2600); // longer than the watchdog
    QCOMPARE(sweeps, 3);
    QVERIFY(dc->scanning());
    QVERIFY(boxes.isEmpty());
    emit dc->stopScanning();
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning(); }, Wait));
    QVERIFY(dc->connected());
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::silentScannerEndsTheScan()
{
    QVERIFY(startSim({"--stall-sweep", "4", "--rate", "100"}));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    QSignalSpy errors(dc.get(), &DeviceComms::error);
    QSignalSpy lost(dc.get(), &DeviceComms::deviceLost);
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning() && !dc->busy(); }, 3 * Wait));
    QCOMPARE(boxTexts(), QStringList({"The scanner stopped sending data."}));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!dc->connected());
    QCOMPARE(sweeps, 3);
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

void TestDeviceComms::badCrcShowsItsText()
{
    QVERIFY(startSim({"--bad-crc", "2"}));
    dc->connectToDevice(false);
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"Crc error on received data"}));
    QVERIFY(!dc->connected());
    QCOMPARE(flags, QStringList({"busy:1", "busy:0", "scanning:0"}));
}

void TestDeviceComms::noAnswerShowsTimeoutUnlessQc()
{
    QVERIFY(startSim({"--no-ack", "07"}));
    dc->rfsaSync();
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"Communication error! No response received"}));
    boxes.clear();
    dc->setQcMode(true);
    dc->rfsaSync();
    QVERIFY(dc->busy());
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QVERIFY(boxes.isEmpty());
    QCOMPARE(rx(), QStringList({hexFrame(0x07), hexFrame(0x07)}));
}

void TestDeviceComms::hostBootloaderTimeoutCountsAsDone()
{
    QVERIFY(startSim({"--no-ack", "81"}));
    QSignalSpy done(dc.get(), &DeviceComms::rfsaHostBLDone);
    dc->rfsaHostBL();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, Wait);
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::connectTimeoutByMatchingPorts_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("bootload");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("one") << QStringList({"ttyACM0"}) << 1 << QStringList();
    QTest::newRow("several") << QStringList({"ttyACM0", "ttyACM1"}) << 0
                             << QStringList({"Communication error! No response received"});
    QTest::newRow("none") << QStringList() << 0
                          << QStringList({"Unable to find any Orvanel device!"});
}

void TestDeviceComms::connectTimeoutByMatchingPorts()
{
    QFETCH(QStringList, ports);
    QFETCH(int, bootload);
    QFETCH(QStringList, texts);
    QVERIFY(startSim({"--no-ack", "82"}));
    QStringList asked;
    dc->setPortFinder([&](const QString &description) {
        asked << description;
        return ports;
    });
    QSignalSpy shouldBootload(dc.get(), &DeviceComms::shouldTryBootload);
    dc->connectToDevice(false);
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    QCOMPARE(shouldBootload.count(), bootload);
    QStringList shown = boxTexts();
    for (QString &t : shown)
        t = t.section(QLatin1Char('\n'), 0, 0); // the advice that follows is tested apart
    QCOMPARE(shown, texts);
    QVERIFY(!asked.isEmpty());
    QCOMPARE(asked.first(), QString("Orvanel"));
    QVERIFY(!dc->connected());
}

void TestDeviceComms::portThatCannotBeOpened()
{
    QSignalSpy shouldBootload(dc.get(), &DeviceComms::shouldTryBootload);
    dc->setPortFinder([](const QString &) { return QStringList({"ttyACM0"}); });
    dc->setPortName(QStringLiteral("/nonexistent/ttyOrvanel"));
    QElapsedTimer t;
    t.start();
    dc->connectToDevice(false);
    QVERIFY(QTest::qWaitFor([this] { return !dc->busy(); }, Wait));
    qInfo() << "open failure reported after" << t.elapsed() << "ms";
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.at(0).text.startsWith("Cannot open communication port: "));
    QVERIFY(boxes.at(0).text.size() > int(strlen("Cannot open communication port: ")));
    // an error, not a connect time-out: no firmware recovery offered
    QCOMPARE(shouldBootload.count(), 0);
    QVERIFY(!dc->connected());
}

void TestDeviceComms::cablePulledDuringScan()
{
    QVERIFY(startSim({"--hangup-after", "5", "--rate", "100"}));
    QVERIFY(connectSession(true));
    dc->sendRfSetupAndScan(rfParams2400());
    QVERIFY(QTest::qWaitFor([this] { return !boxes.isEmpty(); }, Wait));
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning() && !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"The connection to the device was lost"}));
    QVERIFY(!dc->connected());
    QCOMPARE(sweeps, 5);
    QVERIFY(!sim->running() || sim->waitForExit());
    QTest::qWait(200);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

void TestDeviceComms::readErrorEndsScanOnlyIfItRepeats_data()
{
    QTest::addColumn<int>("errors");
    QTest::newRow("a lone one (a read that found nothing)") << 1;
    QTest::newRow("a repeat (the device is gone)") << 2;
}

void TestDeviceComms::readErrorEndsScanOnlyIfItRepeats()
{
    QFETCH(int, errors);
    QVERIFY(startSim({"--rate", "100"}));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    QVERIFY(QTest::qWaitFor([this] { return sweeps >= 2; }, Wait));
    // Raised on the port's own thread, as a real read error is.
    QSerialPort *port = SerialComms::sharedPort();
    QMetaObject::invokeMethod(port, [port, errors] {
        for (int i = 0; i < errors; ++i)
            emit port->errorOccurred(QSerialPort::ReadError);
    });
    if (errors == 1) {
        const int before = sweeps;
        QVERIFY(QTest::qWaitFor([&] { return sweeps >= before + 5; }, Wait));
        QVERIFY(dc->scanning());
        QVERIFY(boxes.isEmpty());
        return;
    }
    QVERIFY(QTest::qWaitFor([this] { return !dc->scanning() && !dc->busy(); }, Wait));
    QCOMPARE(boxTexts(), QStringList({"The connection to the device was lost"}));
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

void TestDeviceComms::shutdownWhileScanning_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("device answers") << QStringList({"--rate", "100"});
    QTest::newRow("device silent") << QStringList({"--rate", "100", "--no-ack", "02"});
    QTest::newRow("unpaced") << QStringList({"--fast"});
}

void TestDeviceComms::shutdownWhileScanning()
{
    QFETCH(QStringList, args);
    QVERIFY(startSim(args));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    dc->shutdown();
    QVERIFY(!dc->workThread()->isRunning());
    // the emulator may be busy pacing out a sweep: wait for it to read
    QVERIFY(QTest::qWaitFor([this] { return rx().contains(hexFrame(0x02)); }, Wait));
    QTest::qWait(300);
    const QStringList sent = rx();
    QVERIFY2(sent.count(hexFrame(0x02)) == 1 && sent.last() == hexFrame(0x02),
             qPrintable(sim->logLines().mid(qMax(0, sim->logLines().size() - 6)).join("\n")));
    QVERIFY(!SerialComms::sharedPort()->isOpen());
    QVERIFY(boxes.isEmpty());
}

void TestDeviceComms::destroyedWhileScanning()
{
    // Without shutdown: the communication thread may be waiting for this
    // thread to take a sweep while the destructor waits for it.
    QVERIFY(startSim({"--fast"}));
    QVERIFY(connectSession(true));
    QVERIFY(startScan(rfParams2400()));
    dc.reset();
    QVERIFY(!SerialComms::sharedPort()->isOpen());
    QVERIFY(boxes.isEmpty());
    // a new session takes the port over and works
    dc.reset(new DeviceComms);
    dc->setPortName(sim->ptyPath());
    QVERIFY(connectSession(true));
}

QTEST_GUILESS_MAIN(TestDeviceComms)
#include "tst_devicecomms.moc"

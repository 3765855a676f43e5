// The program's own protocol object against the emulator: what the program
// does on connect, setup and scan must work end to end over the pty.
#include "devicetypes.h"
#include "rfsaserialcomms.h"
#include "simprocess.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

//! Calls `send` and waits for `spy` to grow by one.
template <typename Send> bool answered(QSignalSpy &spy, Send send, int timeoutMs = 3000)
{
    const int before = spy.count();
    send();
    return spy.count() > before || spy.wait(timeoutMs);
}

} // namespace

class TestSimWithComms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void connectSequence();
    void setupAndScan_data();
    void setupAndScan();
    void otherCommands();
    void disconnectAndReconnect();
    void outdatedVersions();
    void corruptFramesReachTheProgram();
};

void TestSimWithComms::initTestCase()
{
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM is not set; run through ctest");
    registerDeviceMetaTypes();
}

void TestSimWithComms::connectSequence()
{
    SimProcess sim;
    QVERIFY2(
        sim.start({"--fast", "--rf-params-900", "58.5:102:52,117:203:36", "--sweep-count", "7"}),
        qPrintable(sim.errorText()));
    RfsaSerialComms comms(sim.ptyPath());
    QSignalSpy errors(&comms, &SerialComms::error);
    QSignalSpy info(&comms, &RfsaSerialComms::getInfoStrDone);
    QSignalSpy params(&comms, &RfsaSerialComms::getRfParamsDone);
    QSignalSpy connected(&comms, &RfsaSerialComms::connectDone);
    QVERIFY(info.isValid() && params.isValid() && connected.isValid());

    QVERIFY(answered(info, [&] { comms.getInfoStr(1, 0); }));
    QCOMPARE(info.last().at(2).toString(), QString("1.0.0.9.0.69"));
    QVERIFY(answered(info, [&] { comms.getInfoStr(0, 0); }));
    QCOMPARE(info.last().at(2).toString(), QString("1.0.0.9.0.0"));

    QVERIFY(answered(params, [&] { comms.getRfParams(RfsaSerialComms::FBand_900MHz); }));
    const RfParams p900 = params.last().at(0).value<RfParams>();
    QCOMPARE(p900.sweepCount, 7);
    QCOMPARE(p900.entries.size(), 2);
    QCOMPARE(p900.entries.at(0).rbw, 58.5);
    QCOMPARE(p900.entries.at(0).ifValue, 102);
    QCOMPARE(p900.entries.at(1).setting, 36);
    QVERIFY(answered(params, [&] { comms.getRfParams(RfsaSerialComms::FBand_2400MHz); }));
    QVERIFY(params.last().at(0).value<RfParams>().entries.size() >= 2);

    QVERIFY(answered(connected, [&] { comms.connect(); }));
    QVERIFY(errors.isEmpty());
}

void TestSimWithComms::setupAndScan_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<double>("fStart");
    QTest::addColumn<double>("fStop");
    QTest::addColumn<int>("rbw");
    QTest::addColumn<double>("fStep");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("points");
    QTest::newRow("2.4 GHz") << 2 << 2400.0 << 2500.0 << 41 << 200.0 << 5 << 100 << 501;
    QTest::newRow("900 MHz") << 1 << 902.0 << 928.0 << 36 << 103.25 << 10 << 26 << 252;
}

void TestSimWithComms::setupAndScan()
{
    QFETCH(int, band);
    QFETCH(double, fStart);
    QFETCH(double, fStop);
    QFETCH(int, rbw);
    QFETCH(double, fStep);
    QFETCH(int, stepCount);
    QFETCH(int, span);
    QFETCH(int, points);

    SimProcess sim;
    QVERIFY2(sim.start({"--fast"}), qPrintable(sim.errorText()));
    RfsaSerialComms comms(sim.ptyPath());
    QSignalSpy errors(&comms, &SerialComms::error);

    // The eight set-commands in the program's order, each acknowledged.
    QSignalSpy s1(&comms, &RfsaSerialComms::setFBandDone);
    QSignalSpy s2(&comms, &RfsaSerialComms::setFStartDone);
    QSignalSpy s3(&comms, &RfsaSerialComms::setFStopDone);
    QSignalSpy s4(&comms, &RfsaSerialComms::setRBWDone);
    QSignalSpy s5(&comms, &RfsaSerialComms::setFStepDone);
    QSignalSpy s6(&comms, &RfsaSerialComms::setStepCountDone);
    QSignalSpy s7(&comms, &RfsaSerialComms::setSpanDone);
    QSignalSpy s8(&comms, &RfsaSerialComms::setSpanIndexDone);
    QVERIFY(answered(s1, [&] { comms.setFBand(RfsaSerialComms::SetFBand(band)); }));
    QVERIFY(answered(s2, [&] { comms.setFStart(fStart); }));
    QVERIFY(answered(s3, [&] { comms.setFStop(fStop); }));
    QVERIFY(answered(s4, [&] { comms.setRBW(uchar(rbw)); }));
    QVERIFY(answered(s5, [&] { comms.setFStep(fStep); }));
    QVERIFY(answered(s6, [&] { comms.setStepCount(ushort(stepCount)); }));
    QVERIFY(answered(s7, [&] { comms.setSpan(ushort(span)); }));
    QVERIFY(answered(s8, [&] { comms.setSpanIndex(9); }));

    // Back-to-back sweeps as the scan sequence requests them.
    QSignalSpy acks(&comms, &RfsaSerialComms::getSpecNoInitAck);
    QSignalSpy sweeps(&comms, &RfsaSerialComms::getSpecNoInitDone);
    for (int i = 0; i < 10; ++i) {
        QVERIFY(answered(sweeps, [&] { comms.getSpecNoInit(); }));
        const RfSpectrumScan s = sweeps.last().at(1).value<RfSpectrumScan>();
        QCOMPARE(s.size(), points);
        QVERIFY(!s.contains(-128));
        QVERIFY(sweeps.last().at(0).toLongLong() > 0);
    }
    QCOMPARE(acks.count(), 10);
    QVERIFY(errors.isEmpty());
}

void TestSimWithComms::otherCommands()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--device-version", "Field unit"}), qPrintable(sim.errorText()));
    RfsaSerialComms comms(sim.ptyPath());
    QSignalSpy dev(&comms, &RfsaSerialComms::getDeviceVerDone);
    QSignalSpy fw(&comms, &RfsaSerialComms::getFwVerDone);
    QSignalSpy err(&comms, &RfsaSerialComms::getLastErrorDone);
    QSignalSpy sync(&comms, &RfsaSerialComms::syncDone);
    QSignalSpy cal(&comms, &RfsaSerialComms::getCalibrationDone);
    QSignalSpy hostBL(&comms, &RfsaSerialComms::hostBLDone);
    QVERIFY(answered(dev, [&] { comms.getDeviceVer(); }));
    QCOMPARE(dev.last().at(0).toString(), QString("Field unit"));
    QVERIFY(answered(fw, [&] { comms.getFwVer(); }));
    QCOMPARE(fw.last().at(0).toString(), QString("1.0.0.9.0.0"));
    QVERIFY(answered(err, [&] { comms.getLastError(); }));
    QCOMPARE(err.last().at(0).toInt(), 0);
    QVERIFY(answered(sync, [&] { comms.sync(); }));
    QVERIFY(answered(cal, [&] { comms.getCalibration(); }));
    QCOMPARE(cal.last().at(1).value<RfSpectrumScan>().size(), 501);
    // Each of these hands the line over for good: the host-bootloader ack is
    // the last the port hears.
    QVERIFY(answered(hostBL, [&] { comms.hostBL(); }));
}

void TestSimWithComms::disconnectAndReconnect()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast"}), qPrintable(sim.errorText()));
    for (int round = 0; round < 3; ++round) {
        RfsaSerialComms comms(sim.ptyPath());
        QSignalSpy errors(&comms, &SerialComms::error);
        QSignalSpy connected(&comms, &RfsaSerialComms::connectDone);
        QSignalSpy sweeps(&comms, &RfsaSerialComms::getSpecNoInitDone);
        QSignalSpy disconnected(&comms, &RfsaSerialComms::disconnectDone);
        QVERIFY(answered(connected, [&] { comms.connect(); }));
        QVERIFY(answered(sweeps, [&] { comms.getSpecNoInit(); }));
        QVERIFY(answered(disconnected, [&] { comms.disconnect(); }));
        QTRY_VERIFY(!SerialComms::sharedPort()->isOpen()); // the program closes on disconnect
        QVERIFY(errors.isEmpty());
    }
    QVERIFY(sim.running());
    QVERIFY(sim.standardError().contains("session closed"));
}

void TestSimWithComms::outdatedVersions()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--outdated"}), qPrintable(sim.errorText()));
    RfsaSerialComms comms(sim.ptyPath());
    QSignalSpy info(&comms, &RfsaSerialComms::getInfoStrDone);
    QVERIFY(answered(info, [&] { comms.getInfoStr(1, 0); }));
    QCOMPARE(info.last().at(2).toString(), QString("1.0.0.8.0.60"));
    QVERIFY(answered(info, [&] { comms.getInfoStr(0, 0); }));
    QCOMPARE(info.last().at(2).toString(), QString("1.0.0.8.0.0"));
}

void TestSimWithComms::corruptFramesReachTheProgram()
{
    // The emulator's faults are what the program has to survive: a spoilt
    // CRC is reported as such, not swallowed.
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--bad-crc", "3"}), qPrintable(sim.errorText()));
    RfsaSerialComms comms(sim.ptyPath());
    QSignalSpy errors(&comms, &SerialComms::error);
    comms.getSpecNoInit(); // frames 1 (ack), 2, 3 (spoilt), 4
    QVERIFY(errors.wait(3000));
    QCOMPARE(errors.first().at(0).toString(), QString("Crc error on received data"));
}

QTEST_GUILESS_MAIN(TestSimWithComms)
#include "tst_simwithcomms.moc"

#include "ptypair.h"
#include "rfsaframe.h"
#include "rfsaserialcomms.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QByteArray frame(int command, const QByteArray &payload = QByteArray())
{
    return RfsaFrame::buildFrame(static_cast<quint8>(command), payload);
}

QByteArray points(int count, int first = 0)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(static_cast<char>(static_cast<qint8>(-(first + i) % 128)));
    return b;
}

RfSpectrumScan scanOf(const QByteArray &bytes)
{
    RfSpectrumScan s;
    for (char c : bytes)
        s.append(static_cast<qint8>(c));
    return s;
}

QByteArray rfHeader(int count, int sweepCount)
{
    return QByteArray(1, static_cast<char>(count)) +
           RfsaFrame::u16(static_cast<quint16>(sweepCount));
}

QByteArray rfEntry(double rbw, int ifValue, int setting)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out << rbw << quint16(ifValue) << quint8(setting);
    return b;
}

// A protocol object on the slave side of a fresh pty, the test playing the
// device on the master side.
struct Rig
{
    PtyPair pty;
    std::unique_ptr<RfsaSerialComms> comms;

    Rig() { comms.reset(new RfsaSerialComms(pty.slavePath())); }

    //! What the program wrote, waiting for at least `size` bytes.
    QByteArray sent(int size)
    {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += pty.readAvailable();
                return got.size() >= size;
            },
            5000);
        return got;
    }
    //! What reached the device before the program's event loop ran again:
    //! a request must not wait for the loop to notice the port is writable.
    QByteArray sentAtOnce(int size)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < size && !clock.hasExpired(2000)) {
            pollfd pfd{pty.masterFd(), POLLIN, 0};
            ::poll(&pfd, 1, 100);
            got += pty.readAvailable();
        }
        return got;
    }
    //! The device's side: write, then let the program read.
    void reply(const QByteArray &bytes) { QVERIFY(pty.write(bytes)); }
};

} // namespace

class TestRfsaSerialComms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void commandFrames_data();
    void commandFrames();
    void requestsKeepTheirOrderWhenTheDeviceIsSlow();

    void splitReply();
    void twoFramesInOneRead();
    void fiveVersusFourBytes();
    void garbageFirstByteDiscardsBuffer();
    void badCrc();
    void firstFrameAfterWriteIsTheAck();

    void sweepOverTwoFrames();
    void sweep252();
    void leftoverPointsEmptiedByAck();
    void calibration();
    void replyTexts_data();
    void replyTexts();
    void shortPayloadsReadAsZero();
    void rfParamsThreeEntries();
    void rfParamsProgressResetAfterBrokenSequence();
    void rfParamsImpossibleCount_data();
    void rfParamsImpossibleCount();

    void secondObjectKeepsPortButClearsBuffers();
    void cannotOpenIsReported();
    void deviceGoneReportedOnce();
};

void TestRfsaSerialComms::initTestCase()
{
    registerDeviceMetaTypes();
    PtyPair probe;
    if (!probe.isValid())
        QSKIP("no pseudo-terminals on this machine");
}

void TestRfsaSerialComms::commandFrames_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QByteArray>("expected");
    using namespace RfsaFrame;
    QTest::newRow("connect") << "connect" << frame(CmdConnect);
    QTest::newRow("disconnect") << "disconnect" << frame(CmdDisconnect);
    QTest::newRow("getInfoStr(1,0)")
        << "getInfoStr(1,0)" << frame(0x82, QByteArray::fromHex("0100"));
    QTest::newRow("getRfParams(2400)")
        << "getRfParams(2400)" << frame(0x05, QByteArray::fromHex("01"));
    QTest::newRow("setFBand(2400)") << "setFBand(2400)" << QByteArray::fromHex("2a01140231e8");
    QTest::newRow("setFStart(2400)")
        << "setFStart(2400)" << frame(0x15, QByteArray::fromHex("09600000"));
    QTest::newRow("setFStop(2412.5)")
        << "setFStop(2412.5)" << frame(0x16, QByteArray::fromHex("096c8000"));
    QTest::newRow("setFStep(200)")
        << "setFStep(200)" << frame(0x18, QByteArray::fromHex("00003333"));
    QTest::newRow("setFStep(103.25)")
        << "setFStep(103.25)" << frame(0x18, QByteArray::fromHex("00001a6f"));
    QTest::newRow("setStepCount(258)")
        << "setStepCount(258)" << frame(0x1A, QByteArray::fromHex("0102"));
    QTest::newRow("setSpan(100)") << "setSpan(100)" << frame(0x1B, QByteArray::fromHex("0064"));
    QTest::newRow("setRBW(41)") << "setRBW(41)" << frame(0x19, QByteArray::fromHex("29"));
    QTest::newRow("setSpanIndex(9)") << "setSpanIndex(9)" << frame(0x17, QByteArray::fromHex("09"));
    QTest::newRow("getSpecNoInit") << "getSpecNoInit" << QByteArray::fromHex("2a001f66f6");
    QTest::newRow("hostBL") << "hostBL" << frame(0x81);
    QTest::newRow("resetToBootloader") << "resetToBootloader" << frame(0x80);
    QTest::newRow("getCalibration") << "getCalibration" << frame(0x83);
}

void TestRfsaSerialComms::commandFrames()
{
    QFETCH(QString, slot);
    QFETCH(QByteArray, expected);
    Rig rig;
    RfsaSerialComms &c = *rig.comms;
    QSignalSpy logSpy(&c, &SerialComms::log);
    QSignalSpy ackSpy(&c, &SerialComms::waitingAckChanged);
    if (slot == "connect")
        c.connect();
    else if (slot == "disconnect")
        c.disconnect();
    else if (slot == "getInfoStr(1,0)")
        c.getInfoStr(1, 0);
    else if (slot == "getRfParams(2400)")
        c.getRfParams(RfsaSerialComms::FBand_2400MHz);
    else if (slot == "setFBand(2400)")
        c.setFBand(RfsaSerialComms::SetFBand_2400MHz);
    else if (slot == "setFStart(2400)")
        c.setFStart(2400);
    else if (slot == "setFStop(2412.5)")
        c.setFStop(2412.5);
    else if (slot == "setFStep(200)")
        c.setFStep(200);
    else if (slot == "setFStep(103.25)")
        c.setFStep(103.25);
    else if (slot == "setStepCount(258)")
        c.setStepCount(258);
    else if (slot == "setSpan(100)")
        c.setSpan(100);
    else if (slot == "setRBW(41)")
        c.setRBW(41);
    else if (slot == "setSpanIndex(9)")
        c.setSpanIndex(9);
    else if (slot == "getSpecNoInit")
        c.getSpecNoInit();
    else if (slot == "hostBL")
        c.hostBL();
    else if (slot == "resetToBootloader")
        c.resetToBootloader();
    else if (slot == "getCalibration")
        c.getCalibration();
    else
        QFAIL("unknown slot");
    QCOMPARE(rig.sentAtOnce(expected.size()).toHex(), expected.toHex());
    QCOMPARE(logSpy.count(), 1);
    QCOMPARE(logSpy.at(0).at(0).toString(), ">> " + QString::fromLatin1(expected.toHex()));
    QVERIFY(c.waitingAck());
    QCOMPARE(ackSpy.count(), 1);
    QCOMPARE(c.lastCommand(), quint8(expected.at(2)));
}

// A device that does not read fills the line: requests then wait in the
// port's buffer, and any written while some still wait must queue behind
// them, not overtake them once the device takes bytes again.
void TestRfsaSerialComms::requestsKeepTheirOrderWhenTheDeviceIsSlow()
{
    Rig rig;
    QSerialPort *port = SerialComms::sharedPort();
    QByteArray expected;
    quint16 n = 0;
    auto request = [&] {
        rig.comms->setStepCount(n);
        expected += frame(0x1A, RfsaFrame::u16(n++));
    };
    while (port->bytesToWrite() == 0 && n < 60000)
        request();
    QVERIFY(port->bytesToWrite() > 0);
    QByteArray got = rig.pty.readAvailable(); // room again, the loop not run yet
    QVERIFY(!got.isEmpty());
    for (int k = 0; k < 50; ++k)
        request();
    got += rig.sent(expected.size() - got.size());
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
}

void TestRfsaSerialComms::splitReply()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::getDeviceVerDone);
    rig.comms->getDeviceVer();
    rig.reply(frame(0x03)); // acknowledgement
    QTRY_VERIFY(!rig.comms->waitingAck());
    const QByteArray reply = frame(0x03, "Orvanel Scanner");
    rig.reply(reply.left(2));
    QTRY_COMPARE(rig.comms->receivedData().size(), 2);
    rig.reply(reply.mid(2, 9));
    QTRY_COMPARE(rig.comms->receivedData().size(), 11);
    QCOMPARE(done.count(), 0);
    rig.reply(reply.mid(11));
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toString(), QString("Orvanel Scanner"));
    QVERIFY(rig.comms->receivedData().isEmpty());
}

void TestRfsaSerialComms::twoFramesInOneRead()
{
    Rig rig;
    QSignalSpy fw(rig.comms.get(), &RfsaSerialComms::getFwVerDone);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->getFwVer();
    // one read delivering both, as the port would after a busy moment
    rig.comms->receive(frame(0x04) + frame(0x04, QByteArray::fromHex("010009")));
    QCOMPARE(fw.count(), 1);
    QCOMPARE(fw.at(0).at(0).toString(), QString("1.0.9"));
    // send, ack, reply, decoded text: in order
    QStringList lines;
    for (const auto &args : log)
        lines << args.at(0).toString();
    QCOMPARE(lines, QStringList(
                        {">> " + QString(frame(0x04).toHex()), "<< " + QString(frame(0x04).toHex()),
                         "<< " + QString(frame(0x04, QByteArray::fromHex("010009")).toHex()),
                         "Firmware Version: 1.0.9"}));
}

void TestRfsaSerialComms::fiveVersusFourBytes()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::connectDone);
    rig.comms->connect();
    const QByteArray ack = frame(0x01);
    QCOMPARE(ack.size(), 5);
    rig.reply(ack.left(4));
    QTRY_COMPARE(rig.comms->receivedData().size(), 4);
    QTest::qWait(50);
    QCOMPARE(done.count(), 0);
    QVERIFY(rig.comms->waitingAck());
    rig.reply(ack.right(1));
    QTRY_COMPARE(done.count(), 1);
    QVERIFY(!rig.comms->waitingAck());
}

void TestRfsaSerialComms::garbageFirstByteDiscardsBuffer()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::syncDone);
    QSignalSpy err(rig.comms.get(), &SerialComms::error);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->sync();
    const QByteArray junk = QByteArray::fromHex("55") + frame(0x07) + frame(0x07);
    rig.reply(junk);
    QTRY_VERIFY(log.count() >= 2);
    QCOMPARE(log.last().at(0).toString(), "Data Corruption! " + QString(junk.toHex()));
    QVERIFY(rig.comms->receivedData().isEmpty());
    QCOMPARE(done.count(), 0);
    QCOMPARE(err.count(), 0);
    QVERIFY(rig.comms->waitingAck());
    // the link recovers with the next clean frame
    rig.reply(frame(0x07));
    QTRY_COMPARE(done.count(), 1);
}

void TestRfsaSerialComms::badCrc()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::setSpanDone);
    QSignalSpy err(rig.comms.get(), &SerialComms::error);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->setSpan(100);
    QByteArray bad = frame(0x1B);
    bad[4] = static_cast<char>(bad.at(4) ^ 0x01);
    rig.reply(bad + frame(0x1B)); // the good frame behind it goes too
    QTRY_COMPARE(err.count(), 1);
    QCOMPARE(err.at(0).at(0).toString(), QString("Crc error on received data"));
    QCOMPARE(log.last().at(0).toString(), "CRC error: " + QString(bad.toHex()));
    QVERIFY(rig.comms->receivedData().isEmpty());
    QVERIFY(rig.comms->waitingAck());
    QCOMPARE(done.count(), 0);
}

void TestRfsaSerialComms::firstFrameAfterWriteIsTheAck()
{
    Rig rig;
    QSignalSpy connectDone(rig.comms.get(), &RfsaSerialComms::connectDone);
    QSignalSpy fw(rig.comms.get(), &RfsaSerialComms::getFwVerDone);
    rig.comms->getFwVer();
    // An acknowledgement carrying another command's code: still the ack,
    // and the table goes by the code received.
    rig.reply(frame(0x01) + frame(0x04, QByteArray::fromHex("02")));
    QTRY_COMPARE(fw.count(), 1);
    QCOMPARE(connectDone.count(), 1);
    QCOMPARE(fw.at(0).at(0).toString(), QString("2"));
    // an unknown code as ack triggers nothing but clears the wait
    rig.comms->sync();
    QSignalSpy sync(rig.comms.get(), &RfsaSerialComms::syncDone);
    rig.reply(frame(0x55));
    QTRY_VERIFY(!rig.comms->waitingAck());
    QCOMPARE(sync.count(), 0);
}

void TestRfsaSerialComms::sweepOverTwoFrames()
{
    Rig rig;
    QSignalSpy ack(rig.comms.get(), &RfsaSerialComms::getSpecNoInitAck);
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::getSpecNoInitDone);
    QSignalSpy lastErr(rig.comms.get(), &RfsaSerialComms::getLastErrorDone);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->getSpecNoInit();
    const QByteArray a = points(255), b = points(246, 255);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    rig.reply(frame(0x1F) + frame(0x1F, a) + frame(0x1F, b) +
              frame(0x06, QByteArray::fromHex("0003")));
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(ack.count(), 1);
    QCOMPARE(lastErr.count(), 1);
    QCOMPARE(lastErr.at(0).at(0).toInt(), 3);
    const auto spectrum = done.at(0).at(1).value<RfSpectrumScan>();
    QCOMPARE(spectrum.size(), 501);
    QCOMPARE(spectrum, scanOf(a + b));
    QVERIFY(done.at(0).at(0).toLongLong() >= before);
    const QString line = log.last().at(0).toString();
    QVERIFY(line.startsWith("Current Spectrum: (501) 0 -1 -2 "));
    QVERIFY(line.endsWith(" "));
}

void TestRfsaSerialComms::sweep252()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::getSpecNoInitDone);
    rig.comms->getSpecNoInit();
    const QByteArray a = points(252, 7);
    rig.reply(frame(0x1F) + frame(0x1F, a) + frame(0x06, QByteArray::fromHex("0000")));
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(1).value<RfSpectrumScan>(), scanOf(a));
}

void TestRfsaSerialComms::leftoverPointsEmptiedByAck()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::getSpecNoInitDone);
    rig.comms->getSpecNoInit();
    rig.reply(frame(0x1F) + frame(0x1F, points(100)));
    QTRY_COMPARE(rig.comms->receivedSpectrum().size(), 100);
    // the sweep never closed; the next request starts afresh
    rig.comms->getSpecNoInit();
    const QByteArray b = points(30, 40);
    rig.reply(frame(0x1F) + frame(0x1F, b) + frame(0x06, QByteArray::fromHex("0000")));
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(1).value<RfSpectrumScan>(), scanOf(b));
    // a 06 frame after another command delivers no sweep
    rig.comms->getLastError();
    rig.reply(frame(0x06) + frame(0x06, QByteArray::fromHex("0001")));
    QTest::qWait(100);
    QCOMPARE(done.count(), 1);
}

void TestRfsaSerialComms::calibration()
{
    Rig rig;
    QSignalSpy done(rig.comms.get(), &RfsaSerialComms::getCalibrationDone);
    QSignalSpy sweeps(rig.comms.get(), &RfsaSerialComms::getSpecNoInitDone);
    rig.comms->getCalibration();
    const QByteArray a = points(200), b = points(60, 3);
    rig.reply(frame(0x83) + frame(0x83, a) + frame(0x83, b) +
              frame(0x06, QByteArray::fromHex("0000")));
    QTRY_COMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(1).value<RfSpectrumScan>(), scanOf(a + b));
    QCOMPARE(sweeps.count(), 0);
}

void TestRfsaSerialComms::replyTexts_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("text");
    QTest::newRow("fw bytes above 0x7F")
        << 0x04 << QByteArray::fromHex("01ff80007f") << "1.-1.-128.0.127";
    QTest::newRow("fw empty") << 0x04 << QByteArray() << "";
    QTest::newRow("device ver cut at zero")
        << 0x03 << QByteArray("Scanner\0\0junk", 13) << "Scanner";
    QTest::newRow("device ver utf-8") << 0x03
                                      << QByteArray("Sp\xc3\xa9"
                                                    "c")
                                      << QString::fromUtf8("Sp\xc3\xa9"
                                                           "c");
    QTest::newRow("info string") << 0x82 << QByteArray("1.0.0.9.0.69\0", 13) << "1.0.0.9.0.69";
}

void TestRfsaSerialComms::replyTexts()
{
    QFETCH(int, command);
    QFETCH(QByteArray, payload);
    QFETCH(QString, text);
    Rig rig;
    QSignalSpy dev(rig.comms.get(), &RfsaSerialComms::getDeviceVerDone);
    QSignalSpy fw(rig.comms.get(), &RfsaSerialComms::getFwVerDone);
    QSignalSpy info(rig.comms.get(), &RfsaSerialComms::getInfoStrDone);
    if (command == 0x03)
        rig.comms->getDeviceVer();
    else if (command == 0x04)
        rig.comms->getFwVer();
    else
        rig.comms->getInfoStr(1, 0);
    rig.reply(frame(command) + frame(command, payload));
    QTRY_COMPARE(dev.count() + fw.count() + info.count(), 1);
    if (command == 0x82) {
        QCOMPARE(info.at(0).at(0).value<uchar>(), uchar(1));
        QCOMPARE(info.at(0).at(1).value<uchar>(), uchar(0));
        QCOMPARE(info.at(0).at(2).toString(), text);
    } else {
        QCOMPARE((command == 0x03 ? dev : fw).at(0).at(0).toString(), text);
    }
}

void TestRfsaSerialComms::shortPayloadsReadAsZero()
{
    Rig rig;
    QSignalSpy lastErr(rig.comms.get(), &RfsaSerialComms::getLastErrorDone);
    QSignalSpy params(rig.comms.get(), &RfsaSerialComms::getRfParamsDone);
    rig.comms->getLastError();
    rig.reply(frame(0x06) + frame(0x06, QByteArray::fromHex("07")));
    QTRY_COMPARE(lastErr.count(), 1);
    QCOMPARE(lastErr.at(0).at(0).toInt(), 0);
    rig.comms->getRfParams(RfsaSerialComms::FBand_900MHz);
    // header without its sweep count, one entry cut short
    rig.reply(frame(0x05) + frame(0x05, QByteArray::fromHex("01")) +
              frame(0x05, rfEntry(1.5, 0x1234, 7).left(9)));
    QTRY_COMPARE(params.count(), 1);
    const auto p = params.at(0).at(0).value<RfParams>();
    QCOMPARE(p.sweepCount, 0);
    QCOMPARE(p.entries.size(), 1);
    QCOMPARE(p.entries.at(0).rbw, 1.5);
    QCOMPARE(p.entries.at(0).ifValue, 0);
    QCOMPARE(p.entries.at(0).setting, 0);
}

void TestRfsaSerialComms::rfParamsThreeEntries()
{
    Rig rig;
    QSignalSpy params(rig.comms.get(), &RfsaSerialComms::getRfParamsDone);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->getRfParams(RfsaSerialComms::FBand_2400MHz);
    rig.reply(frame(0x05) + frame(0x05, rfHeader(3, 60000)) +
              frame(0x05, rfEntry(58.04, 40000, 41)) + frame(0x05, rfEntry(101.56, 2, 0xC8)));
    QTRY_COMPARE(rig.comms->receivedData().size(), 0);
    QTest::qWait(50);
    QCOMPARE(params.count(), 0);
    rig.reply(frame(0x05, rfEntry(812.5, 3, 36)));
    QTRY_COMPARE(params.count(), 1);
    const auto p = params.at(0).at(0).value<RfParams>();
    QCOMPARE(p.sweepCount, 60000);
    QCOMPARE(p.entries.size(), 3);
    QCOMPARE(p.entries.at(0).rbw, 58.04);
    QCOMPARE(p.entries.at(0).ifValue, 40000);
    QCOMPARE(p.entries.at(1).setting, 200);
    QCOMPARE(p.entries.at(2).rbw, 812.5);
    QStringList lines;
    for (const auto &args : log)
        lines << args.at(0).toString();
    QVERIFY(lines.contains("RF Params - RBW Count: 3 Sweep Count: 60000"));
    QVERIFY(lines.contains("Entry 0 - RBW: 58.04 IF: 40000 Setting: 41"));
    // the next header starts a new table
    rig.comms->getRfParams(RfsaSerialComms::FBand_900MHz);
    rig.reply(frame(0x05) + frame(0x05, rfHeader(1, 5)) + frame(0x05, rfEntry(1, 1, 1)));
    QTRY_COMPARE(params.count(), 2);
    QCOMPARE(params.at(1).at(0).value<RfParams>().entries.size(), 1);
}

void TestRfsaSerialComms::rfParamsProgressResetAfterBrokenSequence()
{
    PtyPair pty;
    {
        RfsaSerialComms broken(pty.slavePath());
        broken.getRfParams(RfsaSerialComms::FBand_900MHz);
        QVERIFY(
            pty.write(frame(0x05) + frame(0x05, rfHeader(3, 1)) + frame(0x05, rfEntry(1, 1, 1))));
        QTRY_COMPARE(broken.receivedData().size(), 0);
        QTest::qWait(50);
    } // the sequence ends midway: two entries never came
    RfsaSerialComms next(pty.slavePath());
    QSignalSpy params(&next, &RfsaSerialComms::getRfParamsDone);
    next.getRfParams(RfsaSerialComms::FBand_2400MHz);
    QVERIFY(pty.write(frame(0x05) + frame(0x05, rfHeader(2, 9)) + frame(0x05, rfEntry(2, 2, 2)) +
                      frame(0x05, rfEntry(3, 3, 3))));
    QTRY_COMPARE(params.count(), 1);
    const auto p = params.at(0).at(0).value<RfParams>();
    QCOMPARE(p.sweepCount, 9);
    QCOMPARE(p.entries.size(), 2);
    QCOMPARE(p.entries.at(1).rbw, 3.0);
}

void TestRfsaSerialComms::rfParamsImpossibleCount_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("0xFF") << 0xFF;
    QTest::newRow("0x80") << 0x80;
    QTest::newRow("zero") << 0;
}

void TestRfsaSerialComms::rfParamsImpossibleCount()
{
    QFETCH(int, count);
    Rig rig;
    QSignalSpy params(rig.comms.get(), &RfsaSerialComms::getRfParamsDone);
    QSignalSpy log(rig.comms.get(), &SerialComms::log);
    rig.comms->getRfParams(RfsaSerialComms::FBand_900MHz);
    // entries behind a header that cannot be honoured are dropped, never
    // written past the (empty) table
    rig.reply(frame(0x05) + frame(0x05, rfHeader(count, 1)) + frame(0x05, rfEntry(1, 1, 1)) +
              frame(0x05, rfEntry(2, 2, 2)));
    QTRY_COMPARE(rig.comms->receivedData().size(), 0);
    QTest::qWait(50);
    QCOMPARE(params.count(), 0);
    QStringList lines;
    for (const auto &args : log)
        lines << args.at(0).toString();
    QVERIFY(lines.contains("RF Params - RBW Count: 0 Sweep Count: 1"));
    // and a fresh request works again
    rig.comms->getRfParams(RfsaSerialComms::FBand_900MHz);
    rig.reply(frame(0x05) + frame(0x05, rfHeader(1, 1)) + frame(0x05, rfEntry(1, 1, 1)));
    QTRY_COMPARE(params.count(), 1);
}

void TestRfsaSerialComms::secondObjectKeepsPortButClearsBuffers()
{
    Rig rig;
    QSerialPort *port = SerialComms::sharedPort();
    QVERIFY(port->isOpen());
    QSignalSpy closing(port, &QIODevice::aboutToClose);
    port->setBaudRate(QSerialPort::Baud9600); // a second object must not put it back
    QSignalSpy firstDone(rig.comms.get(), &RfsaSerialComms::syncDone);
    rig.comms->sync();
    QCOMPARE(rig.sent(5), frame(0x07));
    // stale bytes waiting in the port when the second object is made
    QVERIFY(rig.pty.write(frame(0x07)));
    RfsaSerialComms second(rig.pty.slavePath());
    QSignalSpy secondDone(&second, &RfsaSerialComms::syncDone);
    QTest::qWait(100);
    QCOMPARE(closing.count(), 0);
    QVERIFY(port->isOpen());
    QCOMPARE(port->baudRate(), 9600);
    port->setBaudRate(QSerialPort::Baud115200);
    QCOMPARE(firstDone.count() + secondDone.count(), 0);
    QVERIFY(rig.comms->receivedData().isEmpty());
    // the port still delivers, to whichever object reads first
    second.sync();
    QVERIFY(rig.pty.write(frame(0x07)));
    QTRY_COMPARE(firstDone.count() + secondDone.count(), 1);
}

void TestRfsaSerialComms::cannotOpenIsReported()
{
    RfsaSerialComms comms("/nonexistent/ttyOrvanel");
    QSignalSpy err(&comms, &SerialComms::error); // connected after construction
    QTRY_COMPARE(err.count(), 1);
    QVERIFY(err.at(0).at(0).toString().startsWith("Cannot open communication port: "));
    QVERIFY(err.at(0).at(0).toString().size() > QString("Cannot open communication port: ").size());
    QVERIFY(!comms.openError().isEmpty());
    QVERIFY(!SerialComms::sharedPort()->isOpen());
    comms.connect(); // goes nowhere, harmlessly
}

void TestRfsaSerialComms::deviceGoneReportedOnce()
{
    Rig rig;
    QSignalSpy err(rig.comms.get(), &SerialComms::error);
    rig.comms->getSpecNoInit();
    QCOMPARE(rig.sent(5), frame(0x1F));
    rig.pty.closeMaster();
    QTRY_COMPARE(err.count(), 1);
    QTest::qWait(200);
    QCOMPARE(err.count(), 1);
    QCOMPARE(err.at(0).at(0).toString(), QString("The connection to the device was lost"));
    QVERIFY(!SerialComms::sharedPort()->isOpen());
}

QTEST_GUILESS_MAIN(TestRfsaSerialComms)
#include "tst_rfsaserialcomms.moc"

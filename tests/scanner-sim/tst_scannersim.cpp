// The emulator as its users see it: a process serving the scanner protocol
// on a pseudo-terminal, driven here with QSerialPort and the frame codec.
#include "rfsaframe.h"
#include "simprocess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

//! A serial port on the emulator's pty that speaks in frames.
class FramePort
{
public:
    bool open(const QString &path)
    {
        rx.clear();
        port.setPortName(path);
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        if (!port.open(QIODevice::ReadWrite))
            return false;
        port.clear(QSerialPort::AllDirections);
        return true;
    }
    void close() { port.close(); }

    void send(quint8 code, const QByteArray &payload = QByteArray())
    {
        port.write(RfsaFrame::buildFrame(code, payload));
        port.waitForBytesWritten(1000);
    }

    //! Waits for the next frame (whatever its CRC); status NeedMore on timeout.
    RfsaFrame::Parsed next(int timeoutMs = 3000)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            RfsaFrame::Parsed p = RfsaFrame::parseFront(rx);
            if (p.status == RfsaFrame::Scan::Frame || p.status == RfsaFrame::Scan::BadCrc) {
                raw = rx.left(p.size);
                rx.remove(0, p.size);
                return p;
            }
            if (p.status == RfsaFrame::Scan::Corrupt) {
                p.size = 1;
                raw = rx.left(1);
                rx.remove(0, 1);
                return p;
            }
            const int left = timeoutMs - int(t.elapsed());
            if (left <= 0)
                return RfsaFrame::Parsed();
            if (port.waitForReadyRead(std::min(left, 100)))
                rx += port.readAll();
        }
    }

    //! Writes raw bytes (the bootloader's) and returns the next `n` bytes back.
    QByteArray exchange(const QByteArray &bytes, int n, int timeoutMs = 3000)
    {
        port.write(bytes);
        port.waitForBytesWritten(1000);
        QElapsedTimer t;
        t.start();
        while (rx.size() < n && t.elapsed() < timeoutMs) {
            if (port.waitForReadyRead(50))
                rx += port.readAll();
        }
        const QByteArray got = rx.left(n);
        rx.remove(0, got.size());
        return got;
    }

    //! Nothing arrives within `ms`.
    bool silentFor(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (port.waitForReadyRead(20))
                rx += port.readAll();
        }
        return rx.isEmpty();
    }

    //! One sweep: request, acknowledgement, data frames, closing 06 frame.
    //! Returns the points; an empty array if anything is off.
    QByteArray sweep()
    {
        send(0x1F);
        const RfsaFrame::Parsed ack = next();
        if (ack.status != RfsaFrame::Scan::Frame || ack.command != 0x1F || !ack.payload.isEmpty())
            return QByteArray();
        QByteArray points;
        for (;;) {
            const RfsaFrame::Parsed p = next();
            if (p.status != RfsaFrame::Scan::Frame)
                return QByteArray();
            if (p.command == 0x06)
                return p.payload == QByteArray(2, 0) ? points : QByteArray();
            if (p.command != 0x1F || p.payload.size() > 255)
                return QByteArray();
            points += p.payload;
        }
    }

    //! Sends a command and checks that its acknowledgement comes back.
    bool acked(quint8 code, const QByteArray &payload = QByteArray())
    {
        send(code, payload);
        const RfsaFrame::Parsed p = next();
        return p.status == RfsaFrame::Scan::Frame && p.command == code && p.payload.isEmpty();
    }

    void program(int setFBand, double fStart, double fStop, double stepKHz, int span, int rbw)
    {
        QVERIFY(acked(0x14, QByteArray(1, char(setFBand))));
        QVERIFY(acked(0x15, RfsaFrame::encodeFrequencyMHz(fStart)));
        QVERIFY(acked(0x16, RfsaFrame::encodeFrequencyMHz(fStop)));
        QVERIFY(acked(0x19, QByteArray(1, char(rbw))));
        QVERIFY(acked(0x18, RfsaFrame::encodeStepKHz(stepKHz)));
        QVERIFY(acked(0x1A, RfsaFrame::u16(5)));
        QVERIFY(acked(0x1B, RfsaFrame::u16(quint16(span))));
        QVERIFY(acked(0x17, QByteArray(1, 9)));
    }

    QSerialPort port;
    QByteArray rx;
    QByteArray raw; //!< bytes of the frame last returned by next()
};

//! A bootloader command packet: size, checksum, command, payload.
QByteArray blPacket(quint8 command, const QByteArray &payload = QByteArray())
{
    const QByteArray body = char(command) + payload;
    quint8 sum = 0;
    for (char c : body)
        sum = quint8(sum + quint8(c));
    return char(body.size() + 2) + QByteArray(1, char(sum)) + body;
}

//! Runs the emulator to completion with `args` and returns its exit code.
int runToExit(const QStringList &args, QString *stderrText = nullptr, QString *stdoutText = nullptr)
{
    QProcess p;
    p.start(SimProcess::executable(), args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (stderrText)
        *stderrText = QString::fromLocal8Bit(p.readAllStandardError());
    if (stdoutText)
        *stdoutText = QString::fromLocal8Bit(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class TestScannerSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void linkAndSignals_data();
    void linkAndSignals();
    void protocolOverPty();
    void sweepsFollowTheBand();
    void sceneDependsOnSeed();
    void reopenDropsStaleReplies();
    void pacing_data();
    void pacing();
    void sceneFile();
    void noAck();
    void badCrc();
    void garbage();
    void stallSweep();
    void hangupAfter();
    void bootloaderEntry();
    void flashRadioAndReset();
    void hostBootloaderGoesAway();
    void delays();
    void junkFromProgramIsLoggedAndSkipped();
    void badArguments_data();
    void badArguments();
    void help();
};

void TestScannerSim::initTestCase()
{
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM is not set; run through ctest");
}

void TestScannerSim::linkAndSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestScannerSim::linkAndSignals()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttyORV";
    SimProcess sim;
    QVERIFY2(sim.start({"--link", link}), qPrintable(sim.errorText()));
    QVERIFY(sim.ptyPath().startsWith("/dev/pts/"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());

    FramePort port;
    QVERIFY(port.open(link));
    QVERIFY(port.acked(0x01));
    port.close();

    ::kill(pid_t(sim.process().processId()), signalNumber);
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // A stale link from a crashed run is replaced.
    QVERIFY(QFile::link("/dev/null", link));
    QVERIFY2(sim.start({"--link", link}), qPrintable(sim.errorText()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestScannerSim::protocolOverPty()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--device-version", "Bench unit 7", "--rf-params-900",
                        "58.5:102:52,117:203:36", "--sweep-count", "3"}),
             qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));

    QVERIFY(port.acked(0x01));
    QVERIFY(port.acked(0x03));
    QCOMPARE(port.next().payload, QByteArray("Bench unit 7", 13));
    QVERIFY(port.acked(0x82, QByteArray::fromHex("0100")));
    QCOMPARE(port.next().payload, QByteArray("1.0.0.9.0.69", 13));
    QVERIFY(port.acked(0x82, QByteArray::fromHex("0000")));
    QCOMPARE(port.next().payload, QByteArray("1.0.0.9.0.0", 12));

    QVERIFY(port.acked(0x05, QByteArray(1, 0)));
    QCOMPARE(port.next().payload, QByteArray::fromHex("020003"));
    RfsaFrame::Parsed e = port.next();
    QCOMPARE(e.command, quint8(0x05));
    QCOMPARE(e.payload, QByteArray::fromHex("404d400000000000"
                                            "0066"
                                            "34"));
    e = port.next();
    QCOMPARE(e.payload, QByteArray::fromHex("405d400000000000"
                                            "00cb"
                                            "24"));

    QVERIFY(port.acked(0x05, QByteArray(1, 1)));
    const RfsaFrame::Parsed header = port.next();
    const int entries = static_cast<qint8>(header.payload.at(0));
    QVERIFY(entries >= 2);
    for (int i = 0; i < entries; ++i)
        QCOMPARE(port.next().payload.size(), 11);

    QVERIFY(port.acked(0x06));
    QCOMPARE(port.next().payload, QByteArray(2, 0));
    QVERIFY(port.acked(0x83));
    int calibration = 0;
    for (RfsaFrame::Parsed p = port.next(); p.command == 0x83; p = port.next())
        calibration += p.payload.size();
    QCOMPARE(calibration, 501);
    for (quint8 code : {0x07, 0x02, 0x55})
        QVERIFY2(port.acked(code), qPrintable(QString::number(code, 16)));
    QVERIFY(port.silentFor(100));

    // The log holds every frame both ways, in the agreed form.
    QVERIFY(sim.waitForLog("TX", 10));
    const QStringList lines = sim.logLines();
    QVERIFY(lines.size() > 20);
    QVERIFY(QRegularExpression("^\\d+\\.\\d{3} RX 2a00019509$").match(lines.first()).hasMatch());
    QCOMPARE(sim.logLines("TX").first(), QString("2a00019509"));
}

void TestScannerSim::sweepsFollowTheBand()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QCOMPARE(port.sweep().size(), 501); // 2.4 GHz before any programming
    port.program(1, 902, 928, 103.25, 26, 36);
    for (int i = 0; i < 3; ++i) {
        const QByteArray s = port.sweep();
        QCOMPARE(s.size(), 252);
        QVERIFY(!s.contains(char(-128)));
    }
    port.program(2, 2400, 2500, 200, 100, 41);
    QCOMPARE(port.sweep().size(), 501);
}

void TestScannerSim::sceneDependsOnSeed()
{
    auto sweeps = [](const QStringList &args) {
        SimProcess sim;
        QList<QByteArray> out;
        if (!sim.start(args))
            return out;
        FramePort port;
        if (!port.open(sim.ptyPath()))
            return out;
        for (int i = 0; i < 3; ++i)
            out << port.sweep();
        return out;
    };
    const QList<QByteArray> a = sweeps({"--fast", "--seed", "5"});
    const QList<QByteArray> b = sweeps({"--fast", "--seed", "5"});
    const QList<QByteArray> c = sweeps({"--fast", "--seed", "6"});
    QCOMPARE(a.size(), 3);
    QCOMPARE(a.at(0).size(), 501);
    QCOMPARE(a, b);
    QVERIFY(a != c);
    QVERIFY(a.at(0) != a.at(1));
}

void TestScannerSim::reopenDropsStaleReplies()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--sweep-time", "300"}), qPrintable(sim.errorText()));
    FramePort port;
    for (int round = 0; round < 3; ++round) {
        QVERIFY(port.open(sim.ptyPath()));
        QVERIFY(port.acked(0x01));
        QCOMPARE(port.sweep().size(), 501);
        // Leave in the middle of a sweep: its data must not greet the next opener.
        port.send(0x1F);
        QTest::qWait(50);
        port.close();
        QTest::qWait(100);
    }
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x01));
    QVERIFY(port.silentFor(600));
    QVERIFY(sim.running());
    QVERIFY(sim.standardError().contains("port closed"));
}

void TestScannerSim::pacing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("minimumMs"); // for 5 sweeps: what the pacing cannot beat
    // 523 bytes at 115200 baud take 45 ms, plus 4 ms of sweep time.
    QTest::newRow("default") << QStringList() << 5 * 45;
    QTest::newRow("sweep time") << QStringList{"--sweep-time", "60"} << 5 * 100;
    // The first sweep comes at once, the next ones 1/rate apart.
    QTest::newRow("rate") << QStringList{"--rate", "25"} << 4 * 39;
    QTest::newRow("fast") << QStringList{"--fast"} << 0;
}

void TestScannerSim::pacing()
{
    QFETCH(QStringList, args);
    QFETCH(int, minimumMs);
    SimProcess sim;
    QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5; ++i)
        QCOMPARE(port.sweep().size(), 501);
    const qint64 ms = t.elapsed();
    qInfo("5 sweeps in %lld ms", ms);
    QVERIFY(ms >= minimumMs);
}

void TestScannerSim::sceneFile()
{
    QTemporaryDir dir;
    QFile f(dir.path() + "/scene.json");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"noiseFloorDbm": -112,
               "emitters": [{"type": "carrier", "centreMHz": 2450, "levelDbm": -30}]})");
    f.close();
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--scene", f.fileName()}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    const QByteArray s = port.sweep();
    QCOMPARE(s.size(), 501);
    QVERIFY(qAbs(static_cast<qint8>(s.at(250)) + 30) <= 3); // 2450 MHz
    for (int i = 0; i < s.size(); ++i) {
        if (qAbs(i - 250) > 3)
            QVERIFY2(static_cast<qint8>(s.at(i)) < -95, qPrintable(QString::number(i)));
    }
}

void TestScannerSim::noAck()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--no-ack", "0x1f", "--no-ack", "05"}),
             qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    port.send(0x1F);
    QVERIFY(port.silentFor(300));
    port.send(0x05, QByteArray(1, 1));
    QVERIFY(port.silentFor(300));
    QVERIFY(port.acked(0x01));
    QVERIFY(sim.waitForLog("RX", 3));
    QCOMPARE(sim.logLines("RX").size(), 3);
}

void TestScannerSim::badCrc()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--bad-crc", "2"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x03));                             // frame 1
    QCOMPARE(port.next().status, RfsaFrame::Scan::BadCrc); // frame 2
    const QByteArray spoilt = port.raw;
    QVERIFY(port.acked(0x01)); // only that one
    QVERIFY(sim.waitForLog("TX", 3));
    // The log shows the frame as it went out, spoilt CRC included.
    QCOMPARE(sim.logLines("TX").at(1), QString::fromLatin1(spoilt.toHex()));
    QCOMPARE(RfsaFrame::parseFront(spoilt).status, RfsaFrame::Scan::BadCrc);
}

void TestScannerSim::garbage()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--garbage", "2"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x01));
    port.send(0x07);
    QVERIFY(port.next().status == RfsaFrame::Scan::Corrupt); // junk before frame 2
    RfsaFrame::Parsed p;
    do {
        p = port.next();
    } while (p.status == RfsaFrame::Scan::Corrupt);
    QCOMPARE(p.command, quint8(0x07));
    QVERIFY(port.acked(0x01));
    QVERIFY(sim.waitForLog("TX-JUNK", 1));
}

void TestScannerSim::stallSweep()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--stall-sweep", "2"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QCOMPARE(port.sweep().size(), 501);
    QVERIFY(port.acked(0x1F));
    QVERIFY(port.silentFor(400));
    QVERIFY(port.acked(0x01)); // everything else still answered
    QVERIFY(port.acked(0x1F));
    QVERIFY(port.silentFor(200));
}

void TestScannerSim::hangupAfter()
{
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttyORV";
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--hangup-after", "2", "--link", link}),
             qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QCOMPARE(port.sweep().size(), 501);
    QCOMPARE(port.sweep().size(), 501);
    port.send(0x1F);
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    // The third request was never answered.
    QCOMPARE(sim.logLines("TX").size(), 2 * 4);
}

void TestScannerSim::bootloaderEntry()
{
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText())); // paced, as by default
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x80));
    QTest::qWait(100); // as the program waits before auto-baud
    QCOMPARE(port.exchange("\x55\x55", 2).toHex(), QByteArray("00cc"));
    QCOMPARE(port.exchange(QByteArray::fromHex("032020"), 2).toHex(), QByteArray("00cc"));
    QVERIFY(port.silentFor(100)); // never padded
    QVERIFY(sim.waitForLog("BL-TX", 2));
    QCOMPARE(sim.logLines("BL-RX"), (QStringList{"5555", "032020"}));
    QCOMPARE(sim.logLines("BL-TX"), (QStringList{"00cc", "00cc"}));
}

void TestScannerSim::flashRadioAndReset()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--dead-radio"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x1F));
    QVERIFY(port.silentFor(300)); // a dead radio sends no sweep

    QByteArray image(1024, 'R');
    const QByteArray tag("ORVANEL-RADIO-VERSION:3.1.4\0", 28);
    image.replace(16, tag.size(), tag);
    const QByteArray ack = QByteArray::fromHex("00cc");
    QVERIFY(port.acked(0x80));
    QCOMPARE(port.exchange("\x55\x55", 2), ack);
    QCOMPARE(port.exchange(blPacket(0x2C), 2), ack);
    QCOMPARE(port.exchange(blPacket(0x21, QByteArray::fromHex("0000000000000400")), 2), ack);
    for (int at = 0; at < image.size(); at += 252)
        QCOMPARE(port.exchange(blPacket(0x24, image.mid(at, 252)), 2), ack);
    // The radio starts an image only with a configuration in its last sector.
    QCOMPARE(port.exchange(blPacket(0x21, QByteArray::fromHex("0001f00000000004")), 2), ack);
    QCOMPARE(port.exchange(blPacket(0x24, "CCFG"), 2), ack);
    QCOMPARE(port.exchange(QByteArray::fromHex("032323"), 5), QByteArray::fromHex("00cc034040"));
    QCOMPARE(port.exchange(ack + blPacket(0x25), 2), ack);

    // The scanner again, with the radio's new version and sweeps.
    QVERIFY(port.acked(0x82, QByteArray::fromHex("0000")));
    QCOMPARE(port.next().payload, QByteArray("3.1.4", 6));
    QCOMPARE(port.sweep().size(), 501);
}

void TestScannerSim::hostBootloaderGoesAway()
{
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttyORV";
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--link", link}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QVERIFY(port.acked(0x81));
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestScannerSim::delays()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast", "--delay-cmd", "14=300", "--frame-delay", "40"}),
             qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    QElapsedTimer t;
    t.start();
    QVERIFY(port.acked(0x14, QByteArray(1, 2)));
    QVERIFY(t.elapsed() >= 300 + 40);
    t.restart();
    QVERIFY(port.acked(0x05, QByteArray(1, 0)));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(port.next().command, quint8(0x05));
    QVERIFY(t.elapsed() >= 5 * 40); // every frame waited
}

void TestScannerSim::junkFromProgramIsLoggedAndSkipped()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--fast"}), qPrintable(sim.errorText()));
    FramePort port;
    QVERIFY(port.open(sim.ptyPath()));
    port.port.write(QByteArray::fromHex("ff00"));
    QVERIFY(port.acked(0x01));
    // A start byte that never becomes a frame is given up after a while.
    port.port.write(QByteArray::fromHex("2a40"));
    port.port.waitForBytesWritten(1000);
    QTest::qWait(300);
    QVERIFY(port.acked(0x07));
    QVERIFY(sim.waitForLog("RX-JUNK", 2));
    QCOMPARE(sim.logLines("RX-JUNK"), (QStringList{"ff00", "2a40"}));
}

void TestScannerSim::badArguments_data()
{
    QTemporaryDir *dir = new QTemporaryDir;
    dir->setAutoRemove(true);
    const QString base = dir->path();
    QFile bad(base + "/bad.json");
    bad.open(QIODevice::WriteOnly);
    bad.write("{\"emitters\": [{\"type\": \"wifi\", \"channel\": 99, \"levelDbm\": -50}]}");
    bad.close();
    QFile notJson(base + "/broken.json");
    notJson.open(QIODevice::WriteOnly);
    notJson.write("{ emitters");
    notJson.close();
    QFile plain(base + "/plainfile");
    plain.open(QIODevice::WriteOnly);
    plain.close();
    connect(this, &QObject::destroyed, [dir] { delete dir; });

    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown option") << QStringList{"--colour"} << "--colour";
    QTest::newRow("text seed") << QStringList{"--seed", "many"} << "--seed";
    QTest::newRow("negative count") << QStringList{"--hangup-after", "-3"} << "--hangup-after";
    QTest::newRow("bad code") << QStringList{"--no-ack", "xyz"} << "--no-ack";
    QTest::newRow("status without =") << QStringList{"--bl-status", "24"} << "--bl-status";
    QTest::newRow("zero silent") << QStringList{"--bl-silent-after", "0"} << "--bl-silent-after";
    QTest::newRow("bad scene") << QStringList{"--scene", base + "/bad.json"} << "channel";
    QTest::newRow("broken scene") << QStringList{"--scene", base + "/broken.json"} << "JSON";
    QTest::newRow("missing scene") << QStringList{"--scene", base + "/none.json"} << "none.json";
    QTest::newRow("link over a file") << QStringList{"--link", base + "/plainfile"} << "plainfile";
    QTest::newRow("log unwritable") << QStringList{"--log", base + "/no/dir/log"} << "log";
}

void TestScannerSim::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    QString err, out;
    QCOMPARE(runToExit(args, &err, &out), 2);
    QVERIFY2(err.contains(mentions), qPrintable(err));
    QVERIFY(out.isEmpty()); // no pty path for a run that never served
}

void TestScannerSim::help()
{
    QString err, out;
    QCOMPARE(runToExit({"--help"}, &err, &out), 0);
    for (const char *opt : {"--link",
                            "--log",
                            "--seed",
                            "--scene",
                            "--fast",
                            "--rate",
                            "--sweep-time",
                            "--no-ack",
                            "--bad-crc",
                            "--garbage",
                            "--stall-sweep",
                            "--hangup-after",
                            "--frame-delay",
                            "--delay-cmd",
                            "--outdated",
                            "--start-in-bootloader",
                            "--dead-radio",
                            "--bl-nack",
                            "--bl-status",
                            "--bl-bad-checksum",
                            "--bl-silent-after",
                            "--make-test-images"})
        QVERIFY2(out.contains(QLatin1String(opt)), opt);
}

QTEST_GUILESS_MAIN(TestScannerSim)
#include "tst_scannersim.moc"

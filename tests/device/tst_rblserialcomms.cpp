// The bootloader protocol object and the sector write against a scripted
// device on the master side of a pty: the bytes written are the evidence.

#include "ptypair.h"
#include "rblpacket.h"
#include "rblserialcomms.h"
#include "rblworkers.h"
#include "serialcomms.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestRblSerialComms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void packetBytes_data();
    void packetBytes();
    void receiving_data();
    void receiving();
    void crcMatchesZlib();
    void ackOnWireBeforeNextStep_data();
    void ackOnWireBeforeNextStep();
    void chipProblem_data();
    void chipProblem();
    void writeSector_data();
    void writeSector();

private:
    QByteArray readMaster(int atLeast);

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<RblSerialComms> rbl;
};

void TestRblSerialComms::init()
{
    pty.reset(new PtyPair);
    QVERIFY(pty->isValid());
    rbl.reset(new RblSerialComms(pty->slavePath()));
    QVERIFY2(rbl->openError().isEmpty(), qPrintable(rbl->openError()));
}

void TestRblSerialComms::cleanup()
{
    rbl.reset();
    SerialComms::sharedPort()->close();
    pty.reset();
}

QByteArray TestRblSerialComms::readMaster(int atLeast)
{
    QByteArray got;
    if (!QTest::qWaitFor([&] { return (got += pty->readAvailable()).size() >= atLeast; }, 10000))
        qWarning() << "device side got only" << got.toHex();
    return got;
}

void TestRblSerialComms::packetBytes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("auto-baud") << "autoBaud" << QByteArray::fromHex("5555");
    QTest::newRow("ping") << "ping" << QByteArray::fromHex("032020");
    QTest::newRow("status") << "status" << QByteArray::fromHex("032323");
    QTest::newRow("bank erase") << "bankErase" << QByteArray::fromHex("032c2c");
    QTest::newRow("sector erase 0x1000") << "sectorErase" << QByteArray::fromHex("07362600001000");
    QTest::newRow("download") << "download" << QByteArray::fromHex("0b41210000100000001000");
    QTest::newRow("memory read") << "memoryRead" << QByteArray::fromHex("099a2a4003002c0001");
}

void TestRblSerialComms::packetBytes()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    if (command == "autoBaud")
        rbl->autoBaud();
    else if (command == "ping")
        rbl->cmdPing();
    else if (command == "status")
        rbl->cmdGetStatus();
    else if (command == "bankErase")
        rbl->cmdBankErase();
    else if (command == "sectorErase")
        rbl->cmdSectorErase(0x1000);
    else if (command == "download")
        rbl->cmdDownload(0x1000, 0x1000);
    else if (command == "memoryRead")
        rbl->cmdMemoryRead(0x4003002C, 0, 1);
    QCOMPARE(readMaster(bytes.size()).toHex(), bytes.toHex());
    QVERIFY(rbl->waitingAck());
}

void TestRblSerialComms::receiving_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArrayList>("chunks"); // device bytes, one write each
    QTest::addColumn<QString>("result");        // "signal:value" or "error:text"
    QTest::addColumn<QByteArray>("hostWrites"); // the host's answers after its command
    QTest::addColumn<QString>("firstLog");      // first "<<" log line

    QTest::newRow("ping, leading zeros") << "ping" << QByteArrayList{QByteArray::fromHex("0000cc")}
                                         << "ping:" << QByteArray() << "<< 0000cc";
    QTest::newRow("status") << "status" << QByteArrayList{QByteArray::fromHex("00cc034040")}
                            << "status:64" << QByteArray::fromHex("00cc") << "<< 00cc";
    QTest::newRow("status split") << "status"
                                  << QByteArrayList{QByteArray::fromHex("00cc0340"),
                                                    QByteArray::fromHex("40")}
                                  << "status:64" << QByteArray::fromHex("00cc") << "<< 00cc";
    QTest::newRow("bad checksum, resent")
        << "status"
        << QByteArrayList{QByteArray::fromHex("00cc034140"), QByteArray::fromHex("034444")}
        << "status:68" << QByteArray::fromHex("003300cc") << "<< 00cc";
    QTest::newRow("crc32") << "crc" << QByteArrayList{QByteArray::fromHex("00cc062512345689")}
                           << "crc:305419913" << QByteArray::fromHex("00cc") << "<< 00cc";
    QTest::newRow("chip id") << "chipId"
                             << QByteArrayList{QByteArray::fromHex("00cc0653"
                                                                   "0000b99a")}
                             << "chipId:47514" << QByteArray::fromHex("00cc") << "<< 00cc";
    QTest::newRow("nack") << "ping" << QByteArrayList{QByteArray::fromHex("0033")}
                          << "error:Bootloader Error! (NACK)" << QByteArray() << "<< 0033";
    QTest::newRow("unknown") << "ping" << QByteArrayList{QByteArray::fromHex("0042")}
                             << "error:Bootloader Error! (UNKNOWN)" << QByteArray() << "<< 0042";
    QTest::newRow("status without data")
        << "status" << QByteArrayList{QByteArray::fromHex("00cc0200")}
        << "error:Bootloader Error! (short response)" << QByteArray::fromHex("00cc") << "<< 00cc";
    QTest::newRow("crc32 of 1 byte")
        << "crc" << QByteArrayList{QByteArray::fromHex("00cc031212")}
        << "error:Bootloader Error! (short response)" << QByteArray::fromHex("00cc") << "<< 00cc";
}

void TestRblSerialComms::receiving()
{
    QFETCH(QString, command);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QString, result);
    QFETCH(QByteArray, hostWrites);
    QFETCH(QString, firstLog);

    QStringList results;
    QStringList logs;
    connect(rbl.get(), &RblSerialComms::cmdPingDone, this, [&] { results << "ping:"; });
    connect(rbl.get(), &RblSerialComms::cmdGetStatusDone, this,
            [&](uchar s) { results << QStringLiteral("status:%1").arg(s); });
    connect(rbl.get(), &RblSerialComms::cmdCrc32Done, this,
            [&](quint32 v) { results << QStringLiteral("crc:%1").arg(v); });
    connect(rbl.get(), &RblSerialComms::cmdGetChipIdDone, this,
            [&](quint32 v) { results << QStringLiteral("chipId:%1").arg(v); });
    connect(rbl.get(), &RblSerialComms::error, this,
            [&](const QString &e) { results << QStringLiteral("error:") + e; });
    connect(rbl.get(), &RblSerialComms::log, this, [&](const QString &l) {
        if (l.startsWith("<<"))
            logs << l;
    });

    if (command == "ping")
        rbl->cmdPing();
    else if (command == "status")
        rbl->cmdGetStatus();
    else if (command == "crc")
        rbl->cmdCrc32(0, 4, 0);
    else
        rbl->cmdGetChipId();
    const int commandSize = command == "crc" ? 15 : 3;
    QByteArray written = readMaster(commandSize);
    for (const QByteArray &chunk : chunks) {
        QVERIFY(pty->write(chunk));
        // Each piece arrives on its own so splits really are splits.
        QTest::qWait(30);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!results.isEmpty(), 10000);
    QTest::qWait(50);
    written += pty->readAvailable();
    QCOMPARE(results, QStringList{result});
    QCOMPARE(written.mid(commandSize).toHex(), hostWrites.toHex());
    QCOMPARE(logs.value(0), firstLog);
}

void TestRblSerialComms::crcMatchesZlib()
{
    QCOMPARE(RblPacket::crc32(QByteArray("123456789")), quint32(0xCBF43926));
    QCOMPARE(RblPacket::crc32(QByteArray()), quint32(0));
    QCOMPARE(RblPacket::crc32(QByteArray(4096, '\xFF')), quint32(0xF154670A));
}

void TestRblSerialComms::ackOnWireBeforeNextStep_data()
{
    // What follows an answer at once: the next step's protocol object (which
    // cleans the port) or the close after a failing status.
    QTest::addColumn<bool>("closeAfter");
    QTest::newRow("crc answer, next step's object") << false;
    QTest::newRow("failing status, port closed") << true;
}

void TestRblSerialComms::ackOnWireBeforeNextStep()
{
    QFETCH(bool, closeAfter);
    std::unique_ptr<RblSerialComms> next;
    const auto follow = [&] {
        if (closeAfter)
            rbl->closePort();
        else
            next.reset(new RblSerialComms(pty->slavePath()));
    };
    connect(rbl.get(), &RblSerialComms::cmdCrc32Done, this, follow);
    connect(rbl.get(), &RblSerialComms::cmdGetStatusDone, this, follow);
    if (closeAfter)
        rbl->cmdGetStatus();
    else
        rbl->cmdCrc32(0, 4, 0);
    const int commandSize = closeAfter ? 3 : 15;
    readMaster(commandSize);
    QVERIFY(pty->write(QByteArray::fromHex(closeAfter ? "00cc034444" : "00cc062512345689")));
    QCOMPARE(readMaster(2).toHex(), QByteArray("00cc"));
}

void TestRblSerialComms::chipProblem_data()
{
    QTest::addColumn<quint32>("chipId");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<qint64>("imageSize");
    QTest::addColumn<QString>("problem"); // a part of it; empty: none
    QTest::newRow("radio, image fills the flash") << 0x0000B99Au << 32 << qint64(131072) << "";
    QTest::newRow("other revision") << 0x2B00B99Au << 32 << qint64(4096) << "";
    QTest::newRow("other chip") << 0x0000B9BEu << 32 << qint64(4096) << "not the scanner's radio";
    QTest::newRow("one byte too many") << 0x0000B99Au << 32 << qint64(131073) << "does not fit";
    QTest::newRow("smaller flash") << 0x0000B99Au << 16 << qint64(131072) << "does not fit";
    QTest::newRow("flash size unreadable") << 0x0000B99Au << 0 << qint64(4096) << "does not fit";
}

void TestRblSerialComms::chipProblem()
{
    QFETCH(quint32, chipId);
    QFETCH(int, sectors);
    QFETCH(qint64, imageSize);
    QFETCH(QString, problem);
    const QString got = RblPacket::chipProblem(chipId, sectors, imageSize);
    QVERIFY2(problem.isEmpty() ? got.isEmpty() : got.contains(problem), qPrintable(got));
}

void TestRblSerialComms::writeSector_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected"); // commands as the device sees them

    QByteArray sector(4096, '\0');
    for (int i = 0; i < sector.size(); ++i)
        sector[i] = char(i * 7 + 1);
    QStringList full{"ping", "erase:4096", "status", "download:4096", "status"};
    for (int i = 0; i < 16; ++i)
        full << "send:252"
             << "status";
    full << "send:64"
         << "status";
    QTest::newRow("4096 bytes: 16 x 252 + 64") << sector << full;
    QTest::newRow("all 0xFF: erase only")
        << QByteArray(4096, '\xFF') << QStringList{"ping", "erase:4096", "status"};
    QTest::newRow("6 bytes padded to 8")
        << QByteArray("abcdef")
        << QStringList{"ping", "erase:4096", "status", "download:8", "status", "send:8", "status"};
    // The erase of every covered sector (empty data marks that worker): the
    // last sector first, so a cut leaves no valid image behind.
    QTest::newRow("erase 3 sectors from 0x1000, last first")
        << QByteArray()
        << QStringList{"erase:12288", "status", "erase:8192", "status", "erase:4096", "status"};
}

void TestRblSerialComms::writeSector()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    rbl.reset(); // the worker makes its own

    // The device: acknowledges every packet, reports success on each status
    // query, and records what it was asked.
    QStringList seen;
    QByteArray in;
    QByteArray sent;
    QTimer device;
    connect(&device, &QTimer::timeout, this, [&] {
        in += pty->readAvailable();
        while (in.size() >= 2) {
            if (in.startsWith(QByteArray::fromHex("00cc"))) { // host ack of a response
                in.remove(0, 2);
                continue;
            }
            const int n = quint8(in.at(0));
            if (n < 3 || in.size() < n)
                break;
            const quint8 cmd = quint8(in.at(2));
            const int payload = n - 3;
            QString name = QStringLiteral("cmd%1").arg(cmd, 2, 16);
            if (cmd == RblPacket::CmdPing)
                name = "ping";
            else if (cmd == RblPacket::CmdSectorErase)
                name = QStringLiteral("erase:%1").arg(RblPacket::readU32(in.constData() + 3));
            else if (cmd == RblPacket::CmdGetStatus)
                name = "status";
            else if (cmd == RblPacket::CmdDownload)
                name = QStringLiteral("download:%1").arg(RblPacket::readU32(in.constData() + 7));
            else if (cmd == RblPacket::CmdSendData) {
                name = QStringLiteral("send:%1").arg(payload);
                sent += in.mid(3, payload);
            }
            seen << name;
            in.remove(0, n);
            QByteArray answer = RblPacket::ack();
            if (cmd == RblPacket::CmdGetStatus)
                answer += RblPacket::response(QByteArray(1, char(RblPacket::StatusSuccess)));
            pty->write(answer);
        }
    });
    device.start(1);

    SequenceWorker *worker = nullptr;
    if (data.isEmpty())
        worker = new WrkRblEraseSectors(
            pty->slavePath(), nullptr,
            {{QStringLiteral("address"), 0x1000u}, {QStringLiteral("size"), 3 * 4096u - 10}});
    else
        worker = new WrkRblWriteSector(
            pty->slavePath(), nullptr,
            {{QStringLiteral("address"), 0x1000u}, {QStringLiteral("data"), data}});
    QSignalSpy finished(worker, &SequenceWorker::finished);
    QSignalSpy errors(worker, &SequenceWorker::error);
    QVERIFY(finished.isValid());
    QVERIFY(finished.wait(15000));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(seen, expected);
    if (!sent.isEmpty()) {
        QByteArray padded = data;
        while (padded.size() % 4)
            padded += '\xFF';
        QCOMPARE(sent, padded);
    }
}

QTEST_GUILESS_MAIN(TestRblSerialComms)
#include "tst_rblserialcomms.moc"

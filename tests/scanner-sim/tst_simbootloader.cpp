// The emulated ROM bootloader over bytes in and out: packets, acknowledgements,
// the flash model and the fault options, without a terminal.
#include "simbootloader.h"
#include "simdevice.h"
#include "testimages.h"

#include <QtTest>

#include <zlib.h>

namespace {

QByteArray be32(quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}

//! A command packet: size, checksum, command, payload.
QByteArray pkt(quint8 command, const QByteArray &payload = QByteArray())
{
    const QByteArray body = char(command) + payload;
    return char(body.size() + 2) + QByteArray(1, char(SimBootloader::checksum(body))) + body;
}

//! A response packet as the device sends it.
QByteArray resp(const QByteArray &data)
{
    return char(data.size() + 2) + QByteArray(1, char(SimBootloader::checksum(data))) + data;
}

const QByteArray autoBaud = QByteArray::fromHex("5555");
const QByteArray ack = QByteArray::fromHex("00cc");
const QByteArray nack = QByteArray::fromHex("0033");
const QByteArray getStatus = QByteArray::fromHex("032323");

QByteArray status(quint8 s)
{
    return ack + resp(QByteArray(1, char(s)));
}

struct Bench
{
    explicit Bench(const QStringList &args = {}) : bl(parsed(args))
    {
        bl.onSend = [this](const QByteArray &b) { out += b; };
        bl.onReset = [this] { ++resets; };
        bl.enter();
    }
    static SimOptions parsed(const QStringList &args)
    {
        SimOptions o;
        QString error;
        if (!o.parse(args, &error))
            qFatal("%s", qPrintable(error));
        return o;
    }
    //! Feeds `in` and returns what the bootloader sent back.
    QByteArray talk(const QByteArray &in)
    {
        out.clear();
        bl.receive(in);
        return out;
    }
    //! Programs `data` at `address` as a client does, acknowledging each status.
    bool write(quint32 address, const QByteArray &data)
    {
        talk(pkt(0x26, be32(address)) + getStatus + ack);
        QByteArray expect = ack + status(0x40);
        if (talk(pkt(0x21, be32(address) + be32(quint32(data.size()))) + getStatus + ack) != expect)
            return false;
        for (int at = 0; at < data.size(); at += 252) {
            if (talk(pkt(0x24, data.mid(at, 252)) + getStatus + ack) != expect)
                return false;
        }
        return true;
    }

    SimBootloader bl;
    QByteArray out;
    int resets = 0;
};

} // namespace

class TestSimBootloader : public QObject
{
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void flashCrcAndVersion_data();
    void flashCrcAndVersion();
    void testImages();
};

void TestSimBootloader::exchange_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray ping = QByteArray::fromHex("032020");
    const QByteArray dl0 = pkt(0x21, be32(0) + be32(4));

    QTest::newRow("auto-baud") << QStringList() << autoBaud << ack;
    QTest::newRow("noise before auto-baud")
        << QStringList() << QByteArray::fromHex("00ff2a5555") << ack;
    QTest::newRow("nothing before auto-baud") << QStringList() << ping << QByteArray();
    QTest::newRow("ping") << QStringList() << autoBaud + ping << ack + ack;
    QTest::newRow("zero padding, packet unfinished")
        << QStringList() << autoBaud + QByteArray::fromHex("000320") << ack;
    QTest::newRow("status after ping")
        << QStringList() << autoBaud + ping + getStatus + ack << ack + ack + status(0x40);
    QTest::newRow("bank erase") << QStringList()
                                << autoBaud + QByteArray::fromHex("032c2c") + getStatus + ack
                                << ack + ack + status(0x40);
    QTest::newRow("sector erase 0x1000")
        << QStringList() << autoBaud + QByteArray::fromHex("07362600001000") + getStatus + ack
        << ack + ack + status(0x40);
    QTest::newRow("bad checksum") << QStringList() << autoBaud + QByteArray::fromHex("032120")
                                  << ack + nack;
    QTest::newRow("host NACK resends")
        << QStringList() << autoBaud + getStatus + nack + ack << ack + status(0x40) + resp("@");
    QTest::newRow("unknown command")
        << QStringList() << autoBaud + pkt(0x30) + getStatus << ack + ack + status(0x41);
    QTest::newRow("invalid command")
        << QStringList() << autoBaud + pkt(0x20, "x") + getStatus << ack + ack + status(0x42);
    QTest::newRow("download beyond flash")
        << QStringList() << autoBaud + pkt(0x21, be32(0x1FFFC) + be32(8)) + getStatus
        << ack + ack + status(0x43);
    QTest::newRow("download size not a multiple of 4")
        << QStringList() << autoBaud + pkt(0x21, be32(0) + be32(6)) + getStatus
        << ack + ack + status(0x43);
    QTest::newRow("send data without download")
        << QStringList() << autoBaud + pkt(0x24, "abcd") + getStatus << ack + ack + status(0x42);
    QTest::newRow("write without erase fails")
        << QStringList()
        << autoBaud + dl0 + pkt(0x24, QByteArray(4, 0x0F)) + dl0 + pkt(0x24, QByteArray(4, 0x30)) +
               getStatus
        << ack + ack + ack + ack + ack + status(0x44);
    QTest::newRow("new download before the last finished")
        << QStringList()
        << autoBaud + pkt(0x21, be32(0) + be32(8)) + pkt(0x24, "ab") + dl0 +
               pkt(0x24, QByteArray(4, 0)) + getStatus
        << ack + ack + ack + ack + ack + status(0x40);
    QTest::newRow("chip id") << QStringList() << autoBaud + QByteArray::fromHex("032828")
                             << ack + ack + QByteArray::fromHex("0653 0000b99a");
    const struct
    {
        const char *name;
        quint32 address;
        int type, count;
        const char *data;
    } reads[] = {
        {"user id", 0x50001318, 1, 1, "2fa0997b"},
        {"device id", 0x50001294, 1, 1, "00500200"},
        {"flash sectors", 0x4003002C, 0, 1, "20"},
        {"ram size", 0x40082250, 0, 1, "03"},
        {"erased flash", 0x100, 1, 2, "ffffffffffffffff"},
        {"other", 0x60000000, 0, 2, "0000"},
    };
    for (const auto &r : reads) {
        QTest::addRow("memory read %s", r.name)
            << QStringList() << autoBaud + pkt(0x2A, be32(r.address) + char(r.type) + char(r.count))
            << ack + ack + resp(QByteArray::fromHex(r.data));
    }
    QTest::newRow("--bl-nack") << QStringList{"--bl-nack", "20"} << autoBaud + ping + pkt(0x2C)
                               << ack + nack + ack;
    QTest::newRow("--bl-nack 55") << QStringList{"--bl-nack", "55"} << autoBaud + ping << nack;
    QTest::newRow("--bl-status") << QStringList{"--bl-status", "20=44"}
                                 << autoBaud + ping + getStatus + ack + pkt(0x2C) + getStatus
                                 << ack + ack + status(0x44) + ack + status(0x40);
    QTest::newRow("--bl-bad-checksum")
        << QStringList{"--bl-bad-checksum", "2"}
        << autoBaud + getStatus + ack + getStatus + nack + ack
        << ack + status(0x40) + ack + QByteArray::fromHex("03e540") + resp("@");
    QTest::newRow("--bl-silent-after")
        << QStringList{"--bl-silent-after", "2"} << autoBaud + ping + ping + autoBaud << ack + ack;
}

void TestSimBootloader::exchange()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    Bench b(args);
    QCOMPARE(b.talk(input).toHex(' '), expected.toHex(' '));
    // Byte by byte it must come out the same.
    Bench slow(args);
    QByteArray out;
    for (char c : input)
        out += slow.talk(QByteArray(1, c));
    QCOMPARE(out.toHex(' '), expected.toHex(' '));
}

void TestSimBootloader::flashCrcAndVersion_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QString>("version");
    QTest::newRow("test image") << TestImages::radioImage("2.0.1") << "2.0.1";
    QByteArray plain(5000, 'x');
    QTest::newRow("no marker, odd sector") << plain << QString();
    plain.replace(100, SimBootloader::VersionMarker.size(), SimBootloader::VersionMarker);
    QTest::newRow("marker without end") << plain << QString();
}

void TestSimBootloader::flashCrcAndVersion()
{
    QFETCH(QByteArray, image);
    QFETCH(QString, version);
    Bench b;
    b.talk(autoBaud);
    for (int at = 0; at < image.size(); at += SimBootloader::SectorSize)
        QVERIFY(b.write(quint32(at), image.mid(at, SimBootloader::SectorSize)));
    const quint32 zlibCrc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(image.constData()), uInt(image.size())));
    QCOMPARE(b.talk(pkt(0x27, be32(0) + be32(quint32(image.size())) + be32(0)) + ack),
             ack + resp(be32(zlibCrc)));
    QCOMPARE(b.talk(pkt(0x25)), ack);
    QCOMPARE(b.resets, 1);
    QCOMPARE(b.bl.imageVersion(), version);
    QCOMPARE(b.talk(QByteArray::fromHex("032020")), QByteArray()); // waits for auto-baud again

    SimDevice device(SimOptions(), RfScene::defaultScene());
    device.radioRestarted(b.bl.imageVersion());
    QCOMPARE(device.radioVersion(), version.isEmpty() ? "1.0.0.9.0.0" : version);
}

void TestSimBootloader::testImages()
{
    const QByteArray radio = TestImages::radioImage();
    QCOMPARE(radio.size(), 131072);
    QCOMPARE(SimBootloader::versionIn(radio), QStringLiteral("1.0.0.9.0.0"));

    const QByteArray dfu = TestImages::hostImage();
    QVERIFY(dfu.startsWith("DfuSe"));
    QCOMPARE(dfu.mid(dfu.size() - 8, 4), QByteArray("UFD\x10"));
    const quint32 stored = qFromLittleEndian<quint32>(dfu.constData() + dfu.size() - 4);
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef *>(dfu.constData()), uInt(dfu.size() - 4));
    QCOMPARE(stored, quint32(~crc));
    // The prefix counts everything before the suffix; no real device's USB ID.
    QCOMPARE(qFromLittleEndian<quint32>(dfu.constData() + 6), quint32(dfu.size() - 16));
    QCOMPARE(qFromLittleEndian<quint32>(dfu.constData() + dfu.size() - 14), 0u);
}

QTEST_GUILESS_MAIN(TestSimBootloader)
#include "tst_simbootloader.moc"

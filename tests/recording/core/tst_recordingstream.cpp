#include "recordingio.h"
#include "recordingstream.h"
#include "recordingtestdata.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define ORVANEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANEL_ASAN 1
#endif
#endif

namespace {

// A device that cannot tell the size of its data ahead, like a pipe: the
// reader must stop at the end of what arrives.
class SequentialDevice : public QIODevice
{
public:
    explicit SequentialDevice(const QByteArray &data) : m_data(data) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_data.size() - m_offset + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(m_data.size() - m_offset));
        if (n <= 0)
            return -1;
        std::memcpy(data, m_data.constData() + m_offset, size_t(n));
        m_offset += int(n);
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    int m_offset = 0;
};

QByteArray written(const RfSpectrumHistory &h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!RecordingIo::write(buffer, h))
        qWarning("write failed");
    return bytes;
}

bool readBytes(const QByteArray &bytes, RfSpectrumHistory &h, bool sequential = false)
{
    QByteArray copy = bytes;
    QScopedPointer<QIODevice> device(
        sequential ? static_cast<QIODevice *>(new SequentialDevice(bytes)) : new QBuffer(&copy));
    device->open(QIODevice::ReadOnly);
    return RecordingIo::read(*device, h);
}

// Caps the address space while reading untrusted counts: reserving memory
// for one of them then fails loudly instead of passing unnoticed (untouched
// pages never show in the resident size). Not under AddressSanitizer, whose
// shadow memory needs the address space.
class AddressSpaceCap
{
public:
    explicit AddressSpaceCap(qint64 extraBytes)
    {
#ifndef ORVANEL_ASAN
        if (getrlimit(RLIMIT_AS, &m_old) != 0)
            return;
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmSize:")) {
                const qint64 kb = line.mid(7).trimmed().split(' ').value(0).toLongLong();
                rlimit cap = m_old;
                cap.rlim_cur = rlim_t(kb * 1024 + extraBytes);
                m_active = setrlimit(RLIMIT_AS, &cap) == 0;
            }
        }
#else
        Q_UNUSED(extraBytes)
#endif
    }
    ~AddressSpaceCap()
    {
        if (m_active)
            setrlimit(RLIMIT_AS, &m_old);
    }

private:
    rlimit m_old{};
    bool m_active = false;
};

void compareColors(const RfSpectrumHistory &a, const RfSpectrumHistory &b)
{
    QCOMPARE(a.samples.size(), b.samples.size());
    for (int i = 0; i < a.samples.size(); ++i) {
        const WifiScan &x = a.samples.at(i).wifiNetworks;
        const WifiScan &y = b.samples.at(i).wifiNetworks;
        QCOMPARE(x.size(), y.size());
        for (int n = 0; n < x.size(); ++n) {
            QCOMPARE(x.at(n).color.spec(), y.at(n).color.spec());
            QCOMPARE(x.at(n).color, y.at(n).color);
            QCOMPARE(x.at(n).color.rgba64(), y.at(n).color.rgba64());
        }
    }
}

} // namespace

class TestRecordingStream : public QObject
{
    Q_OBJECT
private slots:
    void streamFormat();
    void emptyHistoryLayout();
    void handBuiltFile();
    void roundTrip_data();
    void roundTrip();
    void truncatedAnywhere();
    void absurdCounts_data();
    void absurdCounts();
    void damagedData_data();
    void damagedData();
    void randomBytes();
};

void TestRecordingStream::streamFormat()
{
    QDataStream s;
    s.setVersion(QDataStream::Qt_4_0);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    RecordingStream::prepare(s);
    QCOMPARE(s.version(), 19);
    QCOMPARE(s.byteOrder(), QDataStream::BigEndian);
    QCOMPARE(s.floatingPointPrecision(), QDataStream::DoublePrecision);
}

void TestRecordingStream::emptyHistoryLayout()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(902.0, 928.0);
    h.amplitudeInterval = QwtInterval(-100.0, -30.0, QwtInterval::ExcludeMaximum);
    h.projectInfo.projectName = QStringLiteral("Ab");
    h.projectInfo.projectId = QLatin1String("");
    h.projectInfo.scanLocation = QString();
    h.projectInfo.technicianName = QStringLiteral("Z");

    const QByteArray expected = Bytes()
                                    .hex("408c300000000000") // 902.0
                                    .hex("408d000000000000") // 928.0
                                    .hex("00000000")
                                    .hex("c059000000000000") // -100.0
                                    .hex("c03e000000000000") // -30.0
                                    .hex("00000002")         // exclude maximum
                                    .hex("00000000 00000000 00000000")
                                    .hex("00000004 0041 0062") // "Ab"
                                    .hex("00000000")           // empty
                                    .hex("ffffffff")           // null
                                    .hex("00000002 005a")      // "Z"
                                    .data();
    QCOMPARE(expected.size(), 4 * 8 + 2 * 4 + 3 * 4 + 8 + 4 + 4 + 6);
    QCOMPARE(written(h).toHex(), expected.toHex());

    RfSpectrumHistory back;
    QVERIFY(readBytes(expected, back));
    QVERIFY(back == h);
    QCOMPARE(back.amplitudeInterval.borderFlags(), QwtInterval::ExcludeMaximum);
    // null and empty texts stay apart, so a file read and written again is identical
    QVERIFY(back.projectInfo.scanLocation.isNull());
    QVERIFY(!back.projectInfo.projectId.isNull());
    QCOMPARE(written(back), expected);
}

void TestRecordingStream::handBuiltFile()
{
    // One sample of three points with one network, an event in UTC and a label,
    // laid out by hand from the format's description.
    const QByteArray file = Bytes()
                                .interval(2400.0, 2500.0)
                                .interval(-100.0, -30.0)
                                .i32(1)               // samples
                                .i64(1714566605000LL) // time stamp
                                .i32(3)               // points
                                .hex("80c4e2")        // -128, -60, -30
                                .i32(1)               // networks
                                .text(QStringLiteral("<00:11:22:aa:bb:cc>"))
                                .text(QStringLiteral("Ünï"))
                                .i32(-47)
                                .i32(2412)
                                .i32(20)
                                .hex("02 c0c0 2ee0 ffff c8c8 0000") // HSV 120/255/200, alpha 192
                                .i32(1)                             // events
                                .i64(2460432)                       // Julian day of 2024-05-01
                                .u32(52205123)                      // 14:30:05.123
                                .i8(1)                              // UTC
                                .text(QStringLiteral("start"))
                                .i32(1) // labels
                                .f64(2437.5)
                                .f64(-62.0)
                                .text(QStringLiteral("AP"))
                                .text(QStringLiteral("Site"))
                                .text(QStringLiteral("42"))
                                .text(QStringLiteral("Hall"))
                                .text(QStringLiteral("Kim"))
                                .data();

    RfSpectrumHistory h;
    QVERIFY(readBytes(file, h));
    QCOMPARE(h.frequencyInterval, QwtInterval(2400.0, 2500.0));
    QCOMPARE(h.amplitudeInterval, QwtInterval(-100.0, -30.0));
    QCOMPARE(h.samples.size(), 1);
    const RfSpectrumSample &s = h.samples.first();
    QCOMPARE(s.timeStamp, 1714566605000LL);
    QCOMPARE(s.spectrum, (RfSpectrumScan{-128, -60, -30}));
    QCOMPARE(s.wifiNetworks.size(), 1);
    const WifiApInfo &ap = s.wifiNetworks.first();
    QCOMPARE(ap.bssid, QStringLiteral("<00:11:22:aa:bb:cc>"));
    QCOMPARE(ap.ssid, QStringLiteral("Ünï"));
    QCOMPARE(ap.rssi, -47);
    QCOMPARE(ap.frequency, 2412);
    QCOMPARE(ap.width, 20);
    QCOMPARE(ap.color.spec(), QColor::Hsv);
    QCOMPARE(ap.color.hsvHue(), 120);
    QCOMPARE(ap.color.hsvSaturation(), 255);
    QCOMPARE(ap.color.value(), 200);
    QCOMPARE(ap.color.alpha(), 192);
    QCOMPARE(h.timeEvents.size(), 1);
    QCOMPARE(h.timeEvents.first().time,
             QDateTime(QDate(2024, 5, 1), QTime(14, 30, 5, 123), Qt::UTC));
    QCOMPARE(h.timeEvents.first().text, QStringLiteral("start"));
    QCOMPARE(h.spectroLabels.size(), 1);
    QCOMPARE(h.spectroLabels.first().position, QPointF(2437.5, -62.0));
    QCOMPARE(h.spectroLabels.first().text, QStringLiteral("AP"));
    QCOMPARE(h.projectInfo.projectName, QStringLiteral("Site"));
    QCOMPARE(h.projectInfo.projectId, QStringLiteral("42"));
    QCOMPARE(h.projectInfo.scanLocation, QStringLiteral("Hall"));
    QCOMPARE(h.projectInfo.technicianName, QStringLiteral("Kim"));

    // and the writer lays the same history out byte for byte
    QCOMPARE(written(h).toHex(), file.toHex());
}

void TestRecordingStream::roundTrip_data()
{
    QTest::addColumn<bool>("viaFile");
    QTest::addColumn<bool>("large"); // a sweep and a text longer than one read block
    QTest::addColumn<bool>("sequential");
    QTest::newRow("buffer") << false << false << false;
    QTest::newRow("file") << true << false << false;
    QTest::newRow("large, seekable") << false << true << false;
    QTest::newRow("large, pipe-like") << false << true << true;
}

void TestRecordingStream::roundTrip()
{
    QFETCH(bool, viaFile);
    QFETCH(bool, large);
    QFETCH(bool, sequential);
    RfSpectrumHistory original = fullHistory();
    if (large) {
        RfSpectrumScan &sweep = original.samples[0].spectrum;
        sweep.resize(70000);
        for (int i = 0; i < sweep.size(); ++i)
            sweep[i] = qint8(i * 7 % 251 - 125);
        QString &name = original.projectInfo.projectName;
        name.resize(70003);
        for (int i = 0; i < name.size(); ++i)
            name[i] = QChar(0x41 + i % 26 + (i / 26 % 2) * 0x100);
    }
    RfSpectrumHistory back;
    if (viaFile) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("round.vozi"));
        QString error;
        QVERIFY2(RecordingIo::saveFile(path, original, &error), qPrintable(error));
        const RecordingIo::Recording r = RecordingIo::loadFile(path);
        QVERIFY(r.opened);
        QVERIFY(r.complete);
        QCOMPARE(r.band, RecordingIo::PageBand::Band2400);
        back = r.history;
    } else {
        QVERIFY(readBytes(written(original), back, sequential));
    }
    QCOMPARE(back.frequencyInterval, original.frequencyInterval);
    QCOMPARE(back.amplitudeInterval, original.amplitudeInterval);
    QCOMPARE(back.samples.size(), original.samples.size());
    for (int i = 0; i < original.samples.size(); ++i)
        QVERIFY2(back.samples.at(i) == original.samples.at(i), qPrintable(QString::number(i)));
    compareColors(back, original);
    QCOMPARE(back.timeEvents, original.timeEvents);
    QCOMPARE(back.timeEvents.first().time.toMSecsSinceEpoch(), 1714566605123LL);
    QCOMPARE(back.spectroLabels.size(), original.spectroLabels.size());
    for (int i = 0; i < original.spectroLabels.size(); ++i) {
        QCOMPARE(back.spectroLabels.at(i).position, original.spectroLabels.at(i).position);
        QCOMPARE(back.spectroLabels.at(i).text, original.spectroLabels.at(i).text);
    }
    QCOMPARE(back.projectInfo, original.projectInfo);
    QVERIFY(back == original);
    // networks carried from sweep to sweep share one list again, as they did live
    QVERIFY(back.samples.at(2).wifiNetworks.isSharedWith(back.samples.at(1).wifiNetworks));
    QVERIFY(back.samples.at(3).wifiNetworks.isSharedWith(back.samples.at(1).wifiNetworks));
    QVERIFY(!back.samples.at(4).wifiNetworks.isSharedWith(back.samples.at(3).wifiNetworks));
}

void TestRecordingStream::truncatedAnywhere()
{
    const RfSpectrumHistory original = fullHistory();
    const QByteArray full = written(original);
    // A cut anywhere must give back, field by field, either what was written
    // or nothing; never part of a list and never garbage.
    for (int length = 0; length <= full.size(); length += (length < 200 ? 1 : 37)) {
        for (bool sequential : {false, true}) {
            RfSpectrumHistory h;
            const bool complete = readBytes(full.left(length), h, sequential);
            QCOMPARE(complete, length == full.size());
            QVERIFY(h.samples.isEmpty() || h.samples == original.samples);
            QVERIFY(h.timeEvents.isEmpty() || h.timeEvents == original.timeEvents);
            QVERIFY(h.spectroLabels.isEmpty() || h.spectroLabels == original.spectroLabels);
            if (length < full.size()) {
                // the last text is the null technician name: a cut before it
                // leaves at least one project text unread
                QVERIFY(h.projectInfo.projectName.isEmpty() ||
                        h.projectInfo.scanLocation.isEmpty() || length >= full.size() - 4);
            }
        }
    }
    // the page type still comes from the intervals of a cut file
    RfSpectrumHistory h;
    QVERIFY(!readBytes(full.left(60), h));
    QCOMPARE(RecordingIo::pageBandForInterval(h.frequencyInterval),
             RecordingIo::PageBand::Band2400);
    QVERIFY(h.samples.isEmpty());
}

void TestRecordingStream::absurdCounts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sequential");
    const auto head = [] { return Bytes().interval(2400, 2500).interval(-100, -30); };
    const auto one = [](Bytes b) { return b.i32(1).i64(1000); };
    const QByteArray samples = head().i32(0x7FFFFFFF).i64(1000).i32(1).hex("c4").data();
    const QByteArray points = one(head()).i32(0x7FFFFFFF).hex("c4c4c4").data();
    const QByteArray networks = one(head()).i32(1).hex("c4").i32(0x7FFFFFFF).data();
    const QByteArray ssid = one(head())
                                .i32(1)
                                .hex("c4")
                                .i32(1)
                                .text(QStringLiteral("<00:11:22:aa:bb:cc>"))
                                .u32(0xFFFFFFFEu)
                                .hex("0041")
                                .data();
    const QByteArray events = head().i32(0).i32(0x7FFFFFFF).i64(2460432).data();
    const QByteArray labels = head().i32(0).i32(0).i32(0x7FFFFFFF).f64(1).data();
    const QByteArray name = head().i32(0).i32(0).i32(0).u32(0xFFFFFFFEu).hex("0041").data();
    for (bool seq : {false, true}) {
        const char *kind = seq ? "sequential" : "seekable";
        QTest::addRow("samples %s", kind) << samples << seq;
        QTest::addRow("points %s", kind) << points << seq;
        QTest::addRow("networks %s", kind) << networks << seq;
        QTest::addRow("ssid %s", kind) << ssid << seq;
        QTest::addRow("events %s", kind) << events << seq;
        QTest::addRow("labels %s", kind) << labels << seq;
        QTest::addRow("project name %s", kind) << name << seq;
    }
}

void TestRecordingStream::absurdCounts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sequential);
    RfSpectrumHistory h;
    bool complete = true;
    {
        AddressSpaceCap cap(256LL << 20);
        complete = readBytes(bytes, h, sequential);
    }
    QVERIFY(!complete);
    QCOMPARE(h.frequencyInterval, QwtInterval(2400, 2500));
    QVERIFY(h.samples.isEmpty());
    QVERIFY(h.timeEvents.isEmpty());
    QVERIFY(h.spectroLabels.isEmpty());
    QVERIFY(h.projectInfo.projectName.isEmpty());
}

void TestRecordingStream::damagedData_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const auto head = [] { return Bytes().interval(2400, 2500).interval(-100, -30); };
    const QByteArray tail = Bytes().i32(0).i32(0).text("Site").text("1").text("2").text("3").data();
    QTest::newRow("negative samples") << head().i32(-1).data() + tail;
    QTest::newRow("negative points") << head().i32(1).i64(5).i32(-7).i32(0).data() + tail;
    QTest::newRow("odd text length") << head().i32(0).i32(0).i32(0).u32(3).hex("004100").data();
    QTest::newRow("unknown colour spec") << head().i32(1)
                                                    .i64(5)
                                                    .i32(1)
                                                    .hex("c4")
                                                    .i32(1)
                                                    .text("<b>")
                                                    .text("s")
                                                    .i32(-50)
                                                    .i32(2412)
                                                    .i32(20)
                                                    .hex("7f 0000 0000 0000 0000 0000")
                                                    .data() +
                                                tail;
}

void TestRecordingStream::damagedData()
{
    // After damage nothing that follows is trusted: later fields read empty.
    QFETCH(QByteArray, bytes);
    RfSpectrumHistory h;
    QVERIFY(!readBytes(bytes, h));
    QCOMPARE(h.frequencyInterval, QwtInterval(2400, 2500));
    QVERIFY(h.samples.isEmpty());
    QVERIFY(h.projectInfo.projectName.isEmpty());
    QVERIFY(h.projectInfo.technicianName.isEmpty());
}

void TestRecordingStream::randomBytes()
{
    QRandomGenerator random(20240501);
    const QByteArray valid = written(fullHistory());
    AddressSpaceCap cap(512LL << 20);
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes;
        if (round % 2) {
            bytes.resize(int(random.bounded(2048)));
            for (char &c : bytes)
                c = char(random.bounded(256));
        } else {
            bytes = valid;
            const int flips = 1 + int(random.bounded(8));
            for (int f = 0; f < flips; ++f)
                bytes[int(random.bounded(bytes.size()))] = char(random.bounded(256));
            bytes.truncate(int(random.bounded(bytes.size() + 1)));
        }
        RfSpectrumHistory h;
        readBytes(bytes, h, round % 3 == 0);
        // whatever came back is a history the rest of the program can hold
        for (const RfSpectrumSample &s : h.samples)
            QVERIFY(s.spectrum.size() <= bytes.size());
        QVERIFY(h.samples.size() <= bytes.size());
    }
}

QTEST_GUILESS_MAIN(TestRecordingStream)
#include "tst_recordingstream.moc"

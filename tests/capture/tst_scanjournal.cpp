// The autosave journal: what is written reads back, a cut or damaged tail
// ends the recovery at the last complete record, and the threaded writer
// keeps its files private.
#include "autosavejournal.h"
#include "scanjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

RfSpectrumHistory header()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    h.projectInfo = ProjectInfoData{QStringLiteral("Hall B"), QStringLiteral("42"),
                                    QStringLiteral("Stage ÿ"), QStringLiteral("Kim")};
    return h;
}

RfSpectrumSample sample(int k)
{
    return RfSpectrumSample(1714573805250 + k * 50, RfSpectrumScan(501, qint8(-100 + k % 90)));
}

//! A journal of `batches` records of three sweeps each; `ends` records where
//! each record ends.
QByteArray journal(int batches, QVector<int> *ends, bool ended = false)
{
    QByteArray bytes = ScanJournal::fileStart(header());
    ends->append(bytes.size());
    for (int b = 0; b < batches; ++b) {
        QByteArray payload;
        for (int k = 0; k < 3; ++k) {
            const RfSpectrumSample s = sample(b * 3 + k);
            ScanJournal::appendSweep(payload, s.timeStamp, s.spectrum);
        }
        bytes += ScanJournal::record(ScanJournal::SweepsRecord, payload);
        ends->append(bytes.size());
    }
    if (ended)
        bytes += ScanJournal::record(ScanJournal::EndRecord, QByteArray());
    return bytes;
}

unsigned mode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

class TestScanJournal : public QObject
{
    Q_OBJECT
private slots:
    void readsBackWhatWasWritten()
    {
        QVector<int> ends;
        ScanJournal::Contents c = ScanJournal::read(journal(4, &ends));
        QVERIFY(c.valid);
        QVERIFY(!c.ended);
        QVERIFY(!c.damaged);
        QCOMPARE(c.history.samples.size(), 12);
        for (int k = 0; k < 12; ++k)
            QCOMPARE(c.history.samples.at(k), sample(k));
        RfSpectrumHistory expected = header();
        expected.samples = c.history.samples;
        QCOMPARE(c.history, expected);
        QVERIFY(ScanJournal::read(journal(1, &ends, true)).ended);
        // The check value of CRC-32.
        QCOMPARE(ScanJournal::crc32("123456789", 9), 0xCBF43926u);
    }

    void damagedTailIsCut_data()
    {
        QTest::addColumn<int>("cutInRecord"); //!< record index whose bytes are cut or spoilt
        QTest::addColumn<bool>("spoil");      //!< flip a byte instead of cutting
        for (int r = 1; r <= 4; ++r) {
            QTest::addRow("cut in record %d", r) << r << false;
            QTest::addRow("byte spoilt in record %d", r) << r << true;
        }
    }
    void damagedTailIsCut()
    {
        QFETCH(int, cutInRecord);
        QFETCH(bool, spoil);
        QVector<int> ends;
        const QByteArray whole = journal(4, &ends);
        // Every cut inside the record, and a spoilt byte at several places.
        for (int at = ends[cutInRecord - 1] + 1; at < ends[cutInRecord]; at += spoil ? 97 : 1) {
            QByteArray bytes = whole;
            if (spoil)
                bytes[at] = char(bytes[at] ^ 0x40);
            else
                bytes.truncate(at);
            const ScanJournal::Contents c = ScanJournal::read(bytes);
            QVERIFY(c.valid);
            QVERIFY(c.damaged);
            QCOMPARE(c.history.samples.size(), (cutInRecord - 1) * 3);
            QCOMPARE(c.usableBytes, qint64(ends[cutInRecord - 1]));
        }
    }

    void absurdLengthsAllocateNothing()
    {
        QByteArray bytes = ScanJournal::fileStart(header());
        bytes += QByteArray::fromHex("ffffffff53");
        QVERIFY(ScanJournal::read(bytes).damaged);
        // A sweep claiming 65535 points in a record that passes its CRC.
        QByteArray payload = QByteArray::fromHex("0000000000000001ffff") + QByteArray(10, '\0');
        bytes = ScanJournal::fileStart(header()) +
                ScanJournal::record(ScanJournal::SweepsRecord, payload);
        const ScanJournal::Contents c = ScanJournal::read(bytes);
        QVERIFY(c.damaged);
        QVERIFY(c.history.samples.isEmpty());
        QVERIFY(!ScanJournal::read(QByteArray("not a journal")).valid);
    }

    void writerKeepsFilesPrivate()
    {
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        // A directory left open to others and a permissive umask change nothing.
        QVERIFY(QDir().mkpath(ScanJournal::directory()));
        QVERIFY(QFile::setPermissions(ScanJournal::directory(), QFileDevice::Permissions(0x7777)));
        const mode_t oldMask = ::umask(0);
        const QString path = AutosaveJournal::newFilePath(QStringLiteral("2400MHz"));
        {
            AutosaveJournal writer;
            writer.begin(path, header());
            for (int k = 0; k < 50; ++k)
                writer.addSweep(sample(k).timeStamp, sample(k).spectrum);
            writer.sync();
            QCOMPARE(ScanJournal::readFile(path).history.samples.size(), 50);
            QCOMPARE(mode(path), 0600u);
            QCOMPARE(mode(ScanJournal::directory()), 0700u);
            writer.addSweep(sample(50).timeStamp, sample(50).spectrum);
        } // closing without finish keeps the journal, with the last sweep
        const ScanJournal::Contents c = ScanJournal::readFile(path);
        QVERIFY(!c.ended);
        QCOMPARE(c.history.samples.size(), 51);
        AutosaveJournal writer;
        writer.begin(path, header());
        writer.finish(true);
        writer.sync();
        QVERIFY(!QFile::exists(path));
        ::umask(oldMask);
    }

    void aFloodGoesToTheWriterInBatches()
    {
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        const QString path = AutosaveJournal::newFilePath(QStringLiteral("2400MHz"));
        AutosaveJournal writer;
        writer.begin(path, header());
        // Three batches' worth without the event loop, so without the timer.
        const int count = 3 * AutosaveJournal::FlushBytes / (10 + 501) + 7;
        int largest = 0;
        for (int k = 0; k < count; ++k) {
            writer.addSweep(sample(k).timeStamp, sample(k).spectrum);
            largest = qMax(largest, writer.pendingBytes());
        }
        QVERIFY(largest < AutosaveJournal::FlushBytes);
        writer.sync();
        const ScanJournal::Contents c = ScanJournal::readFile(path);
        QCOMPARE(c.history.samples.size(), count);
        QCOMPARE(c.history.samples.last().timeStamp, sample(count - 1).timeStamp);
        writer.finish(true);
    }
};

QTEST_GUILESS_MAIN(TestScanJournal)
#include "tst_scanjournal.moc"

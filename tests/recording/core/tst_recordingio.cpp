#include "recordingio.h"
#include "recordingtestdata.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(RecordingIo::PageBand)

class TestRecordingIo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pageBand_data();
    void pageBand();
    void loadRefusesWrongInterval();
    void loadMissingFile();
    void bandTag_data();
    void bandTag();
    void proposedBaseName_data();
    void proposedBaseName();
    void withSuffix_data();
    void withSuffix();
    void tabTitle_data();
    void tabTitle();
    void locations();
    void failedSaveKeepsOlderFile();
};

void TestRecordingIo::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    // one settings file per test, so tests running side by side keep apart
    QCoreApplication::setApplicationName(QStringLiteral("tst_recordingio"));
    QSettings().clear();
}

void TestRecordingIo::pageBand_data()
{
    using B = RecordingIo::PageBand;
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<int>("flags");
    QTest::addColumn<B>("band");
    QTest::newRow("2.4 GHz band") << 2400.0 << 2500.0 << 0 << B::Band2400;
    QTest::newRow("900 MHz band") << 902.0 << 928.0 << 0 << B::Band900;
    QTest::newRow("300-400") << 300.0 << 400.0 << 0 << B::None;
    QTest::newRow("default (invalid)") << 0.0 << -1.0 << 0 << B::None;
    QTest::newRow("both: 915 first") << 900.0 << 2500.0 << 0 << B::Band900;
    QTest::newRow("915 as included max") << 900.0 << 915.0 << 0 << B::Band900;
    QTest::newRow("915 as excluded max") << 900.0 << 915.0 << 2 << B::None;
    QTest::newRow("2450 as excluded min") << 2450.0 << 2500.0 << 1 << B::None;
    QTest::newRow("point interval 2450") << 2450.0 << 2450.0 << 0 << B::Band2400;
    QTest::newRow("point interval excluded") << 2450.0 << 2450.0 << 3 << B::None;
    QTest::newRow("NaN") << qQNaN() << 2500.0 << 0 << B::None;
}

void TestRecordingIo::pageBand()
{
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(int, flags);
    QFETCH(RecordingIo::PageBand, band);
    const QwtInterval interval(minimum, maximum, QwtInterval::BorderFlags(flags));
    QCOMPARE(RecordingIo::pageBandForInterval(interval), band);
}

void TestRecordingIo::loadRefusesWrongInterval()
{
    RfSpectrumHistory h = fullHistory();
    h.frequencyInterval = QwtInterval(300.0, 400.0);
    QByteArray bytes;
    {
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        QVERIFY(RecordingIo::write(out, h));
    }
    QBuffer in(&bytes);
    QTest::ignoreMessage(QtCriticalMsg, "The file loaded has a wrong frequency interval");
    const RecordingIo::Recording r = RecordingIo::load(in);
    QVERIFY(r.opened);
    QVERIFY(r.complete);
    QCOMPARE(r.band, RecordingIo::PageBand::None);
    QVERIFY(!in.isOpen()); // closed as soon as it has been read
}

void TestRecordingIo::loadMissingFile()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot open recording"));
    const RecordingIo::Recording r = RecordingIo::loadFile(QStringLiteral("/nonexistent/x.vozi"));
    QVERIFY(!r.opened);
    QCOMPARE(r.band, RecordingIo::PageBand::None);
    QVERIFY(!r.errorText.isEmpty());
}

void TestRecordingIo::bandTag_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("tag");
    QTest::newRow("first tab") << 0 << 2400.0 << 2500.0 << "2400MHz";
    QTest::newRow("second tab") << 1 << 902.0 << 928.0 << "900MHz";
    // a recording's tab is named after its own band, not "900MHz" for any tab
    QTest::newRow("2.4 GHz recording") << 2 << 2400.0 << 2500.0 << "2400MHz";
    QTest::newRow("900 MHz recording") << 3 << 902.0 << 928.0 << "900MHz";
}

void TestRecordingIo::bandTag()
{
    QFETCH(int, tab);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, tag);
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(minimum, maximum);
    QCOMPARE(RecordingIo::bandTag(tab, h), tag);
}

void TestRecordingIo::proposedBaseName_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no project name") << ""
                                     << "Site"
                                     << "2400MHz"
                                     << "Orvanel_2400MHz_2024-05-01T143005";
    QTest::newRow("project name") << "Site"
                                  << "Site"
                                  << "2400MHz"
                                  << "Site_2400MHz_2024-05-01T143005";
    // the page's own name, as the window's name only says that one is set
    QTest::newRow("page's name") << "Other"
                                 << "Site"
                                 << "900MHz"
                                 << "Site_900MHz_2024-05-01T143005";
    QTest::newRow("page without name") << "Site"
                                       << ""
                                       << "900MHz"
                                       << "Orvanel_900MHz_2024-05-01T143005";
    QTest::newRow("path characters") << "x"
                                     << "A/B: C?"
                                     << "900MHz"
                                     << "A_B_ C__900MHz_2024-05-01T143005";
}

void TestRecordingIo::proposedBaseName()
{
    QFETCH(QString, windowName);
    QFETCH(QString, pageName);
    QFETCH(QString, band);
    QFETCH(QString, expected);
    const QDateTime when(QDate(2024, 5, 1), QTime(14, 30, 5, 999));
    QCOMPARE(RecordingIo::proposedBaseName(windowName, pageName, band, when), expected);
}

void TestRecordingIo::withSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/d/site"
                           << ".vozi"
                           << "/d/site.vozi";
    QTest::newRow("present") << "/d/site.vozi"
                             << ".vozi"
                             << "/d/site.vozi";
    QTest::newRow("capitals") << "/d/site.VOZI"
                              << ".vozi"
                              << "/d/site.VOZI.vozi";
    QTest::newRow("other suffix") << "/d/site.v1"
                                  << ".vozi"
                                  << "/d/site.v1.vozi";
    QTest::newRow("png") << "/d/shot"
                         << ".png"
                         << "/d/shot.png";
    QTest::newRow("png present") << "/d/shot.png"
                                 << ".png"
                                 << "/d/shot.png";
    QTest::newRow("PNG") << "/d/shot.PNG"
                         << ".png"
                         << "/d/shot.PNG.png";
}

void TestRecordingIo::withSuffix()
{
    QFETCH(QString, name);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(RecordingIo::withSuffix(name, suffix), expected);
}

void TestRecordingIo::tabTitle_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("recording") << "/d/Site_2400MHz_2024-05-01T143005.vozi"
                               << "Site_2400MHz_2024-05-01T143005";
    QTest::newRow("up to the first dot") << "/d/site.v2.vozi"
                                         << "site";
    QTest::newRow("no dot") << "/d/site"
                            << "site";
    QTest::newRow("hidden file") << "/d/.vozi"
                                 << ".vozi";
}

void TestRecordingIo::tabTitle()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(RecordingIo::tabTitle(path), title);
}

void TestRecordingIo::locations()
{
    QSettings().clear();
    QCOMPARE(RecordingIo::recordingDirectory(),
             QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation).value(0));
    QCOMPARE(RecordingIo::snapshotDirectory(),
             QStandardPaths::standardLocations(QStandardPaths::PicturesLocation).value(0));

    RecordingIo::rememberRecordingDirectory(QStringLiteral("/data/rec/site.vozi"));
    RecordingIo::rememberSnapshotDirectory(QStringLiteral("/data/pics/shot.png"));
    QCOMPARE(RecordingIo::recordingDirectory(), QStringLiteral("/data/rec"));
    QCOMPARE(RecordingIo::snapshotDirectory(), QStringLiteral("/data/pics"));
    // stored as directory URLs
    QCOMPARE(QSettings().value("RecordingLocation").toUrl(),
             QUrl::fromLocalFile(QStringLiteral("/data/rec")));
    QCOMPARE(QSettings().value("SnapshotLocation").toUrl(),
             QUrl::fromLocalFile(QStringLiteral("/data/pics")));
    QSettings().clear();
}

void TestRecordingIo::failedSaveKeepsOlderFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("site.vozi"));
    RfSpectrumHistory small;
    small.frequencyInterval = QwtInterval(902, 928);
    QString error;
    QVERIFY(RecordingIo::saveFile(path, small, &error));
    QFile older(path);
    QVERIFY(older.open(QIODevice::ReadOnly));
    const QByteArray olderBytes = older.readAll();
    older.close();

    // The disk "fills up" half way through the new recording: the file size
    // limit makes the writes fail with the system's own error.
    RfSpectrumHistory big = fullHistory();
    for (int i = 0; i < 400; ++i)
        big.samples << big.samples.first();
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit limit = oldLimit;
    limit.rlim_cur = 64 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool saved = RecordingIo::saveFile(path, big, &error);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved);
    QVERIFY2(!error.isEmpty(), "the system's reason is passed on");
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), olderBytes);
    // and no partial file is left beside it
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("site.vozi")});
}

QTEST_GUILESS_MAIN(TestRecordingIo)
#include "tst_recordingio.moc"

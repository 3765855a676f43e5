#include "rangeslider.h"
#include "recordingio.h"
#include "recordingtestdata.h"
#include "tabpage2400.h"
#include "tabpage900.h"

#include <QAction>
#include <QTemporaryDir>
#include <QtTest>

// Recordings that no live page would make, opened as pages the way the window
// does it: built from the file, shown, both views drawn, the time bar moved,
// a snapshot taken.
class TestRecordingPages : public QObject
{
    Q_OBJECT
private slots:
    void oddRecordingsOpenAsPages_data();
    void oddRecordingsOpenAsPages();
};

void TestRecordingPages::oddRecordingsOpenAsPages_data()
{
    QTest::addColumn<RfSpectrumHistory>("history");
    RfSpectrumHistory noPoints;
    noPoints.frequencyInterval = QwtInterval(2400, 2500);
    noPoints.amplitudeInterval = QwtInterval(-100, -30);
    noPoints.samples << RfSpectrumSample(1000, RfSpectrumScan())
                     << RfSpectrumSample(1050, RfSpectrumScan());
    QTest::newRow("samples without points") << noPoints;

    RfSpectrumHistory lengths = noPoints;
    lengths.samples.clear();
    lengths.samples << RfSpectrumSample(1000, RfSpectrumScan(501, -70))
                    << RfSpectrumSample(1050, RfSpectrumScan(3, -40))
                    << RfSpectrumSample(1100, RfSpectrumScan())
                    << RfSpectrumSample(1150, RfSpectrumScan(600, -50));
    QTest::newRow("lengths differ, 2.4 GHz") << lengths;

    RfSpectrumHistory shortFirst = lengths;
    shortFirst.frequencyInterval = QwtInterval(902, 928);
    std::reverse(shortFirst.samples.begin(), shortFirst.samples.end());
    for (int i = 0; i < shortFirst.samples.size(); ++i)
        shortFirst.samples[i].timeStamp = 1000 + 50 * i;
    QTest::newRow("lengths differ, 900 MHz") << shortFirst;

    RfSpectrumHistory narrow = lengths;
    narrow.amplitudeInterval = QwtInterval(-50.0, -49.5);
    QTest::newRow("amplitude narrower than 1 dB") << narrow;

    RfSpectrumHistory inverted = lengths;
    inverted.amplitudeInterval = QwtInterval(-30, -100);
    QTest::newRow("amplitude inverted") << inverted;

    RfSpectrumHistory empty;
    empty.frequencyInterval = QwtInterval(902, 928);
    QTest::newRow("no samples, default amplitude") << empty;

    QTest::newRow("full") << fullHistory();
}

void TestRecordingPages::oddRecordingsOpenAsPages()
{
    QFETCH(RfSpectrumHistory, history);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.vozi"));
    QString error;
    QVERIFY(RecordingIo::saveFile(path, history, &error));
    const RecordingIo::Recording r = RecordingIo::loadFile(path);
    QVERIFY(r.complete);
    QVERIFY(r.band != RecordingIo::PageBand::None);

    QWidget owner;
    PageActions actions;
    QAction snapshot(QStringLiteral("Snapshot"), &owner);
    QAction toggle(QStringLiteral("Toggle View"), &owner);
    QAction kivo(QStringLiteral("KiVo IDs"), &owner);
    actions.snapshot = &snapshot;
    actions.toggleView = &toggle;
    actions.kivoIds = &kivo;
    QScopedPointer<TabPage> page;
    if (r.band == RecordingIo::PageBand::Band900)
        page.reset(new TabPage900(r.history, actions));
    else
        page.reset(new TabPage2400(r.history, actions));
    page->resize(900, 600);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.data()));
    QCOMPARE(page->history().samples.size(), history.samples.size());
    for (int view = 0; view < 2; ++view) {
        page->flushRedraw();
        const int n = history.samples.size();
        for (int upper = n; upper >= 0; --upper) {
            page->timeBar()->setLowerValue(0);
            page->timeBar()->setUpperValue(upper);
            page->flushRedraw();
        }
        QVERIFY(!page->snapshotPixmap().isNull());
        page->toggleView();
    }
}

QTEST_MAIN(TestRecordingPages)
#include "tst_recordingpages.moc"

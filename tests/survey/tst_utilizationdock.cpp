#include "utilizationdock.h"

#include <QPushButton>
#include <QtTest>

class TstUtilizationDock : public QObject
{
    Q_OBJECT
private slots:
    void longHistoryCountedAside_data();
    void longHistoryCountedAside();
};

void TstUtilizationDock::longHistoryCountedAside_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("counted, then shown") << false;
    QTest::newRow("cancelled: the last result stays") << true;
}

void TstUtilizationDock::longHistoryCountedAside()
{
    QFETCH(bool, cancel);
    // Nine blocks: more than one batch of counting on up to eight threads,
    // so a cancel is seen between two of them.
    const QwtInterval band(2400, 2500);
    const RfSpectrumScan quiet(501, -95);
    RfSpectrumScan busy = quiet;
    std::fill(busy.begin() + 10, busy.begin() + 110, qint8(-40)); // Wi-Fi 1
    RfSpectrumSampleList history;
    for (int s = 0; s < 9 * LevelCountIndex::DefaultBlockSweeps; ++s)
        history.append(RfSpectrumSample(s * 50LL, s % 4 ? quiet : busy));

    UtilizationDock dock;
    dock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dock));
    dock.setSelection(history.mid(0, 100), band); // short: answered at once
    QCOMPARE(dock.result().sampleCount, 100);
    QVERIFY(!dock.isCounting());
    const QString first = dock.result().recommendationText();

    dock.setSelection(history, band);
    QVERIFY(dock.isCounting());
    if (cancel) {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("counting cancelled after"));
        dock.countButton()->click();
        QTRY_VERIFY(!dock.isCounting());
        QCOMPARE(dock.result().sampleCount, 100);
        QCOMPARE(dock.result().recommendationText(), first);
        QCOMPARE(dock.countButton()->text(), QStringLiteral("Analyse"));
        dock.setSelection(history, band); // waits for the user
        QVERIFY(!dock.isCounting());
        dock.countButton()->click();
        QVERIFY(dock.isCounting());
    }
    QTRY_COMPARE_WITH_TIMEOUT(dock.result().sampleCount, history.size(), 30000);
    UtilizationAnalyzer direct;
    QCOMPARE(dock.result().recommendationText(), direct.update(history, band).recommendationText());
}

QTEST_MAIN(TstUtilizationDock)
#include "tst_utilizationdock.moc"

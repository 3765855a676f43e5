#include "kivoidinfo.h"

#include <QTest>

#include <algorithm>

// The KiVo ID table, its grids, the drawing order and the staggering, without
// a display.
class tst_KivoIdInfo : public QObject
{
    Q_OBJECT
private slots:
    void table_data();
    void table();
    void typeColors();
    void order();
    void staggerLevels_data();
    void staggerLevels();
    void grids();
};

void tst_KivoIdInfo::table_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("outdoorFt");
    QTest::newRow("9110") << 9110 << "902.01 - 910.29 MHz"
                          << "Low" << 2000;
    QTest::newRow("24310") << 24310 << "2400.37 - 2455.72 MHz"
                           << "Low" << 1000;
    QTest::newRow("24140") << 24140 << "2468.42 - 2480.61 MHz"
                           << "Max" << 1500;
    QTest::newRow("unknown") << 9400 << "0 - 0 MHz"
                             << "" << 0;
}

void tst_KivoIdInfo::table()
{
    QFETCH(int, id);
    QFETCH(QString, range);
    QFETCH(QString, type);
    QFETCH(int, outdoorFt);
    QCOMPARE(kivoIdTable().size(), 29);
    const KivoIdInfo info = kivoIdInfo(id);
    QCOMPARE(kivoIdFrequencyRangeText(info), range);
    QCOMPARE(info.type, type);
    QCOMPARE(info.outdoorRangeFt, outdoorFt);
}

void tst_KivoIdInfo::typeColors()
{
    QCOMPARE(kivoIdTypeColor(QStringLiteral("Max")), QColor(255, 0, 0x66));
    QVERIFY(!kivoIdTypeColor(QStringLiteral("low")).isValid());
    for (const KivoIdInfo &info : kivoIdTable())
        QVERIFY2(kivoIdTypeColor(info.type).isValid(), qPrintable(info.type));
}

void tst_KivoIdInfo::order()
{
    QList<int> ids{9400, 9410, 24110, 9450, 24350, 9130, 9150};
    std::sort(ids.begin(), ids.end(), kivoIdLess);
    QCOMPARE(ids, (QList<int>{9150, 9130, 9450, 9400, 9410, 24110, 24350}));
    QVERIFY(!kivoIdLess(9110, 9110));
}

void tst_KivoIdInfo::staggerLevels_data()
{
    using Ranges = QVector<QPair<double, double>>;
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<QVector<int>>("levels");
    QTest::newRow("overlap opens a level")
        << Ranges{{902, 904}, {903, 905}, {906, 908}} << QVector<int>{0, 1, 1};
    QTest::newRow("touching overlaps") << Ranges{{902, 904}, {904, 906}} << QVector<int>{0, 1};
    QTest::newRow("apart") << Ranges{{902, 904}, {905, 906}} << QVector<int>{0, 0};
    QTest::newRow("level only grows")
        << Ranges{{902, 904}, {903, 905}, {910, 912}, {910, 911}} << QVector<int>{0, 1, 1, 2};
}

void tst_KivoIdInfo::staggerLevels()
{
    using Ranges = QVector<QPair<double, double>>;
    QFETCH(Ranges, ranges);
    QFETCH(QVector<int>, levels);
    QCOMPARE(kivoIdStaggerLevels(ranges), levels);
}

void tst_KivoIdInfo::grids()
{
    const KivoIdGrid &g900 = kivoIdGrid(KivoIdBand::Band900);
    const KivoIdGrid &g2400 = kivoIdGrid(KivoIdBand::Band2400);
    QCOMPARE(g900.columnHeaders, (QList<int>{1, 2, 4}));
    QCOMPARE(g900.idAt(3, 1), 0); // "Mid", 2 universes
    QCOMPARE(g2400.idAt(5, 2), 24340);
    QCOMPARE(g900.idAt(5, 0), 0); // a row only the 2.4 GHz grid has
    // Every ID of the table sits in exactly one cell, in its band's grid.
    QList<int> cells;
    for (const KivoIdGrid *g : {&g900, &g2400})
        for (const auto &row : g->cells)
            for (int id : row)
                if (id)
                    cells << id;
    std::sort(cells.begin(), cells.end());
    QCOMPARE(cells, kivoIdTable().keys());
}

QTEST_APPLESS_MAIN(tst_KivoIdInfo)
#include "tst_kivoidinfo.moc"

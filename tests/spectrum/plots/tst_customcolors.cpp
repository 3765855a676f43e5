#include "customcolors.h"
#include "highlightcolormap.h"
#include "spectrocolormap.h"
#include "waterfallcolormap.h"

#include <qwt_interval.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The colour maps read "customColors.txt" from the desktop when it is there,
// else from the built-in resource, else fall back to fixed stops. The desktop
// is pointed into a temporary home so the user's own file never interferes.
class TstCustomColors : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QString desktopFile() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
               QStringLiteral("/customColors.txt");
    }
    void writeDesktopFile(const QByteArray &contents)
    {
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        QFile f(desktopFile());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
    }
    static QRgb at(const QwtColorMap &map, double position)
    {
        return map.rgb(QwtInterval(0.0, 1.0), position);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + "/config"));
        QVERIFY(desktopFile().startsWith(m_home.path()));
        QVERIFY(QFile::exists(":/customColors.txt"));
    }
    void cleanup() { QFile::remove(desktopFile()); }

    void pathPrefersDesktop()
    {
        QCOMPARE(CustomColors::filePath(), QStringLiteral(":/customColors.txt"));
        writeDesktopFile("{}");
        QCOMPARE(CustomColors::filePath(), desktopFile());
    }

    void parseTakesEndsFromFirstAndLastElement()
    {
        // The ends come from the list's order, not from the elements' values.
        const QByteArray json = "{\"K\":[\n"
                                "            {\"value\":0.2,\"color\":\"#102030\",\"alpha\":40},\n"
                                "            {\"value\":0.5,\"color\":\"#ffffff\",\"alpha\":255},\n"
                                "            {\"value\":0.9,\"color\":\"#000000\",\"alpha\":7}]}";
        const auto list = CustomColors::parse(json, "K");
        QVERIFY(list);
        QCOMPARE(list->colorAt1, QColor(0x10, 0x20, 0x30, 40));
        QCOMPARE(list->colorAt0, QColor(0, 0, 0, 7));
        QCOMPARE(list->stops.size(), 3);
        QCOMPARE(list->stops.at(1).first, 0.5);
    }

    void parseWithoutUsableList_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not json") << QByteArray("{\"K\": [ {\"value\": ");
        QTest::newRow("missing key")
            << QByteArray("{\"Other\":[{\"value\":1,\"color\":\"#ff0000\",\"alpha\":255}]}");
        QTest::newRow("empty list") << QByteArray("{\"K\":[]}");
        QTest::newRow("not a list") << QByteArray("{\"K\":{\"value\":1}}");
        QTest::newRow("empty file") << QByteArray();
    }
    void parseWithoutUsableList()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!CustomColors::parse(json, "K"));
    }

    void parseMissingMembers()
    {
        const auto list = CustomColors::parse("{\"K\":[{\"value\":1}]}", "K");
        QVERIFY(list);
        QVERIFY(!list->colorAt1.isValid());
        QCOMPARE(list->stops.first().first, 1.0);
    }

    void builtInSpectroMap()
    {
        const SpectroColorMap map;
        QCOMPARE(qAlpha(at(map, 0.0)), 0);
        QCOMPARE(at(map, 0.0001), qRgba(0, 0, 255, 255));
        QCOMPARE(at(map, 0.125), qRgba(0, 255, 255, 255));
        QCOMPARE(at(map, 0.25), qRgba(0, 255, 0, 255));
        const QRgb half = at(map, 0.5); // between yellow (0.375) and red (1.0)
        QCOMPARE(qRed(half), 255);
        QVERIFY(qGreen(half) > 190 && qGreen(half) < 215);
        QCOMPARE(qBlue(half), 0);
        QCOMPARE(at(map, 1.0), qRgba(255, 0, 0, 255));
        // On the plot's Z interval, density 0.5 (50 %) and more is red.
        QCOMPARE(map.rgb(QwtInterval(0.0, 0.5), 0.5), qRgba(255, 0, 0, 255));
    }

    void builtInWaterfallMap()
    {
        const WaterfallColorMap map;
        const QwtInterval dbm(-100.0, -30.0);
        QCOMPARE(qAlpha(map.rgb(dbm, -100.0)), 0);
        QCOMPARE(map.rgb(dbm, -93.0), qRgba(0, 0, 255, 255));
        QCOMPARE(map.rgb(dbm, -79.0), qRgba(0, 255, 0, 255));
        QCOMPARE(map.rgb(dbm, -72.0), qRgba(255, 255, 0, 255));
        QCOMPARE(map.rgb(dbm, -58.0), qRgba(255, 0, 0, 255));
        QCOMPARE(map.rgb(dbm, -20.0), qRgba(255, 0, 0, 255));
    }

    void highlightMap()
    {
        const HighlightColorMap map;
        QCOMPARE(at(map, 0.0), QColor(Qt::darkGray).rgba());
        QCOMPARE(at(map, 1.0), QColor(Qt::white).rgba());
    }

    void desktopFileOverridesPerKey()
    {
        writeDesktopFile(
            "{\n"
            "            \"SpectroPlot\": [\n"
            "                {\"value\": 1, \"color\": \"#ffffff\", \"alpha\": 255},\n"
            "                {\"value\": 0, \"color\": \"#000000\", \"alpha\": 255}],\n"
            "            \"WaterfallPlot\": [\n"
            "                {\"value\": 1, \"color\": \"#ff0000\", \"alpha\": 255},\n"
            "                {\"value\": 0, \"color\": \"#0000ff\", \"alpha\": 255}]}");
        const SpectroColorMap spectro;
        QCOMPARE(at(spectro, 0.0), qRgba(0, 0, 0, 255));
        QCOMPARE(at(spectro, 1.0), qRgba(255, 255, 255, 255));
        const QRgb mid = at(spectro, 0.5);
        QVERIFY(qAbs(qRed(mid) - 127) <= 1 && qRed(mid) == qGreen(mid) &&
                qGreen(mid) == qBlue(mid));
        const WaterfallColorMap waterfall;
        QCOMPARE(at(waterfall, 0.0), qRgba(0, 0, 255, 255));
        QCOMPARE(at(waterfall, 1.0), qRgba(255, 0, 0, 255));
    }

    void unusableDesktopFileFallsBackToDefaults_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("broken json") << QByteArray("{ \"SpectroPlot\": [");
        QTest::newRow("no key") << QByteArray("{\"Something\": []}");
        QTest::newRow("empty lists") << QByteArray("{\"SpectroPlot\": [], \"WaterfallPlot\": []}");
    }
    void unusableDesktopFileFallsBackToDefaults()
    {
        QFETCH(QByteArray, json);
        writeDesktopFile(json);
        // The fixed stops, not the resource's: 0.2 is half-transparent cyan.
        const SpectroColorMap spectro;
        QCOMPARE(at(spectro, 0.2), qRgba(0, 255, 255, 128));
        QCOMPARE(at(spectro, 0.7), QColor(Qt::yellow).rgba());
        QCOMPARE(at(spectro, 1.0), QColor(Qt::red).rgba());
        QCOMPARE(qAlpha(at(spectro, 0.0)), 0);
        const WaterfallColorMap waterfall;
        QCOMPARE(at(waterfall, 0.1), qRgba(0, 255, 255, 127));
        QCOMPARE(at(waterfall, 0.5), QColor(Qt::yellow).rgba());
    }
};

QTEST_MAIN(TstCustomColors)
#include "tst_customcolors.moc"

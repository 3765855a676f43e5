// dfu-util's progress stream, cut into pieces anywhere.

#include "dfuoutputparser.h"

#include <QtTest>

namespace {

using Phase = DfuOutputParser::Phase;

// What dfu-util 0.11 prints for a DfuSe download (shortened to a few steps).
QString realStream()
{
    QString s = QStringLiteral("dfu-util 0.11\n\nOpening DFU capable USB device...\n");
    const auto bar = [](const char *name, int percent, int bytes) {
        const int filled = percent * 25 / 100;
        return QStringLiteral("\r%1\t[%2%3] %4%        %5 bytes")
            .arg(QLatin1String(name))
            .arg(QString(filled, QLatin1Char('=')))
            .arg(QString(25 - filled, QLatin1Char(' ')))
            .arg(percent, 3)
            .arg(bytes);
    };
    for (int p : {0, 36, 100})
        s += bar("Erase   ", p, p * 400);
    s += QStringLiteral("\n");
    for (int p : {0, 12, 45, 100})
        s += bar("Download", p, p * 400);
    s += QStringLiteral("\nDownload done.\nFile downloaded successfully\n");
    return s;
}

QStringList run(DfuOutputParser &parser, const QStringList &chunks)
{
    QStringList seen;
    for (const QString &chunk : chunks) {
        if (parser.feed(chunk))
            seen << DfuOutputParser::phaseName(parser.phase()) + QString::number(parser.percent());
    }
    return seen;
}

// A chunk holding several updates reports only its last: what is seen must
// be the true updates, in order, ending with the last one.
bool inOrderEndingLast(const QStringList &seen, const QStringList &truth)
{
    int at = 0;
    for (const QString &s : seen) {
        while (at < truth.size() && truth.at(at) != s)
            ++at;
        if (at == truth.size())
            return false;
    }
    return !seen.isEmpty() && seen.last() == truth.last();
}

} // namespace

class TestDfuOutputParser : public QObject
{
    Q_OBJECT

private slots:
    void splitAnywhere_data();
    void splitAnywhere();
    void singleChunks_data();
    void singleChunks();
    void listing_data();
    void listing();
};

void TestDfuOutputParser::splitAnywhere_data()
{
    QTest::addColumn<int>("pieceSize");
    for (int size : {1, 2, 3, 5, 7, 16, 61, 4096})
        QTest::newRow(qPrintable(QStringLiteral("pieces of %1").arg(size))) << size;
}

void TestDfuOutputParser::splitAnywhere()
{
    QFETCH(int, pieceSize);
    const QString stream = realStream();
    const QStringList expected{"Erase0",     "Erase36",    "Erase100",   "Download0",
                               "Download12", "Download45", "Download100"};
    // Every cut position of a two-piece split, and fixed-size pieces.
    QStringList pieces;
    for (int at = 0; at < stream.size(); at += pieceSize)
        pieces << stream.mid(at, pieceSize);
    DfuOutputParser byPieces;
    const QStringList seen = run(byPieces, pieces);
    if (pieceSize == 1)
        QCOMPARE(seen, expected);
    QVERIFY2(inOrderEndingLast(seen, expected), qPrintable(seen.join(' ')));
    for (int cut = 1; pieceSize == 1 && cut < stream.size(); ++cut) {
        DfuOutputParser parser;
        const QStringList twoPieces = run(parser, {stream.left(cut), stream.mid(cut)});
        QVERIFY2(inOrderEndingLast(twoPieces, expected), qPrintable(twoPieces.join(' ')));
    }
    QVERIFY(byPieces.takeLines().contains(QStringLiteral("Download done.")));
}

void TestDfuOutputParser::singleChunks_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QString>("phase");
    QTest::addColumn<int>("percent");
    QTest::newRow("bar") << "Download [=====    ]  45%   16384 bytes"
                         << "Download" << 45;
    QTest::newRow("no percentage") << "dfu-util: No DFU capable USB device available\n"
                                   << "" << -1;
    QTest::newRow("not a number") << "Erase   [==  ] abc%\r"
                                  << "" << -1;
    QTest::newRow("out of range") << "Erase   [==  ] 250%\r"
                                  << "" << -1;
}

void TestDfuOutputParser::singleChunks()
{
    QFETCH(QString, chunk);
    QFETCH(QString, phase);
    QFETCH(int, percent);
    DfuOutputParser parser;
    QCOMPARE(parser.feed(chunk), percent >= 0);
    QCOMPARE(DfuOutputParser::phaseName(parser.phase()), phase);
    QCOMPARE(parser.percent(), percent);
}

void TestDfuOutputParser::listing_data()
{
    // dfu-util 0.11 -l: a banner, then one line per alternate setting.
    const QString banner = QStringLiteral(
        "dfu-util 0.11\n\nCopyright 2005-2009 Weston Schmidt, Harald Welte and OpenMoko Inc.\n"
        "Copyright 2010-2021 Tormod Volden and Stefan Schmidt\n"
        "This program is Free Software and has ABSOLUTELY NO WARRANTY\n"
        "Please report bugs to http://sourceforge.net/p/dfu-util/tickets/\n\n");
    const auto found = [](const char *id, const char *path, int alt, const char *serial) {
        return QStringLiteral("Found DFU: [%1] ver=2200, devnum=9, cfg=1, intf=0, path=\"%2\", "
                              "alt=%3, name=\"@Internal Flash  /0x08000000/04*016Kg\", "
                              "serial=\"%4\"\n")
            .arg(QLatin1String(id), QLatin1String(path))
            .arg(alt)
            .arg(QLatin1String(serial));
    };
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QString>("devices"); // path/serial, comma-separated
    QTest::newRow("none") << banner << "";
    QTest::newRow("one, two alternate settings")
        << banner + found("0483:df11", "1-1.3", 0, "3574364C3034") +
               found("0483:df11", "1-1.3", 1, "3574364C3034")
        << "1-1.3/3574364C3034";
    QTest::newRow("two") << banner + found("0483:df11", "1-1.3", 0, "A") +
                                found("0483:DF11", "2-4", 0, "UNKNOWN")
                         << "1-1.3/A,2-4/UNKNOWN";
    QTest::newRow("another vendor's device only")
        << banner + found("28e9:0189", "2-1.2", 0, "3CBJ") << "";
    QTest::newRow("run-time interface")
        << banner + QStringLiteral("Found Runtime: [0483:df11] ver=2200, devnum=9, cfg=1, intf=0, "
                                   "path=\"1-1.3\", alt=0, name=\"UNKNOWN\", serial=\"A\"\n")
        << "";
}

void TestDfuOutputParser::listing()
{
    QFETCH(QString, listing);
    QFETCH(QString, devices);
    QStringList got;
    for (const DfuOutputParser::Device &d :
         DfuOutputParser::listedDevices(listing, QStringLiteral("0483:df11")))
        got << d.path + QLatin1Char('/') + d.serial;
    QCOMPARE(got.join(QLatin1Char(',')), devices);
}

QTEST_GUILESS_MAIN(TestDfuOutputParser)
#include "tst_dfuoutputparser.moc"

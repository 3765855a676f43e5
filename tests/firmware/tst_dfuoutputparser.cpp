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

QTEST_GUILESS_MAIN(TestDfuOutputParser)
#include "tst_dfuoutputparser.moc"

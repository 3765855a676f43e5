#include "portdiscovery.h"

#include <QtTest>

using PortDiscovery::PortRecord;

Q_DECLARE_METATYPE(QVector<PortRecord>)

namespace {
PortRecord port(const QString &name, const QString &description, int vid = -1, int pid = -1)
{
    PortRecord r;
    r.name = name;
    r.description = description;
    r.hasVendorIdentifier = vid >= 0;
    r.vendorIdentifier = quint16(qMax(vid, 0));
    r.hasProductIdentifier = pid >= 0;
    r.productIdentifier = quint16(qMax(pid, 0));
    return r;
}
} // namespace

class TestPortDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void matching_data();
    void matching();
};

void TestPortDiscovery::matching_data()
{
    QTest::addColumn<QVector<PortRecord>>("ports");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("no ports") << QVector<PortRecord>() << "Orvanel" << QStringList();
    QTest::newRow("one scanner among others")
        << QVector<PortRecord>{port("ttyS0", ""), port("ttyACM0", "Orvanel", 0x0483, 0x5740),
                               port("ttyUSB0", "FT232R USB UART", 0x0403, 0x6001)}
        << "Orvanel" << QStringList{"ttyACM0"};
    QTest::newRow("two scanners, system order")
        << QVector<PortRecord>{port("ttyACM3", "Orvanel"), port("ttyACM1", "Orvanel")} << "Orvanel"
        << QStringList{"ttyACM3", "ttyACM1"};
    // identifiers are never compared: another product with the scanner's
    // IDs is not a match, a scanner with unknown IDs is
    QTest::newRow("ids ignored") << QVector<PortRecord>{port("ttyACM0", "Other", 0x0483, 0x5740),
                                                        port("ttyACM1", "Orvanel")}
                                 << "Orvanel" << QStringList{"ttyACM1"};
    QTest::newRow("exact text only")
        << QVector<PortRecord>{port("a", "orvanel"), port("b", "Orvanel Scanner"),
                               port("c", " Orvanel"), port("d", "")}
        << "Orvanel" << QStringList();
    QTest::newRow("unreadable descriptions are not matches")
        << QVector<PortRecord>{port("ttyS0", ""), port("ttyS1", "")} << "Orvanel" << QStringList();
    QTest::newRow("empty description asked")
        << QVector<PortRecord>{port("ttyS0", "")} << "" << QStringList();
    QTest::newRow("listed twice") << QVector<PortRecord>{port("x", "Orvanel"), port("x", "Orvanel")}
                                  << "Orvanel" << QStringList{"x"};
}

void TestPortDiscovery::matching()
{
    QFETCH(QVector<PortRecord>, ports);
    QFETCH(QString, description);
    QFETCH(QStringList, names);
    QCOMPARE(PortDiscovery::matchingPorts(ports, description), names);
}

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "tst_portdiscovery.moc"

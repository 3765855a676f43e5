#include "portdiscovery.h"
#include "portlock.h"

#include <QtTest>

using PortDiscovery::PortRecord;

Q_DECLARE_METATYPE(PortRecord)
Q_DECLARE_METATYPE(QVector<PortRecord>)

namespace {
PortRecord port(const QString &name, const QString &description, int vid = -1, int pid = -1,
                const QString &serial = QString())
{
    PortRecord r;
    r.serialNumber = serial;
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
    void returnedPort_data();
    void returnedPort();
    void advice_data();
    void advice();
};

void TestPortDiscovery::returnedPort_data()
{
    QTest::addColumn<PortRecord>("lost");
    QTest::addColumn<QVector<PortRecord>>("ports");
    QTest::addColumn<bool>("pathExists");
    QTest::addColumn<QString>("found");
    const PortRecord scanner = port("ttyACM0", "Orvanel", 0x0483, 0x5740, "A1");
    QTest::newRow("still away") << scanner << QVector<PortRecord>{port("ttyS0", "")} << false
                                << QString();
    QTest::newRow("back under a new name")
        << scanner << QVector<PortRecord>{port("ttyACM1", "Orvanel", 0x0483, 0x5740, "A1")} << false
        << "ttyACM1";
    QTest::newRow("another scanner is not it")
        << scanner << QVector<PortRecord>{port("ttyACM0", "Orvanel", 0x0483, 0x5740, "B2")} << true
        << QString();
    QTest::newRow("pty link back")
        << port("/tmp/ttyORV", "") << QVector<PortRecord>{} << true << "/tmp/ttyORV";
    QTest::newRow("pty link away")
        << port("/tmp/ttyORV", "") << QVector<PortRecord>{} << false << QString();
}

void TestPortDiscovery::returnedPort()
{
    QFETCH(PortRecord, lost);
    QFETCH(QVector<PortRecord>, ports);
    QFETCH(bool, pathExists);
    QFETCH(QString, found);
    QCOMPARE(PortDiscovery::returnedPort(lost, ports, pathExists), found);
}

void TestPortDiscovery::advice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("permission, group")
        << PortLock::openAdviceText(false, "dialout", {})
        << QStringList{"udev rule (60-orvanel.rules)", "sudo usermod -aG dialout $USER"};
    QTest::newRow("permission, root's port")
        << PortLock::openAdviceText(false, "root", {}) << QStringList{"udev rule", "not run"};
    QTest::newRow("busy") << PortLock::openAdviceText(true, "dialout", {"process 42 (minicom)"})
                          << QStringList{"in use by process 42 (minicom)", "close that program"};
    QTest::newRow("nothing to say")
        << PortLock::openAdviceText(true, "dialout", {}) << QStringList{};
    QTest::newRow("no scanner")
        << PortDiscovery::noDeviceAdvice({port("ttyS0", ""), port("ttyUSB0", "FT232R USB UART")},
                                         {"USB Keyboard (046d:c31c)"})
        << QStringList{"cable", "Serial ports found: ttyS0, ttyUSB0 (FT232R USB UART).",
                       "USB devices found: USB Keyboard (046d:c31c)."};
    QTest::newRow("nothing at all")
        << PortDiscovery::noDeviceAdvice({}, {})
        << QStringList{"Serial ports found: none.", "USB devices found: none."};
}

void TestPortDiscovery::advice()
{
    QFETCH(QString, text);
    QFETCH(QStringList, says);
    QCOMPARE(text.isEmpty(), says.isEmpty());
    for (const QString &part : says)
        QVERIFY2(text.contains(part), qPrintable(text));
}

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

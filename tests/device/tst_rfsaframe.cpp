#include "rfsaframe.h"

#include <QtTest>

class TestRfsaFrame : public QObject
{
    Q_OBJECT
private slots:
    void crcCheckValue();
    void frames_data();
    void frames();
    void frequencyEncoding_data();
    void frequencyEncoding();
    void stepEncoding_data();
    void stepEncoding();
    void parseFront();
};

void TestRfsaFrame::crcCheckValue()
{
    const QByteArray digits("123456789");
    QCOMPARE(RfsaFrame::crc16(digits.constData(), digits.size()), quint16(0xDBD7));
    // frameCrc skips the start byte
    QCOMPARE(RfsaFrame::frameCrc("*" + digits), quint16(0xDBD7));
}

void TestRfsaFrame::frames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("connect") << 0x01 << QByteArray() << QByteArray::fromHex("2a00019509");
    QTest::newRow("getSpecNoInit") << 0x1F << QByteArray() << QByteArray::fromHex("2a001f66f6");
    QTest::newRow("setFBand 2") << 0x14 << QByteArray::fromHex("02")
                                << QByteArray::fromHex("2a01140231e8");
}

void TestRfsaFrame::frames()
{
    QFETCH(int, command);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(RfsaFrame::buildFrame(static_cast<quint8>(command), payload), frame);
}

void TestRfsaFrame::frequencyEncoding_data()
{
    QTest::addColumn<double>("mhz");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("2400") << 2400.0 << QByteArray::fromHex("09600000");
    QTest::newRow("2412.5") << 2412.5 << QByteArray::fromHex("096c8000");
    QTest::newRow("902") << 902.0 << QByteArray::fromHex("03860000");
    // rounds up to a whole MHz: carried, never wrapped back to 2400
    QTest::newRow("2400.999999") << 2400.999999 << QByteArray::fromHex("09610000");
}

void TestRfsaFrame::frequencyEncoding()
{
    QFETCH(double, mhz);
    QFETCH(QByteArray, payload);
    QCOMPARE(RfsaFrame::encodeFrequencyMHz(mhz), payload);
}

void TestRfsaFrame::stepEncoding_data()
{
    QTest::addColumn<double>("khz");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("200") << 200.0 << QByteArray::fromHex("00003333");
    QTest::newRow("103.25") << 103.25 << QByteArray::fromHex("00001a6f");
}

void TestRfsaFrame::stepEncoding()
{
    QFETCH(double, khz);
    QFETCH(QByteArray, payload);
    QCOMPARE(RfsaFrame::encodeStepKHz(khz), payload);
    QVERIFY(RfsaFrame::stepKHzEncodable(khz));
    QVERIFY(!RfsaFrame::stepKHzEncodable(1e12));
    QVERIFY(!RfsaFrame::stepKHzEncodable(qQNaN()));
}

void TestRfsaFrame::parseFront()
{
    const QByteArray f = RfsaFrame::buildFrame(0x03, "abc");
    QCOMPARE(RfsaFrame::parseFront(f.left(4)).status, RfsaFrame::Scan::NeedMore);
    QCOMPARE(RfsaFrame::parseFront(f.left(7)).status, RfsaFrame::Scan::NeedMore);
    auto p = RfsaFrame::parseFront(f + f);
    QCOMPARE(p.status, RfsaFrame::Scan::Frame);
    QCOMPARE(p.size, f.size());
    QCOMPARE(p.payload, QByteArray("abc"));
    QByteArray bad = f;
    bad[bad.size() - 1] = static_cast<char>(bad.at(bad.size() - 1) ^ 1);
    QCOMPARE(RfsaFrame::parseFront(bad).status, RfsaFrame::Scan::BadCrc);
    QCOMPARE(RfsaFrame::parseFront("x" + f).status, RfsaFrame::Scan::Corrupt);
}

QTEST_GUILESS_MAIN(TestRfsaFrame)
#include "tst_rfsaframe.moc"

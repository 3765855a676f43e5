#pragma once

// Shared by the recording tests: a byte writer that knows nothing of
// QDataStream, so files built with it check the writer and reader
// independently, and a history with something in every field.

#include "rfspectrumhistory.h"
#include "wifiapinfo.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstring>

class Bytes
{
public:
    Bytes &i8(qint8 v)
    {
        m_data.append(char(v));
        return *this;
    }
    Bytes &u16(quint16 v) { return raw(qToBigEndian(v)); }
    Bytes &i32(qint32 v) { return raw(qToBigEndian(v)); }
    Bytes &u32(quint32 v) { return raw(qToBigEndian(v)); }
    Bytes &i64(qint64 v) { return raw(qToBigEndian(v)); }
    Bytes &f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        return raw(qToBigEndian(bits));
    }
    //! count of bytes, then UTF-16 big-endian; a null text is 0xFFFFFFFF.
    Bytes &text(const QString &s)
    {
        if (s.isNull())
            return u32(0xFFFFFFFFu);
        u32(quint32(s.size() * 2));
        for (QChar c : s)
            u16(c.unicode());
        return *this;
    }
    Bytes &hex(const char *h)
    {
        m_data.append(QByteArray::fromHex(h));
        return *this;
    }
    Bytes &interval(double lo, double hi, qint32 flags = 0) { return f64(lo).f64(hi).i32(flags); }
    const QByteArray &data() const { return m_data; }

private:
    template <typename T> Bytes &raw(T v)
    {
        m_data.append(reinterpret_cast<const char *>(&v), sizeof v);
        return *this;
    }
    QByteArray m_data;
};

inline WifiApInfo testNetwork(const QString &bssid, const QString &ssid, int rssi, int frequency)
{
    WifiApInfo ap;
    ap.bssid = bssid;
    ap.ssid = ssid;
    ap.rssi = rssi;
    ap.frequency = frequency;
    ap.width = 20;
    ap.color = networkColorHue(bssid);
    return ap;
}

//! Something in every field: samples with and without networks, an odd
//! colour spec, events, labels, non-Latin project texts.
inline RfSpectrumHistory fullHistory()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400.0, 2500.0);
    h.amplitudeInterval = QwtInterval(-100.0, -30.0);
    WifiScan scan;
    scan << testNetwork(QStringLiteral("<00:11:22:aa:bb:cc>"), QStringLiteral("Stage Left"), -47,
                        2412)
         << testNetwork(QStringLiteral("<00:11:22:aa:bb:00>"), QString(), -81, 2462);
    WifiApInfo rgb =
        testNetwork(QStringLiteral("<0a:1b:2c:3d:4e:5f>"), QStringLiteral("Büro"), -60, 2437);
    rgb.color = QColor::fromRgb(12, 34, 56, 78);
    for (int i = 0; i < 5; ++i) {
        RfSpectrumScan spectrum(501);
        for (int b = 0; b < spectrum.size(); ++b)
            spectrum[b] = qint8(-128 + (b * 7 + i * 13) % 256);
        WifiScan networks = i == 0 ? WifiScan() : scan;
        if (i == 4)
            networks << rgb;
        h.samples << RfSpectrumSample(1714566605000LL + i * 50, spectrum, networks);
    }
    h.timeEvents << TimeEvent(QDateTime::fromMSecsSinceEpoch(1714566605123LL),
                              QStringLiteral("doors open"))
                 << TimeEvent(QDateTime::fromMSecsSinceEpoch(1714566605173LL, Qt::UTC), QString());
    h.spectroLabels << SpectroLabel(QPointF(2437.25, -61.5), QStringLiteral("AP 6"))
                    << SpectroLabel(QPointF(0.0, -100.0), QStringLiteral("Ω ✓"));
    h.projectInfo.projectName = QStringLiteral("Site");
    h.projectInfo.projectId = QStringLiteral("P-17");
    h.projectInfo.scanLocation = QStringLiteral("Hall B, Zürich");
    h.projectInfo.technicianName = QString();
    return h;
}

#include "surveychannels.h"

#include "kivoidinfo.h"
#include "wifiapinfo.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr double WifiHalfWidthMHz = 10.0;
constexpr double ZigBeeHalfWidthMHz = 1.0;

QString mhz(double f)
{
    return QString::number(f, 'g', 6);
}

bool overlaps(const QwtInterval &band, double low, double high)
{
    return band.isValid() && low <= band.maxValue() && high >= band.minValue();
}

} // namespace

QString SurveyChannel::name() const
{
    switch (kind) {
    case Wifi:
        return QCoreApplication::translate("SurveyChannel", "Wi-Fi %1").arg(number);
    case ZigBee:
        return QCoreApplication::translate("SurveyChannel", "ZigBee %1").arg(number);
    case KivoId:
        break;
    }
    return QCoreApplication::translate("SurveyChannel", "KiVo ID %1").arg(number);
}

QString SurveyChannel::rangeText() const
{
    return QStringLiteral("%1\u2013%2 MHz").arg(mhz(lowMHz), mhz(highMHz));
}

QVector<SurveyChannel> surveyChannels(const QwtInterval &band)
{
    QVector<SurveyChannel> channels;
    const auto add = [&](SurveyChannel::Kind kind, int number, double low, double high,
                         int universes = 0) {
        if (overlaps(band, low, high))
            channels.append(SurveyChannel{kind, number, low, high, universes});
    };
    for (int n = 1; n <= 14; ++n) {
        const double c = wifiChannelFrequencies[n];
        add(SurveyChannel::Wifi, n, c - WifiHalfWidthMHz, c + WifiHalfWidthMHz);
    }
    for (int n = 11; n <= 26; ++n) {
        const double c = 2405.0 + 5.0 * (n - 11);
        add(SurveyChannel::ZigBee, n, c - ZigBeeHalfWidthMHz, c + ZigBeeHalfWidthMHz);
    }
    QList<qint32> ids = kivoIdTable().keys();
    std::sort(ids.begin(), ids.end(), kivoIdLess);
    for (qint32 id : qAsConst(ids)) {
        const KivoIdInfo info = kivoIdInfo(id);
        add(SurveyChannel::KivoId, id, info.lowFrequency(), info.highFrequency(), info.universes);
    }
    return channels;
}

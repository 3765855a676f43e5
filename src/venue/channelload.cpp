#include "channelload.h"

#include "pointgrid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

void ChannelLoad::setBand(double frequencyMHz)
{
    clear();
    m_band = PointGrid::forBandContaining(frequencyMHz).bandInterval();
}

void ChannelLoad::clear()
{
    m_window.clear();
    m_analyzer.clear();
    m_result.clear();
    m_computedFor = -1;
    m_noiseFloor = NoDataLevel;
    m_threshold = qQNaN();
}

void ChannelLoad::addSweep(qint64 timeStamp, const QVector<qint8> &levels)
{
    if (!m_window.isEmpty() && (m_window.first().spectrum.size() != levels.size() ||
                                timeStamp < m_window.last().timeStamp))
        clear();
    m_window.append(RfSpectrumSample(timeStamp, levels));
    while (m_window.size() > MaxSweeps ||
           (m_window.size() > 1 && timeStamp - m_window.first().timeStamp > WindowMs))
        m_window.removeFirst();
    ++m_added;
}

QVector<ChannelLoad::Channel> ChannelLoad::channels()
{
    if (m_computedFor == m_added)
        return m_result;
    m_computedFor = m_added;
    m_result.clear();
    if (m_window.isEmpty() || !m_band.isValid())
        return m_result;
    const UtilizationResult r = m_analyzer.update(m_window, m_band);
    m_noiseFloor = r.noiseFloorDbm;
    m_threshold = r.thresholdDbm;
    for (const ChannelUtilization &u : r.channels) {
        if (u.channel.kind == SurveyChannel::ZigBee || !u.hasData() || u.firstBin < 0)
            continue;
        int peak = NoDataLevel;
        for (const RfSpectrumSample &s : qAsConst(m_window)) {
            const int last = qMin(u.lastBin, s.spectrum.size() - 1);
            for (int i = u.firstBin; i <= last; ++i)
                peak = qMax(peak, int(s.spectrum.at(i)));
        }
        if (peak == NoDataLevel)
            continue;
        m_result.append(Channel{u.channel, u.utilization, double(peak)});
    }
    return m_result;
}

QByteArray ChannelLoad::utilizationJson(const QString &node, const QString &band, qint64 time)
{
    QJsonArray list;
    for (const Channel &c : channels()) {
        list.append(QJsonObject{{QStringLiteral("name"), c.channel.name()},
                                {QStringLiteral("kind"), c.channel.kind == SurveyChannel::Wifi
                                                             ? QStringLiteral("wifi")
                                                             : QStringLiteral("kivo")},
                                {QStringLiteral("number"), c.channel.number},
                                {QStringLiteral("lowMHz"), c.channel.lowMHz},
                                {QStringLiteral("highMHz"), c.channel.highMHz},
                                {QStringLiteral("dutyCycle"), c.dutyCycle},
                                {QStringLiteral("peakDbm"), c.peakDbm}});
    }
    QJsonObject o{{QStringLiteral("node"), node},
                  {QStringLiteral("band"), band},
                  {QStringLiteral("time"), double(time)},
                  {QStringLiteral("windowS"), int(WindowMs / 1000)},
                  {QStringLiteral("sweeps"), m_window.size()},
                  {QStringLiteral("channels"), list}};
    if (m_noiseFloor != NoDataLevel)
        o.insert(QStringLiteral("noiseFloorDbm"), m_noiseFloor);
    if (!qIsNaN(m_threshold))
        o.insert(QStringLiteral("thresholdDbm"), m_threshold);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

#include "utilization.h"

#include "wifiapinfo.h"

#include <QCoreApplication>
#include <QHash>

#include <cmath>
#include <limits>

namespace {

constexpr int Levels = 256;

//! First level counted as "at or above" a threshold; 128 when none can be.
int firstLevelAtOrAbove(double thresholdDbm)
{
    if (qIsNaN(thresholdDbm))
        return 128;
    const double c = std::ceil(thresholdDbm);
    if (c <= -127)
        return -127;
    return c >= 128 ? 128 : int(c);
}

QString tr(const char *text)
{
    return QCoreApplication::translate("UtilizationResult", text);
}

//! The level a bin holds in at least PersistentShare of its sweeps with
//! data (the largest level whose count from the top reaches that share);
//! NoDataLevel when the bin has none.
int persistentLevel(const qint32 *bin)
{
    qint64 total = 0;
    for (int v = -127; v < 128; ++v)
        total += bin[v];
    if (total == 0)
        return NoDataLevel;
    qint64 fromTop = 0;
    for (int v = 127; v >= -127; --v) {
        fromTop += bin[v];
        if (fromTop * PersistentShareDen >= total * PersistentShareNum)
            return v;
    }
    return -127;
}

QString dbm(double level)
{
    // A real minus sign: the text goes into reports.
    return level < 0 ? QStringLiteral("\u2212%1").arg(-level) : QString::number(level);
}

bool isNonOverlappingWifi(const SurveyChannel &c)
{
    // 1, 6 and 11 are the channels that do not overlap: the ones a venue's
    // networks can be moved to and away from.
    return c.kind == SurveyChannel::Wifi && (c.number == 1 || c.number == 6 || c.number == 11);
}

} // namespace

QVector<double> dutyCycles(const LevelHistogramView &h, double thresholdDbm)
{
    QVector<double> duty(h.columns, qQNaN());
    const int first = firstLevelAtOrAbove(thresholdDbm);
    for (int i = 0; i < h.columns; ++i) {
        const qint32 *bin = h.bin(i);
        qint64 below = 0;
        qint64 above = 0;
        for (int v = -127; v < first; ++v)
            below += bin[v];
        for (int v = first; v < 128; ++v)
            above += bin[v];
        if (below + above > 0)
            duty[i] = double(above) / double(below + above);
    }
    return duty;
}

int tenthPercentile(const qint64 *histogram256)
{
    const qint64 *h = histogram256 + 128;
    qint64 total = 0;
    for (int v = -127; v < 128; ++v)
        total += h[v];
    if (total == 0)
        return NoDataLevel;
    qint64 cumulative = 0;
    for (int v = -127; v < 128; ++v) {
        cumulative += h[v];
        if (cumulative * 10 >= total)
            return v;
    }
    return 127;
}

int noiseFloor(const LevelHistogramView &h)
{
    qint64 all[Levels] = {};
    for (int i = 0; i < h.columns; ++i) {
        const qint32 *bin = h.counts + i * Levels;
        for (int v = 0; v < Levels; ++v)
            all[v] += bin[v];
    }
    return tenthPercentile(all);
}

UtilizationResult computeUtilization(const LevelHistogramView &h, const PointGrid &grid,
                                     const QwtInterval &span,
                                     const QVector<SurveyChannel> &channels, double thresholdDbm)
{
    UtilizationResult r;
    r.noiseFloorDbm = noiseFloor(h);
    r.thresholdDbm = !qIsNaN(thresholdDbm)            ? thresholdDbm
                     : r.noiseFloorDbm == NoDataLevel ? qQNaN()
                                                      : r.noiseFloorDbm + DefaultThresholdMarginDb;
    const QVector<double> duty = dutyCycles(h, r.thresholdDbm);
    QVector<int> persistent(h.columns);
    for (int i = 0; i < h.columns; ++i)
        persistent[i] = persistentLevel(h.bin(i));
    const double carrierLevel = r.noiseFloorDbm == NoDataLevel
                                    ? std::numeric_limits<double>::infinity()
                                    : r.noiseFloorDbm + CarrierMarginDb;
    const int points = qMin(grid.points, h.columns);
    const double startMHz = grid.startHz / 1e6;
    const double stepMHz = grid.stepHz / 1e6;
    // Rounding of the grid must not drop a point lying on a channel edge.
    const double eps = stepMHz * 1e-6;

    r.channels.reserve(channels.size());
    for (const SurveyChannel &c : channels) {
        ChannelUtilization u;
        u.channel = c;
        u.partial = !span.isValid() || c.lowMHz < span.minValue() - eps ||
                    c.highMHz > span.maxValue() + eps;
        if (grid.isValid() && points > 0) {
            const int first = qMax(0, int(std::ceil((c.lowMHz - startMHz) / stepMHz - 1e-6)));
            const int last =
                qMin(points - 1, int(std::floor((c.highMHz - startMHz) / stepMHz + 1e-6)));
            if (first <= last) {
                u.firstBin = first;
                u.lastBin = last;
                double sum = 0;
                double peak = qQNaN();
                int counted = 0;
                for (int i = first; i <= last; ++i) {
                    if (qIsNaN(duty.at(i)))
                        continue;
                    if (persistent.at(i) != NoDataLevel && !(persistent.at(i) <= u.persistentDbm)) {
                        u.persistentDbm = persistent.at(i);
                        u.persistentMHz = grid.frequencyMHz(i);
                    }
                    sum += duty.at(i);
                    peak = counted == 0 ? duty.at(i) : qMax(peak, duty.at(i));
                    ++counted;
                }
                if (counted > 0) {
                    u.utilization = sum / counted;
                    u.peak = peak;
                    u.carrier = u.persistentDbm >= carrierLevel;
                }
            }
        }
        r.channels.append(u);
    }

    for (ChannelUtilization &u : r.channels) {
        if (u.channel.kind != SurveyChannel::KivoId)
            continue;
        for (const ChannelUtilization &w : qAsConst(r.channels))
            if (isNonOverlappingWifi(w.channel) && rangesOverlap(u.channel, w.channel))
                u.overlaps.append(w.channel.name());
    }

    // Fewer minutes on air first, then the lower peak; ties keep table order.
    // A channel with a carrier inside is never a candidate: a link there
    // would sit on it however little the rest of the channel is used.
    const auto quieter = [&](int a, int b) {
        const ChannelUtilization &x = r.channels.at(a);
        const ChannelUtilization &y = r.channels.at(b);
        return x.utilization < y.utilization || (x.utilization == y.utilization && x.peak < y.peak);
    };
    for (int i = 0; i < r.channels.size(); ++i) {
        const ChannelUtilization &u = r.channels.at(i);
        if (!u.hasData() || !isNonOverlappingWifi(u.channel))
            continue;
        if (!u.carrier && (r.bestWifi < 0 || quieter(i, r.bestWifi)))
            r.bestWifi = i;
        if (u.utilization > 0 && (r.busiestWifi < 0 || quieter(r.busiestWifi, i)))
            r.busiestWifi = i;
    }
    for (int i = 0; i < r.channels.size(); ++i) {
        const ChannelUtilization &u = r.channels.at(i);
        if (u.hasData() && isNonOverlappingWifi(u.channel) && i != r.bestWifi &&
            (u.carrier || i == r.busiestWifi))
            r.avoidWifi.append(i);
    }

    // The IDs share the air with the recommended Wi-Fi channel only where
    // their ranges meet it: those are left out, so the plan holds together.
    QHash<int, int> bestPerUniverses;
    QList<int> universesOrder;
    for (int i = 0; i < r.channels.size(); ++i) {
        const ChannelUtilization &u = r.channels.at(i);
        if (!u.hasData() || u.channel.kind != SurveyChannel::KivoId || u.partial || u.carrier)
            continue;
        if (r.bestWifi >= 0 && rangesOverlap(u.channel, r.channels.at(r.bestWifi).channel))
            continue;
        const int key = u.channel.universes;
        if (!bestPerUniverses.contains(key)) {
            universesOrder.append(key);
            bestPerUniverses.insert(key, i);
        } else if (quieter(i, bestPerUniverses.value(key))) {
            bestPerUniverses.insert(key, i);
        }
    }
    std::sort(universesOrder.begin(), universesOrder.end());
    for (int key : qAsConst(universesOrder))
        r.bestKivoIds.append(bestPerUniverses.value(key));
    return r;
}

bool rangesOverlap(const SurveyChannel &a, const SurveyChannel &b)
{
    return a.lowMHz < b.highMHz && b.lowMHz < a.highMHz;
}

QString ChannelUtilization::reasonToAvoid() const
{
    if (carrier)
        return tr("carrier at %1 MHz, %2 dBm")
            .arg(QString::number(persistentMHz, 'f', 1), dbm(persistentDbm));
    if (!hasData())
        return QString();
    return tr("on air %1 % (worst point %2 %)")
        .arg(QString::number(utilization * 100, 'f', 1), QString::number(peak * 100, 'f', 1));
}

QString UtilizationResult::recommendationText() const
{
    QStringList use;
    if (bestWifi >= 0)
        use.append(channels.at(bestWifi).channel.name());
    QStringList ids;
    for (int i : bestKivoIds) {
        const SurveyChannel &c = channels.at(i).channel;
        ids.append(c.universes == 1 ? tr("%1 (1 universe)").arg(c.number)
                                    : tr("%1 (%2 universes)").arg(c.number).arg(c.universes));
    }
    if (!ids.isEmpty())
        use.append(tr("KiVo ID %1").arg(ids.join(QStringLiteral(", "))));
    QStringList avoid;
    for (int i : avoidWifi) {
        const ChannelUtilization &u = channels.at(i);
        avoid.append(tr("avoid %1: %2").arg(u.channel.name(), u.reasonToAvoid()));
    }
    if (use.isEmpty() && avoid.isEmpty())
        return tr("No data to recommend from.");
    if (use.isEmpty())
        return tr("No channel is free of strong signals; %1.").arg(avoid.join(tr("; ")));
    QString text = tr("Use %1").arg(use.join(tr("; ")));
    if (!avoid.isEmpty())
        text += tr("; ") + avoid.join(tr("; "));
    return text + QLatin1Char('.');
}

int wifiChannelOf(int frequencyMHz)
{
    for (int n = 1; n <= 14; ++n) {
        if (int(wifiChannelFrequencies[n]) == frequencyMHz)
            return n;
    }
    return 0;
}

QVector<HeardNetwork> heardNetworks(const RfSpectrumSampleList &selection)
{
    QVector<HeardNetwork> networks;
    QHash<QString, int> index;
    const WifiScan *previous = nullptr;
    for (const RfSpectrumSample &s : selection) {
        // Sweeps carry the newest scan forward, sharing its storage: a scan
        // already read is compared by its pointer and skipped.
        if (previous && *previous == s.wifiNetworks)
            continue;
        previous = &s.wifiNetworks;
        for (const WifiApInfo &ap : s.wifiNetworks) {
            auto it = index.constFind(ap.bssid);
            if (it == index.constEnd()) {
                index.insert(ap.bssid, networks.size());
                networks.append(HeardNetwork{ap.ssid, ap.bssid, ap.frequency,
                                             wifiChannelOf(ap.frequency), ap.rssi, ap.rssi});
                continue;
            }
            HeardNetwork &n = networks[it.value()];
            n.strongest = qMax(n.strongest, ap.rssi);
            n.weakest = qMin(n.weakest, ap.rssi);
            if (!ap.ssid.isEmpty())
                n.ssid = ap.ssid;
        }
    }
    return networks;
}

void attachNetworks(UtilizationResult &result, const QVector<HeardNetwork> &networks)
{
    for (ChannelUtilization &u : result.channels) {
        if (u.channel.kind != SurveyChannel::Wifi)
            continue;
        u.networks.clear();
        for (const HeardNetwork &n : networks) {
            if (n.channel == u.channel.number)
                u.networks.append(QStringLiteral("%1 %2").arg(n.ssid, n.bssid).trimmed());
        }
    }
}

UtilizationResult UtilizationAnalyzer::update(const RfSpectrumSampleList &selection,
                                              const QwtInterval &frequencyInterval,
                                              double thresholdDbm,
                                              const RfSpectrumSampleList *history)
{
    if (selection.isEmpty())
        return UtilizationResult();
    m_usedIndex = false;
    int columns = qMin(selection.first().spectrum.size(), MaxStatisticsColumns);
    if (history && follow(*history)) {
        // Short selections (the live window sliding) stay with the
        // accumulator's incremental updates, cheaper than any block.
        const int from = selection.size() >= m_index.blockSweeps()
                             ? LevelCountIndex::locate(*history, selection)
                             : -1;
        m_usedIndex = from >= 0 && columns == m_index.columns() &&
                      m_index.countRange(*history, from, from + selection.size(), m_rangeCounts);
    }
    if (m_usedIndex) {
        // The accumulator would keep the whole list alive and go on
        // comparing it; it starts afresh when a short selection comes back.
        m_accumulator.clear();
    } else {
        m_accumulator.updateHistograms(selection);
        columns = m_accumulator.columns();
    }
    if (!(frequencyInterval == m_band) || columns != m_points) {
        m_band = frequencyInterval;
        m_points = columns;
        m_grid = PointGrid::forHistory(frequencyInterval, columns);
        m_channels = surveyChannels(frequencyInterval);
    }
    const qint32 *counts =
        m_usedIndex ? m_rangeCounts.constData() : m_accumulator.levelHistograms().constData();
    UtilizationResult r = computeUtilization(LevelHistogramView{counts, columns}, m_grid, m_band,
                                             m_channels, thresholdDbm);
    r.sampleCount = selection.size();
    attachNetworks(r, heardNetworks(selection));
    return r;
}

bool UtilizationAnalyzer::follow(const RfSpectrumSampleList &history,
                                 const LevelCountIndex::Progress &progress)
{
    return m_index.follow(history, progress);
}

void UtilizationAnalyzer::clear()
{
    m_accumulator.clear();
    m_index.clear();
    m_rangeCounts.clear();
    m_usedIndex = false;
    m_band = QwtInterval();
    m_points = -1;
}

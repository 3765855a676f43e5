#include "kivoidinfo.h"

#include <QtGlobal>

namespace {

struct Row
{
    qint32 id;
    qint32 universes;
    const char *type;
    double center;
    double bandwidth;
    qint32 indoorFt, indoorM, outdoorFt, outdoorM;
};

// The maker's published plans.
const Row kRows[] = {
    {9150, 1, "Adaptive", 915.0, 24.84, 300, 100, 2000, 600},
    {9100, 1, "Full", 915.0, 24.84, 300, 100, 2000, 600},
    {9110, 1, "Low", 906.15, 8.28, 300, 100, 2000, 600},
    {9120, 1, "Mid", 915.0, 8.28, 300, 100, 2000, 600},
    {9130, 1, "High", 923.85, 8.28, 300, 100, 2000, 600},
    {9250, 2, "Adaptive", 915.0, 20.4, 300, 100, 2000, 600},
    {9200, 2, "Full", 915.0, 20.4, 300, 100, 2000, 600},
    {9210, 2, "Low", 907.25, 10.2, 300, 100, 2000, 600},
    {9230, 2, "High", 922.75, 10.2, 300, 100, 2000, 600},
    {9350, 4, "Adaptive", 915.25, 21.75, 300, 100, 500, 150},
    {9300, 4, "Full", 915.25, 21.75, 300, 100, 500, 150},
    {9310, 4, "Low", 909.1975, 14.5, 300, 100, 500, 150},
    {9330, 4, "High", 920.8025, 14.5, 300, 100, 500, 150},
    {24150, 1, "Adaptive", 2440.375, 80.469, 300, 100, 1500, 450},
    {24100, 1, "Full", 2440.375, 80.469, 300, 100, 1500, 450},
    {24110, 1, "Low", 2413.552, 26.823, 300, 100, 1500, 450},
    {24120, 1, "Mid", 2440.375, 26.823, 300, 100, 1500, 450},
    {24130, 1, "High", 2467.198, 26.823, 300, 100, 1500, 450},
    {24140, 1, "Max", 2474.513, 12.192, 300, 100, 1500, 450},
    {24250, 2, "Adaptive", 2440.875, 80.486, 300, 100, 1500, 450},
    {24200, 2, "Full", 2440.875, 80.486, 300, 100, 1500, 450},
    {24210, 2, "Low", 2420.754, 40.243, 300, 100, 1500, 450},
    {24230, 2, "High", 2460.996, 40.243, 300, 100, 1500, 450},
    {24240, 2, "Max", 2476.646, 8.943, 300, 100, 1500, 450},
    {24350, 5, "Adaptive", 2438.425, 76.11, 100, 30, 1000, 300},
    {24300, 5, "Full", 2438.425, 76.11, 100, 30, 1000, 300},
    {24310, 5, "Low", 2428.046, 55.352, 100, 30, 1000, 300},
    {24330, 5, "High", 2448.804, 55.352, 100, 30, 1000, 300},
    {24340, 5, "Max", 2473.02, 6.919, 100, 30, 1000, 300},
};

// Tens digit for the order: 5 (adaptive) sorts before 0 (full).
int orderTens(qint32 id)
{
    const int tens = (id / 10) % 10;
    return tens == 5 ? -1 : tens;
}

} // namespace

const QMap<qint32, KivoIdInfo> &kivoIdTable()
{
    static const QMap<qint32, KivoIdInfo> table = [] {
        QMap<qint32, KivoIdInfo> t;
        for (const Row &r : kRows) {
            KivoIdInfo info;
            info.universes = r.universes;
            info.centerFrequency = r.center;
            info.bandwidth = r.bandwidth;
            info.type = QLatin1String(r.type);
            info.indoorRangeFt = r.indoorFt;
            info.indoorRangeM = r.indoorM;
            info.outdoorRangeFt = r.outdoorFt;
            info.outdoorRangeM = r.outdoorM;
            t.insert(r.id, info);
        }
        return t;
    }();
    return table;
}

KivoIdInfo kivoIdInfo(qint32 kivoId)
{
    return kivoIdTable().value(kivoId);
}

const QMap<QString, QColor> &kivoIdTypeColors()
{
    static const QMap<QString, QColor> colors{
        {QStringLiteral("Low"), QColor(QStringLiteral("#00FF00"))},
        {QStringLiteral("Mid"), QColor(QStringLiteral("#FFCC00"))},
        {QStringLiteral("High"), QColor(QStringLiteral("#00FFFF"))},
        {QStringLiteral("Max"), QColor(QStringLiteral("#FF0066"))},
        {QStringLiteral("Full"), QColor(QStringLiteral("#FF00FF"))},
        {QStringLiteral("Adaptive"), QColor(QStringLiteral("#FF6600"))},
    };
    return colors;
}

QColor kivoIdTypeColor(const QString &type)
{
    return kivoIdTypeColors().value(type);
}

QString kivoIdFrequencyRangeText(const KivoIdInfo &info)
{
    return QString::number(info.lowFrequency(), 'g', 6) + QStringLiteral(" - ") +
           QString::number(info.highFrequency(), 'g', 6) + QStringLiteral(" MHz");
}

bool kivoIdLess(qint32 a, qint32 b)
{
    if (a / 1000 != b / 1000)
        return a / 1000 < b / 1000;
    if ((a / 100) % 10 != (b / 100) % 10)
        return (a / 100) % 10 < (b / 100) % 10;
    if (orderTens(a) != orderTens(b))
        return orderTens(a) < orderTens(b);
    return a % 10 < b % 10;
}

QVector<int> kivoIdStaggerLevels(const QVector<QPair<double, double>> &ranges)
{
    QVector<int> levels(ranges.size(), -1);
    int level = 0;
    for (int i = 0; i < ranges.size(); ++i) {
        levels[i] = level;
        for (int j = 0; j < i; ++j) {
            const bool overlap =
                ranges[i].first <= ranges[j].second && ranges[j].first <= ranges[i].second;
            if (levels[j] == levels[i] && overlap) {
                levels[i] = ++level;
                break;
            }
        }
    }
    return levels;
}

int KivoIdGrid::idAt(int row, int column) const
{
    if (row < 0 || row >= cells.size() || column < 0 || column >= cells[row].size())
        return 0;
    return cells[row][column];
}

const KivoIdGrid &kivoIdGrid(KivoIdBand band)
{
    static const KivoIdGrid grid900{{1, 2, 4},
                                    {QStringLiteral("Adaptive"), QStringLiteral("Full"),
                                     QStringLiteral("Low"), QStringLiteral("Mid"),
                                     QStringLiteral("High")},
                                    {{9150, 9250, 9350},
                                     {9100, 9200, 9300},
                                     {9110, 9210, 9310},
                                     {9120, 0, 0},
                                     {9130, 9230, 9330}}};
    static const KivoIdGrid grid2400{{1, 2, 5},
                                     {QStringLiteral("Adaptive"), QStringLiteral("Full"),
                                      QStringLiteral("Low"), QStringLiteral("Mid"),
                                      QStringLiteral("High"), QStringLiteral("Max")},
                                     {{24150, 24250, 24350},
                                      {24100, 24200, 24300},
                                      {24110, 24210, 24310},
                                      {24120, 0, 0},
                                      {24130, 24230, 24330},
                                      {24140, 24240, 24340}}};
    return band == KivoIdBand::Band900 ? grid900 : grid2400;
}

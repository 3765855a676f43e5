#include "pointgrid.h"

#include "bandparameters.h"

#include <qwt_interval.h>

#include <cmath>

namespace {

struct BandSet
{
    const QVariantMap &(*parameters)();
};

const BandSet bandSets[] = {{&rfParams900}, {&rfParams2400}};

double value(const QVariantMap &set, const char *key)
{
    return set.value(QLatin1String(key)).toDouble();
}

} // namespace

PointGrid PointGrid::forHistory(const QwtInterval &frequencyInterval, int points)
{
    PointGrid grid;
    if (points <= 0 || !frequencyInterval.isValid())
        return grid;
    const double minMHz = frequencyInterval.minValue();
    const double maxMHz = frequencyInterval.maxValue();
    for (const BandSet &band : bandSets) {
        const QVariantMap &set = band.parameters();
        const double start = value(set, "FStart");
        const double span = value(set, "Span");
        if (std::abs(minMHz - start) < 1e-9 && std::abs(maxMHz - (start + span)) < 1e-9 &&
            points == pointCount(set)) {
            grid.startHz = start * 1e6;
            grid.stepHz = value(set, "FStep") * 1e3;
            grid.points = points;
            return grid;
        }
    }
    grid.startHz = minMHz * 1e6;
    grid.points = points;
    grid.stepHz = points > 1 ? (maxMHz - minMHz) * 1e6 / (points - 1) : 1.0;
    if (!(grid.stepHz > 0))
        grid.stepHz = 1.0;
    return grid;
}

PointGrid PointGrid::forBandContaining(double frequencyMHz)
{
    for (const BandSet &band : bandSets) {
        const QVariantMap &set = band.parameters();
        const double start = value(set, "FStart");
        const double span = value(set, "Span");
        if (frequencyMHz >= start && frequencyMHz <= start + span)
            return forHistory(QwtInterval(start, start + span), pointCount(set));
    }
    return PointGrid();
}

int PointGrid::pointCount(const QVariantMap &parameters)
{
    bool okSpan = false;
    bool okStep = false;
    const double span = parameters.value(QStringLiteral("Span")).toDouble(&okSpan);
    const double step = parameters.value(QStringLiteral("FStep")).toDouble(&okStep);
    if (!okSpan || !okStep || !(step > 0) || !(span >= 0) || !std::isfinite(span) ||
        !std::isfinite(step))
        return 0;
    const double points = span * 1000.0 / step + 1.0;
    return points < 2147483647.0 ? static_cast<int>(points) : 0;
}

int PointGrid::nearestPoint(double frequencyHz) const
{
    if (!isValid())
        return -1;
    const double i = std::round((frequencyHz - startHz) / stepHz);
    if (!(i > 0))
        return 0; // below the grid (or not a number)
    return i >= points - 1 ? points - 1 : int(i);
}

QwtInterval PointGrid::bandInterval() const
{
    for (const BandSet &band : bandSets) {
        const QVariantMap &set = band.parameters();
        const double start = value(set, "FStart");
        if (std::abs(startHz - start * 1e6) < 1.0)
            return QwtInterval(start, start + value(set, "Span"));
    }
    return QwtInterval(startHz / 1e6, frequencyHz(points - 1) / 1e6);
}

#include "bandparameters.h"

#include <cmath>

namespace {

QVariantMap makeSet(int fBand, double fStart, double fStop, int rbw, double fStep, int stepCount,
                    int span, int spanIndex)
{
    return QVariantMap{{QStringLiteral("FBand"), fBand}, {QStringLiteral("FStart"), fStart},
                       {QStringLiteral("FStop"), fStop}, {QStringLiteral("RBW"), rbw},
                       {QStringLiteral("FStep"), fStep}, {QStringLiteral("StepCount"), stepCount},
                       {QStringLiteral("Span"), span},   {QStringLiteral("SpanIndex"), spanIndex}};
}

} // namespace

const QVariantMap &rfParams2400()
{
    static const QVariantMap set = makeSet(2, 2400.0, 2500.0, 41, 200.0, 5, 100, 9);
    return set;
}

const QVariantMap &rfParams900()
{
    static const QVariantMap set = makeSet(1, 902.0, 928.0, 36, 103.25, 10, 26, 9);
    return set;
}

int pointsPerSweep(const QVariantMap &parameters)
{
    const double span = parameters.value(QStringLiteral("Span")).toDouble();
    const double step = parameters.value(QStringLiteral("FStep")).toDouble();
    if (!(step > 0) || !(span >= 0) || !std::isfinite(span) || !std::isfinite(step))
        return 0;
    const double points = span * 1000.0 / step + 1.0;
    return points < 2147483647.0 ? static_cast<int>(points) : 0;
}

int points2400()
{
    static const int n = pointsPerSweep(rfParams2400());
    return n;
}

int points900()
{
    static const int n = pointsPerSweep(rfParams900());
    return n;
}

#include "bandparameters.h"

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

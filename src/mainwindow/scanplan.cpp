#include "scanplan.h"

#include "bandparameters.h"

#include <cmath>
#include <limits>

namespace ScanPlan {

QVariantMap defaultParameters(Band band)
{
    return band == Band900 ? rfParams900() : rfParams2400();
}

QVariantMap withOverrides(QVariantMap parameters, int rbwOverride, double fStepOverride)
{
    if (rbwOverride >= 32)
        parameters.insert(QStringLiteral("RBW"), rbwOverride);
    if (fStepOverride > 0)
        parameters.insert(QStringLiteral("FStep"), fStepOverride);
    return parameters;
}

int pointCount(const QVariantMap &parameters)
{
    bool okSpan = false;
    bool okStep = false;
    const double span = parameters.value(QStringLiteral("Span")).toDouble(&okSpan);
    const double step = parameters.value(QStringLiteral("FStep")).toDouble(&okStep);
    if (!okSpan || !okStep || !(step > 0) || !std::isfinite(span) || !std::isfinite(step))
        return -1;
    const double points = span * 1000.0 / step + 1.0;
    if (!(points >= 0) || points > double(std::numeric_limits<int>::max()))
        return -1;
    return int(points);
}

void applyAmplitudeOffset(RfSpectrumScan &scan, int offset)
{
    const quint8 add = quint8(offset & 0xff);
    if (add == 0)
        return;
    for (qint8 &v : scan) {
        if (v == -128)
            continue;
        v = qint8(quint8(quint8(v) + add));
    }
}

} // namespace ScanPlan

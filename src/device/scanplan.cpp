#include "scanplan.h"

#include "bandparameters.h"
#include "pointgrid.h"

#include <QCoreApplication>
#include <QStringList>

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

double rbwKHz(const RfParams &table, int rbwRegister)
{
    for (const RfParamsEntry &e : table.entries)
        if (e.setting == rbwRegister)
            return e.rbw;
    return 0.0;
}

QString settingsText(const QVariantMap &parameters, const RfParams &table, double sweepMs)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("ScanPlan", text); };
    const int rbwRegister = parameters.value(QStringLiteral("RBW")).toInt();
    const double rbw = rbwKHz(table, rbwRegister);
    QStringList parts;
    parts << (rbw > 0 ? tr("RBW %1 kHz").arg(QString::number(rbw, 'g', 4))
                      : tr("RBW register %1").arg(rbwRegister));
    parts << tr("step %1 kHz")
                 .arg(
                     QString::number(parameters.value(QStringLiteral("FStep")).toDouble(), 'g', 6));
    parts << tr("%1 points").arg(PointGrid::pointCount(parameters));
    if (sweepMs > 0)
        parts << tr("sweep %1 ms").arg(qRound(sweepMs));
    return parts.join(QStringLiteral(" \u00b7 "));
}

} // namespace ScanPlan

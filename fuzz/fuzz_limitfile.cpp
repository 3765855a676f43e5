#include "alarmevaluator.h"
#include "fuzz_bytesparsers.h"

// The limit file from arbitrary bytes; whatever it accepts must also be
// usable by the evaluator on a sweep of either band.
static void readAndEvaluate(const QByteArray &bytes)
{
    QVector<LimitLine> limits;
    if (!LimitFile::fromJson(bytes, &limits, nullptr))
        return;
    AlarmEvaluator evaluator;
    evaluator.setLimits(limits);
    const QVector<qint8> levels(501, -60);
    QVector<AlarmEvent> events;
    evaluator.evaluate({LimitBand::Band2400, 2400, 0.2, levels.constData(), 501, 0}, events);
    evaluator.evaluate({LimitBand::Band900, 902, 0.052, levels.constData(), 501, 0}, events);
}

ORVANEL_FUZZ_BYTES(readAndEvaluate(bytes))

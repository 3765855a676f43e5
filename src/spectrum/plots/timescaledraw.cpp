#include "timescaledraw.h"

#include <QDateTime>

QString TimeScaleDraw::timeText(double msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(msecsSinceEpoch)).time().toString(Qt::TextDate);
}

QwtText TimeScaleDraw::label(double v) const
{
    return QwtText(timeText(v));
}

#pragma once

#include <qwt_scale_draw.h>

// Wall-clock labels for an axis in milliseconds since the epoch.
class TimeScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double v) const override;

    //! Local time of day of `msecsSinceEpoch` (truncated), "hh:mm:ss".
    static QString timeText(double msecsSinceEpoch);
};

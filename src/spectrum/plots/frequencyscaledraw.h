#pragma once

#include <qwt_scale_draw.h>

// Frequency labels without group separators ("2400", not "2,400"), which some
// locales would otherwise put into the default labels.
class FrequencyScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double v) const override;
};

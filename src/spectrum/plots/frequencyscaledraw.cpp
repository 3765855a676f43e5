#include "frequencyscaledraw.h"

#include <QLocale>

QwtText FrequencyScaleDraw::label(double v) const
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return QwtText(locale.toString(v));
}

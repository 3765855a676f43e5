#include "rfspectrumhistory.h"

#include <cmath>

bool SpectroLabel::fuzzyEqual(double a, double b)
{
    if (a == 0.0 || b == 0.0)
        return std::abs(a - b) <= 1e-12;
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

bool SpectroLabel::operator==(const SpectroLabel &o) const
{
    return text == o.text && fuzzyEqual(position.x(), o.position.x()) &&
           fuzzyEqual(position.y(), o.position.y());
}

void registerSpectrumMetaTypes()
{
    registerWifiMetaTypes();
    qRegisterMetaType<RfSpectrumScan>("RfSpectrumScan");
    qRegisterMetaType<RfSpectrumSample>("RfSpectrumSample");
    qRegisterMetaType<RfSpectrumSampleList>("RfSpectrumSampleList");
    qRegisterMetaType<TimeEvent>("TimeEvent");
    qRegisterMetaType<SpectroLabel>("SpectroLabel");
    qRegisterMetaType<ProjectInfoData>("ProjectInfoData");
    qRegisterMetaType<RfSpectrumHistory>("RfSpectrumHistory");
}

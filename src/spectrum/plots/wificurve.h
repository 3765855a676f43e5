#pragma once

#include "wifiapinfo.h"

#include <qwt_plot_curve.h>

// The idealised shape of a Wi-Fi channel: quadratic flanks 2 MHz wide from
// -100 dBm up to the network's level at both channel edges, flat in between.
class WifiCurve : public QwtPlotCurve
{
public:
    explicit WifiCurve(const WifiApInfo &ap);
};

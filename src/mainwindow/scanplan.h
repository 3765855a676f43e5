#pragma once

#include "devicetypes.h"

#include <QVariantMap>

// What a scan sends and what its sweeps must look like, apart from the window
// that decides when to scan.
namespace ScanPlan {

//! The two live bands, numbered like their tabs.
enum Band
{
    Band2400 = 0,
    Band900 = 1
};

//! A copy of the band's default parameter set.
QVariantMap defaultParameters(Band band);

//! The defaults with the command-line overrides the Scan action applies:
//! "RBW" when `rbwOverride` >= 32, "FStep" (kHz) when `fStepOverride` > 0.
QVariantMap withOverrides(QVariantMap parameters, int rbwOverride, double fStepOverride);

//! Points per sweep for `parameters`: Span * 1000 / FStep + 1, truncated.
//! -1 when the map has no usable span or step (no sweep can match then).
int pointCount(const QVariantMap &parameters);

//! Adds the low 8 bits of `offset` to every level, wrapping at 8 bits; the
//! no-data level -128 stays -128 (it is not a level to shift).
void applyAmplitudeOffset(RfSpectrumScan &scan, int offset);

} // namespace ScanPlan

#pragma once

#include "devicetypes.h"

#include <QMetaType>
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

//! Adds the low 8 bits of `offset` to every level, wrapping at 8 bits; the
//! no-data level -128 stays -128 (it is not a level to shift).
void applyAmplitudeOffset(RfSpectrumScan &scan, int offset);

//! The resolution bandwidth (as the radio reports it, kHz) of register
//! value `rbwRegister` in `table`; 0 when the table does not hold it.
double rbwKHz(const RfParams &table, int rbwRegister);

//! The settings of a running scan as an analyzer states them, for example
//! "RBW 203.1 kHz · step 200 kHz · 501 points · sweep 48 ms". An RBW the
//! table does not know is given as its register value; the sweep time is
//! left out while it is not known (`sweepMs` <= 0).
QString settingsText(const QVariantMap &parameters, const RfParams &table, double sweepMs);

} // namespace ScanPlan

Q_DECLARE_METATYPE(ScanPlan::Band)

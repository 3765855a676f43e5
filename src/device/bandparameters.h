#pragma once

#include <QVariantMap>

// The two band parameter sets the scanner is programmed with, keyed
// "FBand" (SetFBand value), "FStart" and "FStop" (MHz), "RBW" (register
// value), "FStep" (kHz), "StepCount", "Span" (MHz) and "SpanIndex".
// They are the one place these numbers live; the band pages read "FStart"
// and "Span" from them.

const QVariantMap &rfParams2400();
const QVariantMap &rfParams900();

//! Points per sweep of a parameter set: Span * 1000 / FStep + 1, truncated
//! (252 for 900 MHz: 26000 / 103.25 is 251.8). 0 when the set has no usable
//! span or step.
int pointsPerSweep(const QVariantMap &parameters);

//! The counts of the two sets, worked out once.
int points2400(); //!< 501
int points900();  //!< 252

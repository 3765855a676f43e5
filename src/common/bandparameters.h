#pragma once

#include <QVariantMap>

// The two band parameter sets the scanner is programmed with, keyed
// "FBand" (SetFBand value), "FStart" and "FStop" (MHz), "RBW" (register
// value), "FStep" (kHz), "StepCount", "Span" (MHz) and "SpanIndex".
// They are the one place these numbers live; the band pages read "FStart"
// and "Span" from them.

const QVariantMap &rfParams2400();
const QVariantMap &rfParams900();

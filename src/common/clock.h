#pragma once

#include <QDateTime>
#include <QtGlobal>

// The one clock everything that time-stamps sweeps, names journals or scales
// the time axes reads. It follows the system clock unless a benchmark or a
// test has set it, so a long run can be played through in far less time than
// it stands for while its time stamps advance as on a real day. Safe to read
// from any thread (the device thread stamps sweeps).
namespace Clock {

//! Milliseconds since the epoch.
qint64 nowMs();
//! Local time.
QDateTime now();

//! From now on the clock reads `msSinceEpoch` and moves only by advance().
void setFixed(qint64 msSinceEpoch);
//! Moves a fixed clock on; no effect while the clock follows the system.
void advance(qint64 ms);
//! Back to the system clock.
void useSystem();

} // namespace Clock

#pragma once

#include <cstdio>

// The one line per checked target that scripts read from a benchmark's output:
//   TARGET <name> <value> <unit> <limit> met|missed
// e.g. "TARGET app.sweeps_per_s 2459 sweeps/s >=1000 met". Keep the form
// stable: scripts/run-benchmarks.sh counts the missed ones.
namespace BenchTarget {

enum Bound
{
    AtLeast,
    AtMost
};

//! Prints the line and returns whether the target is met. `decimals` is the
//! precision of the value; the limit is printed as short as it reads.
inline bool report(const char *name, double value, const char *unit, Bound bound, double limit,
                   int decimals = 1)
{
    const bool met = bound == AtLeast ? value >= limit : value <= limit;
    std::printf("TARGET %s %.*f %s %s%g %s\n", name, decimals, value, unit,
                bound == AtLeast ? ">=" : "<=", limit, met ? "met" : "missed");
    std::fflush(stdout);
    return met;
}

} // namespace BenchTarget

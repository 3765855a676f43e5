#pragma once

#include <QVariantMap>

class QwtInterval; // callers that pass or take intervals include its header

// Where a sweep's points lie: the one grid every part of the program uses
// (scan checks, analysis, import and export). The scanner measures point i at
// FStart + i * FStep; the band parameter sets are the one place those numbers
// live, so a history of a known band takes its grid from there.
struct PointGrid
{
    double startHz = 0; //!< frequency of point 0
    double stepHz = 0;  //!< spacing of the points
    int points = 0;

    bool isValid() const { return points > 0 && stepHz > 0; }
    double frequencyHz(int i) const { return startHz + i * stepHz; }
    double frequencyMHz(int i) const { return frequencyHz(i) / 1e6; }
    //! The point nearest to `frequencyHz`, clamped to the grid; -1 when the
    //! grid is not valid.
    int nearestPoint(double frequencyHz) const;

    //! The grid of a history with `points` points per sweep over
    //! `frequencyInterval`: the band's own FStep when the count is the band's,
    //! else the interval divided evenly with both ends measured.
    static PointGrid forHistory(const QwtInterval &frequencyInterval, int points);

    //! The default grid of the band whose interval contains `frequencyMHz`
    //! (900 MHz or 2.4 GHz), or an invalid grid.
    static PointGrid forBandContaining(double frequencyMHz);

    //! Points per sweep of a band parameter set: Span * 1000 / FStep + 1,
    //! truncated (501 on 2.4 GHz, 252 on 900 MHz); 0 when the set has no
    //! usable span or step, so no sweep can match it.
    static int pointCount(const QVariantMap &parameters);

    //! The band's [FStart, FStart + Span] interval in MHz, as live pages have it.
    QwtInterval bandInterval() const;
};

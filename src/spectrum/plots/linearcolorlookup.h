#pragma once

#include <qwt_interval.h>

#include <QRgb>

#include <vector>

class QwtColorMap;

// QwtLinearColorMap::rgb() without its virtual calls, for the render loops,
// which map well over a million values per replot. It is built from a map's
// own stops and checked against the map on a set of probe values; when the
// map is not a scaled linear map, or any probe differs, it is not usable and
// the caller asks the map itself.
class LinearColorLookup
{
public:
    explicit LinearColorLookup(const QwtColorMap *map);

    bool isUsable() const { return m_usable; }

    //! The colour of `value` on `range`, as the map's rgb() gives it.
    QRgb rgb(const QwtInterval &range, double value) const
    {
        if (value != value) // NaN
            return 0u;
        const double width = range.width();
        if (width <= 0.0)
            return 0u;
        return rgbAt((value - range.minValue()) / width);
    }

    //! The colour at `pos` (0..1 of the range).
    Q_ALWAYS_INLINE QRgb rgbAt(double pos) const;

private:
    struct Stop
    {
        double pos = 0.0;
        QRgb rgb = 0;
        int a = 0;
        double r0 = 0, g0 = 0, b0 = 0, a0 = 0; //!< channel + 0.5, for rounding
        double rStep = 0, gStep = 0, bStep = 0, aStep = 0, posStep = 0;
    };

    //! The first stop to test for each 1/Buckets of 0..1, so the search for
    //! the stop above a position starts next to it.
    static constexpr int Buckets = 1024;
    std::vector<int> m_firstUpper;
    std::vector<Stop> m_stops;
    bool m_doAlpha = false;
    bool m_usable = false;
};

Q_ALWAYS_INLINE QRgb LinearColorLookup::rgbAt(double pos) const
{
    const Stop *stops = m_stops.data();
    const int last = int(m_stops.size()) - 1;
    if (pos <= 0.0)
        return stops[0].rgb;
    if (pos >= 1.0)
        return stops[last].rgb;
    int upper = m_firstUpper[int(pos * Buckets)];
    while (upper < last && stops[upper].pos <= pos)
        ++upper;
    const Stop &s = stops[upper - 1];
    const double ratio = (pos - s.pos) / s.posStep;
    const int r = int(s.r0 + ratio * s.rStep);
    const int g = int(s.g0 + ratio * s.gStep);
    const int b = int(s.b0 + ratio * s.bStep);
    if (!m_doAlpha)
        return qRgb(r, g, b);
    if (s.aStep != 0.0)
        return qRgba(r, g, b, int(s.a0 + ratio * s.aStep));
    return qRgba(r, g, b, s.a);
}

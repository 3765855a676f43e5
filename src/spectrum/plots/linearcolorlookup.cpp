#include "linearcolorlookup.h"

#include <qwt_color_map.h>

LinearColorLookup::LinearColorLookup(const QwtColorMap *map)
{
    const auto *linear = dynamic_cast<const QwtLinearColorMap *>(map);
    if (!linear || linear->format() != QwtColorMap::RGB ||
        linear->mode() != QwtLinearColorMap::ScaledColors)
        return;
    const QVector<double> positions = linear->colorStops();
    if (positions.size() < 2)
        return;
    const QwtInterval unit(0.0, 1.0);
    for (int i = 0; i < positions.size(); ++i) {
        // Two stops at one position would need the colour of the second,
        // which rgb() never returns at that position.
        if (i > 0 && !(positions[i] > positions[i - 1]))
            return;
        Stop s;
        s.pos = positions[i];
        s.rgb = linear->rgb(unit, s.pos);
        s.a = qAlpha(s.rgb);
        s.r0 = qRed(s.rgb) + 0.5;
        s.g0 = qGreen(s.rgb) + 0.5;
        s.b0 = qBlue(s.rgb) + 0.5;
        s.a0 = s.a + 0.5;
        m_doAlpha = m_doAlpha || s.a != 255;
        m_stops.push_back(s);
    }
    for (size_t i = 0; i + 1 < m_stops.size(); ++i) {
        Stop &s = m_stops[i];
        const Stop &next = m_stops[i + 1];
        s.rStep = qRed(next.rgb) - qRed(s.rgb);
        s.gStep = qGreen(next.rgb) - qGreen(s.rgb);
        s.bStep = qBlue(next.rgb) - qBlue(s.rgb);
        s.aStep = next.a - s.a;
        s.posStep = next.pos - s.pos;
    }

    // Bucket b covers [b / Buckets, (b + 1) / Buckets): its search starts at
    // the first stop above b / Buckets (never past the last stop).
    m_firstUpper.resize(Buckets + 1);
    const int last = int(m_stops.size()) - 1;
    for (int b = 0; b <= Buckets; ++b) {
        int upper = 1;
        while (upper < last && m_stops[upper].pos <= double(b) / Buckets)
            ++upper;
        m_firstUpper[b] = upper;
    }

    // Usable only when it gives the map's own colours.
    m_usable = true;
    const QwtInterval range(-100.0, -30.0);
    for (int i = -50; i <= 1050 && m_usable; ++i) {
        const double v = range.minValue() + range.width() * (i / 1000.0 + 1e-7 * (i % 7));
        m_usable = rgb(range, v) == linear->rgb(range, v);
    }
    for (size_t i = 0; i + 1 < m_stops.size() && m_usable; ++i)
        for (double t : {0.0, 0.25, 0.5, 0.999999})
            m_usable = m_usable && rgbAt(m_stops[i].pos + t * m_stops[i].posStep) ==
                                       linear->rgb(unit, m_stops[i].pos + t * m_stops[i].posStep);
}

#include "sweepsynth.h"

#include <algorithm>
#include <cmath>

namespace {

quint64 splitmix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

inline quint64 next(quint64 &s)
{
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 0x2545F4914F6CDD1DULL;
}

// Shape of an emitter: dB below its top at distance d (MHz) from its centre,
// as piecewise-linear breakpoints; beyond the last one it is off the air.
struct Breakpoint
{
    double d;
    double db;
};

double profile(const Breakpoint *bp, int n, double d)
{
    if (d <= bp[0].d)
        return bp[0].db;
    for (int i = 1; i < n; ++i) {
        if (d <= bp[i].d) {
            const double t = (d - bp[i - 1].d) / (bp[i].d - bp[i - 1].d);
            return bp[i - 1].db + t * (bp[i].db - bp[i - 1].db);
        }
    }
    return -1000;
}

double shapeDb(const SimEmitter &e, double d)
{
    const double h = e.widthMHz / 2;
    switch (e.type) {
    case SimEmitter::Type::Wifi: {
        // OFDM flat top, then the transmit mask's shoulders.
        const Breakpoint bp[] = {
            {std::max(h - 1, 0.0), 0}, {h + 1, -20}, {2 * h, -28}, {3 * h, -40}};
        return profile(bp, 4, d);
    }
    case SimEmitter::Type::Narrow:
    case SimEmitter::Type::Hopper: {
        const Breakpoint bp[] = {{0.35 * h * 2, 0}, {h, -10}, {2 * h, -30}};
        return profile(bp, 3, d);
    }
    case SimEmitter::Type::Carrier: {
        // What a resolution filter of some 100 kHz makes of an unmodulated carrier.
        const Breakpoint bp[] = {{0.05, 0}, {0.15, -6}, {0.3, -20}, {0.6, -40}};
        return profile(bp, 4, d);
    }
    }
    return -1000;
}

double reachMHz(const SimEmitter &e)
{
    switch (e.type) {
    case SimEmitter::Type::Wifi:
        return 1.5 * e.widthMHz;
    case SimEmitter::Type::Narrow:
    case SimEmitter::Type::Hopper:
        return e.widthMHz;
    case SimEmitter::Type::Carrier:
        return 0.6;
    }
    return 0;
}

// Inverse of the standard normal distribution by bisection; only used to
// fill the jitter table.
double normalQuantile(double p)
{
    double lo = -8, hi = 8;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        const double cdf = 0.5 * std::erfc(-mid / std::sqrt(2.0));
        (cdf < p ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

constexpr int MaxShapePoints = 20000;

} // namespace

SweepSynth::SweepSynth(const RfScene &scene, quint64 seed) : m_scene(scene), m_seed(seed)
{
    for (int b = 0; b < 256; ++b) {
        const double z = normalQuantile((b + 0.5) / 256.0);
        m_jitter[b] = static_cast<qint8>(std::lround(std::clamp(z * 1.8, -9.0, 9.0)));
    }
}

void SweepSynth::prepare(const SweepGrid &grid)
{
    m_grid = grid;
    m_prepared = true;
    const int n = grid.points;
    m_floor.resize(n);
    m_level.resize(n);
    // A slow ripple of the floor across the band, as a real front end has.
    for (int i = 0; i < n; ++i) {
        const double f = grid.startMHz + i * grid.stepMHz;
        const double ripple = 1.2 * std::sin(f * 0.21) + 0.6 * std::sin(f * 0.047 + 1.3);
        m_floor[i] = static_cast<qint16>(std::lround(m_scene.noiseFloorDbm + ripple));
    }

    m_placed.clear();
    const double step = grid.stepMHz > 0 ? grid.stepMHz : 1.0;
    for (int k = 0; k < m_scene.emitters.size(); ++k) {
        const SimEmitter &e = m_scene.emitters.at(k);
        const double reach = reachMHz(e);
        const int half = static_cast<int>(std::min(reach / step, double(MaxShapePoints)));
        Placed p;
        p.emitter = k;
        if (e.type == SimEmitter::Type::Hopper) {
            // Hops land on grid points; the template is centred on one.
            const double lo = (e.startMHz - grid.startMHz) / step;
            const double hi = (e.stopMHz - grid.startMHz) / step;
            if (hi + half < 0 || lo - half > n - 1)
                continue;
            p.hopLow = static_cast<int>(std::lround(lo));
            p.hopHigh = std::max(p.hopLow, static_cast<int>(std::lround(hi)));
            p.centreOffset = half;
            for (int j = -half; j <= half; ++j)
                p.shape.append(static_cast<qint16>(std::lround(shapeDb(e, std::abs(j) * step))));
        } else {
            const double c = (e.centreMHz - grid.startMHz) / step;
            const int first = std::max(0, static_cast<int>(std::floor(c - half)));
            const int last = std::min(n - 1, static_cast<int>(std::ceil(c + half)));
            if (first > last)
                continue;
            p.first = first;
            for (int i = first; i <= last; ++i) {
                const double d = std::abs(grid.startMHz + i * step - e.centreMHz);
                p.shape.append(static_cast<qint16>(std::max(-1000L, std::lround(shapeDb(e, d)))));
            }
        }
        m_placed.append(p);
    }
}

void SweepSynth::draw(const Placed &p, int first, int top, quint64 &rng, int runMax,
                      quint32 dutyThreshold)
{
    // Bursts: the sweep passes over the emitter in time, so a transmitter that
    // keys on and off shows as runs of points on and off the air.
    const int n = m_grid.points;
    const int size = p.shape.size();
    int run = 0;
    bool on = true;
    int burstTop = top;
    quint64 bits = 0;
    int bitsLeft = 0;
    for (int j = 0; j < size; ++j) {
        const int i = first + j;
        if (run == 0) {
            const quint64 r = next(rng);
            on = static_cast<quint32>(r) < dutyThreshold || dutyThreshold == 0xFFFFFFFFu;
            run = 1 + static_cast<int>((r >> 32) % static_cast<quint64>(runMax));
            burstTop = top + static_cast<int>((r >> 40) % 5) - 2;
        }
        --run;
        if (!on || i < 0 || i >= n)
            continue;
        const int shape = p.shape[j];
        if (shape < -60)
            continue;
        if (bitsLeft == 0) {
            bits = next(rng);
            bitsLeft = 32;
        }
        const int ripple = static_cast<int>(bits & 3) - 1; // -1..2 dB, a little lumpy
        bits >>= 2;
        --bitsLeft;
        const int v = burstTop + shape + ripple;
        if (v > m_level[i])
            m_level[i] = static_cast<qint16>(v);
    }
}

void SweepSynth::render(const SweepGrid &grid, quint64 sweepIndex, QByteArray *out)
{
    if (!m_prepared || grid != m_grid)
        prepare(grid);
    const int n = grid.points;
    quint64 rng = splitmix(m_seed * 0x100000001B3ULL ^ splitmix(sweepIndex));
    if (rng == 0)
        rng = 1;

    qint16 *level = m_level.data();
    const qint16 *floor = m_floor.constData();
    int i = 0;
    while (i < n) {
        quint64 r = next(rng);
        for (int b = 0; b < 8 && i < n; ++b, ++i, r >>= 8)
            level[i] = static_cast<qint16>(floor[i] + m_jitter[r & 0xFF]);
    }

    for (const Placed &p : qAsConst(m_placed)) {
        const SimEmitter &e = m_scene.emitters.at(p.emitter);
        const int top = static_cast<int>(std::lround(e.levelDbm));
        if (!e.onAirIn(sweepIndex))
            continue;
        switch (e.type) {
        case SimEmitter::Type::Wifi:
            draw(p, p.first, top, rng, 16, static_cast<quint32>(e.duty * 4294967295.0));
            break;
        case SimEmitter::Type::Narrow:
            draw(p, p.first, top, rng, 6, static_cast<quint32>(e.duty * 4294967295.0));
            break;
        case SimEmitter::Type::Carrier:
            draw(p, p.first, top, rng, 1 << 30, 0xFFFFFFFFu);
            break;
        case SimEmitter::Type::Hopper:
            for (int h = 0; h < e.hopsPerSweep; ++h) {
                const quint64 r = next(rng);
                const int span = p.hopHigh - p.hopLow + 1;
                const int centre = p.hopLow + static_cast<int>(r % static_cast<quint64>(span));
                draw(p, centre - p.centreOffset, top, rng, 1 << 30, 0xFFFFFFFFu);
            }
            break;
        }
    }

    out->resize(n);
    char *dst = out->data();
    for (int k = 0; k < n; ++k)
        dst[k] = static_cast<char>(std::clamp<int>(level[k], -127, 127));
}

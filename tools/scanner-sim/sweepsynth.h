#pragma once

#include "rfscene.h"

#include <QByteArray>
#include <QVector>

//! Frequency points of one sweep: `points` levels from `startMHz` on, `stepMHz` apart.
struct SweepGrid
{
    double startMHz = 2400;
    double stepMHz = 0.2;
    int points = 501;

    bool operator==(const SweepGrid &o) const
    {
        return startMHz == o.startMHz && stepMHz == o.stepMHz && points == o.points;
    }
    bool operator!=(const SweepGrid &o) const { return !(*this == o); }
};

//! Draws sweeps of an RfScene. Everything that needs floating point or
//! transcendental maths (shapes, floor ripple, jitter distribution) is worked
//! out once per grid; a sweep itself is integer adds, compares and a fast
//! pseudo-random generator. The same seed, grid and sweep index always give
//! the same sweep.
class SweepSynth
{
public:
    SweepSynth(const RfScene &scene, quint64 seed);

    //! Writes `grid.points` signed dBm bytes (-127..127) into `out`.
    void render(const SweepGrid &grid, quint64 sweepIndex, QByteArray *out);

private:
    struct Placed
    {
        int emitter = 0;
        int first = 0;               //!< grid index of shape[0] (may be negative for hoppers)
        QVector<qint16> shape;       //!< dB below the top, per point
        int hopLow = 0, hopHigh = 0; //!< hoppers: range of the centre index
        int centreOffset = 0;        //!< hoppers: index of the centre inside shape
    };

    void prepare(const SweepGrid &grid);
    void draw(const Placed &p, int first, int top, quint64 &rng, int runMax, quint32 dutyThreshold);

    RfScene m_scene;
    quint64 m_seed;
    SweepGrid m_grid;
    bool m_prepared = false;
    QVector<qint16> m_floor; //!< noise floor per point, with a gentle ripple
    QVector<Placed> m_placed;
    QVector<qint16> m_level; //!< work buffer
    qint8 m_jitter[256];     //!< noise jitter, roughly normal, indexed by a random byte
};

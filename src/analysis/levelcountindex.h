#pragma once

#include "rfspectrumhistory.h"

#include <QVector>

#include <functional>

//! Per-bin level counts of a band's whole history, kept as its sweeps
//! arrive, in blocks of a fixed number of sweeps. The counts of any range
//! are the blocks it covers plus the sweeps at its two ends, so a survey of
//! hours reads a few blocks instead of every sweep again. The counts are
//! exactly the ones SpectrumStatisticsAccumulator::levelHistograms() holds
//! for the same sweeps.
class LevelCountIndex
{
public:
    static constexpr int DefaultBlockSweeps = 16384;
    //! Called now and then with the sweeps counted so far and the total;
    //! false stops the counting.
    using Progress = std::function<bool(int done, int total)>;

    //! `blockSweeps` is bounded to 1..65535 (a block counts in 16 bits).
    explicit LevelCountIndex(int blockSweeps = DefaultBlockSweeps);

    //! Brings the index to `history`, oldest first. Sweeps appended since the
    //! last call are counted; a list that does not continue the one indexed
    //! (cleared, another page, another bin count) is counted from its start.
    //! False when `progress` stopped it: the index is then empty.
    bool follow(const RfSpectrumSampleList &history, const Progress &progress = Progress());
    //! Sweeps `follow` would have to count for `history` (all of them when
    //! the index does not hold its start).
    int pendingFor(const RfSpectrumSampleList &history) const;

    int size() const { return m_size; }
    //! Bins per sweep, from the first sweep (at most MaxStatisticsColumns).
    int columns() const { return m_columns; }
    int blockSweeps() const { return m_blockSweeps; }

    //! The counts of history[from, to) as columns() x 256 values, level v of
    //! bin i at [i * 256 + v + 128]. `history` must be the list the index
    //! follows; false (nothing written) when the range is not inside it.
    bool countRange(const RfSpectrumSampleList &history, int from, int to,
                    QVector<qint32> &counts) const;

    //! Where `selection` starts inside `history` when it is a run of it
    //! (its ends share their levels' storage with the history's samples);
    //! -1 otherwise.
    static int locate(const RfSpectrumSampleList &history, const RfSpectrumSampleList &selection);

    void clear();

private:
    bool continues(const RfSpectrumSampleList &history) const;
    void countInto(const RfSpectrumSampleList &history, int from, int to, quint16 *block) const;
    void addSweeps(const RfSpectrumSampleList &history, int from, int to, int sign,
                   qint32 *counts) const;

    int m_blockSweeps;
    int m_columns = 0;
    int m_size = 0;
    //! Full blocks, then the one still filling; columns x 256 counts each.
    QVector<QVector<quint16>> m_blocks;
    //! The first and the newest sweep counted, kept alive so their storage
    //! identifies the history that continues.
    RfSpectrumSample m_first;
    RfSpectrumSample m_last;
};

#include "levelcountindex.h"

#include "spectrumstatistics.h"

#include <QThread>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

constexpr int Levels = 256;
constexpr int LevelOffset = 128;

//! Copies of a sweep share their levels' storage; a kept copy keeps that
//! storage from being freed and reused by another sweep.
bool sameLevels(const RfSpectrumSample &a, const RfSpectrumSample &b)
{
    return a.timeStamp == b.timeStamp && a.spectrum.constData() == b.spectrum.constData() &&
           a.spectrum.size() == b.spectrum.size();
}

int columnsOf(const RfSpectrumSampleList &history)
{
    return history.isEmpty() ? 0 : qMin(history.first().spectrum.size(), MaxStatisticsColumns);
}

//! Adds `delta` to the count of each point's level in sweeps [from, to) of
//! `history`, `columns` points each; `counts` holds Levels counts per point.
template <typename Count>
void addLevels(const RfSpectrumSampleList &history, int from, int to, int columns, Count delta,
               Count *counts)
{
    for (int s = from; s < to; ++s) {
        const RfSpectrumScan &spectrum = history.at(s).spectrum;
        const qint8 *levels = spectrum.constData();
        // A shorter sweep is read only up to its end; its missing bins count
        // as no data.
        const int present = qMin(spectrum.size(), columns);
        Count *bin = counts + LevelOffset;
        for (int i = 0; i < present; ++i, bin += Levels)
            bin[levels[i]] += delta;
        for (int i = present; i < columns; ++i, bin += Levels)
            bin[NoDataLevel] += delta;
    }
}

} // namespace

LevelCountIndex::LevelCountIndex(int blockSweeps) : m_blockSweeps(qBound(1, blockSweeps, 65535)) {}

void LevelCountIndex::clear()
{
    m_columns = 0;
    m_size = 0;
    m_blocks.clear();
    m_first = RfSpectrumSample();
    m_last = RfSpectrumSample();
}

bool LevelCountIndex::continues(const RfSpectrumSampleList &history) const
{
    return m_size > 0 && history.size() >= m_size && columnsOf(history) == m_columns &&
           sameLevels(history.first(), m_first) && sameLevels(history.at(m_size - 1), m_last);
}

int LevelCountIndex::pendingFor(const RfSpectrumSampleList &history) const
{
    return continues(history) ? history.size() - m_size : history.size();
}

void LevelCountIndex::countInto(const RfSpectrumSampleList &history, int from, int to,
                                quint16 *block) const
{
    addLevels<quint16>(history, from, to, m_columns, 1, block);
}

void LevelCountIndex::addSweeps(const RfSpectrumSampleList &history, int from, int to, int sign,
                                qint32 *counts) const
{
    addLevels<qint32>(history, from, to, m_columns, sign, counts);
}

bool LevelCountIndex::follow(const RfSpectrumSampleList &history, const Progress &progress)
{
    if (history.isEmpty()) {
        clear();
        return true;
    }
    if (!continues(history)) {
        clear();
        m_columns = columnsOf(history);
        m_first = history.first();
    }
    const int total = history.size();
    if (total == m_size)
        return true;
    const int cells = m_columns * Levels;
    const int B = m_blockSweeps;

    // The block still filling takes the first new sweeps.
    if (m_size % B != 0) {
        const int to = qMin(total, (m_size / B + 1) * B);
        countInto(history, m_size, to, m_blocks.last().data());
        m_size = to;
    }
    // Whole new blocks are independent: an opened recording of hours is
    // counted on the processor's threads, a batch of blocks at a time so the
    // progress can be told and the work stopped between batches.
    const int threads = qBound(1, QThread::idealThreadCount(), 8);
    while (m_size < total) {
        const int first = m_blocks.size();
        const int batch = qMin(threads, (total - m_size + B - 1) / B);
        for (int b = 0; b < batch; ++b)
            m_blocks.append(QVector<quint16>(cells, 0));
        const auto countBlock = [&](int b) {
            const int from = (first + b) * B;
            countInto(history, from, qMin(total, from + B), m_blocks[first + b].data());
        };
        std::vector<std::thread> workers;
        for (int b = 1; b < batch; ++b)
            workers.emplace_back(countBlock, b);
        countBlock(0);
        for (std::thread &w : workers)
            w.join();
        m_size = qMin(total, (first + batch) * B);
        if (progress && m_size < total && !progress(m_size, total)) {
            clear();
            return false;
        }
    }
    m_last = history.at(m_size - 1);
    return true;
}

bool LevelCountIndex::countRange(const RfSpectrumSampleList &history, int from, int to,
                                 QVector<qint32> &counts) const
{
    if (from < 0 || to <= from || to > m_size || !continues(history))
        return false;
    counts.fill(0, m_columns * Levels);
    qint32 *out = counts.data();
    const int cells = m_columns * Levels;
    const int B = m_blockSweeps;
    for (int b = from / B; b * B < to; ++b) {
        const int blockStart = b * B;
        const int blockEnd = qMin(blockStart + B, m_size);
        const int inStart = qMax(from, blockStart);
        const int inEnd = qMin(to, blockEnd);
        // Whichever reads fewer sweeps: the part inside directly, or the
        // block less the parts outside.
        if (2 * (inEnd - inStart) <= blockEnd - blockStart) {
            addSweeps(history, inStart, inEnd, +1, out);
            continue;
        }
        const quint16 *block = m_blocks.at(b).constData();
        for (int j = 0; j < cells; ++j)
            out[j] += block[j];
        addSweeps(history, blockStart, inStart, -1, out);
        addSweeps(history, inEnd, blockEnd, -1, out);
    }
    return true;
}

int LevelCountIndex::locate(const RfSpectrumSampleList &history,
                            const RfSpectrumSampleList &selection)
{
    const int k = selection.size();
    if (k == 0 || k > history.size())
        return -1;
    // The whole history handed over as it is shares its nodes.
    if (&selection.first() == &history.first() && k == history.size())
        return 0;
    const RfSpectrumSample &head = selection.first();
    int lo = 0;
    int hi = history.size();
    while (lo < hi) { // first sample not older than the selection's start
        const int mid = lo + (hi - lo) / 2;
        if (history.at(mid).timeStamp < head.timeStamp)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (int i = lo; i + k <= history.size() && history.at(i).timeStamp == head.timeStamp; ++i) {
        if (sameLevels(history.at(i), head) && sameLevels(history.at(i + k - 1), selection.last()))
            return i;
    }
    return -1;
}

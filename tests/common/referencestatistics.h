#pragma once

// The plain statistics loop, kept beside the tests and the benchmark as the
// yardstick for the incremental accumulator: every sample, every bin, every
// dB row, exactly as the plot's numbers are defined.

#include "spectrumstatistics.h"

#include <QVector>

namespace reference {

inline SpectrumStatistics computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                                    const QwtInterval &amplitudeInterval)
{
    SpectrumStatistics s;
    if (selection.isEmpty())
        return s;
    const int low = int(amplitudeInterval.minValue());
    const int high = int(amplitudeInterval.maxValue());
    const int rows = qMax(0, high - low);
    const int n = selection.first().spectrum.size();
    const int k = selection.size();

    s.sampleCount = k;
    s.columns = n;
    s.rows = rows;
    s.lowLevel = rows > 0 ? low : 0;
    s.highLevel = rows > 0 ? high : 0;
    s.densityMatrix = QVector<double>(rows * n, 0.0);
    s.hitMatrix = QVector<double>(rows * n, 0.0);
    s.averageTrace = QVector<double>(n, 0.0);
    s.maxHoldTrace = RfSpectrumScan(n, -128);
    s.peak = -128;

    for (const RfSpectrumSample &sample : selection) {
        for (int i = 0; i < n; ++i) {
            // Bins a shorter sweep lacks count as no data.
            const int v = i < sample.spectrum.size() ? sample.spectrum.at(i) : -128;
            const int j = rows - qAbs(v - high);
            for (int r = 0; r < j; ++r)
                s.densityMatrix[i + r * n] += 1.0 / k;
            if (low <= v && v < high) {
                const int r = j - 1;
                if (r >= 0 && r < rows) {
                    double &cell = s.hitMatrix[i + r * n];
                    cell = cell == 0.0 ? 1.0 : cell / 2;
                }
            }
            s.averageTrace[i] += double(v) / k;
            s.maxHoldTrace[i] = qint8(qMax<int>(s.maxHoldTrace.at(i), v));
            s.peak = qint8(qMax<int>(s.peak, v));
        }
    }
    const RfSpectrumScan &last = selection.last().spectrum;
    s.currentTrace = RfSpectrumScan(n, -128);
    for (int i = 0; i < n && i < last.size(); ++i)
        s.currentTrace[i] = last.at(i);
    return s;
}

} // namespace reference

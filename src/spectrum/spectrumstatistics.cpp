#include "spectrumstatistics.h"

StatisticsRows StatisticsRows::fromInterval(const QwtInterval &)
{
    return StatisticsRows();
}

bool SpectrumStatisticsAccumulator::computeSpectrumStatistics(const RfSpectrumSampleList &,
                                                              const QwtInterval &)
{
    return false;
}

void SpectrumStatisticsAccumulator::clear() {}

void SpectrumStatisticsAccumulator::rebuild(const RfSpectrumSampleList &) {}
bool SpectrumStatisticsAccumulator::tryIncremental(const RfSpectrumSampleList &)
{
    return false;
}
void SpectrumStatisticsAccumulator::addSample(const RfSpectrumScan &, int) {}
void SpectrumStatisticsAccumulator::deriveOutputs(const RfSpectrumSampleList &) {}

SpectrumStatistics computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                             const QwtInterval &amplitudeInterval)
{
    SpectrumStatisticsAccumulator accumulator;
    accumulator.computeSpectrumStatistics(selection, amplitudeInterval);
    return accumulator.statistics();
}

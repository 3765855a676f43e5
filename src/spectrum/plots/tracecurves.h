#pragma once

#include "spectrumstatistics.h"

#include <qwt_interval.h>

#include <QColor>
#include <QObject>
#include <QString>

class QwtPlotCurve;
class QwtPlotLegendItem;
class SpectroPlot;

enum class TraceKind
{
    Current,
    Average,
    MaxHold
};
constexpr int TraceKindCount = 3;

//! The level of `kind` in bin `column` of `stats`; NaN outside the bins or
//! where the bin has no data (-128).
double traceLevel(const SpectrumStatistics &stats, TraceKind kind, int column);
//! The bin of `stats` that `frequency` falls in when the bins span `cells`;
//! -1 outside.
int traceColumn(const SpectrumStatistics &stats, const QwtInterval &cells, double frequency);
//! The centre frequency of bin `column`.
double traceFrequency(const SpectrumStatistics &stats, const QwtInterval &cells, int column);

// The current sweep, average and max-hold of the selection as thin curves over
// the density view, read straight from the statistics the plot computed for
// the density (no pass of their own), with a small legend in the canvas.
class TraceCurves : public QObject
{
    Q_OBJECT
public:
    explicit TraceCurves(SpectroPlot *plot);
    ~TraceCurves() override;

    static QColor color(TraceKind kind);
    static QString title(TraceKind kind);

    void setVisible(TraceKind kind, bool on);
    bool isVisible(TraceKind kind) const;
    QwtPlotCurve *curve(TraceKind kind) const { return m_curves[int(kind)]; }

public slots:
    //! Takes the plot's statistics as they are now.
    void update();

private:
    SpectroPlot *m_plot;
    QwtPlotCurve *m_curves[TraceKindCount] = {};
    QwtPlotLegendItem *m_legend = nullptr;
};

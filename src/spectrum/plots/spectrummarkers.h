#pragma once

#include "spectrumstatistics.h"
#include "tracecurves.h"

#include <qwt_interval.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QwtPlotMarker;
class SpectroPlot;

struct SpectrumMarker
{
    double frequency = 0.0; //!< MHz
    TraceKind trace = TraceKind::MaxHold;
};

//! What a marker reads: level NaN where its trace has no data there.
struct MarkerReadout
{
    double frequency = 0.0;
    double level = 0.0;
    bool inView = false; //!< inside the frequency axis shown
};

// Marker arithmetic over the statistics of the selection, whose bins span
// `cells` (MHz). Kept apart from the plot so it can be checked on its own.
namespace MarkerMath {
//! Peaks closer than this to the marker are the same peak.
constexpr double NextPeakDistance = 1.0;

MarkerReadout readout(const SpectrumStatistics &stats, const QwtInterval &cells,
                      const QwtInterval &view, const SpectrumMarker &marker);
//! Centre of the bin of highest max-hold whose centre lies in `view`; the
//! lowest such bin on a tie.
std::optional<double> peak(const SpectrumStatistics &stats, const QwtInterval &cells,
                           const QwtInterval &view);
//! The highest local maximum of max-hold in `view` that lies below `level`
//! (or level with it but farther away) and at least NextPeakDistance from
//! `from`.
std::optional<double> nextPeak(const SpectrumStatistics &stats, const QwtInterval &cells,
                               const QwtInterval &view, double from, double level);
//! "ΔMHz, ΔdB" of b against a.
QString deltaText(const MarkerReadout &a, const MarkerReadout &b);
//! `mhz` with as many decimals as a grid of `stepMHz` resolves (three when
//! the step is not known): 0.2 MHz steps read 2437.4, not 2437.400.
QString frequencyText(double mhz, double stepMHz = 0.0);
//! Decimals that resolve a grid of `stepMHz`.
int frequencyDecimals(double stepMHz);
QString levelText(double dbm);
} // namespace MarkerMath

// Up to four markers on the spectrum plot: vertical lines labelled M1..M4
// that read their trace at their frequency with every update. Ctrl+click on
// the canvas places one (or moves the selected one when all four are set).
// The markers and the delta reference are kept in the settings under the
// band's name, never in recordings.
class SpectrumMarkers : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxMarkers = 4;

    //! Give the plot as `parent` unless the markers go first.
    SpectrumMarkers(SpectroPlot *plot, QObject *parent = nullptr);
    ~SpectrumMarkers() override;

    //! Settings key of the band; loads the band's markers.
    void setBandKey(const QString &key);

    const QList<SpectrumMarker> &markers() const { return m_markers; }
    int selected() const { return m_selected; }
    //! The marker the deltas are measured from; -1 when there is none.
    int reference() const { return m_markers.isEmpty() ? -1 : m_reference; }
    MarkerReadout readout(int index) const;
    QwtPlotMarker *line(int index) const { return m_lines.value(index); }

    //! Adds a marker (selected afterwards); false when four are set.
    bool add(double frequency, TraceKind trace = TraceKind::MaxHold);
    //! Adds a marker on the peak in view (in the middle when there is none).
    bool addAtPeak();
    void remove(int index);
    void select(int index);
    void setReference(int index);
    void setFrequency(int index, double frequency);
    void setTrace(int index, TraceKind trace);
    //! The selected marker (a new one if there is none) to the peak in view.
    bool toPeak();
    //! The selected marker to the next lower peak in view.
    bool toNextPeak();

signals:
    //! Markers added, removed, moved or read anew.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildLines();
    void updateLines();
    void save() const;
    QwtInterval cells() const;
    QwtInterval view() const;

public:
    //! Spacing of the points of the data shown, MHz (0 before any data).
    double resolutionMHz() const;

private:
    QPointer<SpectroPlot> m_plot;
    QObject *m_lineOwner = nullptr; //!< the plot, for comparisons only
    QList<SpectrumMarker> m_markers;
    QList<QwtPlotMarker *> m_lines; //!< owned, attached, one per marker
    int m_selected = -1;
    int m_reference = 0;
    QString m_bandKey;
};

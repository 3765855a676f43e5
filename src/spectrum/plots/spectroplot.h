#pragma once

#include "plotnotes.h"
#include "rfspectrumhistory.h"
#include "spectrumstatistics.h"
#include "wifiapinfo.h"

#include <qwt_interval.h>
#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <QList>
#include <QPointF>

class HighlightSpectrogram;
class QwtPlotMarker;
class DeferredClick;
class QwtPlotPicker;
class QwtPlotSpectrogram;
class QwtThermo;
class RasterSpectrogram;
class SpTrackPicker;
class SpectrogramData;
class TnwMatrixRasterData;
class TnwPlotMarker;
class WifiCurve;
class WifiMarker;

// The frequency-versus-level view of a band page: the density of the shown
// sweeps as a colour raster, the hit-count highlight multiplied over it, a
// colour-bar legend inside the canvas, a tracker and the user's labels.
//
// Label changes are reported through spectroLabelAdded/Removed so the page
// keeps its history's label list in step; an edited text is reported as the
// removal of the old label followed by the addition of the new one.
class SpectroPlot : public QwtPlot
{
    Q_OBJECT
public:
    explicit SpectroPlot(QWidget *parent = nullptr);
    ~SpectroPlot() override;

    using LabelEntry = PlotNotes<SpectroLabel>::Entry;

    //! Hit area of a label: x .. x + 15 MHz, y - 10 .. y dBm, edges included.
    static bool labelHit(const SpectroLabel &label, const QPointF &pos);

    QList<SpectroLabel> spectroLabels() const;
    const QList<LabelEntry> &labelEntries() const { return m_labels.entries(); }

    //! Whether the highlight is multiplied into the density picture while it
    //! is rendered, with tabled colours (one picture, the default), or drawn
    //! as a picture of its own with Multiply composition and the maps' exact
    //! colours (two; kept to compare against).
    void setFusedRendering(bool on);
    bool fusedRendering() const;
    //! Drops the rendered pictures; for whoever changes a raster or colour
    //! map other than through the slots below.
    void invalidateRasters();
    //! A fixed range for the level axis; an invalid interval returns to the
    //! range that follows the data. Replots.
    void setAmplitudeRange(const QwtInterval &range);
    QwtInterval amplitudeRange() const { return m_amplitudeRange; }
    //! The statistics of the selection shown (the traces and markers read them).
    const SpectrumStatistics &statistics() const { return m_statistics.statistics(); }

    //! Attaches the horizontal QC pass line at -40 dBm.
    QwtPlotMarker *addQcPassLine();

    // For the page, tests and benchmarks.
    QwtPlotSpectrogram *densityItem() const { return m_density; }
    HighlightSpectrogram *highlightItem() const { return m_highlight; }
    SpectrogramData *densityData() const { return m_densityData; }
    TnwMatrixRasterData *highlightData() const { return m_highlightData; }
    SpTrackPicker *trackPicker() const { return m_tracker; }
    QwtThermo *colorBar() const { return m_colorBar; }
    const QList<WifiCurve *> &wifiCurves() const { return m_wifiCurves; }
    const QList<WifiMarker *> &wifiMarkers() const { return m_wifiMarkers; }

public slots:
    void setData(const RfSpectrumSampleList &data);
    void setDataInterval(Qt::Axis axis, const QwtInterval &interval);
    void setSpectroLabels(const QList<SpectroLabel> &labels);
    void clearSpectroLabels();
    //! Back to the state before the first selection (labels stay).
    void clearData();
    void onLeftClick(const QPointF &pos);
    void onRightClick(const QPointF &pos);
    //! Top axis: ZigBee channels (true) or Wi-Fi channels (false).
    void setWifiZigBee(bool zigBee);
    //! Replaces the Wi-Fi overlay; the caller replots.
    void setWifiData(QList<WifiApInfo> wifiData);
    void clearWifiData();

signals:
    //! After every setData: the statistics hold the new selection.
    void statisticsChanged();
    void spectroLabelAdded(SpectroLabel event);
    void spectroLabelRemoved(SpectroLabel event);

private:
    PlotNotes<SpectroLabel>::Rules labelRules();
    TnwPlotMarker *createLabelMarker(const SpectroLabel &label, const QPointF &at);
    void showNoData();
    void applyAmplitudeAxis(double autoTop);

    QwtPlotSpectrogram *m_density = nullptr;
    RasterSpectrogram *m_densityRaster = nullptr; //!< m_density itself
    SpectrogramData *m_densityData = nullptr;     //!< owned by m_density
    HighlightSpectrogram *m_highlight = nullptr;
    TnwMatrixRasterData *m_highlightData = nullptr; //!< owned by m_highlight
    QwtThermo *m_colorBar = nullptr;
    SpTrackPicker *m_tracker = nullptr;
    QwtPlotPicker *m_leftPicker = nullptr;
    DeferredClick *m_leftClick = nullptr; //!< waits out a double click
    QwtPlotPicker *m_rightPicker = nullptr;
    PlotNotes<SpectroLabel> m_labels;
    SpectrumStatisticsAccumulator m_statistics;
    QList<WifiCurve *> m_wifiCurves;   //!< owned, attached
    QList<WifiMarker *> m_wifiMarkers; //!< owned, attached
    int m_wifiPeak = -128; //!< strongest network drawn; the left axis keeps its name in view
    QwtScaleDiv m_wifiDiv;
    QwtScaleDiv m_zigBeeDiv;
    QwtInterval m_amplitudeRange; //!< invalid: the axis follows the data
    double m_autoTop = -30.0;     //!< top of the level axis when it follows the data
};

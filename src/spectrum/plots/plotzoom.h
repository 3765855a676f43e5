#pragma once

#include <qwt_interval.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>

#include <QObject>

class QwtPlot;
class SpectroPlot;
class WaterfallPlot;

// The arithmetic of zooming and panning one axis, kept apart from the widgets
// so it can be checked on its own.
namespace ZoomMath {
//! Wheel steps of 1/8 degree per unit; one notch (120) zooms by this much.
constexpr double StepFactor = 0.8;
//! `view` scaled by `factor` (below 1 zooms in) so that `anchor` stays where it
//! is, never narrower than `minWidth` nor wider than `limits`, and shifted to
//! lie inside `limits`.
QwtInterval zoomAbout(const QwtInterval &view, double anchor, double factor,
                      const QwtInterval &limits, double minWidth);
//! `view` moved by `delta`, stopping at the edges of `limits`.
QwtInterval panBy(const QwtInterval &view, double delta, const QwtInterval &limits);
//! The zoom factor of `angleDelta` (eighths of a degree) of wheel turn.
double wheelFactor(int angleDelta);
} // namespace ZoomMath

class PlotZoom;

// The wheel on a plot's canvas: plain wheel zooms the frequency axis about
// the pointer, Shift+wheel the level (or time) axis. The +/- keys zoom the
// frequency axis about the middle of the view.
class PlotWheelMagnifier : public QwtPlotMagnifier
{
public:
    PlotWheelMagnifier(QWidget *canvas, PlotZoom *zoom);

    //! +1 for a key that zooms in, -1 for one that zooms out, else 0. "+"
    //! and "-" are taken by the character they type, whatever the layout
    //! (Shift+= on US and UK keyboards, the "+" key on German ones), and from
    //! the keypad.
    static int zoomKeyDirection(int key, Qt::KeyboardModifiers modifiers, const QString &text);

protected:
    void rescale(double factor) override;
    void widgetWheelEvent(QWheelEvent *event) override;
    void widgetKeyPressEvent(QKeyEvent *event) override;

private:
    PlotZoom *m_zoom;
};

// Dragging with the middle button moves the frequency view of both plots.
class PlotDragPanner : public QwtPlotPanner
{
public:
    PlotDragPanner(QWidget *canvas, PlotZoom *zoom);
    void moveCanvas(int dx, int dy) override;

private:
    PlotZoom *m_zoom;
};

// Zoom and pan of a band page's two plots. The frequency view is one for
// both plots and never leaves the band; the channel axis on top follows it.
// The level axis of the spectrum plot and the time axis of the waterfall
// zoom on their own. Home (on a canvas) and a double click on a canvas or an
// axis go back to the whole band, Left/Right move the view by a tenth of its
// width.
class PlotZoom : public QObject
{
    Q_OBJECT
public:
    //! Narrowest frequency view, MHz.
    static constexpr double MinFrequencyWidth = 0.5;
    //! Lowest and highest level the level axis may show, dBm.
    static constexpr double MinLevel = -130.0;
    static constexpr double MaxLevel = 20.0;

    PlotZoom(SpectroPlot *spectro, WaterfallPlot *waterfall, QObject *parent = nullptr);

    void setBand(const QwtInterval &band);
    QwtInterval band() const { return m_band; }
    QwtInterval frequencyView() const { return m_view; }
    bool isZoomed() const;

    void setFrequencyView(const QwtInterval &view);
    void zoomFrequency(double anchor, double factor);
    void panFrequency(double delta);
    //! Shift+wheel on `plot`: the level axis about `anchor` (spectrum), or
    //! the time span shown (waterfall).
    void zoomSecondAxis(QwtPlot *plot, double anchor, double factor);
    //! Puts the channel axes in step with the frequency view again (after
    //! their division was replaced).
    void reapply();

public slots:
    //! Whole band, automatic level range and time span.
    void reset();

signals:
    void frequencyViewChanged(QwtInterval view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QwtPlot *plot);
    void apply(QwtPlot *plot);

    SpectroPlot *m_spectro;
    WaterfallPlot *m_waterfall;
    QwtInterval m_band;
    QwtInterval m_view;
};

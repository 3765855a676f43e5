#pragma once

#include <QList>
#include <QPointer>

class QwtPlot;
class QwtPlotMarker;
class QwtPlotShapeItem;

// The frequency plans of the selected KiVo IDs on a spectrum plot: one
// gradient box per ID from its top edge down to -100 dBm, with the ID's
// number under the top edge. Overlapping plans are staggered 4 dB apart so
// their numbers stay readable; with many levels the step shrinks so that the
// lowest top edge stays MinBoxHeight above the bottom and every box remains
// visible. The boxes always show the whole list; the plot redraws them
// through its auto-replot.
//
// Only IDs of the KiVo ID table are kept: an unknown ID has no range to draw,
// and two of them "overlapping" at 0 MHz would push every real box down.
class KivoIdOverlay
{
public:
    //! Top of the boxes on level 0 and the step per level, dBm.
    static constexpr double TopLevel0 = -50.0;
    static constexpr double LevelStep = 4.0;
    static constexpr double Bottom = -100.0;
    static constexpr double MinBoxHeight = 8.0;

    //! The step between levels when the highest level is `maxLevel`.
    static double levelStep(int maxLevel);

    explicit KivoIdOverlay(QwtPlot *plot = nullptr);
    ~KivoIdOverlay();
    KivoIdOverlay(const KivoIdOverlay &) = delete;
    KivoIdOverlay &operator=(const KivoIdOverlay &) = delete;

    //! Binds the plot (the page creates it after its members).
    void setPlot(QwtPlot *plot);

    void select(int kivoId);
    void deselect(int kivoId);
    void setSelection(const QList<int> &kivoIds);

    //! The selected IDs in drawing order (kivoIdLess).
    const QList<int> &selection() const { return m_selected; }
    //! The items drawn, in the selection's order.
    const QList<QwtPlotShapeItem *> &boxes() const { return m_boxes; }
    const QList<QwtPlotMarker *> &numbers() const { return m_numbers; }

private:
    void redraw();
    void clearItems();

    QPointer<QwtPlot> m_plot;          //!< not owned
    QList<QwtPlotShapeItem *> m_boxes; //!< owned, attached to m_plot
    QList<QwtPlotMarker *> m_numbers;  //!< owned, attached to m_plot
    QList<int> m_selected;             //!< table IDs, sorted by kivoIdLess
};

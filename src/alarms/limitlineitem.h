#pragma once

#include "limitline.h"

#include <QObject>
#include <QPointer>
#include <QVector>
#include <QWidget>

class QwtPlot;
class QwtPlotCurve;

//! Draws a band's enabled limit lines on a spectrum plot and lets the user
//! drag their points: a press within a few pixels of a point takes it, the
//! release gives the line back through lineEdited(). Presses elsewhere go
//! on to the plot's own pickers untouched.
class LimitLineItems : public QObject
{
    Q_OBJECT
public:
    //! Pixels from a point within which a press takes it.
    static constexpr int GrabPixels = 6;

    LimitLineItems(QwtPlot *plot, LimitBand band, QObject *parent = nullptr);
    ~LimitLineItems() override;

    //! Shows the lines of this band (of all given), replotting.
    void setLimits(const QVector<LimitLine> &limits);
    //! Lines that cannot be dragged, as on a recording's page.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int curveCount() const { return m_curves.size(); }
    QwtPlotCurve *curve(int i) const { return m_curves.at(i); }

signals:
    //! The user dragged a point of limit `index` (into the list last set).
    void lineEdited(int index, LimitLine line);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Grab
    {
        int curve = -1;
        int point = -1;
    };
    Grab pointAt(const QPoint &pos) const;

    QwtPlot *m_plot;
    // The window may delete the plot first, and the plot deletes the curves
    // still attached to it. A QObject guard: no cast of a half-destroyed plot.
    QPointer<QObject> m_plotAlive;
    QPointer<QWidget> m_canvas; //!< the filtered canvas, compared without asking the plot
    LimitBand m_band;
    QVector<LimitLine> m_limits;
    QVector<QwtPlotCurve *> m_curves;
    QVector<int> m_indexOf; //!< per curve, its limit's index in m_limits
    Grab m_grab;
    bool m_readOnly = false;
};

#include "scalemenus.h"

#include "dialogseam.h"
#include "spectroplot.h"
#include "waterfallplot.h"

#include <qwt_plot_grid.h>
#include <qwt_scale_widget.h>
#include <qwt_thermo.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QRegularExpression>

#include <cmath>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ScaleMenus", text);
}

std::optional<QwtInterval> askRange(const QString &what, double low, double high)
{
    DialogSeam::Request request;
    request.kind = DialogSeam::Request::GetRange;
    request.title = QCoreApplication::applicationName();
    request.text = what;
    request.value = ScaleMenus::rangeText(low, high);
    const QVariant answer = DialogSeam::ask(request);
    if (!answer.isValid())
        return std::nullopt;
    const std::optional<QwtInterval> range = ScaleMenus::parseRange(answer.toString());
    if (!range)
        DialogSeam::warning(QCoreApplication::applicationName(),
                            tr("\"%1\" is not a range: give two different levels in dBm, "
                               "for example \"-100 -40\".")
                                .arg(answer.toString()));
    return range;
}
} // namespace

namespace ScaleMenus {

std::optional<QwtInterval> parseRange(const QString &text)
{
    const QStringList parts =
        text.trimmed().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return std::nullopt;
    bool ok1 = false;
    bool ok2 = false;
    const double a = parts.at(0).toDouble(&ok1);
    const double b = parts.at(1).toDouble(&ok2);
    if (!ok1 || !ok2 || !std::isfinite(a) || !std::isfinite(b) || a == b || qAbs(a) > 200.0 ||
        qAbs(b) > 200.0)
        return std::nullopt;
    return QwtInterval(qMin(a, b), qMax(a, b));
}

QString rangeText(double low, double high)
{
    return QStringLiteral("%1 %2").arg(low, 0, 'g', 6).arg(high, 0, 'g', 6);
}

void askAmplitudeRange(SpectroPlot *plot)
{
    const QwtInterval shown = plot->axisScaleDiv(QwtPlot::yLeft).interval().normalized();
    if (const auto range =
            askRange(tr("Level axis, low and high [dBm]:"), shown.minValue(), shown.maxValue()))
        plot->setAmplitudeRange(*range);
}

void askColorRange(WaterfallPlot *plot)
{
    const ColorRange shown = plot->colorRange();
    if (const auto range = askRange(tr("Colour range, low and high [dBm]:"), shown.low, shown.high))
        plot->setColorRange(range->minValue(), range->maxValue());
}

QMenu *amplitudeMenu(SpectroPlot *plot, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Set level range..."), plot, [plot] { askAmplitudeRange(plot); });
    QAction *autoRange =
        menu->addAction(tr("Auto level range"), plot, [plot] { plot->setAmplitudeRange({}); });
    autoRange->setCheckable(true);
    autoRange->setChecked(!plot->amplitudeRange().isValid());
    return menu;
}

QMenu *colorRangeMenu(WaterfallPlot *plot, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Set colour range..."), plot, [plot] { askColorRange(plot); });
    QAction *autoRange =
        menu->addAction(tr("Auto colour range"), plot, [plot] { plot->setAutoColorRange(); });
    autoRange->setCheckable(true);
    autoRange->setChecked(plot->isColorRangeAuto());
    return menu;
}

void install(SpectroPlot *spectro, WaterfallPlot *waterfall)
{
    QWidget *axis = spectro->axisWidget(QwtPlot::yLeft);
    axis->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(axis, &QWidget::customContextMenuRequested, spectro,
                     [spectro, axis](const QPoint &at) {
                         amplitudeMenu(spectro, axis)->popup(axis->mapToGlobal(at));
                     });
    QWidget *bar = waterfall->colorBar();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(bar, &QWidget::customContextMenuRequested, waterfall,
                     [waterfall, bar](const QPoint &at) {
                         colorRangeMenu(waterfall, bar)->popup(bar->mapToGlobal(at));
                     });
}

QwtPlotGrid *addGrid(QwtPlot *plot)
{
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(255, 255, 255, 70), 0.0, Qt::DotLine);
    grid->enableXMin(false);
    grid->enableYMin(false);
    grid->setZ(20.0); // over the rasters, under the traces
    grid->setVisible(false);
    grid->attach(plot);
    return grid;
}

} // namespace ScaleMenus

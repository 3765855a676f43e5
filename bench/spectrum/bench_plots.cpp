// Plot update figures (offscreen), with a 2,400-sample selection of 501 bins
// (a 120 s live window of 2.4 GHz sweeps at 20 per second) sliding by one
// sample per update, then replot and paint:
//  - the spectrum plot at 1280x720, 1920x1080 and 3840x2160, with the
//    highlight drawn as a picture of its own (the former renderer) and
//    multiplied into the density picture (the current one), and the ratio;
//  - the waterfall plot at 1280x720, 1920x1080 and 3840x2160: rendered whole
//    (the first renderer), incremental (the faithful picture of a selection
//    that slid on, today's still views) and scrolling (the live view);
//  - the highlight raster alone through the separable bicubic pass and
//    through Qwt's per-pixel path (the same picture).

#include "benchtarget.h"
#include "highlightcolormap.h"
#include "highlightspectrogram.h"
#include "spectroplot.h"
#include "tnwmatrixrasterdata.h"
#include "waterfallplot.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_map.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

// Wall time and the process's CPU time (all threads): on a shared machine
// the CPU figure says more about the code than the wall clock does.
struct Cost
{
    double wallMs = 0;
    double cpuMs = 0;
};

double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class Meter
{
public:
    Meter() : m_cpu(cpuNow()) { m_wall.start(); }
    Cost per(int n) const
    {
        return {double(m_wall.nsecsElapsed()) / 1e6 / n, (cpuNow() - m_cpu) / n};
    }

private:
    QElapsedTimer m_wall;
    double m_cpu;
};

constexpr int Bins = 501;
constexpr int Window = 2400;
int Updates = 40; // more for a profiler: "waterfall live 1000"
constexpr int HighlightRuns = 40;

RfSpectrumScan sweep(QRandomGenerator &rng)
{
    RfSpectrumScan s(Bins);
    for (int i = 0; i < Bins; ++i) {
        const quint32 kind = rng.bounded(10);
        s[i] = qint8(kind < 7 ? rng.bounded(-100, -85) : rng.bounded(-80, -25));
    }
    return s;
}

// A sweep of a quieter band, as a scan mostly sees: a noise floor, a steady
// carrier and a burst hopping across the band.
RfSpectrumScan sceneSweep(QRandomGenerator &rng, int k)
{
    RfSpectrumScan s(Bins);
    for (int i = 0; i < Bins; ++i)
        s[i] = qint8(rng.bounded(-100, -88));
    for (int i = 150; i < 175; ++i)
        s[i] = qint8(rng.bounded(-55, -48));
    const int hop = (k * 37) % (Bins - 30);
    for (int i = hop; i < hop + 30; ++i)
        s[i] = qint8(rng.bounded(-75, -35));
    return s;
}

// While a live window fills, every update adds a sample and drops none:
// the share of every cell that is neither empty nor full changes.
constexpr int FillingFrom = 400;

template <typename Plot>
Cost msPerUpdate(Plot &plot, const RfSpectrumSampleList &history, int firstStart, int stride,
                 bool filling = false)
{
    const Meter meter;
    for (int u = 0; u < Updates; ++u) {
        plot.setData(filling ? history.mid(0, FillingFrom + u + 1)
                             : history.mid(firstStart + u * stride, Window));
        plot.replot();
        QApplication::processEvents(); // the axes repaint too
    }
    return meter.per(Updates);
}

Cost msPerDraw(const QwtPlotSpectrogram &item, const QwtPlot &plot, QImage &target)
{
    const QwtScaleMap xMap = plot.canvasMap(QwtPlot::xBottom);
    const QwtScaleMap yMap = plot.canvasMap(QwtPlot::yLeft);
    const QRectF rect(QPointF(0, 0), QSizeF(target.size()));
    const Meter meter;
    for (int i = 0; i < HighlightRuns; ++i) {
        QPainter painter(&target);
        item.draw(&painter, xMap, yMap, rect);
    }
    return meter.per(HighlightRuns);
}

QwtInterval band()
{
    return QwtInterval(2400.0, 2500.0);
}
QwtInterval levels()
{
    return QwtInterval(-100.0, -30.0);
}

void showAt(QwtPlot &plot, const QSize &size)
{
    plot.resize(size);
    plot.show();
    // Paint synchronously inside replot(), so the figure includes the render.
    if (auto *canvas = qobject_cast<QwtPlotCanvas *>(plot.canvas()))
        canvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The spectrum plot sliding by one sample per update, with the highlight
// drawn as a picture of its own (the former renderer) and multiplied into
// the density picture (the current one), in the same run.
struct SpectrumFigures
{
    Cost separate, fused, filling;
    QSize canvas;
};

SpectrumFigures measureSpectrum(const RfSpectrumSampleList &history, const QSize &size,
                                bool currentOnly = false)
{
    SpectrumFigures f;
    SpectroPlot spectro;
    spectro.setAxisScale(QwtPlot::xBottom, band().minValue(), band().maxValue());
    spectro.setAxisScale(QwtPlot::yLeft, levels().minValue(), levels().maxValue());
    spectro.setDataInterval(Qt::XAxis, band());
    spectro.setDataInterval(Qt::YAxis, levels());
    showAt(spectro, size);
    f.canvas = spectro.canvas()->size();
    for (bool fused : {false, true}) {
        if (currentOnly && !fused)
            continue;
        spectro.setFusedRendering(fused);
        spectro.setData(history.mid(0, Window)); // warm-up: the first build
        spectro.replot();
        (fused ? f.fused : f.separate) = msPerUpdate(spectro, history, 1, 1);
    }
    spectro.setData(history.mid(0, FillingFrom));
    spectro.replot();
    f.filling = msPerUpdate(spectro, history, 0, 1, true);
    return f;
}

// The waterfall sliding by one sample per update, rendered whole (the
// first renderer), incrementally (the matrix shifted, only the new row
// converted; the faithful picture) and scrolling as a live view does, in the
// same run.
struct WaterfallFigures
{
    Cost whole, incremental, live;
};

enum WaterfallMode
{
    Whole = 1,
    Incremental = 2,
    Live = 4
};

WaterfallFigures measureWaterfall(const RfSpectrumSampleList &history, const QSize &size,
                                  int modes = Whole | Incremental | Live)
{
    WaterfallFigures f;
    for (WaterfallMode mode : {Whole, Incremental, Live}) {
        if (!(modes & mode))
            continue;
        WaterfallPlot waterfall;
        waterfall.setIncrementalRendering(mode != Whole);
        waterfall.setLiveScrolling(mode == Live);
        waterfall.setAxisScale(QwtPlot::xBottom, band().minValue(), band().maxValue());
        waterfall.setDataInterval(Qt::XAxis, band());
        waterfall.setDataInterval(Qt::ZAxis, levels());
        showAt(waterfall, size);
        waterfall.setData(history.mid(0, Window));
        waterfall.replot();
        const Cost c = msPerUpdate(waterfall, history, 1, 1);
        (mode == Whole ? f.whole : mode == Incremental ? f.incremental : f.live) = c;
    }
    return f;
}

// The highlight raster alone, through the plot's separable bicubic pass and
// through Qwt's per-pixel path (the same picture).
void measureHighlight(const RfSpectrumSampleList &history)
{
    SpectroPlot spectro;
    spectro.setDataInterval(Qt::XAxis, band());
    spectro.setDataInterval(Qt::YAxis, levels());
    spectro.setFusedRendering(false);
    showAt(spectro, QSize(1280, 720));
    spectro.setData(history.mid(0, Window));
    spectro.replot();
    QImage target(spectro.canvas()->size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    spectro.invalidateRasters();
    const Cost fast = msPerDraw(*spectro.highlightItem(), spectro, target);
    QwtPlotSpectrogram generic;
    generic.setRenderThreadCount(0);
    auto *copy = new TnwMatrixRasterData;
    const TnwMatrixRasterData &source = *spectro.highlightData();
    copy->setResampleMode(source.resampleMode());
    copy->setInterval(Qt::XAxis, source.interval(Qt::XAxis));
    copy->setInterval(Qt::YAxis, source.interval(Qt::YAxis));
    copy->setInterval(Qt::ZAxis, source.interval(Qt::ZAxis));
    copy->setValueMatrix(source.valueMatrix(), source.numColumns());
    generic.setData(copy);
    generic.setColorMap(new HighlightColorMap);
    const Cost plain = msPerDraw(generic, spectro, target);
    std::printf("highlight raster alone at 1280x720: separable %.2f ms (%.2f CPU), Qwt per-pixel "
                "%.2f ms (%.2f CPU), %.1fx CPU\n",
                fast.wallMs, fast.cpuMs, plain.wallMs, plain.cpuMs, plain.cpuMs / fast.cpuMs);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program sets the allocator (see main): large blocks stay in the
    // heap instead of being faulted in afresh for every replot.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    QApplication app(argc, argv);
    // "spectrum [N]" runs only the current renderer's N sliding updates of
    // the spectrum plot at 1920x1080 (for a profiler).
    // "spectrum2160" does the same at 3840x2160; "waterfall" runs only the
    // waterfall's sliding updates at 1920x1080 ("waterfall live": scrolling).
    if (app.arguments().contains(QStringLiteral("waterfall"))) {
        Updates = qMax(Updates, app.arguments().constLast().toInt());
        QRandomGenerator wrng(20261207);
        RfSpectrumSampleList h;
        for (int i = 0; i < Window + Updates + 1; ++i)
            h.append(RfSpectrumSample(1'700'000'000'000 + i * 50, sweep(wrng)));
        const bool live = app.arguments().contains(QStringLiteral("live"));
        const WaterfallFigures f =
            measureWaterfall(h, QSize(1920, 1080), live ? Live : Incremental);
        const Cost c = live ? f.live : f.incremental;
        std::printf("  waterfall 1920x1080 %s %7.2f ms (%6.2f CPU)\n",
                    live ? "scrolling" : "incremental", c.wallMs, c.cpuMs);
        return 0;
    }
    const bool spectrum2160 = app.arguments().contains(QStringLiteral("spectrum2160"));
    const bool spectrumOnly = spectrum2160 || app.arguments().contains(QStringLiteral("spectrum"));
    if (spectrumOnly) // "spectrum 400": more updates for a profiler
        Updates = qMax(Updates, app.arguments().constLast().toInt());

    QRandomGenerator rng(20261207);
    RfSpectrumSampleList history;
    const int total = Window + Updates + 1;
    const qint64 t0 = 1'700'000'000'000;
    for (int i = 0; i < total; ++i)
        history.append(RfSpectrumSample(t0 + i * 50, sweep(rng)));

    std::printf("plot updates sliding by one sample, %d samples x %d bins, %d threads; wall ms "
                "(CPU ms of all threads) per update, setData + replot + paint\n",
                Window, Bins, QThread::idealThreadCount());
    const QList<QSize> sizes =
        spectrumOnly ? QList<QSize>{spectrum2160 ? QSize(3840, 2160) : QSize(1920, 1080)}
                     : QList<QSize>{QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160)};
    QList<SpectrumFigures> spectrum;
    for (const QSize &size : sizes) {
        const SpectrumFigures f = measureSpectrum(history, size, spectrumOnly);
        spectrum << f;
        std::printf("  spectrum %4dx%-4d (canvas %4dx%-4d): former %7.2f ms (%6.2f CPU), "
                    "current %7.2f ms (%6.2f CPU), ratio %.2f wall %.2f CPU; current while the "
                    "window fills %7.2f ms (%6.2f CPU)\n",
                    size.width(), size.height(), f.canvas.width(), f.canvas.height(),
                    f.separate.wallMs, f.separate.cpuMs, f.fused.wallMs, f.fused.cpuMs,
                    f.separate.wallMs / f.fused.wallMs, f.separate.cpuMs / f.fused.cpuMs,
                    f.filling.wallMs, f.filling.cpuMs);
    }
    if (spectrumOnly)
        return 0;
    WaterfallFigures waterfall1080;
    for (const QSize &size : {QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160)}) {
        const bool uhd = size.width() > 1920;
        // Whole pictures at 4K take long and say nothing new.
        const WaterfallFigures f =
            measureWaterfall(history, size, uhd ? Incremental | Live : Whole | Incremental | Live);
        if (size.width() == 1920)
            waterfall1080 = f;
        std::printf("  waterfall %4dx%-4d: whole %7.2f ms (%6.2f CPU), incremental %7.2f ms "
                    "(%6.2f CPU), scrolling %7.2f ms (%6.2f CPU); scrolling vs incremental "
                    "%.1fx wall %.1fx CPU\n",
                    size.width(), size.height(), f.whole.wallMs, f.whole.cpuMs,
                    f.incremental.wallMs, f.incremental.cpuMs, f.live.wallMs, f.live.cpuMs,
                    f.incremental.wallMs / f.live.wallMs, f.incremental.cpuMs / f.live.cpuMs);
    }
    measureHighlight(history);
    // The density picture colours again only what a new sweep changed: in a
    // quieter band than the random one above, that is much less.
    QRandomGenerator srng(20261208);
    RfSpectrumSampleList scene;
    for (int i = 0; i < total; ++i)
        scene.append(RfSpectrumSample(t0 + i * 50, sceneSweep(srng, i)));
    const SpectrumFigures quiet = measureSpectrum(scene, QSize(1920, 1080), true);
    std::printf("  spectrum 1920x1080, a noise floor, a carrier and a hopping burst: %7.2f ms "
                "(%6.2f CPU)\n",
                quiet.fused.wallMs, quiet.fused.cpuMs);

    using namespace BenchTarget;
    report("plots.spectrum_update_1080p", spectrum.at(1).fused.wallMs, "ms", AtMost, 12, 2);
    report("plots.spectrum_update_2160p", spectrum.at(2).fused.wallMs, "ms", AtMost, 25, 2);
    report("plots.waterfall_slide_1080p", waterfall1080.incremental.wallMs, "ms", AtMost, 4, 2);
    // A live sweep: the spectrum's density and highlight, the waterfall's
    // scrolling picture, each with its replot and paint.
    report("plots.density_update_1080p", spectrum.at(1).fused.wallMs, "ms", AtMost, 3, 2);
    report("plots.waterfall_live_1080p", waterfall1080.live.wallMs, "ms", AtMost, 1, 2);
    return 0;
}

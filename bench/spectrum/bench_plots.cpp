// Plot updates at 1280 x 720, printed as figures:
//  - one full update of each plot: setData with a 2,400-sample selection of
//    501 bins (a 120 s live window of 2.4 GHz sweeps at 20 per second)
//    sliding by one sample, then replot and paint;
//  - the spectrum plot again with a selection that shares nothing with the
//    previous one (statistics rebuilt from scratch);
//  - the highlight raster alone, drawn over the whole canvas, through the
//    plot's separable bicubic pass and through Qwt's per-pixel path for
//    comparison (same picture);
//  - all of it again with large blocks kept in the heap (mallopt), which
//    shows what faulting in fresh pages for every replot costs.

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
constexpr int Updates = 40;
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

void showAt720p(QwtPlot &plot)
{
    plot.resize(1280, 720);
    plot.show();
    // Paint synchronously inside replot(), so the figure includes the render.
    if (auto *canvas = qobject_cast<QwtPlotCanvas *>(plot.canvas()))
        canvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

template <typename Plot>
Cost msPerUpdate(Plot &plot, const RfSpectrumSampleList &history, int firstStart, int stride)
{
    const Meter meter;
    for (int u = 0; u < Updates; ++u) {
        plot.setData(history.mid(firstStart + u * stride, Window));
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

struct Figures
{
    Cost spectroSliding, spectroRebuilt, waterfallSliding, highlightFast, highlightGeneric;
    QSize canvas;
};

Figures measure(const RfSpectrumSampleList &history, bool spectrumOnly)
{
    Figures f;
    const QwtInterval band(2400.0, 2500.0);
    const QwtInterval levels(-100.0, -30.0);

    SpectroPlot spectro;
    spectro.setAxisScale(QwtPlot::xBottom, band.minValue(), band.maxValue());
    spectro.setAxisScale(QwtPlot::yLeft, levels.minValue(), levels.maxValue());
    spectro.setDataInterval(Qt::XAxis, band);
    spectro.setDataInterval(Qt::YAxis, levels);
    showAt720p(spectro);
    spectro.setData(history.mid(0, Window)); // warm-up: the first build
    spectro.replot();
    f.spectroSliding = msPerUpdate(spectro, history, 1, 1);
    if (spectrumOnly)
        return f;
    f.spectroRebuilt = msPerUpdate(spectro, history, Window * 2, Window);
    f.canvas = spectro.canvas()->size();
    spectro.hide();

    WaterfallPlot waterfall;
    waterfall.setAxisScale(QwtPlot::xBottom, band.minValue(), band.maxValue());
    waterfall.setDataInterval(Qt::XAxis, band);
    waterfall.setDataInterval(Qt::ZAxis, levels);
    showAt720p(waterfall);
    waterfall.setData(history.mid(0, Window));
    waterfall.replot();
    f.waterfallSliding = msPerUpdate(waterfall, history, 1, 1);
    waterfall.hide();

    // The highlight alone, on the spectrum plot's last selection.
    QImage target(f.canvas, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    f.highlightFast = msPerDraw(*spectro.highlightItem(), spectro, target);
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
    f.highlightGeneric = msPerDraw(generic, spectro, target);

    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "spectrum" runs only the spectrum plot's sliding updates (for a profiler).
    const bool spectrumOnly = app.arguments().contains(QStringLiteral("spectrum"));

    QRandomGenerator rng(20261207);
    RfSpectrumSampleList history;
    const int total = Window * 2 + Updates * Window;
    const qint64 t0 = 1'700'000'000'000;
    for (int i = 0; i < total; ++i)
        history.append(RfSpectrumSample(t0 + i * 50, sweep(rng)));

    const Figures plain = measure(history, spectrumOnly);
    if (spectrumOnly) {
        std::printf("spectrum plot, sliding: %.2f ms (%.2f CPU ms)\n", plain.spectroSliding.wallMs,
                    plain.spectroSliding.cpuMs);
        return 0;
    }
    // glibc hands blocks of 128 KiB and more back to the system when they are
    // freed, so every replot faults in fresh pages for the canvas backing
    // store, the statistics and the matrices. Keeping them in the heap shows
    // what that costs; the program itself keeps them (see main), so the
    // target is judged on that column.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    const Figures kept = measure(history, false);

    std::printf("plot updates at 1280x720 (canvas %dx%d), %d samples x %d bins, %d threads;\n"
                "wall ms (CPU ms of all threads) per update, default allocator | large blocks "
                "kept in the heap:\n",
                plain.canvas.width(), plain.canvas.height(), Window, Bins,
                QThread::idealThreadCount());
    auto line = [](const char *what, Cost a, Cost b) {
        std::printf("  %-46s %7.2f ms (%6.2f CPU) | %7.2f ms (%6.2f CPU)\n", what, a.wallMs,
                    a.cpuMs, b.wallMs, b.cpuMs);
    };
    line("spectrum plot, window sliding by one sample:", plain.spectroSliding, kept.spectroSliding);
    line("spectrum plot, new selection each time:", plain.spectroRebuilt, kept.spectroRebuilt);
    line("waterfall plot, window sliding by one sample:", plain.waterfallSliding,
         kept.waterfallSliding);
    line("highlight raster alone (separable bicubic):", plain.highlightFast, kept.highlightFast);
    line("highlight raster alone (Qwt per-pixel path):", plain.highlightGeneric,
         kept.highlightGeneric);
    std::printf("  highlight speed-up over the per-pixel path: %.1fx CPU\n",
                plain.highlightGeneric.cpuMs / plain.highlightFast.cpuMs);
    // Judged with the allocator as the program sets it.
    using namespace BenchTarget;
    report("plots.spectrum_update", kept.spectroSliding.wallMs, "ms", AtMost, 33, 2);
    report("plots.waterfall_update", kept.waterfallSliding.wallMs, "ms", AtMost, 33, 2);
    return 0;
}

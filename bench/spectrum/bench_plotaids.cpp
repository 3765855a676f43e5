// The cost of the measuring aids on a spectrum plot update at 1280 x 720:
// a 2,400-sample selection of 501 bins sliding by one sample, then replot
// and paint, without and with all three trace curves and four markers (and
// the marker table reading them). Rounds alternate and the lowest of each
// is kept, so a busy machine weighs on both sides alike. For profiling,
// BENCH_AIDS_ONLY=traces|markers|notable leaves parts of the aids out.

#include "benchtarget.h"
#include "markertable.h"
#include "spectroplot.h"
#include "spectrummarkers.h"
#include "tracecurves.h"

#include <qwt_plot_canvas.h>

#include <QApplication>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

namespace {

constexpr int Bins = 501;
constexpr int Window = 2400;
constexpr int Updates = 30;
constexpr int Rounds = 3;

double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Setup
{
    SpectroPlot plot;
    TraceCurves *traces = nullptr;
    SpectrumMarkers *markers = nullptr;
    MarkerTable *table = nullptr;

    explicit Setup(bool aids)
    {
        const QwtInterval band(2400.0, 2500.0);
        plot.setAxisScale(QwtPlot::xBottom, band.minValue(), band.maxValue());
        plot.setDataInterval(Qt::XAxis, band);
        plot.setDataInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
        plot.resize(1280, 720);
        plot.show();
        if (auto *canvas = qobject_cast<QwtPlotCanvas *>(plot.canvas()))
            canvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
        if (aids) {
            const QByteArray only = qgetenv("BENCH_AIDS_ONLY");
            traces = new TraceCurves(&plot);
            if (only == "markers")
                aids = false;
            for (int k = 0; k < TraceKindCount; ++k)
                traces->setVisible(TraceKind(k), aids);
            if (only == "traces")
                return;
            markers = new SpectrumMarkers(&plot, &plot);
            for (int i = 0; i < SpectrumMarkers::MaxMarkers; ++i)
                markers->add(2410.0 + 25.0 * i, TraceKind(i % TraceKindCount));
            if (only != "notable")
                table = new MarkerTable(markers);
        }
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    ~Setup() { delete table; }
};

double msPerUpdate(Setup &s, const RfSpectrumSampleList &history)
{
    s.plot.setData(history.mid(0, Window));
    s.plot.replot();
    const double start = cpuNow();
    for (int u = 1; u <= Updates; ++u) {
        s.plot.setData(history.mid(u, Window));
        s.plot.replot();
        QApplication::processEvents();
    }
    return (cpuNow() - start) / Updates;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QRandomGenerator rng(20261208);
    RfSpectrumSampleList history;
    for (int i = 0; i < Window + Updates + 1; ++i) {
        RfSpectrumScan s(Bins);
        for (int b = 0; b < Bins; ++b)
            s[b] = qint8(rng.bounded(10) < 7 ? rng.bounded(-100, -85) : rng.bounded(-80, -25));
        history.append(RfSpectrumSample(1'700'000'000'000 + i * 50, s));
    }

    double plain = 1e9;
    double withAids = 1e9;
    Setup bare(false);
    Setup full(true);
    for (int r = 0; r < Rounds; ++r) {
        plain = qMin(plain, msPerUpdate(bare, history));
        withAids = qMin(withAids, msPerUpdate(full, history));
    }
    std::printf("spectrum plot update at 1280x720, %d samples x %d bins (CPU ms, lowest of %d "
                "rounds):\n  without aids %.2f\n  three traces, four markers %.2f\n",
                Window, Bins, Rounds, plain, withAids);
    BenchTarget::report("spectrum.aids_extra_ms", withAids - plain, "ms", BenchTarget::AtMost, 2.0,
                        2);
    return 0;
}

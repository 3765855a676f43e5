// Export Report of a one-hour recording (72,000 sweeps of 501 points) as the
// window does it: the pictures grabbed from the page's plots, the
// utilization, the HTML and the PDF; the file name comes through the dialog
// seam.

#include "benchtarget.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "recordingio.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();

    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    QRandomGenerator rng(72000);
    for (int s = 0; s < 72000; ++s) {
        RfSpectrumScan scan(501);
        for (qint8 &v : scan)
            v = qint8(rng.bounded(-100, -90));
        for (int i = 135; i <= 235 && s % 3; ++i)
            scan[i] = qint8(rng.bounded(-65, -55));
        h.samples.append(RfSpectrumSample(1765000000000 + s * 50, scan));
    }
    const QString recording = dir.filePath(QStringLiteral("hour.vozi"));
    QString error;
    if (!RecordingIo::saveFile(recording, h, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString html = dir.filePath(QStringLiteral("hour.html"));
    DialogSeam::setHandler([&](const DialogSeam::Request &r) -> QVariant {
        if (r.kind == DialogSeam::Request::SaveFileName)
            return html;
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
    MainWindow w(nullptr, false);
    w.resize(1400, 900);
    w.show();
    if (!w.openRecordingFile(recording))
        return 1;
    app.processEvents();

    QElapsedTimer t;
    t.start();
    w.form()->actionExport_Report->trigger();
    const double seconds = t.nsecsElapsed() / 1e9;
    const bool written =
        QFile::exists(html) && QFile::exists(dir.filePath(QStringLiteral("hour.pdf")));
    std::printf("export report: 72000 sweeps, %s, %.3f s (HTML %lld bytes)\n",
                written ? "written" : "NOT written", seconds, QFile(html).size());
    const bool met = BenchTarget::report("analysis.export_report_window_s", seconds, "s",
                                         BenchTarget::AtMost, 3.0, 3);
    return written && met ? 0 : 1;
}

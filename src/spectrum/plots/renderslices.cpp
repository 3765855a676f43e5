#include "renderslices.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTransform>

#include <atomic>
#include <cmath>

void inRenderSlices(int n, int threadCount, const std::function<void(int, int)> &work, int grain)
{
    if (n <= 0)
        return;
    // Asked once: glibc answers by opening and reading a file in /sys, and
    // a live page renders with every sweep.
    static const int ideal = QThread::idealThreadCount();
    const int threads = qBound(1, threadCount > 0 ? threadCount : ideal, n);
    if (threads == 1) {
        work(0, n);
        return;
    }
    // Pieces taken in turn, a few per thread: lines differ in cost (the busy
    // levels of a band take most of it), and a fixed share each would leave
    // one thread waiting for the other.
    constexpr int PiecesPerThread = 6;
    grain = qMax(1, grain);
    const int pieces = threads * PiecesPerThread;
    const int piece = ((n + pieces - 1) / pieces + grain - 1) / grain * grain;
    std::atomic<int> next{0};
    const auto take = [&] {
        for (int a = next.fetch_add(piece); a < n; a = next.fetch_add(piece))
            work(a, qMin(a + piece, n));
    };
    QSemaphore done;
    for (int t = 0; t < threads - 1; ++t) {
        auto job = [&] {
            take();
            done.release();
        };
        if (!QThreadPool::globalInstance()->tryStart(job))
            job();
    }
    take();
    done.acquire(threads - 1);
}

DirectLines::DirectLines(QPainter *painter, const QRect &rect)
{
    QPaintEngine *engine = painter ? painter->paintEngine() : nullptr;
    if (rect.isEmpty() || !engine || engine->type() != QPaintEngine::Raster ||
        !engine->paintDevice() || engine->paintDevice()->devType() != QInternal::Image)
        return;
    auto *device = static_cast<QImage *>(engine->paintDevice());
    // A shared image would be copied by bits(), away from the painter.
    if ((device->format() != QImage::Format_RGB32 &&
         device->format() != QImage::Format_ARGB32_Premultiplied) ||
        device->devicePixelRatioF() != 1.0 || !device->isDetached())
        return;
    const QTransform toDevice = painter->deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::round(toDevice.dx()) ||
        toDevice.dy() != std::round(toDevice.dy()) || painter->opacity() < 1.0 ||
        painter->compositionMode() != QPainter::CompositionMode_SourceOver)
        return;
    const QPoint offset(int(toDevice.dx()), int(toDevice.dy()));
    const QRect target = rect.translated(offset);
    if (!device->rect().contains(target))
        return;
    // Every pixel of it must be one this paint may change: the clip, and
    // the window system's (the widget's exposed part).
    QRegion allowed(target);
    if (!engine->systemClip().isEmpty())
        allowed &= engine->systemClip();
    if (painter->hasClipping())
        allowed &= painter->clipRegion() * toDevice;
    if (allowed != QRegion(target))
        return;
    m_stride = device->bytesPerLine();
    m_first = device->bits() + qsizetype(target.y()) * m_stride + qsizetype(target.x()) * 4;
}

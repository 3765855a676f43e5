#include "renderbands.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

void inRenderBands(int n, int threadCount, const std::function<void(int, int)> &work)
{
    if (n <= 0)
        return;
    const int threads = qBound(1, threadCount > 0 ? threadCount : QThread::idealThreadCount(), n);
    const int band = n / threads;
    QSemaphore done;
    for (int t = 0; t < threads - 1; ++t) {
        auto job = [&, t] {
            work(t * band, (t + 1) * band);
            done.release();
        };
        if (!QThreadPool::globalInstance()->tryStart(job))
            job();
    }
    work((threads - 1) * band, n);
    done.acquire(threads - 1);
}

#include "renderslices.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

void inRenderSlices(int n, int threadCount, const std::function<void(int, int)> &work)
{
    if (n <= 0)
        return;
    // Asked once: glibc answers by opening and reading a file in /sys, and
    // a live page renders with every sweep.
    static const int ideal = QThread::idealThreadCount();
    const int threads = qBound(1, threadCount > 0 ? threadCount : ideal, n);
    const int slice = n / threads;
    QSemaphore done;
    for (int t = 0; t < threads - 1; ++t) {
        auto job = [&, t] {
            work(t * slice, (t + 1) * slice);
            done.release();
        };
        if (!QThreadPool::globalInstance()->tryStart(job))
            job();
    }
    work((threads - 1) * slice, n);
    done.acquire(threads - 1);
}

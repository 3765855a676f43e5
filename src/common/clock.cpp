#include "clock.h"

#include <atomic>

namespace {

std::atomic<bool> g_fixed{false};
std::atomic<qint64> g_fixedMs{0};

} // namespace

namespace Clock {

qint64 nowMs()
{
    return g_fixed.load(std::memory_order_acquire) ? g_fixedMs.load(std::memory_order_relaxed)
                                                   : QDateTime::currentMSecsSinceEpoch();
}

QDateTime now()
{
    return g_fixed.load(std::memory_order_acquire)
               ? QDateTime::fromMSecsSinceEpoch(g_fixedMs.load(std::memory_order_relaxed))
               : QDateTime::currentDateTime();
}

void setFixed(qint64 msSinceEpoch)
{
    g_fixedMs.store(msSinceEpoch, std::memory_order_relaxed);
    g_fixed.store(true, std::memory_order_release);
}

void advance(qint64 ms)
{
    g_fixedMs.fetch_add(ms, std::memory_order_relaxed);
}

void useSystem()
{
    g_fixed.store(false, std::memory_order_release);
}

} // namespace Clock

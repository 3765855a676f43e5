#pragma once

#include <functional>

// The render threads of Qwt's raster items, done by the plots' own
// renderers: [0, n) in bands, all but the last given to the global thread
// pool and the last done on the calling thread. A band the pool has no
// thread for right now is done on the calling thread too, so a busy pool
// never stalls a replot. threadCount 0 means one per processor.
void inRenderBands(int n, int threadCount, const std::function<void(int, int)> &work);

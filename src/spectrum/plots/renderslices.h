#pragma once

#include <QtGlobal>

#include <functional>

class QPainter;
class QRect;

// The render threads of Qwt's raster items, done by the plots' own
// renderers: [0, n) in pieces that the calling thread and threads of the
// global pool take in turn, each piece once; `work` may be called several
// times per thread. Pieces are whole multiples of `grain` but for the last.
// A thread the pool has none for right now is the calling thread's work
// too, so a busy pool never stalls a replot. threadCount 0 means one per
// processor.
void inRenderSlices(int n, int threadCount, const std::function<void(int, int)> &work,
                    int grain = 1);

// The pixel lines of the image under a painter that an opaque picture
// covering `rect` (the painter's coordinates) may be written into directly,
// by any thread, as drawImage() of it at its own size would write it: the
// painter's raster engine paints straight into a 32-bit image (a window's
// backing store, an image), without scaling, opacity or a blending mode,
// and every pixel of `rect` lies inside the clip. The copy into the window
// then needs no pass of its own on the GUI thread.
class DirectLines
{
public:
    DirectLines() = default;
    DirectLines(QPainter *painter, const QRect &rect);

    bool isValid() const { return m_first != nullptr; }
    //! The first pixel of line j of `rect`.
    uchar *line(int j) const { return m_first + qsizetype(j) * m_stride; }

private:
    uchar *m_first = nullptr;
    qsizetype m_stride = 0;
};

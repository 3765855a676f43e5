#pragma once

#include "renderslices.h"

#include <qwt_plot_spectrogram.h>

#include <QImage>

#include <memory>

// A spectrogram that renders matrix rasters (QwtMatrixRasterData and
// TnwMatrixRasterData) in one separable pass over the pixel grid instead of
// one value() call per pixel, split over the processors. The pixels are the
// same as QwtPlotSpectrogram's; other rasters render as the base class does.
//
// More savings for the plots, both off unless asked for:
//  - a render cache: the picture is kept and drawn again as long as the
//    maps, the size and the revision stay the same. The owner calls
//    invalidateRender() whenever it changes the raster or the colour map.
//  - colours from a table instead of the map's arithmetic per pixel;
//  - an overlay multiplied in while rendering (the spectrum plot's highlight):
//    one opaque picture instead of two canvas-sized compositions. The result
//    is the overlay's Multiply composition over this item drawn on a black
//    canvas, which is what the plots' canvases are.
class RasterSpectrogram : public QwtPlotSpectrogram
{
public:
    explicit RasterSpectrogram(const QString &title = QString());
    ~RasterSpectrogram() override;

    void setRenderCacheEnabled(bool on);
    void invalidateRender() { ++m_revision; }

    //! Colours taken from a table of 4096 steps per map (exact where a step
    //! holds a stop or a steep ramp): within 2 levels of the map's own.
    void setColorTableEnabled(bool on);
    bool colorTableEnabled() const { return m_colorTable; }

    //! The item multiplied into this one's picture (nullptr: none). It must
    //! skip its own drawing while overlayFused() holds for it.
    void setOverlay(const QwtPlotSpectrogram *overlay);
    const QwtPlotSpectrogram *overlay() const { return m_overlay; }
    //! Whether the overlay is drawn as part of this item's picture now.
    bool overlayFused() const;

    //! Whether this item paints the canvas's background itself: black
    //! wherever its picture does not cover the canvas opaquely. For a canvas
    //! that paints none (Qt::WA_NoSystemBackground), which saves filling the
    //! whole canvas under an opaque picture; this item must be its lowest.
    void setFillsCanvas(bool on) { m_fillsCanvas = on; }

    //! Whether an opaque picture (see opaquePicture()) may be written
    //! straight into the window's backing store by the render threads, line
    //! by line as they finish (on by default). It then costs no copy on the
    //! GUI thread afterwards; any painter it cannot prove to be a plain
    //! 32-bit image under the picture, unclipped there, gets the picture
    //! drawn as usual.
    void setDirectDrawing(bool on) { m_directDrawing = on; }
    //! Whether the last picture rendered went straight into the device.
    bool lastPictureDirect() const { return m_drewDirect; }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

protected:
    QImage renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                       const QSize &imageSize) const override;

    //! Whether draw() on `canvasRect` renders an opaque picture, one that
    //! covers its rectangle: the canvas needs no background under it, and
    //! it may go straight into the painter's device. Here: the fused one.
    virtual bool opaquePicture(const QRectF &canvasRect) const;
    //! During draw(): where a picture of `area` at `size` goes straight
    //! into the painter's device, line by line as drawImage() would put it
    //! there (invalid: it must be drawn).
    DirectLines directLines(const QRectF &area, const QSize &size) const;
    //! Whether the picture renderImage() is about to return is in the
    //! device already; it is then not drawn again.
    void setPictureDirect(bool on) const { m_drewDirect = on; }

private:
    QImage render(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                  const QSize &imageSize) const;

    // Where the picture of the current draw() lands when it can be written
    // straight into the painter's device: its lines there, and the area and
    // size Qwt will ask renderImage() for.
    struct DirectTarget
    {
        DirectLines lines;
        QRectF area;
        QSize size;
    };
    DirectTarget directTarget(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                              const QRectF &canvasRect) const;

    struct CacheKey
    {
        double xs1 = 0, xs2 = 0, xp1 = 0, xp2 = 0, ys1 = 0, ys2 = 0, yp1 = 0, yp2 = 0;
        QRectF area;
        QSize size;
        quint64 revision = 0;
        bool fused = false;
        const void *map = nullptr, *data = nullptr, *overMap = nullptr;
        QwtInterval z, overZ; //!< the colour ranges
        bool colorTable = false;
        bool operator==(const CacheKey &o) const;
    };

    struct Tables;
    std::unique_ptr<Tables> m_tables; //!< the fused pass's colours, kept between renders
    mutable QImage m_image;           //!< reused by the next render; only the GUI thread renders
    const QwtPlotSpectrogram *m_overlay = nullptr;
    bool m_cacheEnabled = false;
    bool m_fillsCanvas = false;
    bool m_colorTable = false;
    bool m_directDrawing = true;
    mutable DirectTarget m_direct; //!< set during draw() only
    mutable bool m_drewDirect = false;
    quint64 m_revision = 1;
    mutable bool m_cacheValid = false;
    mutable CacheKey m_cacheKey;
};

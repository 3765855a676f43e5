#pragma once

#include "matrixgrid.h"
#include "rasterspectrogram.h"
#include "rfspectrumhistory.h"

#include <functional>
#include <memory>
#include <vector>

// The waterfall's raster item. A selection that slides on by a sample
// changes every pixel line (each line blends two matrix rows, and both are
// now other samples), but not the rows themselves: each row is kept under
// its absolute sample number, already interpolated across the picture's
// width, so a slide converts only the new rows,
// and a picture line is the blend of two kept rows and a table lookup per
// pixel, which the compiler runs several pixels at a time. The pixels are
// those of the bilinear matrix raster, in colours within a level or two of
// the map's.
//
// At most the rows the picture reads are kept, at 2 bytes per pixel column,
// and only while they take no more than MaxKeptValues; a larger picture of
// more rows renders whole as RasterSpectrogram does. They are dropped when
// the matrix has another shape, the x axis another scale or the picture
// another width, and on invalidateRows(); a new colour range or map keeps them. Other rasters,
// resample modes, maps and the exact colours render as RasterSpectrogram does.
//
// While the plot follows live sweeps, the item keeps the picture of the
// whole canvas as a ring of pixel lines instead. A drawing whose time axis
// moved on by whole pixel lines since the last one turns the ring by as many
// lines and renders only the lines at the top that the new sweeps reach,
// straight from the sweeps (the matrix is not needed for them); the lines
// already shown stay as they were drawn. Any other drawing (the first one,
// another size, scale, band or colour range) renders the faithful picture
// into the ring, after the plot has brought the matrix up to date.
class WaterfallSpectrogram : public RasterSpectrogram
{
public:
    WaterfallSpectrogram();
    ~WaterfallSpectrogram() override;

    //! Off: every picture is rendered whole (the previous renderer).
    void setRowCacheEnabled(bool on);
    bool rowCacheEnabled() const { return m_enabled; }

    //! The matrix moved down by k rows: its oldest k left, k new ones are on
    //! top, the others are unchanged.
    void rowsSlid(int k);
    //! The matrix changed in any other way.
    void invalidateRows();

    //! The canvas under the item is black and nothing is drawn below it:
    //! the picture is made opaque (black where the raster is transparent),
    //! which the painter copies instead of blending.
    void setOpaqueOnBlack(bool on);

    //! Matrix rows the last picture converted (it needed no others).
    int renderedRows() const { return m_rendered; }

    //! Following live: `samples` (oldest first, spread evenly over the
    //! raster's Y interval, `columns` levels each) is the selection now.
    void setLiveSelection(const RfSpectrumSampleList &samples, int columns);
    //! Every drawing renders the faithful picture of the matrix again.
    void leaveLive();
    bool isLive() const;
    //! Called before a live drawing needs the matrix (the plot keeps it
    //! stale while the picture only scrolls).
    void setMatrixPreparer(std::function<void()> prepare);
    //! Pixel lines the last live drawing rendered: the canvas height when it
    //! drew the faithful picture, a few when it scrolled, -1 when none was live.
    int liveLinesRendered() const;

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

    //! Pixel values kept at most (2 bytes each): 32 MB, a 4K-wide picture of
    //! over 4,000 rows.
    static constexpr qint64 MaxKeptValues = 16 * 1024 * 1024;

protected:
    QImage renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                       const QSize &imageSize) const override;
    //! The kept rows' picture when it is opaque (setOpaqueOnBlack()).
    bool opaquePicture(const QRectF &canvasRect) const override;

private:
    struct Key
    {
        double s1 = 0, s2 = 0, p1 = 0, p2 = 0; //!< the x map
        int width = 0, cols = 0, rows = 0;
        QwtInterval x, z;
        const void *map = nullptr;
        bool operator==(const Key &o) const;
    };

    //! The key of a picture `width` pixels wide that the kept rows render,
    //! or false when it renders as RasterSpectrogram does.
    bool keyFor(const QwtScaleMap &xMap, int width, Key &key) const;
    void reset(const Key &key, const QwtScaleMap &xMap) const;
    bool drawLive(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                  const QRectF &canvasRect) const;

    struct Live;
    std::unique_ptr<Live> m_live;

    bool m_enabled = true;
    bool m_opaque = false;
    quint64 m_revision = 1; //!< of the picture; bumped by every change of the rows
    mutable quint64 m_pictureRevision = 0;
    mutable QSize m_pictureSize;
    mutable double m_pictureY[4] = {};
    mutable QwtInterval m_pictureRows; //!< the raster's Y interval
    mutable QImage m_picture;

    mutable Key m_key;
    mutable bool m_keyValid = false;
    mutable int m_x0 = 0, m_x1 = 0;       //!< the pixel columns inside the raster
    mutable std::vector<int> m_tapColumn; //!< left cell of each, from -1 (a padding cell)
    mutable std::vector<float> m_tapWeight;
    mutable std::vector<QRgb> m_colors; //!< premultiplied, per 1/Steps of the range
    mutable qint64 m_base = 0;          //!< absolute sample number of matrix row 0
    //! Row of sample s at s % rows: the pixel columns [m_x0, m_x1) in
    //! 1/64 of the matrix's unit.
    mutable std::vector<qint16> m_rows;
    mutable std::vector<qint64> m_rowSample; //!< -1: not converted
    mutable int m_rendered = 0;
};

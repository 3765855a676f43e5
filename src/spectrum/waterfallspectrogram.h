#pragma once

#include "matrixgrid.h"
#include "rasterspectrogram.h"

#include <vector>

// The waterfall's raster item. A selection that slides on by a sample
// changes every pixel line (each line blends two matrix rows, and both are
// now other samples), but not the rows themselves: each row is kept in
// colour steps under its absolute sample number, so a slide converts only
// the new rows, and a picture line is the blend of two kept rows followed by
// the interpolation across the width and a table lookup per pixel. The
// pixels are those of the bilinear matrix raster, in colours within a level
// or two of the map's.
//
// At most the matrix's rows are kept (at its width, as floats). They are
// dropped when the colours change (map, range), when the matrix has another
// shape and on invalidateRows(). Other rasters, resample
// modes, maps and the exact colours render as RasterSpectrogram does.
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

protected:
    QImage renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                       const QSize &imageSize) const override;

private:
    struct Key
    {
        double s1 = 0, s2 = 0, p1 = 0, p2 = 0; //!< the x map
        int width = 0, cols = 0, rows = 0;
        QwtInterval x, z;
        const void *map = nullptr;
        bool operator==(const Key &o) const;
    };

    void reset(const Key &key, const QwtScaleMap &xMap) const;

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
    //! Row of sample s at s % rows: cols + 2 colour steps, the end cells
    //! repeated on both sides, which is how the edges interpolate.
    mutable std::vector<float> m_rows;
    mutable std::vector<qint64> m_rowSample; //!< -1: not converted
    mutable int m_rendered = 0;
};

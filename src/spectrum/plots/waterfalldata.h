#pragma once

#include <qwt_matrix_raster_data.h>

// The waterfall raster: one row per sweep, levels in dBm.
class WaterfallData : public QwtMatrixRasterData
{
public:
    WaterfallData();
    ~WaterfallData() override;
};

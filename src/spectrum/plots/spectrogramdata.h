#pragma once

#include <qwt_matrix_raster_data.h>

// The density raster of the spectrum plot: fractions of sweeps, 0..0.5 shown.
class SpectrogramData : public QwtMatrixRasterData
{
public:
    SpectrogramData();
    ~SpectrogramData() override;
};

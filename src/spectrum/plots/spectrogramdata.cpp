#include "spectrogramdata.h"

SpectrogramData::SpectrogramData()
{
    setValueMatrix(QVector<double>(1, 0.0), 1);
    setResampleMode(QwtMatrixRasterData::BilinearInterpolation);
    setInterval(Qt::ZAxis, QwtInterval(0.0, 0.5));
}

SpectrogramData::~SpectrogramData() = default;

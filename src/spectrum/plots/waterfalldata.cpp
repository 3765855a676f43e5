#include "waterfalldata.h"

WaterfallData::WaterfallData()
{
    setValueMatrix(QVector<double>(1, 0.0), 1);
    setResampleMode(QwtMatrixRasterData::BilinearInterpolation);
    setInterval(Qt::ZAxis, QwtInterval(-100.0, -30.0));
}

WaterfallData::~WaterfallData() = default;

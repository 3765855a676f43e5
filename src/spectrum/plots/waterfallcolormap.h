#pragma once

#include <qwt_color_map.h>

class WaterfallColorMap : public QwtLinearColorMap
{
public:
    WaterfallColorMap();
    ~WaterfallColorMap() override;
};

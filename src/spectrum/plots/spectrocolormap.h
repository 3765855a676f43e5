#pragma once

#include <qwt_color_map.h>

class SpectroColorMap : public QwtLinearColorMap
{
public:
    SpectroColorMap();
    ~SpectroColorMap() override;
};

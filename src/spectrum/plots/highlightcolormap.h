#pragma once

#include <qwt_color_map.h>

class HighlightColorMap : public QwtLinearColorMap
{
public:
    HighlightColorMap();
    ~HighlightColorMap() override;
};

#include "highlightcolormap.h"

// Drawn with multiply composition: white leaves the density picture as it is,
// dark grey halves it.
HighlightColorMap::HighlightColorMap()
    : QwtLinearColorMap(Qt::darkGray, Qt::white, QwtColorMap::RGB)
{
}

HighlightColorMap::~HighlightColorMap() = default;

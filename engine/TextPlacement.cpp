#include "engine/TextPlacement.h"

namespace
{
// Whole pixels of a measured extent, truncated towards zero. Extents that no
// frame can hold (2^31 and more) are reported as not fitting instead of being
// converted, which would be undefined.
bool WholePixels(float extent, int64_t& pixels)
{
    if (!(extent > 0.0f))
        return false;
    if (extent >= 2147483648.0f)
        return false;
    pixels = static_cast<int32_t>(extent);
    return true;
}
} // namespace

bool PlaceText(int64_t cx, int64_t cy, float cxBox, float cyBox, uint32_t dwPosition, TextPoint& origin)
{
    if (!(cxBox > 0.0f) || !(cyBox > 0.0f))
        return false;
    const uint32_t px = dwPosition & 0xFFFFu;
    const uint32_t py = dwPosition >> 16;
    if (px > 100 || py > 100)
        return false;

    int64_t boxWidth = 0;
    int64_t boxHeight = 0;
    if (!WholePixels(cxBox, boxWidth) || !WholePixels(cyBox, boxHeight))
        return false;
    const int64_t freeX = cx - boxWidth;
    const int64_t freeY = cy - boxHeight;
    if (freeX < 0 || freeY < 0)
        return false;

    origin.x = static_cast<float>(static_cast<double>(freeX * px) / 100.0);
    origin.y = static_cast<float>(static_cast<double>(freeY * py) / 100.0);
    return true;
}

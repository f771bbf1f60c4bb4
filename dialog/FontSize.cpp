#include "dialog/FontSize.h"

#include <cstring>

namespace
{
constexpr int64_t kPointsPerInch = 72;

int64_t Magnitude(int64_t value)
{
    return value < 0 ? -value : value;
}

// value * num / den rounded to the nearest, halves away from zero, kept within
// 32 bits.
int32_t Rescale(int32_t value, uint32_t num, uint32_t den)
{
    const int64_t magnitude = (Magnitude(value) * num + den / 2) / den;
    const int64_t scaled = value < 0 ? -magnitude : magnitude;
    if (scaled > INT32_MAX)
        return INT32_MAX;
    if (scaled < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

LOGFONTW Rescaled(const LOGFONTW& lf, uint32_t num, uint32_t den)
{
    LOGFONTW scaled;
    std::memcpy(&scaled, &lf, sizeof(scaled));
    if (num == 0 || den == 0)
        return scaled;
    scaled.lfHeight = Rescale(lf.lfHeight, num, den);
    scaled.lfWidth = Rescale(lf.lfWidth, num, den);
    return scaled;
}
} // namespace

LOGFONTW FontForChooser(const LOGFONTW& lf, uint32_t nDpi)
{
    return Rescaled(lf, nDpi, kFramePixelsPerInch);
}

LOGFONTW FontFromChooser(const LOGFONTW& lf, uint32_t nDpi)
{
    return Rescaled(lf, kFramePixelsPerInch, nDpi);
}

int64_t PointsFromFrameHeight(int32_t lfHeight)
{
    return (Magnitude(lfHeight) * kPointsPerInch + kFramePixelsPerInch / 2) / kFramePixelsPerInch;
}

#include "engine/FontDescription.h"

namespace
{
// |lfHeight|, computed in 64 bits so that INT32_MIN has a magnitude too.
float EmSizeFromHeight(int32_t lfHeight)
{
    const int64_t height = lfHeight;
    return static_cast<float>(height < 0 ? -height : height);
}

int32_t StyleBits(const LOGFONTW& lf)
{
    int32_t style = 0;
    // Only the named heavy weights count as bold; 600, 750 or 1000 do not.
    if (lf.lfWeight == 700 || lf.lfWeight == 800 || lf.lfWeight == 900)
        style |= kFontStyleBold;
    if (lf.lfItalic != 0)
        style |= kFontStyleItalic;
    if (lf.lfUnderline != 0)
        style |= kFontStyleUnderline;
    if (lf.lfStrikeOut != 0)
        style |= kFontStyleStrikeout;
    return style;
}
} // namespace

FontDescription DescribeFont(const LOGFONTW& lf)
{
    FontDescription description = {};
    CopyFaceName(lf, description.szFaceName);
    description.emSize = EmSizeFromHeight(lf.lfHeight);
    description.style = StyleBits(lf);
    return description;
}

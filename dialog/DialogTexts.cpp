#include "dialog/DialogTexts.h"

#include <cstdio>

#include "dialog/FontSize.h"
#include "engine/BoundedFormat.h"

namespace
{
struct NamedValue
{
    uint32_t value;
    const char* pszName;
};

// The colours of the font chooser's list, by the names it shows.
constexpr NamedValue kColourNames[] = {
    {0x000000, "black"},  {0x000080, "maroon"}, {0x008000, "green"}, {0x008080, "olive"},
    {0x800000, "navy"},   {0x800080, "purple"}, {0x808000, "teal"},  {0x808080, "gray"},
    {0xC0C0C0, "silver"}, {0x0000FF, "red"},    {0x00FF00, "lime"},  {0x00FFFF, "yellow"},
    {0xFF0000, "blue"},   {0xFF00FF, "fuchsia"}, {0xFFFF00, "aqua"}, {0xFFFFFF, "white"},
};

// 0 is the weight a logical font leaves to the font: regular.
constexpr NamedValue kWeightNames[] = {
    {0, "regular"},   {100, "thin"},     {200, "extra light"}, {300, "light"},      {400, "regular"},
    {500, "medium"},  {600, "semibold"}, {700, "bold"},        {800, "extra bold"}, {900, "black"},
};

template <size_t N>
const char* NameOf(const NamedValue (&names)[N], int64_t value)
{
    for (const NamedValue& named : names)
    {
        if (static_cast<int64_t>(named.value) == value)
            return named.pszName;
    }
    return nullptr;
}
} // namespace

bool FormatPositionText(Utf16Unit* pszDest, size_t cbDest, uint32_t dwPosition)
{
    return FormatBounded(pszDest, cbDest, "&Position: %u %% across, %u %% down", dwPosition & 0xFFFFu,
                         dwPosition >> 16);
}

bool FormatFontText(Utf16Unit* pszDest, size_t cbDest, const LOGFONTW& lf, uint32_t crColor)
{
    if (pszDest == nullptr || cbDest < 2)
        return false;
    const size_t cchDest = cbDest / 2;
    const size_t cchFace = FaceNameLength(lf);
    if (cchFace >= cchDest)
    {
        pszDest[0] = 0;
        return false;
    }
    for (size_t i = 0; i < cchFace; ++i)
        pszDest[i] = lf.lfFaceName[i];

    char szWeight[24];
    const char* pszWeight = NameOf(kWeightNames, lf.lfWeight);
    if (pszWeight == nullptr)
    {
        std::snprintf(szWeight, sizeof(szWeight), "weight %d", static_cast<int>(lf.lfWeight));
        pszWeight = szWeight;
    }
    const bool bItalic = lf.lfItalic != 0;
    const bool bRegular = lf.lfWeight == 0 || lf.lfWeight == 400;
    char szStyle[48];
    if (bItalic && bRegular)
        std::snprintf(szStyle, sizeof(szStyle), "italic");
    else
        std::snprintf(szStyle, sizeof(szStyle), "%s%s", pszWeight, bItalic ? " italic" : "");

    char szColour[16];
    const char* pszColour = NameOf(kColourNames, crColor);
    if (pszColour == nullptr)
    {
        std::snprintf(szColour, sizeof(szColour), "#%02X%02X%02X", crColor & 0xFFu, (crColor >> 8) & 0xFFu,
                      (crColor >> 16) & 0xFFu);
        pszColour = szColour;
    }
    return FormatBounded(pszDest + cchFace, cbDest - 2 * cchFace, ", %lld pt, %s%s%s, %s",
                         static_cast<long long>(PointsFromFrameHeight(lf.lfHeight)), szStyle,
                         lf.lfUnderline != 0 ? ", underline" : "", lf.lfStrikeOut != 0 ? ", strikeout" : "",
                         pszColour);
}

#pragma once
// What the platform font is built from: the face name, the em size in pixels
// and the style bits, read from the settings' logical font.

#include <cstdint>

#include "settings/LogFontW.h"

// Style bits as the platform numbers them.
constexpr int32_t kFontStyleBold = 1;
constexpr int32_t kFontStyleItalic = 2;
constexpr int32_t kFontStyleUnderline = 4;
constexpr int32_t kFontStyleStrikeout = 8;

struct FontDescription
{
    // Always terminated (CopyFaceName).
    Utf16Unit szFaceName[kFaceNameUnits + 1];
    float emSize;
    int32_t style;
};

FontDescription DescribeFont(const LOGFONTW& lf);

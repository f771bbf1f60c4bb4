#pragma once
// What the setup dialog says in words about the settings it holds, so that a
// screen reader can read what the preview and the font chooser show.

#include <cstddef>
#include <cstdint>

#include "settings/LogFontW.h"

// "&Position: 18 % across, 19 % down"; the ampersand makes Alt+P the
// shortcut to the sample label that follows the text.
bool FormatPositionText(Utf16Unit* pszDest, size_t cbDest, uint32_t dwPosition);

// "Arial, 48 pt, bold italic, underline, white": the face, the size in points
// (PointsFromFrameHeight), the weight and slant, the effects, and the colour
// (0x00BBGGRR) by the name the font chooser gives it, or as #RRGGBB.
// Both answer as FormatBounded does.
bool FormatFontText(Utf16Unit* pszDest, size_t cbDest, const LOGFONTW& lf, uint32_t crColor);

#pragma once
// The font size in the settings is a height in video pixels; the font chooser
// speaks points at the pixels per inch of the display it runs on. The frame
// counts as 96 pixels per inch, so 48 points are 64 pixels in the video at any
// display scaling, as they always were at 96.

#include <cstdint>

#include "settings/LogFontW.h"

constexpr uint32_t kFramePixelsPerInch = 96;

// lfHeight and lfWidth taken from frame pixels to pixels at nDpi (for the
// chooser) and back (from it), rounded to the nearest with halves away from
// zero, as MulDiv does. A DPI of 0 leaves the font alone. From 96 up a
// conversion there and back gives the height it started with, so confirming
// the chooser unchanged changes nothing.
LOGFONTW FontForChooser(const LOGFONTW& lf, uint32_t nDpi);
LOGFONTW FontFromChooser(const LOGFONTW& lf, uint32_t nDpi);

// The size in points of a height in frame pixels, rounded to the nearest:
// |lfHeight| * 72 / 96.
int64_t PointsFromFrameHeight(int32_t lfHeight);

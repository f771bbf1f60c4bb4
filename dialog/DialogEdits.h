#pragma once
// What the setup dialog's OK makes of the user's edits: the opacity scale of
// the trackbar and the comparison of the working values with the dialog's
// copy of the settings.

#include <cstdint>
#include <optional>

#include "dialog/PreviewGeometry.h"
#include "settings/SMPTEDrawSettings.h"

// The trackbar runs 0..100; opacity is 0..255. Both directions round half up
// in double precision: 50 -> 127 (50 * 2.55 lies just below 127.5), 1 -> 3,
// 128 -> 50, 255 -> 100.
constexpr int32_t kTrackPositionMax = 100;
int64_t OpacityFromTrackPosition(int64_t nPosition);
int32_t TrackPositionFromOpacity(uint8_t nOpacity);

// The state of the controls when OK is pressed.
struct DialogEdits
{
    LOGFONTW lfWork;
    uint32_t crWork;
    bool bHasTrackbar;
    int64_t nTrackPosition;
    // The position the trackbar was given when the dialog opened; only a
    // different one says the user moved it (several opacities share one
    // position, so mapping it back would change an untouched 128 into 127).
    int64_t nTrackPositionInitial;
    IntRect rcPreview;
    IntRect rcLabel;
    // Where the label was last put for a position (the loaded one, or one the
    // keys set) and that position; none when it was never placed.
    std::optional<IntRect> rcPlaced;
    uint32_t dwPlaced;
};

// Writes every edit that differs into settings and answers whether anything
// changed. A value a setter refuses is not stored and still counts as a change.
bool ApplyEdits(SMPTEDrawSettings& settings, const DialogEdits& edits);

#include "dialog/DialogEdits.h"

#include <cstring>

#include "dialog/ExactFloat.h"

FERROWIND_EXACT_FLOAT int64_t OpacityFromTrackPosition(int64_t nPosition)
{
    return static_cast<int64_t>(static_cast<double>(nPosition) * 2.55 + 0.5);
}

FERROWIND_EXACT_FLOAT int32_t TrackPositionFromOpacity(uint8_t nOpacity)
{
    return static_cast<int32_t>(static_cast<double>(nOpacity) / 2.55 + 0.5);
}

bool ApplyEdits(SMPTEDrawSettings& settings, const DialogEdits& edits)
{
    bool bChanged = false;

    if (edits.bHasTrackbar && edits.nTrackPosition != edits.nTrackPositionInitial)
    {
        const int64_t nOpacity = OpacityFromTrackPosition(edits.nTrackPosition);
        if (nOpacity != settings.GetOpacity())
        {
            const bool bInRange = nOpacity >= 0 && nOpacity <= 0xFFFFFFFF;
            (void)settings.SetOpacity(bInRange ? static_cast<uint32_t>(nOpacity) : 0xFFFFFFFFu);
            bChanged = true;
        }
    }

    if (std::memcmp(&edits.lfWork, &settings.lfFont, sizeof(LOGFONTW)) != 0)
    {
        (void)settings.SetFont(edits.lfWork);
        bChanged = true;
    }

    if (edits.crWork != settings.GetColorRef())
    {
        (void)settings.SetColorRef(edits.crWork);
        bChanged = true;
    }

    const std::optional<uint32_t> dwPosition =
        PositionShownByLabel(edits.rcPreview, edits.rcLabel, edits.rcPlaced, edits.dwPlaced);
    if (dwPosition && *dwPosition != settings.dwPosition)
    {
        (void)settings.SetPosition(*dwPosition);
        return true;
    }
    return bChanged;
}

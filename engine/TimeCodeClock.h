#pragma once
// The per-object clock: frame duration carried from frame to frame, and the
// time code of the middle of a frame as "hh:mm:ss.ff".

#include <cstdint>

#include "settings/LogFontW.h"

class CTimeCodeClock
{
public:
    static constexpr int64_t kDefaultFrameDuration = 666667; // 1/15 s, rounded
    static constexpr int64_t kUnitsPerSecond = 10000000;
    static constexpr size_t kTimeCodeUnits = 64;
    // The formatter is given 64 bytes: at most 31 characters and the terminator.
    static constexpr size_t kTimeCodeCapacityBytes = 64;

    bool UpdateFrameDuration(uint64_t rtStart, uint64_t rtEnd);
    int32_t FormatTimeCode(uint64_t rtStart);

    int64_t m_rtFrameDuration = kDefaultFrameDuration;
    int64_t m_rtHalfDuration = kDefaultFrameDuration / 2;
    Utf16Unit m_szTimeCode[kTimeCodeUnits] = {};
};

#include "engine/TimeCodeClock.h"

#include "engine/BoundedFormat.h"

// Hosts hand over any 64-bit value. The arithmetic below wraps around (it runs
// on unsigned values and converts back) instead of overflowing, so times of
// 2^63 and more give some text, never undefined behaviour.
namespace
{
int64_t WrappingAdd(int64_t a, int64_t b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
} // namespace

bool CTimeCodeClock::UpdateFrameDuration(uint64_t rtStart, uint64_t rtEnd)
{
    const int64_t start = static_cast<int64_t>(rtStart);
    const int64_t end = static_cast<int64_t>(rtEnd);
    // A difference beyond 63 bits (a sentinel or corrupt time) wraps to a
    // negative value, which would give later frames a negative index: only a
    // positive duration is usable.
    const int64_t duration = static_cast<int64_t>(rtEnd - rtStart);
    if (end > start && duration > 0)
        m_rtFrameDuration = duration;
    if (m_rtFrameDuration == 0)
        m_rtFrameDuration = kDefaultFrameDuration;
    m_rtHalfDuration = m_rtFrameDuration / 2;
    return true;
}

int32_t CTimeCodeClock::FormatTimeCode(uint64_t rtStart)
{
    const int64_t t = WrappingAdd(static_cast<int64_t>(rtStart), m_rtHalfDuration);
    const int64_t wholeSeconds = t / kUnitsPerSecond;
    const int64_t remainder = t % kUnitsPerSecond;

    const uint32_t seconds = static_cast<uint32_t>(wholeSeconds);
    const uint32_t hours = seconds / 3600;
    const uint32_t minutes = (seconds / 60) % 60;
    const uint32_t secs = seconds % 60;

    if (m_rtFrameDuration == 0)
        m_rtFrameDuration = kDefaultFrameDuration;
    // |remainder| < 10^7, so this never divides INT64_MIN by -1.
    const int32_t frameIndex = static_cast<int32_t>(remainder / m_rtFrameDuration);

    if (!FormatBounded(m_szTimeCode, kTimeCodeCapacityBytes, "%02d:%02d:%02d.%02d",
                       static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(secs), frameIndex))
        return 0;

    int32_t length = 0;
    while (length < static_cast<int32_t>(kTimeCodeUnits) && m_szTimeCode[length] != 0)
        ++length;
    return length;
}

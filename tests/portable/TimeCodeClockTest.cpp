#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/TimeCodeClock.h"

namespace
{
std::string Narrow(const Utf16Unit* p)
{
    std::string s;
    for (; *p != 0; ++p)
        s.push_back(static_cast<char>(*p));
    return s;
}

struct FrameCase
{
    uint64_t rtStart;
    uint64_t rtEnd;
    int64_t duration;
    int64_t half;
    const char* text;
};
} // namespace

TEST(TimeCodeClock, FreshClockState)
{
    CTimeCodeClock clock;
    EXPECT_EQ(clock.m_rtFrameDuration, 666667);
    EXPECT_EQ(clock.m_rtHalfDuration, 333333);
    EXPECT_EQ(clock.m_szTimeCode[0], 0);
}

TEST(TimeCodeClock, WorkedExamplesFromAFreshClock)
{
    const FrameCase kCases[] = {
        {0, 0, 666667, 333333, "00:00:00.00"},
        {10000000, 10333333, 333333, 166666, "00:00:01.00"},
        {9666657, 9999990, 333333, 166666, "00:00:00.29"},
        {9999990, 10333323, 333333, 166666, "00:00:01.00"},
        // The index is not clamped to the rate: 30 at 30 frames per second.
        {9833329, 10166662, 333333, 166666, "00:00:00.30"},
        {37230000000ull, 37230400000ull, 400000, 200000, "01:02:03.00"},
        {37239600000ull, 37240000000ull, 400000, 200000, "01:02:03.24"},
        {3600000000000ull, 3600000400000ull, 400000, 200000, "100:00:00.00"},
        {10000000, 9000000, 666667, 333333, "00:00:01.00"},
        // Above 100 frames per second the index has three digits.
        {1230000, 1240000, 10000, 5000, "00:00:00.123"},
        // The exact boundary at 30 frames per second: the middle of the frame
        // reaches the whole second, or falls one unit short of it.
        {9833334, 9833334 + 333333, 333333, 166666, "00:00:01.00"},
        {9833333, 9833333 + 333333, 333333, 166666, "00:00:00.30"},
        // A duration that does not divide a second: truncated, not rounded.
        {9999990 - 166666, 9999990 - 166666 + 333334, 333334, 166667, "00:00:00.29"},
    };
    for (const FrameCase& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.rtStart << " to " << c.rtEnd);
        CTimeCodeClock clock;
        EXPECT_TRUE(clock.UpdateFrameDuration(c.rtStart, c.rtEnd));
        EXPECT_EQ(clock.m_rtFrameDuration, c.duration);
        EXPECT_EQ(clock.m_rtHalfDuration, c.half);
        const int32_t length = clock.FormatTimeCode(c.rtStart);
        EXPECT_EQ(Narrow(clock.m_szTimeCode), c.text);
        EXPECT_EQ(length, static_cast<int32_t>(std::string(c.text).size()));
    }
}

TEST(TimeCodeClock, DurationCarriesOverFramesWithoutUsableEnd)
{
    CTimeCodeClock clock;
    clock.UpdateFrameDuration(0, 400000);
    EXPECT_EQ(clock.m_rtFrameDuration, 400000);
    clock.UpdateFrameDuration(500000, 500000);
    EXPECT_EQ(clock.m_rtFrameDuration, 400000);
    EXPECT_EQ(clock.m_rtHalfDuration, 200000);
    clock.UpdateFrameDuration(900000, 100000);
    EXPECT_EQ(clock.m_rtFrameDuration, 400000);
    clock.UpdateFrameDuration(0, 333333);
    EXPECT_EQ(clock.m_rtHalfDuration, 166666) << "odd duration halves by truncation";
    // A difference beyond 63 bits wraps to -1: no usable end either.
    clock.UpdateFrameDuration(uint64_t{1} << 63, (uint64_t{1} << 63) - 1);
    EXPECT_EQ(clock.m_rtFrameDuration, 333333);
    clock.UpdateFrameDuration(14000000, 14000000);
    clock.FormatTimeCode(14000000);
    EXPECT_EQ(Narrow(clock.m_szTimeCode), "00:00:01.12");
}

TEST(TimeCodeClock, FormatGuardsAZeroDuration)
{
    CTimeCodeClock clock;
    clock.m_rtFrameDuration = 0;
    clock.m_rtHalfDuration = 0;
    EXPECT_EQ(clock.FormatTimeCode(5000000), 11);
    EXPECT_EQ(clock.m_rtFrameDuration, 666667);
    EXPECT_EQ(Narrow(clock.m_szTimeCode), "00:00:00.07");
}

TEST(TimeCodeClock, FormatOverwritesTheWholeSample)
{
    CTimeCodeClock clock;
    const char sample[] = "02:34:56.89 and more text";
    for (size_t i = 0; i < sizeof(sample); ++i)
        clock.m_szTimeCode[i] = static_cast<Utf16Unit>(sample[i]);
    clock.UpdateFrameDuration(0, 0);
    EXPECT_EQ(clock.FormatTimeCode(0), 11);
    EXPECT_EQ(Narrow(clock.m_szTimeCode), "00:00:00.00");
}

// Hosts may pass any 64-bit value; the clock must stay defined (UBSan checks
// this in the native build) and always produce a terminated text.
TEST(TimeCodeClock, ExtremeTimesAreDefined)
{
    const uint64_t extremes[] = {0,
                                 1,
                                 (uint64_t{1} << 63) - 1,
                                 uint64_t{1} << 63,
                                 (uint64_t{1} << 63) + 1,
                                 std::numeric_limits<uint64_t>::max(),
                                 std::numeric_limits<uint64_t>::max() - 333333};
    for (uint64_t start : extremes)
    {
        for (uint64_t end : extremes)
        {
            CTimeCodeClock clock;
            EXPECT_TRUE(clock.UpdateFrameDuration(start, end));
            EXPECT_NE(clock.m_rtFrameDuration, 0);
            const int32_t length = clock.FormatTimeCode(start);
            EXPECT_GT(length, 0) << start << " " << end;
            EXPECT_LT(length, 32);
            EXPECT_EQ(clock.m_szTimeCode[length], 0);
            // end equal to and before start keep the default duration
            if (static_cast<int64_t>(end) <= static_cast<int64_t>(start))
            {
                EXPECT_EQ(clock.m_rtFrameDuration, 666667);
            }
        }
    }
}

TEST(TimeCodeClock, LargestSupportedTime)
{
    CTimeCodeClock clock;
    clock.UpdateFrameDuration(0, 1);
    // (2^63 - 1) / 10^7 = 922,337,203,685 s, of which only the low 32 bits
    // (3,214,202,341 s) count; the remainder 4,775,807 over a duration of 1.
    const int32_t length = clock.FormatTimeCode(static_cast<uint64_t>(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(Narrow(clock.m_szTimeCode), "892833:59:01.4775807");
    EXPECT_EQ(length, 20);
}

#include <gtest/gtest.h>

#include <cstring>

#include "engine/BoundedFormat.h"

namespace
{
std::u16string Text(const Utf16Unit* p)
{
    std::u16string s;
    while (*p != 0)
        s.push_back(static_cast<char16_t>(*p++));
    return s;
}

// A buffer with guard units behind the capacity under test.
struct Guarded
{
    Utf16Unit units[40];
    Guarded() { std::fill(std::begin(units), std::end(units), static_cast<Utf16Unit>(0xCDCD)); }
    bool GuardIntactFrom(size_t first) const
    {
        for (size_t i = first; i < std::size(units); ++i)
            if (units[i] != static_cast<Utf16Unit>(0xCDCD))
                return false;
        return true;
    }
};
} // namespace

TEST(BoundedFormat, RefusesCapacityBelowTwoBytes)
{
    Guarded g;
    EXPECT_FALSE(FormatBounded(g.units, 0, "x"));
    EXPECT_FALSE(FormatBounded(g.units, 1, "x"));
    EXPECT_TRUE(g.GuardIntactFrom(0));
}

TEST(BoundedFormat, TwoBytesHoldOnlyTheTerminator)
{
    Guarded g;
    EXPECT_TRUE(FormatBounded(g.units, 2, "%s", ""));
    EXPECT_EQ(g.units[0], 0);
    EXPECT_FALSE(FormatBounded(g.units, 2, "%d", 7));
    EXPECT_EQ(g.units[0], 0);
    EXPECT_TRUE(g.GuardIntactFrom(1));
}

TEST(BoundedFormat, ExactFitSucceedsOneShortFailsTruncated)
{
    Guarded g;
    EXPECT_TRUE(FormatBounded(g.units, 2 * 6, "%05d", 42));
    EXPECT_EQ(Text(g.units), u"00042");
    EXPECT_TRUE(g.GuardIntactFrom(6));

    Guarded h;
    EXPECT_FALSE(FormatBounded(h.units, 2 * 5, "%05d", 42));
    EXPECT_EQ(Text(h.units), u"0004");
    EXPECT_TRUE(h.GuardIntactFrom(5));
}

TEST(BoundedFormat, OddCapacityUsesWholeUnitsOnly)
{
    Guarded g;
    EXPECT_FALSE(FormatBounded(g.units, 7, "%d", 1234));
    EXPECT_EQ(Text(g.units), u"12");
    EXPECT_TRUE(g.GuardIntactFrom(3));
}

TEST(BoundedFormat, TimeCodePattern)
{
    Guarded g;
    EXPECT_TRUE(FormatBounded(g.units, 64, "%02d:%02d:%02d.%02d", 1, 2, 3, 24));
    EXPECT_EQ(Text(g.units), u"01:02:03.24");
    EXPECT_TRUE(FormatBounded(g.units, 64, "%02d:%02d:%02d.%02d", 1193046, 59, 59, 9999999));
    EXPECT_EQ(Text(g.units), u"1193046:59:59.9999999");
    EXPECT_TRUE(FormatBounded(g.units, 64, "%d", 100));
    EXPECT_EQ(Text(g.units), u"100");
    EXPECT_TRUE(g.GuardIntactFrom(32));
}

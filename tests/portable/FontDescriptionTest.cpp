#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/FontDescription.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
LOGFONTW DefaultFont()
{
    return SMPTEDrawSettings().lfFont;
}

std::u16string Face(const Utf16Unit* p)
{
    std::u16string s;
    while (*p != 0)
        s.push_back(static_cast<char16_t>(*p++));
    return s;
}

struct HeightCase
{
    int32_t lfHeight;
    float emSize;
};

class FontEmSize : public testing::TestWithParam<HeightCase>
{
};

struct StyleCase
{
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    int32_t style;
};

class FontStyle : public testing::TestWithParam<StyleCase>
{
};
} // namespace

TEST_P(FontEmSize, IsTheMagnitudeOfTheHeight)
{
    LOGFONTW lf = DefaultFont();
    lf.lfHeight = GetParam().lfHeight;
    EXPECT_EQ(DescribeFont(lf).emSize, GetParam().emSize);
}

INSTANTIATE_TEST_SUITE_P(Table, FontEmSize,
                         testing::Values(HeightCase{64, 64.0f}, HeightCase{24, 24.0f}, HeightCase{-24, 24.0f},
                                         HeightCase{0, 0.0f}, HeightCase{INT32_MAX, 2147483647.0f},
                                         HeightCase{INT32_MIN, 2147483648.0f},
                                         HeightCase{INT32_MIN + 1, 2147483647.0f}));

TEST_P(FontStyle, BitsFromWeightAndFlags)
{
    const StyleCase& c = GetParam();
    LOGFONTW lf = DefaultFont();
    lf.lfWeight = c.lfWeight;
    lf.lfItalic = c.lfItalic;
    lf.lfUnderline = c.lfUnderline;
    lf.lfStrikeOut = c.lfStrikeOut;
    EXPECT_EQ(DescribeFont(lf).style, c.style);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FontStyle,
    testing::Values(StyleCase{0, 0, 0, 0, 0}, StyleCase{400, 0, 0, 0, 0}, StyleCase{600, 0, 0, 0, 0},
                    StyleCase{700, 0, 0, 0, 1}, StyleCase{750, 0, 0, 0, 0}, StyleCase{800, 0, 0, 0, 1},
                    StyleCase{900, 0, 0, 0, 1}, StyleCase{1000, 0, 0, 0, 0}, StyleCase{-700, 0, 0, 0, 0},
                    StyleCase{0, 1, 0, 0, 2}, StyleCase{0, 0xFF, 0, 0, 2}, StyleCase{0, 0, 1, 0, 4},
                    StyleCase{0, 0, 0, 1, 8}, StyleCase{700, 1, 1, 1, 15}));

TEST(FontDescription, FaceNameStopsAtItsTerminator)
{
    LOGFONTW lf = DefaultFont();
    // bytes after the terminator are not part of the name
    lf.lfFaceName[6] = u'X';
    EXPECT_EQ(Face(DescribeFont(lf).szFaceName), u"Arial");
}

TEST(FontDescription, UnterminatedFaceNameIsTakenAsItsThirtyTwoUnits)
{
    // The record sits between guard bytes, so that a read past the field is
    // caught by the address sanitizer as well as by the comparison below.
    struct
    {
        LOGFONTW lf;
        Utf16Unit guard[8];
    } padded;
    std::memset(&padded, 0, sizeof(padded));
    padded.lf = DefaultFont();
    std::u16string expected;
    for (size_t i = 0; i < kFaceNameUnits; ++i)
    {
        padded.lf.lfFaceName[i] = static_cast<Utf16Unit>(u'A' + i % 26);
        expected.push_back(static_cast<char16_t>(u'A' + i % 26));
    }
    for (Utf16Unit& unit : padded.guard)
        unit = static_cast<Utf16Unit>(u'Z');
    const FontDescription description = DescribeFont(padded.lf);
    EXPECT_EQ(Face(description.szFaceName), expected);
    EXPECT_EQ(description.szFaceName[kFaceNameUnits], 0);
}

TEST(FontDescription, EmptyFaceName)
{
    LOGFONTW lf = DefaultFont();
    std::memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    EXPECT_EQ(DescribeFont(lf).szFaceName[0], 0);
}

TEST(FontDescription, IgnoredFieldsChangeNothing)
{
    const FontDescription base = DescribeFont(DefaultFont());
    LOGFONTW lf = DefaultFont();
    lf.lfWidth = 99;
    lf.lfEscapement = 900;
    lf.lfOrientation = 900;
    lf.lfCharSet = 2;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 4;
    lf.lfQuality = 5;
    lf.lfPitchAndFamily = 6;
    const FontDescription other = DescribeFont(lf);
    EXPECT_EQ(Face(other.szFaceName), Face(base.szFaceName));
    EXPECT_EQ(other.emSize, base.emSize);
    EXPECT_EQ(other.style, base.style);
}

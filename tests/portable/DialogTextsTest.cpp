#include <gtest/gtest.h>

#include <string>

#include "dialog/DialogTexts.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
std::u16string Text(const Utf16Unit* p)
{
    std::u16string s;
    while (*p != 0)
        s.push_back(static_cast<char16_t>(*p++));
    return s;
}
} // namespace

TEST(DialogTexts, PositionNamesBothPercentagesAndTheShortcut)
{
    Utf16Unit sz[64];
    ASSERT_TRUE(FormatPositionText(sz, sizeof(sz), 0x00130012u));
    EXPECT_EQ(Text(sz), u"&Position: 18 % across, 19 % down");
    ASSERT_TRUE(FormatPositionText(sz, sizeof(sz), 0x00640000u));
    EXPECT_EQ(Text(sz), u"&Position: 0 % across, 100 % down");
}

TEST(DialogTexts, FontNamesFaceSizeStyleEffectsAndColour)
{
    const struct
    {
        int32_t lfHeight;
        int32_t lfWeight;
        uint8_t italic, underline, strikeout;
        uint32_t crColor;
        const char16_t* pszText;
    } kCases[] = {
        {64, 0, 0, 0, 0, 0xFFFFFF, u"Arial, 48 pt, regular, white"},
        {-64, 700, 0, 0, 0, 0x0000FF, u"Arial, 48 pt, bold, red"},
        {-16, 400, 1, 0, 0, 0x808080, u"Arial, 12 pt, italic, gray"},
        {-13, 900, 1, 1, 1, 0x336699, u"Arial, 10 pt, black italic, underline, strikeout, #996633"},
        {-20, 550, 0, 0, 1, 0x000000, u"Arial, 15 pt, weight 550, strikeout, black"},
    };
    for (const auto& c : kCases)
    {
        LOGFONTW lf = SMPTEDrawSettings().lfFont;
        lf.lfHeight = c.lfHeight;
        lf.lfWeight = c.lfWeight;
        lf.lfItalic = c.italic;
        lf.lfUnderline = c.underline;
        lf.lfStrikeOut = c.strikeout;
        Utf16Unit sz[96];
        EXPECT_TRUE(FormatFontText(sz, sizeof(sz), lf, c.crColor));
        EXPECT_EQ(Text(sz), c.pszText);
    }
}

TEST(DialogTexts, FontTextThatDoesNotFitIsRefusedTerminated)
{
    LOGFONTW lf = SMPTEDrawSettings().lfFont;
    for (size_t i = 0; i < kFaceNameUnits; ++i)
        lf.lfFaceName[i] = u'W';
    Utf16Unit sz[40];
    EXPECT_FALSE(FormatFontText(sz, sizeof(sz), lf, 0));
    EXPECT_EQ(Text(sz).size(), 39u);
    EXPECT_FALSE(FormatFontText(sz, 2 * 20, lf, 0));
    EXPECT_EQ(sz[0], 0);
}

#include <gtest/gtest.h>

#include <string>

#include "dialog/DialogTexts.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
std::u16string Text(const Utf16Unit* p)
{
    return std::u16string(p, p + std::char_traits<Utf16Unit>::length(p));
}
} // namespace

TEST(DialogTexts, PositionAndFontInWords)
{
    Utf16Unit sz[96];
    ASSERT_TRUE(FormatPositionText(sz, sizeof(sz), 0x00130012u));
    EXPECT_EQ(Text(sz), u"&Position: 18 % across, 19 % down");

    // Height, weight, italic + underline + strikeout, colour.
    const struct
    {
        int32_t lfHeight, lfWeight;
        uint8_t effects;
        uint32_t crColor;
        const char16_t* pszText;
    } kFonts[] = {{64, 0, 0, 0xFFFFFF, u"Arial, 48 pt, regular, white"},
                  {-16, 400, 1, 0x808080, u"Arial, 12 pt, italic, underline, strikeout, gray"},
                  {-13, 900, 1, 0x336699, u"Arial, 10 pt, black italic, underline, strikeout, #996633"},
                  {-20, 550, 0, 0x0000FF, u"Arial, 15 pt, weight 550, red"}};
    for (const auto& c : kFonts)
    {
        LOGFONTW lf = SMPTEDrawSettings().lfFont;
        lf.lfHeight = c.lfHeight;
        lf.lfWeight = c.lfWeight;
        lf.lfItalic = lf.lfUnderline = lf.lfStrikeOut = c.effects;
        EXPECT_TRUE(FormatFontText(sz, sizeof(sz), lf, c.crColor));
        EXPECT_EQ(Text(sz), c.pszText);
    }
    EXPECT_FALSE(FormatFontText(sz, 2 * 8, SMPTEDrawSettings().lfFont, 0));
    EXPECT_EQ(Text(sz), u"Arial, ") << "cut short, terminated";
}

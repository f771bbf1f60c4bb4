#include <gtest/gtest.h>

#include "dialog/FontSize.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
LOGFONTW FontOf(int32_t lfHeight, int32_t lfWidth)
{
    LOGFONTW lf = SMPTEDrawSettings().lfFont;
    lf.lfHeight = lfHeight;
    lf.lfWidth = lfWidth;
    return lf;
}
} // namespace

TEST(FontSize, FramePixelsBecomeTheChoosersPixelsAtItsDpiAndBack)
{
    const struct
    {
        uint32_t nDpi;
        int32_t lfStored;
        int32_t lfChooser;
    } kCases[] = {{96, -64, -64},   {144, -64, -96},  {192, -64, -128}, {120, -13, -16}, {144, -13, -20},
                  {144, 13, 20},    {192, 64, 128},   {0, -64, -64}};
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.nDpi << " DPI, " << c.lfStored);
        const LOGFONTW chooser = FontForChooser(FontOf(c.lfStored, 10), c.nDpi);
        EXPECT_EQ(chooser.lfHeight, c.lfChooser);
        EXPECT_EQ(FontFromChooser(chooser, c.nDpi).lfHeight, c.lfStored);
        EXPECT_EQ(FontFromChooser(chooser, c.nDpi).lfWidth, 10);
    }
    EXPECT_EQ(FontForChooser(FontOf(INT32_MIN, 0), 144).lfHeight, INT32_MIN) << "kept within 32 bits";
}

TEST(FontSize, ConfirmingTheChooserUnchangedKeepsEveryHeightFrom96Dpi)
{
    for (uint32_t nDpi : {96u, 120u, 144u, 168u, 192u, 288u})
    {
        for (int32_t lfHeight = -300; lfHeight <= 300; ++lfHeight)
            ASSERT_EQ(FontFromChooser(FontForChooser(FontOf(lfHeight, 0), nDpi), nDpi).lfHeight, lfHeight) << nDpi;
    }
}

TEST(FontSize, PointsAreThreeQuartersOfTheFramePixels)
{
    EXPECT_EQ(PointsFromFrameHeight(-64), 48);
    EXPECT_EQ(PointsFromFrameHeight(64), 48);
    EXPECT_EQ(PointsFromFrameHeight(-13), 10) << "9.75";
    EXPECT_EQ(PointsFromFrameHeight(-16), 12);
    EXPECT_EQ(PointsFromFrameHeight(INT32_MIN), 1610612736);
}

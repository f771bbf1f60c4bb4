#include <gtest/gtest.h>

#include "dialog/FontSize.h"
#include "settings/SMPTEDrawSettings.h"

// The chooser's pixels at three scalings are checked on the real chooser;
// here the rounding, widths and every height there and back.
TEST(FontSize, FramePixelsGoToTheChoosersDpiAndComeBackUnchanged)
{
    LOGFONTW lf = SMPTEDrawSettings().lfFont;
    lf.lfHeight = -13;
    EXPECT_EQ(FontForChooser(lf, 144).lfHeight, -20) << "19.5 rounds away from zero";
    EXPECT_EQ(FontForChooser(lf, 144).lfWidth, 15);
    EXPECT_EQ(FontForChooser(lf, 0).lfHeight, -13) << "no DPI: as it is";
    lf.lfHeight = INT32_MIN;
    EXPECT_EQ(FontForChooser(lf, 192).lfHeight, INT32_MIN) << "kept within 32 bits";
    for (uint32_t nDpi : {96u, 120u, 144u, 168u, 192u, 288u})
    {
        for (lf.lfHeight = -300; lf.lfHeight <= 300; ++lf.lfHeight)
            ASSERT_EQ(FontFromChooser(FontForChooser(lf, nDpi), nDpi).lfHeight, lf.lfHeight) << nDpi;
    }
}

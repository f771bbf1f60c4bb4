#include <gtest/gtest.h>

#include <cstring>

#include "dialog/DialogEdits.h"

namespace
{
// Free space 258 x 100 with a 40 x 15 label.
constexpr IntRect kPreview = {10, 20, 308, 135};

IntRect LabelAt(int32_t xoff, int32_t yoff)
{
    return IntRect{kPreview.left + xoff, kPreview.top + yoff, kPreview.left + xoff + 40, kPreview.top + yoff + 15};
}

// The controls exactly as the dialog initialised them from settings.
DialogEdits Untouched(const SMPTEDrawSettings& settings)
{
    DialogEdits edits{};
    std::memcpy(&edits.lfWork, &settings.lfFont, sizeof(edits.lfWork));
    edits.crWork = settings.GetColorRef();
    edits.bHasTrackbar = true;
    edits.nTrackPosition = TrackPositionFromOpacity(settings.GetOpacity());
    edits.nTrackPositionInitial = edits.nTrackPosition;
    edits.rcPreview = kPreview;
    edits.rcPlaced = PlaceSampleLabel(kPreview, LabelAt(0, 0), settings.dwPosition);
    edits.rcLabel = edits.rcPlaced.value_or(LabelAt(0, 0));
    return edits;
}

bool SameBytes(const SMPTEDrawSettings& a, const SMPTEDrawSettings& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}
} // namespace

TEST(OpacityScale, PositionsToOpacities)
{
    EXPECT_EQ(OpacityFromTrackPosition(0), 0);
    EXPECT_EQ(OpacityFromTrackPosition(1), 3);
    EXPECT_EQ(OpacityFromTrackPosition(10), 26);
    EXPECT_EQ(OpacityFromTrackPosition(50), 127) << "50 * 2.55 lies just below 127.5";
    EXPECT_EQ(OpacityFromTrackPosition(100), 255);
}

TEST(OpacityScale, OpacitiesToPositions)
{
    EXPECT_EQ(TrackPositionFromOpacity(255), 100);
    EXPECT_EQ(TrackPositionFromOpacity(128), 50);
    EXPECT_EQ(TrackPositionFromOpacity(127), 50);
    EXPECT_EQ(TrackPositionFromOpacity(0), 0);
}

TEST(OpacityScale, EveryPositionComesBackAndOnly101OpacitiesDo)
{
    for (int32_t p = 0; p <= kTrackPositionMax; ++p)
    {
        const int64_t a = OpacityFromTrackPosition(p);
        ASSERT_GE(a, 0);
        ASSERT_LE(a, 255);
        EXPECT_EQ(TrackPositionFromOpacity(static_cast<uint8_t>(a)), p);
    }
    int fixed = 0;
    for (int a = 0; a <= 255; ++a)
        fixed += OpacityFromTrackPosition(TrackPositionFromOpacity(static_cast<uint8_t>(a))) == a;
    EXPECT_EQ(fixed, 101);
}

TEST(DialogEdits, UntouchedControlsChangeNothing)
{
    SMPTEDrawSettings defaults;
    SMPTEDrawSettings half;
    ASSERT_TRUE(half.SetOpacity(128));
    SMPTEDrawSettings corner;
    ASSERT_TRUE(corner.SetPosition(0x00640064u));
    for (const SMPTEDrawSettings& loaded : {defaults, half, corner})
    {
        SMPTEDrawSettings s = loaded;
        EXPECT_FALSE(ApplyEdits(s, Untouched(loaded)));
        EXPECT_TRUE(SameBytes(s, loaded));
    }
}

TEST(DialogEdits, MovedTrackbarStoresTheMappedOpacity)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.nTrackPosition = 50;
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.argbColor, 0x7FFFFFFFu);
    EXPECT_EQ(s.dwPosition, 0x00030003u);
}

TEST(DialogEdits, TrackbarMovedToAPositionOfTheSameOpacityIsNoChange)
{
    SMPTEDrawSettings s;
    ASSERT_TRUE(s.SetOpacity(127));
    DialogEdits edits = Untouched(s);
    edits.nTrackPositionInitial = 49;
    edits.nTrackPosition = 50;
    EXPECT_FALSE(ApplyEdits(s, edits));
    EXPECT_EQ(s.GetOpacity(), 127);
}

TEST(DialogEdits, MissingTrackbarLeavesTheOpacity)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.bHasTrackbar = false;
    edits.nTrackPosition = 0;
    EXPECT_FALSE(ApplyEdits(s, edits));
    EXPECT_EQ(s.GetOpacity(), 255);
}

TEST(DialogEdits, RefusedOpacityIsNotStoredButCountsAsAChange)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.nTrackPosition = 101;
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.GetOpacity(), 255);
    edits.nTrackPosition = -1;
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.GetOpacity(), 255);
}

TEST(DialogEdits, FontDifferingAnywhereIsStoredWhole)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.lfWork.lfFaceName[30] = u'x'; // behind the terminator
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.lfFont.lfFaceName[30], u'x');
    EXPECT_EQ(std::memcmp(&s.lfFont, &edits.lfWork, sizeof(LOGFONTW)), 0);

    edits = Untouched(s);
    edits.lfWork.lfHeight = -16;
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.lfFont.lfHeight, -16);
}

TEST(DialogEdits, ColourKeepsTheOpacity)
{
    SMPTEDrawSettings s;
    ASSERT_TRUE(s.SetOpacity(0x40));
    DialogEdits edits = Untouched(s);
    edits.crWork = 0x000000FFu;
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.argbColor, 0x40FF0000u);

    edits = Untouched(s);
    edits.crWork = 0x01000000u;
    EXPECT_TRUE(ApplyEdits(s, edits)) << "a refused colour still counts";
    EXPECT_EQ(s.argbColor, 0x40FF0000u);
}

TEST(DialogEdits, MovedLabelIsReadBack)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    ASSERT_EQ(edits.rcLabel, LabelAt(7, 2));
    edits.rcLabel = LabelAt(258, 100);
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.dwPosition, 0x00640064u);

    edits = Untouched(s);
    edits.rcLabel = LabelAt(0, 0);
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.dwPosition, 0u);
}

TEST(DialogEdits, LabelMovedToTheSamePercentageIsNoChange)
{
    SMPTEDrawSettings s;
    ASSERT_TRUE(s.SetPosition(0x00320032u));
    DialogEdits edits = Untouched(s);
    ASSERT_EQ(edits.rcLabel, LabelAt(129, 50));
    edits.rcLabel = LabelAt(130, 50); // 50.38 % cuts to 50
    EXPECT_FALSE(ApplyEdits(s, edits));
    EXPECT_EQ(s.dwPosition, 0x00320032u);
}

TEST(DialogEdits, LabelNeverPlacedLeavesThePosition)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.rcPlaced.reset();
    edits.rcLabel = LabelAt(258, 100);
    EXPECT_FALSE(ApplyEdits(s, edits));
    EXPECT_EQ(s.dwPosition, 0x00030003u);
}

TEST(DialogEdits, PositionOutsideTheRangeIsRefusedButCounts)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.rcLabel = LabelAt(300, 3); // beyond the free space: 116 %
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.dwPosition, 0x00030003u);
}

TEST(DialogEdits, EveryEditAtOnce)
{
    SMPTEDrawSettings s;
    DialogEdits edits = Untouched(s);
    edits.nTrackPosition = 10;
    edits.lfWork.lfWeight = 700;
    edits.crWork = 0x00112233u;
    edits.rcLabel = LabelAt(129, 100);
    EXPECT_TRUE(ApplyEdits(s, edits));
    EXPECT_EQ(s.argbColor, 0x1A332211u);
    EXPECT_EQ(s.lfFont.lfWeight, 700);
    EXPECT_EQ(s.dwPosition, 0x00640032u);
}

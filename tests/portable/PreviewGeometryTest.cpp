#include <gtest/gtest.h>

#include "dialog/PreviewGeometry.h"

namespace
{
constexpr uint32_t kShift = 0x0004;
constexpr uint32_t kControl = 0x0008;
constexpr uint32_t kRightButton = 0x0002;

// A 40 x 15 label in a preview whose free space is 258 x 100.
constexpr IntRect kLabel = {13, 24, 53, 39};
constexpr IntRect kPreview = {10, 20, 10 + 258 + 40, 20 + 100 + 15};

IntRect LabelAt(int32_t xoff, int32_t yoff)
{
    return IntRect{kPreview.left + xoff, kPreview.top + yoff, kPreview.left + xoff + 40, kPreview.top + yoff + 15};
}
} // namespace

TEST(PreviewGeometry, AreaIsTheFrameFiveInOnTheLeftFourElsewhere)
{
    EXPECT_EQ(PreviewAreaOfFrame(IntRect{18, 88, 342, 313}), (IntRect{23, 92, 338, 309}));
    EXPECT_EQ(PreviewAreaOfFrame(IntRect{0, 0, 0, 0}), (IntRect{5, 4, -4, -4}));
}

TEST(PreviewGeometry, MessagePointHalvesAreUnsigned)
{
    EXPECT_EQ(PointFromMouseMessage(0x00140005u), (IntPoint{5, 20}));
    EXPECT_EQ(PointFromMouseMessage(0xFFFF0005u), (IntPoint{5, 65535})) << "above the dialog";
    EXPECT_EQ(PointFromMouseMessage(0x0001FFFFu), (IntPoint{65535, 1})) << "left of the dialog";
}

TEST(PreviewGeometry, RectanglesAreHalfOpenAndCentresCutTowardZero)
{
    const IntRect rc = {10, 20, 30, 40};
    EXPECT_TRUE(rc.Contains(IntPoint{10, 20}));
    EXPECT_TRUE(rc.Contains(IntPoint{29, 39}));
    EXPECT_FALSE(rc.Contains(IntPoint{30, 39}));
    EXPECT_FALSE(rc.Contains(IntPoint{29, 40}));
    EXPECT_FALSE(rc.Contains(IntPoint{9, 20}));
    EXPECT_EQ((IntRect{1, 1, 4, 4}).Centre(), (IntPoint{2, 2}));
    EXPECT_EQ((IntRect{-3, -5, 0, 0}).Centre(), (IntPoint{-1, -2}));
}

TEST(PreviewGeometry, UnusablePreviewPlacesNothingAndReadsNothing)
{
    const IntRect label = {0, 0, 40, 15};
    const IntRect sameWidth = {0, 0, 40, 100};
    const IntRect sameHeight = {0, 0, 100, 15};
    const IntRect narrower = {0, 0, 39, 100};
    for (const IntRect& preview : {sameWidth, sameHeight, narrower})
    {
        EXPECT_FALSE(IsPreviewUsable(preview, label));
        EXPECT_FALSE(PlaceSampleLabel(preview, label, 0x00320032u).has_value());
        EXPECT_FALSE(PositionFromLabel(preview, label).has_value());
    }
    EXPECT_TRUE(IsPreviewUsable(IntRect{0, 0, 41, 16}, label));
}

// Free space 258 x 100; single(h / 100) * free, cut toward zero.
TEST(PreviewGeometry, PlaceIsTheScaledOffsetKeepingTheLabelSize)
{
    const struct
    {
        uint32_t dwPosition;
        int32_t xoff;
        int32_t yoff;
    } kCases[] = {{0x00000000u, 0, 0},      {0x00030003u, 7, 2},     {0x000A000Au, 25, 10}, {0x001D0032u, 129, 28},
                  {0x00640064u, 258, 100}, {0x00000064u, 258, 0}, {0x00640000u, 0, 100}};
    for (const auto& c : kCases)
        EXPECT_EQ(PlaceSampleLabel(kPreview, kLabel, c.dwPosition), std::optional<IntRect>(LabelAt(c.xoff, c.yoff)))
            << std::hex << c.dwPosition;
}

TEST(PreviewGeometry, ReadIsTheTruncatedPercentageOfTheFreeSpace)
{
    const struct
    {
        int32_t xoff;
        int32_t yoff;
        uint32_t dwPosition;
    } kCases[] = {{7, 3, 0x00020002u},     {25, 10, 0x000A0009u},  {0, 29, 0x001C0000u}, {129, 50, 0x00320032u},
                  {258, 100, 0x00640064u}, {0, 0, 0u},
                  // Left of or above the preview: each half keeps its low 16 bits.
                  {-3, 0, 0x0000FFFFu}, {-1, -3, 0xFFFE0000u}};
    for (const auto& c : kCases)
        EXPECT_EQ(PositionFromLabel(kPreview, LabelAt(c.xoff, c.yoff)), std::optional<uint32_t>(c.dwPosition))
            << c.xoff << "," << c.yoff;
}

TEST(PreviewGeometry, RoundTripComesBackLowerExceptAtZeroFiftyAndHundred)
{
    for (uint32_t h = 0; h <= 100; ++h)
    {
        const std::optional<IntRect> rc = PlaceSampleLabel(kPreview, kLabel, h);
        ASSERT_TRUE(rc.has_value());
        const std::optional<uint32_t> back = PositionFromLabel(kPreview, *rc);
        ASSERT_TRUE(back.has_value());
        const bool unchanged = h == 0 || h == 50 || h == 100;
        if (unchanged)
            EXPECT_EQ(*back, h);
        else
            EXPECT_LT(*back, h) << h;
    }
}

TEST(PreviewGeometry, PressStartsADragOnlyWithTheLeftButtonAloneOnTheLabel)
{
    const IntRect label = {20, 30, 60, 45};
    const struct
    {
        uint32_t keys;
        IntPoint pt;
    } kRefused[] = {
        {kMouseKeyLeftButton | kShift, {40, 37}},   {kMouseKeyLeftButton | kControl, {40, 37}},
        {kMouseKeyLeftButton | kRightButton, {40, 37}}, {0, {40, 37}},
        {kMouseKeyLeftButton, {60, 37}}, // the right edge is outside
        {kMouseKeyLeftButton, {40, 45}}, // the bottom edge is outside
        {kMouseKeyLeftButton, {19, 37}},
    };
    for (const auto& c : kRefused)
        EXPECT_FALSE(BeginDrag(c.keys, c.pt, label).has_value()) << c.keys << " at " << c.pt.x << "," << c.pt.y;

    // Centre (40, 37) minus the pointer.
    EXPECT_EQ(BeginDrag(kMouseKeyLeftButton, IntPoint{40, 37}, label), std::optional<IntPoint>(IntPoint{0, 0}));
    EXPECT_EQ(BeginDrag(kMouseKeyLeftButton, IntPoint{20, 30}, label), std::optional<IntPoint>(IntPoint{20, 7}));
    EXPECT_EQ(BeginDrag(kMouseKeyLeftButton, IntPoint{59, 44}, label), std::optional<IntPoint>(IntPoint{-19, -7}));
}

TEST(PreviewGeometry, DragKeepsTheGrabbedSpotUnderThePointer)
{
    const IntRect label = LabelAt(50, 40);
    const IntPoint grab = {label.left + 3, label.top + 2};
    const std::optional<IntPoint> offset = BeginDrag(kMouseKeyLeftButton, grab, label);
    ASSERT_TRUE(offset.has_value());

    const IntPoint to = {grab.x + 31, grab.y - 17};
    const std::optional<IntRect> moved = DragTo(kMouseKeyLeftButton, to, *offset, kPreview, label);
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(*moved, LabelAt(81, 23));
    EXPECT_EQ(moved->left + 3, to.x);
    EXPECT_EQ(moved->top + 2, to.y);
}

TEST(PreviewGeometry, DragIgnoresOtherKeysAndPointsOutsideThePreview)
{
    const IntRect label = LabelAt(50, 40);
    const IntPoint offset = {0, 0};
    const IntPoint inside = {kPreview.left + 100, kPreview.top + 50};
    EXPECT_FALSE(DragTo(kMouseKeyLeftButton | kShift, inside, offset, kPreview, label).has_value());
    EXPECT_FALSE(DragTo(0, inside, offset, kPreview, label).has_value());
    for (const IntPoint& outside : {IntPoint{kPreview.right, 50}, IntPoint{kPreview.left - 1, 50},
                                    IntPoint{100, kPreview.bottom}, IntPoint{100, kPreview.top - 1},
                                    PointFromMouseMessage(0x0032FFF0u), PointFromMouseMessage(0xFFF00032u)})
        EXPECT_FALSE(DragTo(kMouseKeyLeftButton, outside, offset, kPreview, label).has_value())
            << outside.x << "," << outside.y;
    EXPECT_TRUE(DragTo(kMouseKeyLeftButton, inside, offset, kPreview, label).has_value());
}

TEST(PreviewGeometry, DragStopsFlushAtEachCorner)
{
    const IntRect label = LabelAt(100, 50);
    const IntPoint offset = {0, 0};
    struct Corner
    {
        IntPoint pt;
        IntRect expected;
    } corners[] = {
        {IntPoint{kPreview.left, kPreview.top}, LabelAt(0, 0)},
        {IntPoint{kPreview.right - 1, kPreview.bottom - 1}, LabelAt(258, 100)},
        {IntPoint{kPreview.right - 1, kPreview.top}, LabelAt(258, 0)},
        {IntPoint{kPreview.left, kPreview.bottom - 1}, LabelAt(0, 100)},
    };
    for (const Corner& c : corners)
    {
        const std::optional<IntRect> moved = DragTo(kMouseKeyLeftButton, c.pt, offset, kPreview, label);
        ASSERT_TRUE(moved.has_value());
        EXPECT_EQ(*moved, c.expected);
    }
    EXPECT_EQ(PositionFromLabel(kPreview, LabelAt(0, 0)), std::optional<uint32_t>(0u));
    EXPECT_EQ(PositionFromLabel(kPreview, LabelAt(258, 100)), std::optional<uint32_t>(0x00640064u));
}

TEST(PreviewGeometry, OversizedLabelEndsOnTheLeftAndTopEdges)
{
    const IntRect preview = {100, 100, 130, 110};
    const IntRect label = {100, 100, 150, 125};
    const std::optional<IntRect> moved = DragTo(kMouseKeyLeftButton, IntPoint{129, 109}, IntPoint{0, 0}, preview, label);
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(*moved, (IntRect{100, 100, 150, 125}));
}

TEST(PreviewGeometry, EndDragClearsTheFlagAndReleasesOnlyAHeldCapture)
{
    bool bDragging = true;
    EXPECT_TRUE(EndDrag(true, bDragging));
    EXPECT_FALSE(bDragging);
    bDragging = true;
    EXPECT_FALSE(EndDrag(false, bDragging));
    EXPECT_FALSE(bDragging);
    EXPECT_FALSE(EndDrag(false, bDragging));
    EXPECT_FALSE(bDragging);
}

TEST(PreviewGeometry, LabelStandsForItsPlacedPositionUntilItIsDraggedAway)
{
    EXPECT_EQ(PositionShownByLabel(kPreview, LabelAt(7, 3), std::nullopt, 0x00030003u), std::nullopt);
    EXPECT_EQ(PositionShownByLabel(kPreview, LabelAt(7, 3), LabelAt(7, 3), 0x00030003u), 0x00030003u);
    EXPECT_EQ(PositionShownByLabel(kPreview, LabelAt(8, 3), LabelAt(7, 3), 0x00030003u), 0x00020003u) << "3 of 100: 2";
    EXPECT_EQ(PositionShownByLabel(kPreview, LabelAt(129, 100), LabelAt(7, 3), 0x00030003u), 0x00640032u);
}

TEST(PreviewGeometry, StepsClampEachHalfToZeroToHundred)
{
    EXPECT_EQ(StepPosition(0x00030003u, 1, -1), 0x00020004u);
    EXPECT_EQ(StepPosition(0x00030003u, -10, 0), 0x00030000u);
    EXPECT_EQ(StepPosition(0x00630064u, 10, 10), 0x00640064u);
    EXPECT_EQ(StepPosition(0x00320032u, -10, 10), 0x003C0028u);
}

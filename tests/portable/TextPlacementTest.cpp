#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/TextPlacement.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
struct PlacementCase
{
    int64_t cx;
    int64_t cy;
    float cxBox;
    float cyBox;
    uint32_t dwPosition;
    bool placed;
    float x;
    float y;
};

class TextPlacementCase : public testing::TestWithParam<PlacementCase>
{
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
} // namespace

TEST_P(TextPlacementCase, Origin)
{
    const PlacementCase& c = GetParam();
    TextPoint origin = kDefaultTextOrigin;
    EXPECT_EQ(PlaceText(c.cx, c.cy, c.cxBox, c.cyBox, c.dwPosition, origin), c.placed);
    EXPECT_EQ(origin.x, c.x);
    EXPECT_EQ(origin.y, c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextPlacementCase,
    testing::Values(
        // 640 x 480, box 200.6 x 40.2: free space 440 x 440
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(3, 3), true, 13.2f, 13.2f},
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(50, 100), true, 220.0f, 440.0f},
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(0, 0), true, 0.0f, 0.0f},
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(100, 100), true, 440.0f, 440.0f},
        // a third of a pixel is kept, not rounded
        PlacementCase{641, 480, 200.6f, 40.2f, PackPosition(1, 0), true, 4.41f, 0.0f},
        // percentages above 100 in either half
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(101, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, 200.6f, 40.2f, PackPosition(3, 101), false, 5.0f, 5.0f},
        PlacementCase{640, 480, 200.6f, 40.2f, SMPTEDrawSettings::kInvalidPosition, false, 5.0f, 5.0f},
        PlacementCase{640, 480, 200.6f, 40.2f, 0xFFFFFFFFu, false, 5.0f, 5.0f},
        // empty or unusable boxes
        PlacementCase{640, 480, 0.0f, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, 200.6f, 0.0f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, -1.0f, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, kNaN, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, 200.6f, kNaN, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, kInf, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{640, 480, 3.0e9f, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        // a box that does not fit; one that fits with its fraction dropped
        PlacementCase{10, 10, 363.3f, 72.0f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{363, 72, 363.3f, 72.0f, PackPosition(100, 100), true, 0.0f, 0.0f},
        PlacementCase{362, 72, 363.3f, 72.0f, PackPosition(0, 0), false, 5.0f, 5.0f},
        // frame sizes a header can carry, with nothing overflowing
        PlacementCase{-640, 480, 200.6f, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{0, 0, 200.6f, 40.2f, PackPosition(3, 3), false, 5.0f, 5.0f},
        PlacementCase{INT32_MIN, INT32_MIN, 1.0f, 1.0f, PackPosition(100, 100), false, 5.0f, 5.0f},
        PlacementCase{INT32_MAX, 2147483648LL, 1.0f, 1.0f, PackPosition(100, 100), true, 2147483646.0f,
                      2147483647.0f}));

TEST(TextPlacement, CentreOfFreeSpace)
{
    TextPoint origin = kDefaultTextOrigin;
    ASSERT_TRUE(PlaceText(1920, 1080, 363.33f, 72.0f, PackPosition(50, 50), origin));
    EXPECT_EQ(origin.x, static_cast<float>((1920 - 363) * 50 / 100.0));
    EXPECT_EQ(origin.y, static_cast<float>((1080 - 72) * 50 / 100.0));
}

TEST(TextPlacement, SampleIsTheFixedTimeCode)
{
    EXPECT_STREQ(kLayoutSample, "02:34:56.89");
    EXPECT_EQ(kLayoutSampleLength, static_cast<int32_t>(sizeof(kLayoutSample) - 1));
}

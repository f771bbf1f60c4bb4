#include "FrameTestSupport.h"

#include "engine/FrameDrawEngine.h"

namespace
{
class TextLayout : public FrameTest
{
};

struct OriginCase
{
    const char* name;
    int32_t width;
    int32_t height;
    uint32_t dwPosition;
    bool placed; // false: the default origin
};
} // namespace

TEST_F(TextLayout, OriginFromPositionAndMeasuredBox)
{
    const OriginCase cases[] = {
        {"0 %/0 % is the corner, not the default", 640, 480, PackPosition(0, 0), true},
        {"50 %/100 %", 640, 480, PackPosition(50, 100), true},
        {"100 %/100 %", 1280, 720, PackPosition(100, 100), true},
        {"3 %/3 %", 1920, 1080, PackPosition(3, 3), true},
        {"101 % horizontally", 640, 480, PackPosition(101, 0), false},
        {"101 % vertically", 640, 480, PackPosition(0, 101), false},
        // The sample is laid out within the frame: a frame lower than a line
        // measures no box; in a narrower one the sample breaks into lines and
        // the box holds the lines that fit; a frame narrower than one digit
        // still gets one digit a line, wider than the frame.
        {"frame lower than a line", 640, 60, PackPosition(50, 50), false},
        {"frame narrower than the sample", 300, 100, PackPosition(50, 50), true},
        {"frame narrower than a digit", 20, 480, PackPosition(50, 50), false},
    };
    const TextStyle defaults;
    for (const OriginCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, c.dwPosition));
        CFrameDrawEngine engine;
        TestFrame frame(c.width, c.height);
        ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        const Gdiplus::RectF box = MeasureReference(defaults, c.width, c.height);
        const int freeX = c.width - static_cast<int>(box.Width);
        const int freeY = c.height - static_cast<int>(box.Height);
        if (c.placed)
        {
            ASSERT_GT(box.Width, 0.0f);
            ASSERT_GT(box.Height, 0.0f);
            ASSERT_GE(freeX, 0);
            ASSERT_GE(freeY, 0);
            EXPECT_EQ(engine.m_ptTextOrigin.x,
                      static_cast<float>(freeX * HorizontalPercent(c.dwPosition) / 100.0));
            EXPECT_EQ(engine.m_ptTextOrigin.y, static_cast<float>(freeY * VerticalPercent(c.dwPosition) / 100.0));
        }
        else
        {
            EXPECT_EQ(engine.m_ptTextOrigin.x, 5.0f);
            EXPECT_EQ(engine.m_ptTextOrigin.y, 5.0f);
        }
        EXPECT_EQ(engine.m_cxLayout, c.width);
        EXPECT_EQ(engine.m_cyLayout, c.height);
    }
}

TEST_F(TextLayout, CornerPositionDrawsAtTheCorner)
{
    UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, PackPosition(0, 0)));
    CFrameDrawEngine engine;
    TestFrame frame(640, 480);
    frame.FillPattern();
    TestFrame expected = frame;
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    TextStyle style;
    style.antiAlias = true;
    DrawReference(expected, kStartText, style, 0.0f, 0.0f);
    EXPECT_TRUE(frame.pixels == expected.pixels);
}

TEST_F(TextLayout, SmallFrameAfterRealisationIsDrawnAtTheDefaultOrigin)
{
    UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, PackPosition(50, 50)));
    CFrameDrawEngine engine;
    TestFrame first(640, 480);
    ASSERT_EQ(engine.DrawFrame(first.Info(), first.Bytes(), kStart, kEnd, 1), S_OK);
    ASSERT_NE(engine.m_ptTextOrigin.x, 5.0f);

    // 10 x 10 is too small to realise a font in, but is laid out and drawn
    // with the one already there; the sample does not fit it.
    TextStyle style;
    style.antiAlias = true;
    for (const int32_t side : {10, 40})
    {
        SCOPED_TRACE(side);
        TestFrame frame(side, side);
        frame.FillPattern();
        TestFrame expected = frame;
        EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        EXPECT_EQ(engine.m_ptTextOrigin.x, 5.0f);
        EXPECT_EQ(engine.m_ptTextOrigin.y, 5.0f);
        EXPECT_EQ(engine.m_cxLayout, side);
        DrawReference(expected, kStartText, style, 5.0f, 5.0f);
        EXPECT_TRUE(frame.pixels == expected.pixels);
    }
}

TEST_F(TextLayout, MeasuresOncePerSizeAndAfterASettingsChange)
{
    CFrameDrawEngine engine;
    TestFrame vga(640, 480);
    TestFrame hd(1280, 720);
    EXPECT_EQ(engine.m_cLayoutMeasures, 0u);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(engine.DrawFrame(vga.Info(), vga.Bytes(), kStart + i * 400000ull, kEnd + i * 400000ull, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 1u);

    ASSERT_EQ(engine.DrawFrame(hd.Info(), hd.Bytes(), kStart, kEnd, 1), S_OK);
    ASSERT_EQ(engine.DrawFrame(hd.Info(), hd.Bytes(), kStart, kEnd, 0), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 2u);

    ASSERT_EQ(engine.DrawFrame(vga.Info(), vga.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 3u);

    // A change in a field the font ignores still counts as a change.
    SMPTEDrawSettings widthOnly;
    widthOnly.lfFont.lfWidth = 11;
    UseSettings(widthOnly);
    ASSERT_EQ(engine.DrawFrame(vga.Info(), vga.Bytes(), kStart, kEnd, 1), S_OK);
    ASSERT_EQ(engine.DrawFrame(vga.Info(), vga.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 4u);

    // So do bytes after the face name's terminator.
    SMPTEDrawSettings afterNul = widthOnly;
    afterNul.lfFont.lfFaceName[20] = L'x';
    UseSettings(afterNul);
    ASSERT_EQ(engine.DrawFrame(vga.Info(), vga.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 5u);

    // Refused frames measure nothing.
    TestFrame tiny(8, 8);
    UseSettings(SMPTEDrawSettings());
    EXPECT_EQ(engine.DrawFrame(tiny.Info(), tiny.Bytes(), kStart, kEnd, 1), S_FALSE);
    EXPECT_EQ(engine.m_cLayoutMeasures, 5u);
}

TEST_F(TextLayout, LongerTimeCodeIsDrawnFromTheSameOriginWithoutMeasuring)
{
    UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, PackPosition(90, 50)));
    CFrameDrawEngine engine;
    TestFrame first(640, 480);
    ASSERT_EQ(engine.DrawFrame(first.Info(), first.Bytes(), kStart, kEnd, 1), S_OK);
    const TextPoint origin = engine.m_ptTextOrigin;

    TestFrame frame(640, 480);
    frame.FillPattern();
    TestFrame expected = frame;
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), 3600000000000ull, 3600000400000ull, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 1u);
    TextStyle style;
    style.antiAlias = true;
    DrawReference(expected, L"100:00:00.00", style, origin.x, origin.y);
    EXPECT_TRUE(frame.pixels == expected.pixels);
}

TEST_F(TextLayout, TopDownFramesAreDrawnWhereBottomUpOnesAre)
{
    const TextStyle style = [] {
        TextStyle s;
        s.antiAlias = true;
        return s;
    }();
    for (const uint32_t position : {PackPosition(50, 50), PackPosition(100, 100), PackPosition(0, 100)})
    {
        SCOPED_TRACE(position);
        UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, position));
        CFrameDrawEngine bottomUpEngine;
        CFrameDrawEngine topDownEngine;
        TestFrame bottomUp(640, 480);
        TestFrame topDown(640, -480);
        bottomUp.FillPattern();
        topDown.FillPattern();
        const std::vector<BYTE> before = topDown.pixels;
        ASSERT_EQ(bottomUpEngine.DrawFrame(bottomUp.Info(), bottomUp.Bytes(), kStart, kEnd, 1), S_OK);
        ASSERT_EQ(topDownEngine.DrawFrame(topDown.Info(), topDown.Bytes(), kStart, kEnd, 1), S_OK);

        const Gdiplus::PointF origin =
            ExpectedOrigin(style, 640, 480, HorizontalPercent(position), VerticalPercent(position));
        EXPECT_EQ(topDownEngine.m_ptTextOrigin.x, origin.X);
        EXPECT_EQ(topDownEngine.m_ptTextOrigin.y, origin.Y);
        EXPECT_EQ(topDownEngine.m_cyLayout, -480);
        ASSERT_GT(topDown.ChangedPixels(before), 100u);
        int differing = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                differing += bottomUp.Raw(x, y) != topDown.Raw(x, y);
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(TextLayout, SameSizeBothWaysUpIsLaidOutForEach)
{
    CFrameDrawEngine engine;
    TestFrame bottomUp(640, 480);
    TestFrame topDown(640, -480);
    ASSERT_EQ(engine.DrawFrame(bottomUp.Info(), bottomUp.Bytes(), kStart, kEnd, 1), S_OK);
    const TextPoint origin = engine.m_ptTextOrigin;
    ASSERT_EQ(engine.DrawFrame(topDown.Info(), topDown.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(engine.m_cLayoutMeasures, 2u);
    EXPECT_EQ(engine.m_ptTextOrigin.x, origin.x);
    EXPECT_EQ(engine.m_ptTextOrigin.y, origin.y);
}

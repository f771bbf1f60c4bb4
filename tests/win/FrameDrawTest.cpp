#include "FrameTestSupport.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "engine/FrameDrawEngine.h"
#include "settings/CurrentSettings.h"

// Every allocation of this program through operator new, so that a test can
// see the engine's steady state allocate nothing.
std::atomic<size_t> g_cAllocations{0};

void* operator new(size_t cb)
{
    ++g_cAllocations;
    if (void* p = std::malloc(cb != 0 ? cb : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new(size_t cb, const std::nothrow_t&) noexcept
{
    ++g_cAllocations;
    return std::malloc(cb != 0 ? cb : 1);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

namespace
{
class FrameDraw : public FrameTest
{
};

struct DrawCase
{
    const char* name;
    SMPTEDrawSettings settings;
    TextStyle style;
    ULONG uRenderingHints;
};

TextStyle Style(const wchar_t* face, float emSize, int style, Gdiplus::ARGB color, bool antiAlias)
{
    TextStyle s;
    s.face = face;
    s.emSize = emSize;
    s.style = style;
    s.color = color;
    s.antiAlias = antiAlias;
    return s;
}

SMPTEDrawSettings WithFlags(SMPTEDrawSettings s, uint8_t italic, uint8_t underline, uint8_t strikeOut)
{
    s.lfFont.lfItalic = italic;
    s.lfFont.lfUnderline = underline;
    s.lfFont.lfStrikeOut = strikeOut;
    return s;
}

// Draws one frame through the engine and the same frame directly with GDI+,
// and compares every byte.
void ExpectSameAsDirectDrawing(CFrameDrawEngine& engine, int32_t width, int32_t height, const TextStyle& style,
                               ULONG uRenderingHints, uint16_t px, uint16_t py)
{
    TestFrame drawn(width, height);
    drawn.FillPattern();
    TestFrame expected = drawn;
    const std::vector<BYTE> before = drawn.pixels;
    ASSERT_EQ(engine.DrawFrame(drawn.Info(), drawn.Bytes(), kStart, kEnd, uRenderingHints), S_OK);

    const Gdiplus::PointF origin = ExpectedOrigin(style, width, height < 0 ? -height : height, px, py);
    EXPECT_EQ(engine.m_ptTextOrigin.x, origin.X);
    EXPECT_EQ(engine.m_ptTextOrigin.y, origin.Y);
    DrawReference(expected, kStartText, style, origin.X, origin.Y);
    EXPECT_GT(drawn.ChangedPixels(before), 50u);
    EXPECT_TRUE(drawn.pixels == expected.pixels);
}
} // namespace

TEST_F(FrameDraw, ChangesPixelsOnlyInsideTheMeasuredBoxAtTheOrigin)
{
    for (const uint32_t position : {PackPosition(3, 3), PackPosition(0, 0), PackPosition(100, 100),
                                    PackPosition(50, 100)})
    {
        SCOPED_TRACE(position);
        UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, position));
        CFrameDrawEngine engine;
        TestFrame frame(640, 480);
        frame.FillPattern();
        const std::vector<BYTE> before = frame.pixels;
        ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);

        const Gdiplus::RectF box = MeasureReference(TextStyle(), 640, 480);
        const PixelBox changed = frame.ChangedBox(before);
        ASSERT_FALSE(changed.Empty());
        const float x = engine.m_ptTextOrigin.x;
        const float y = engine.m_ptTextOrigin.y;
        EXPECT_GE(changed.left, static_cast<int>(std::floor(x)));
        EXPECT_GE(changed.top, static_cast<int>(std::floor(y)));
        EXPECT_LE(changed.right, static_cast<int>(std::ceil(x + box.Width)));
        EXPECT_LE(changed.bottom, static_cast<int>(std::ceil(y + box.Height)));
        // The glyphs fill most of the box, not a corner of it.
        EXPECT_GT(changed.right - changed.left, static_cast<int>(box.Width * 0.8f));
        EXPECT_GT(changed.bottom - changed.top, static_cast<int>(box.Height * 0.5f));
    }
}

TEST_F(FrameDraw, SameBytesAsADirectDrawing)
{
    const DrawCase cases[] = {
        {"defaults", SMPTEDrawSettings(), Style(L"Arial", 64, 0, 0xFFFFFFFF, true), 1},
        {"negative height, bold, translucent red",
         MakeSettings(L"Arial", -24, 700, 0x80FF0000, PackPosition(20, 80)),
         Style(L"Arial", 24, 1, 0x80FF0000, true), 1},
        {"italic, underline, strike-out",
         WithFlags(MakeSettings(L"DejaVu Sans", 48, 900, 0xFF00FF00, PackPosition(100, 0)), 1, 1, 1),
         Style(L"DejaVu Sans", 48, 15, 0xFF00FF00, true), 1},
        {"weight 600 is regular", MakeSettings(L"Liberation Sans", 30, 600, 0xFF000000, PackPosition(0, 100)),
         Style(L"Liberation Sans", 30, 0, 0xFF000000, false), 0},
        {"weight 800 is bold", MakeSettings(L"Liberation Sans", 30, 800, 0xFF000000, PackPosition(0, 100)),
         Style(L"Liberation Sans", 30, 1, 0xFF000000, false), 0},
    };
    for (const DrawCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        UseSettings(c.settings);
        CFrameDrawEngine engine;
        ExpectSameAsDirectDrawing(engine, 640, 480, c.style, c.uRenderingHints,
                                  HorizontalPercent(c.settings.dwPosition), VerticalPercent(c.settings.dwPosition));
    }
}

TEST_F(FrameDraw, AntiAliasingOnlyForHintOne)
{
    CFrameDrawEngine engine;
    const TextStyle smooth = Style(L"Arial", 64, 0, 0xFFFFFFFF, true);
    const TextStyle plain = Style(L"Arial", 64, 0, 0xFFFFFFFF, false);
    ExpectSameAsDirectDrawing(engine, 640, 480, smooth, 1, 3, 3);
    for (const ULONG hints : {0ul, 2ul, 3ul, 4ul, 0xFFFFFFFFul})
    {
        SCOPED_TRACE(hints);
        ExpectSameAsDirectDrawing(engine, 640, 480, plain, hints, 3, 3);
    }
    ExpectSameAsDirectDrawing(engine, 640, 480, smooth, 1, 3, 3);
}

// A host that hands the same buffer again keeps its wrapper: the steady state
// makes no platform object and allocates nothing, and the kept context draws
// each frame with that frame's own hint, as a fresh one would. Wine renders
// text the same under every hint, so the context itself is asked.
TEST_F(FrameDraw, ReusedBufferKeepsItsWrapperAndTakesEachFramesHint)
{
    CFrameEngineSeam seam;
    CFrameDrawEngine engine(&seam);
    TestFrame frame(640, 480);
    ULONGLONG rt = kStart;
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), rt, rt + 400000, 1), S_OK);
    const uint32_t cMade = seam.cPlatformObjectsMade;
    // A family, a font, a brush; a scratch bitmap, its context and a format to
    // measure; the wrapper's bitmap and context.
    EXPECT_EQ(cMade, 8u);
    for (const ULONG hints : {1ul, 0ul, 1ul, 2ul, 1ul})
    {
        rt += 400000;
        const size_t cAllocations = g_cAllocations;
        const HRESULT hr = engine.DrawFrame(frame.Info(), frame.Bytes(), rt, rt + 400000, hints);
        EXPECT_EQ(g_cAllocations, cAllocations) << hints;
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(engine.TargetTextRenderingHint(),
                  hints == 1 ? Gdiplus::TextRenderingHintAntiAlias : Gdiplus::TextRenderingHintSystemDefault)
            << hints;
    }
    EXPECT_EQ(seam.cPlatformObjectsMade, cMade);
}

// Whatever differs from the frame before (the buffer, or in the same buffer
// the width, height, row order or pixel format) is drawn exactly as a fresh
// engine draws it, and nothing past the frame is touched.
TEST_F(FrameDraw, ChangedBufferOrLayoutIsDrawnAsByAFreshEngine)
{
    struct Layout
    {
        int32_t width;
        int32_t height;
        uint16_t bitCount;
        uint32_t compression;
    };
    struct LayoutCase
    {
        const char* name;
        bool bOtherBuffer;
        Layout first;
        Layout next;
    };
    constexpr Layout k640 = {640, 480, 32, BI_RGB};
    constexpr Layout k640TopDown = {640, -480, 32, BI_RGB};
    // A top-down frame starts at the buffer's first byte whatever its layout,
    // so in most of these only the layout itself tells the frames apart.
    const LayoutCase cases[] = {
        {"another buffer alike", true, k640, k640},
        {"narrower", false, k640, {600, 480, 32, BI_RGB}},
        {"24 bits", false, k640, {640, 480, 24, BI_RGB}},
        {"top-down, narrower rows of the same stride", false, {640, -480, 24, BI_RGB}, {639, -480, 24, BI_RGB}},
        {"top-down, too short for the text", false, k640TopDown, {640, -20, 32, BI_RGB}},
        {"top-down, 5-6-5 after 5-5-5", false, {640, -480, 16, BI_RGB}, {640, -480, 16, BI_BITFIELDS}},
        {"top-down, 16 bits", false, k640TopDown, {640, -480, 16, BI_RGB}},
    };
    auto makeFrame = [](const Layout& layout) {
        TestFrame frame(layout.width, layout.height, layout.bitCount, layout.compression);
        if (layout.compression == BI_BITFIELDS)
            frame.SetMasks(0xF800, 0x07E0, 0x001F);
        return frame;
    };
    for (const LayoutCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestFrame fresh = makeFrame(c.next);
        fresh.FillPattern();
        const std::vector<BYTE> undrawn = fresh.pixels;
        CFrameDrawEngine freshEngine;
        ASSERT_EQ(freshEngine.DrawFrame(fresh.Info(), fresh.Bytes(), kStart, kEnd, 1), S_OK);
        ASSERT_NE(fresh.pixels, undrawn);

        CFrameDrawEngine engine;
        TestFrame first = makeFrame(c.first);
        ASSERT_EQ(engine.DrawFrame(first.Info(), first.Bytes(), kStart, kEnd, 1), S_OK);
        const std::vector<BYTE> firstDrawn = first.pixels;
        // The same buffer under the next frame's header, holding its
        // background in front, or a buffer of its own.
        TestFrame other = makeFrame(c.next);
        TestFrame& next = c.bOtherBuffer ? other : first;
        if (!c.bOtherBuffer)
            next.header = other.header;
        std::copy(undrawn.begin(), undrawn.end(), next.pixels.begin());
        const std::vector<BYTE> before = next.pixels;
        ASSERT_EQ(engine.DrawFrame(next.Info(), next.Bytes(), kStart, kEnd, 1), S_OK);
        EXPECT_TRUE(std::equal(fresh.pixels.begin(), fresh.pixels.end(), next.pixels.begin()));
        EXPECT_TRUE(std::equal(next.pixels.begin() + static_cast<ptrdiff_t>(undrawn.size()), next.pixels.end(),
                               before.begin() + static_cast<ptrdiff_t>(undrawn.size())));
        if (c.bOtherBuffer)
        {
            EXPECT_EQ(first.pixels, firstDrawn);
        }
    }
}

// A host that calls one object from two threads at once breaks the
// apartment rules, but must not lose its process: with the buffer and its
// size changing on every frame, each frame is drawn whole, exactly as a fresh
// engine draws a frame of that size, or left as it was.
TEST_F(FrameDraw, TwoThreadsOnOneEngineDrawEachFrameWhole)
{
    constexpr int kFramesPerThread = 40;
    const int32_t widths[] = {640, 1280};
    const int32_t heights[] = {480, 720};
    std::vector<BYTE> undrawn[2];
    std::vector<BYTE> drawn[2];
    for (int i = 0; i < 2; ++i)
    {
        TestFrame frame(widths[i], heights[i]);
        frame.FillPattern();
        undrawn[i] = frame.pixels;
        CFrameDrawEngine fresh;
        ASSERT_EQ(fresh.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        drawn[i] = frame.pixels;
    }

    CFrameDrawEngine shared;
    std::atomic<int> cDrawn{0};
    std::atomic<int> cWrong{0};
    auto drawFrames = [&](int first) {
        for (int n = 0; n < kFramesPerThread; ++n)
        {
            const int i = (first + n) % 2;
            TestFrame frame(widths[i], heights[i]);
            frame.pixels = undrawn[i];
            const HRESULT hr = shared.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1);
            if (hr == S_OK && frame.pixels == drawn[i])
                ++cDrawn;
            else if (hr != S_FALSE || frame.pixels != undrawn[i])
                ++cWrong;
        }
    };
    std::thread one(drawFrames, 0);
    std::thread other(drawFrames, 1);
    one.join();
    other.join();
    EXPECT_EQ(cWrong.load(), 0);
    EXPECT_EQ(cDrawn.load(), 2 * kFramesPerThread);
}

// A wrapper that cannot be allocated leaves the frame as it was (a platform
// step that failed: still S_OK); the next frame makes one and is drawn.
TEST_F(FrameDraw, WrapperThatCannotBeAllocatedLeavesTheFrameAndTheNextIsDrawn)
{
    TestFrame fresh(640, 480);
    fresh.FillPattern();
    const std::vector<BYTE> undrawn = fresh.pixels;
    CFrameDrawEngine freshEngine;
    ASSERT_EQ(freshEngine.DrawFrame(fresh.Info(), fresh.Bytes(), kStart, kEnd, 1), S_OK);

    CFrameEngineSeam seam;
    seam.pfnNewTarget = []() -> CFrameTarget* { return nullptr; };
    CFrameDrawEngine engine(&seam);
    TestFrame frame(640, 480);
    frame.pixels = undrawn;
    EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(frame.pixels, undrawn);

    seam.pfnNewTarget = nullptr;
    EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(frame.pixels, fresh.pixels);
}

TEST_F(FrameDraw, TransparentTextChangesNothing)
{
    UseSettings(MakeSettings(L"Arial", 64, 0, 0x00FFFFFF, PackPosition(3, 3)));
    CFrameDrawEngine engine;
    for (const ULONG hints : {0ul, 1ul})
    {
        TestFrame frame(640, 480);
        frame.FillPattern();
        const std::vector<BYTE> before = frame.pixels;
        EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, hints), S_OK);
        EXPECT_EQ(frame.pixels, before);
    }
}

TEST_F(FrameDraw, TextBufferHoldsTheFramesTimeCode)
{
    CFrameDrawEngine engine;
    TestFrame frame(640, 480);
    // The first frame realises the font and measures the sample.
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_EQ(Text(engine.m_szTimeCode), kStartText);
    // So does a change of size.
    TestFrame other(320, 240);
    ASSERT_EQ(engine.DrawFrame(other.Info(), other.Bytes(), 3600000000000ull, 3600000400000ull, 1), S_OK);
    EXPECT_EQ(Text(engine.m_szTimeCode), L"100:00:00.00");
    // A frame without a usable end keeps the 25 frames per second.
    ASSERT_EQ(engine.DrawFrame(other.Info(), other.Bytes(), 9600000, 9600000, 1), S_OK);
    EXPECT_EQ(Text(engine.m_szTimeCode), L"00:00:00.24");
}

TEST_F(FrameDraw, SettingsChangeReachesTheNextFrameOfEveryObject)
{
    CFrameDrawEngine first;
    CFrameDrawEngine second;
    const TextStyle defaults = Style(L"Arial", 64, 0, 0xFFFFFFFF, true);
    ExpectSameAsDirectDrawing(first, 640, 480, defaults, 1, 3, 3);
    ExpectSameAsDirectDrawing(second, 800, 600, defaults, 1, 3, 3);

    const SMPTEDrawSettings changed = MakeSettings(L"DejaVu Sans", 40, 700, 0xFFFF2000, PackPosition(90, 60));
    UseSettings(changed);
    const TextStyle now = Style(L"DejaVu Sans", 40, 1, 0xFFFF2000, true);
    ExpectSameAsDirectDrawing(first, 640, 480, now, 1, 90, 60);
    ExpectSameAsDirectDrawing(second, 800, 600, now, 1, 90, 60);
    EXPECT_TRUE(first.m_settingsApplied.IsEqual(changed));
    EXPECT_TRUE(second.m_settingsApplied.IsEqual(changed));

    // Only the colour changes: the very next frame has it.
    SMPTEDrawSettings blue = changed;
    blue.argbColor = 0xFF2040FF;
    UseSettings(blue);
    ExpectSameAsDirectDrawing(first, 640, 480, Style(L"DejaVu Sans", 40, 1, 0xFF2040FF, true), 1, 90, 60);

    // Only the position changes.
    SMPTEDrawSettings moved = blue;
    moved.dwPosition = PackPosition(10, 100);
    UseSettings(moved);
    ExpectSameAsDirectDrawing(first, 640, 480, Style(L"DejaVu Sans", 40, 1, 0xFF2040FF, true), 1, 10, 100);

    // And an object created after the change starts with it.
    CFrameDrawEngine third;
    ExpectSameAsDirectDrawing(third, 640, 480, Style(L"DejaVu Sans", 40, 1, 0xFF2040FF, true), 1, 10, 100);
}

TEST_F(FrameDraw, FontThePlatformRefusesDrawsNothing)
{
    SMPTEDrawSettings unknown = MakeSettings(L"No Such Face Anywhere", 64, 0, 0xFFFFFFFF, PackPosition(50, 50));
    SMPTEDrawSettings unterminated = unknown;
    for (size_t i = 0; i < kFaceNameUnits; ++i)
        unterminated.lfFont.lfFaceName[i] = L'A';
    SMPTEDrawSettings empty = unknown;
    std::memset(empty.lfFont.lfFaceName, 0, sizeof(empty.lfFont.lfFaceName));
    SMPTEDrawSettings lowest = MakeSettings(L"Arial", INT_MIN, 0, 0xFFFFFFFF, PackPosition(50, 50));
    SMPTEDrawSettings highest = MakeSettings(L"Arial", INT_MAX, 0, 0xFFFFFFFF, PackPosition(50, 50));

    const struct
    {
        const char* name;
        const SMPTEDrawSettings& settings;
    } cases[] = {{"unknown face", unknown},  {"32 units, no terminator", unterminated},
                 {"empty face", empty},      {"height INT_MIN", lowest},
                 {"height INT_MAX", highest}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        UseSettings(c.settings);
        CFrameDrawEngine engine;
        TestFrame frame(640, 480);
        frame.FillPattern();
        const std::vector<BYTE> before = frame.pixels;
        EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        EXPECT_EQ(frame.pixels, before);
        EXPECT_NE(engine.m_pFont, nullptr);
        EXPECT_TRUE(engine.m_settingsApplied.IsEqual(c.settings));
        EXPECT_EQ(engine.m_ptTextOrigin.x, 5.0f);
        EXPECT_EQ(engine.m_ptTextOrigin.y, 5.0f);
        EXPECT_EQ(Text(engine.m_szTimeCode), kStartText);
    }
}

TEST_F(FrameDraw, ReleasedFontIsRealisedAgain)
{
    CFrameDrawEngine engine;
    const TextStyle defaults = Style(L"Arial", 64, 0, 0xFFFFFFFF, true);
    ExpectSameAsDirectDrawing(engine, 640, 480, defaults, 1, 3, 3);
    engine.ReleaseFontAndBrush();
    EXPECT_EQ(engine.m_pFont, nullptr);
    EXPECT_EQ(engine.m_cxLayout, 0);
    EXPECT_EQ(engine.m_cyLayout, 0);
    ExpectSameAsDirectDrawing(engine, 640, 480, defaults, 1, 3, 3);
    EXPECT_EQ(engine.m_cLayoutMeasures, 2u);
}

TEST_F(FrameDraw, ConcurrentReplacementNeverTearsTheRecord)
{
    // Two records that differ in every part, so a mix of them is neither.
    const SMPTEDrawSettings a = MakeSettings(L"Arial", 20, 0, 0xFFFFFFFF, PackPosition(0, 0));
    SMPTEDrawSettings b = MakeSettings(L"DejaVu Sans", -22, 700, 0x80102030, PackPosition(100, 100));
    b.lfFont.lfWidth = 3;
    b.lfFont.lfItalic = 1;

    UseSettings(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (unsigned i = 0; !stop.load(); ++i)
            ReplaceSettings(g_currentSettings, (i & 1) ? a : b);
    });
    CFrameDrawEngine engine;
    int torn = 0;
    for (int i = 0; i < 300; ++i)
    {
        TestFrame frame(64, 48);
        if (engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1) != S_OK)
            ++torn;
        if (!engine.m_settingsApplied.IsEqual(a) && !engine.m_settingsApplied.IsEqual(b))
            ++torn;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(FrameDraw, ExtremeHeightsAnswerWithoutFault)
{
    for (const int32_t height : {0, 1, -1, 100000, -100000, INT_MIN, INT_MIN + 1, INT_MAX})
    {
        SCOPED_TRACE(height);
        UseSettings(MakeSettings(L"Arial", height, 0, 0xFFFFFFFF, PackPosition(50, 50)));
        CFrameDrawEngine engine;
        TestFrame frame(320, 240);
        EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        EXPECT_EQ(Text(engine.m_szTimeCode), kStartText);
    }
}

#include "FrameTestSupport.h"

#include <cstdlib>

#include "engine/FrameDrawEngine.h"

namespace
{
class FramePixelFormat : public FrameTest
{
};

// A frame of the given layout drawn next to a 32-bit frame of the same
// picture; the text must land on the same pixels with the same colours, up
// to the precision of the format (5-bit channels blend with an error of up to
// two steps of 8).
void ExpectLikeThirtyTwoBits(TestFrame& frame, int tolerance)
{
    TestFrame reference(frame.Width(), frame.BottomUp() ? frame.Rows() : -frame.Rows());
    reference.FillPattern();
    frame.FillPattern();
    const std::vector<BYTE> before = frame.pixels;
    const std::vector<BYTE> referenceBefore = reference.pixels;

    CFrameDrawEngine engine;
    CFrameDrawEngine referenceEngine;
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    ASSERT_EQ(referenceEngine.DrawFrame(reference.Info(), reference.Bytes(), kStart, kEnd, 1), S_OK);
    ASSERT_GT(reference.ChangedPixels(referenceBefore), 100u);

    int worst = 0;
    size_t textPixels = 0;
    for (int y = 0; y < frame.Rows(); ++y)
    {
        for (int x = 0; x < frame.Width(); ++x)
        {
            const uint32_t got = frame.Rgb(x, y);
            const uint32_t want = reference.Rgb(x, y);
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                                 static_cast<int>((want >> shift) & 0xFF)));
            textPixels += want == 0xFFFFFF;
        }
    }
    EXPECT_LE(worst, tolerance);
    EXPECT_GT(textPixels, 100u);

    // The padding at the end of every row stays as it was.
    const size_t cbUsed = static_cast<size_t>(frame.Width()) * frame.BitCount() / 8;
    for (int row = 0; row < frame.Rows(); ++row)
        for (size_t i = cbUsed; i < frame.Stride(); ++i)
            ASSERT_EQ(frame.pixels[row * frame.Stride() + i], before[row * frame.Stride() + i]) << row;
}
} // namespace

TEST_F(FramePixelFormat, DrawnLayoutsMatchThirtyTwoBits)
{
    const struct
    {
        const char* name;
        int32_t height;
        uint16_t bitCount;
        uint32_t compression;
        uint32_t masks[3];
        int tolerance;
    } kCases[] = {
        // 641 pixels make rows of 1923 bytes and one byte of padding.
        {"24 bits bottom-up", 480, 24, BI_RGB, {}, 0},
        {"24 bits top-down", -480, 24, BI_RGB, {}, 0},
        {"16 bits 5-5-5", 480, 16, BI_RGB, {}, 16},
        {"16 bits 5-5-5 by masks", -480, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, 16},
        {"16 bits 5-6-5", 480, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 16},
        {"32 bits with masks", 480, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.name);
        TestFrame frame(641, c.height, c.bitCount, c.compression);
        if (c.masks[0] != 0)
            frame.SetMasks(c.masks[0], c.masks[1], c.masks[2]);
        ExpectLikeThirtyTwoBits(frame, c.tolerance);
        if (c.masks[1] != 0x07E0)
            continue;
        // Opaque white is all ones in 5-6-5 and has the top bit clear in 5-5-5.
        size_t white = 0;
        for (int y = 0; y < frame.Rows(); ++y)
            for (int x = 0; x < frame.Width(); ++x)
                white += frame.Raw(x, y) == 0xFFFF;
        EXPECT_GT(white, 100u);
    }
}

TEST_F(FramePixelFormat, LayoutsThatCannotBeDrawnOnAreLeftAsTheyAre)
{
    struct LayoutCase
    {
        const char* name;
        uint16_t bitCount;
        uint32_t compression;
        uint32_t masks[3];
        uint32_t cbPixels; // 0: as the layout needs
    };
    const LayoutCase cases[] = {
        {"8 bits with a palette", 8, BI_RGB, {}, 0},
        {"4 bits", 4, BI_RGB, {}, 0},
        {"1 bit", 1, BI_RGB, {}, 0},
        {"run-length 8", 8, BI_RLE8, {}, 4096},
        {"JPEG", 0, BI_JPEG, {}, 4096},
        {"16 bits, blue on top", 16, BI_BITFIELDS, {0x001F, 0x07E0, 0xF800}, 0},
        {"24 bits with masks", 24, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0},
        {"16 bits, masks missing", 16, BI_BITFIELDS, {}, 0},
    };
    for (const LayoutCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestFrame frame(640, 480, c.bitCount, c.compression);
        if (c.masks[0] != 0)
            frame.SetMasks(c.masks[0], c.masks[1], c.masks[2]);
        if (c.cbPixels != 0)
            frame.pixels.assign(c.cbPixels, 0);
        for (size_t i = 0; i < frame.pixels.size(); ++i)
            frame.pixels[i] = static_cast<BYTE>(i * 31 + 7);
        const std::vector<BYTE> before = frame.pixels;
        CFrameDrawEngine engine;
        EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
        EXPECT_EQ(frame.pixels, before);
        // The rest of the chain ran: a font, a layout, the frame's time code.
        EXPECT_NE(engine.m_pFont, nullptr);
        EXPECT_EQ(engine.m_cxLayout, 640);
        EXPECT_EQ(Text(engine.m_szTimeCode), kStartText);
    }
}

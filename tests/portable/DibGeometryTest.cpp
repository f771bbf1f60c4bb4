#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/DibGeometry.h"

namespace
{
DibHeader Header(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = kDibRgb)
{
    DibHeader h = {};
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = bitCount;
    h.biCompression = compression;
    return h;
}

DibHeader WithMasks(DibHeader h, uint32_t red, uint32_t green, uint32_t blue)
{
    h.bHasMasks = true;
    h.dwRedMask = red;
    h.dwGreenMask = green;
    h.dwBlueMask = blue;
    return h;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct RowCase
{
    int32_t width;
    uint16_t bitCount;
    bool ok;
    uint32_t cbRow;
};

struct FormatCase
{
    DibHeader header;
    DibVerdict verdict;
    DibPixelFormat format;
};
} // namespace

TEST(DibHeaderRead, TooShortOrNull)
{
    std::vector<uint8_t> bytes(44, 0);
    DibHeader h = {};
    EXPECT_FALSE(ReadDibHeader(nullptr, 44, h));
    EXPECT_FALSE(ReadDibHeader(bytes.data(), 39, h));
    EXPECT_TRUE(ReadDibHeader(bytes.data(), 40, h));
}

TEST(DibHeaderRead, FieldsAtTheirOffsets)
{
    // Read from an odd address, as a blob may hand it over.
    std::vector<uint8_t> storage(1 + 52, 0);
    std::vector<uint8_t> bytes(52, 0);
    PutU32(bytes, 0, 40);
    PutU32(bytes, 4, 1280);
    PutU32(bytes, 8, static_cast<uint32_t>(-720));
    bytes[12] = 1;
    bytes[14] = 16;
    PutU32(bytes, 16, kDibBitfields);
    PutU32(bytes, 40, 0xF800);
    PutU32(bytes, 44, 0x07E0);
    PutU32(bytes, 48, 0x001F);
    std::memcpy(storage.data() + 1, bytes.data(), bytes.size());

    DibHeader h = {};
    ASSERT_TRUE(ReadDibHeader(storage.data() + 1, 52, h));
    EXPECT_EQ(h.biWidth, 1280);
    EXPECT_EQ(h.biHeight, -720);
    EXPECT_EQ(h.biBitCount, 16);
    EXPECT_EQ(h.biCompression, kDibBitfields);
    EXPECT_TRUE(h.bHasMasks);
    EXPECT_EQ(h.dwRedMask, 0xF800u);
    EXPECT_EQ(h.dwGreenMask, 0x07E0u);
    EXPECT_EQ(h.dwBlueMask, 0x001Fu);

    ASSERT_TRUE(ReadDibHeader(storage.data() + 1, 51, h));
    EXPECT_FALSE(h.bHasMasks);
    EXPECT_EQ(h.dwRedMask, 0u);
}

TEST(DibGeometry, RowBytesArePaddedToFourBytes)
{
    const RowCase kCases[] = {
        {640, 32, true, 2560},       {641, 24, true, 1924},        {1, 24, true, 4},
        {3, 16, true, 8},            {1, 1, true, 4},              {33, 1, true, 8},
        {5, 8, true, 8},             {0x1FFFFFFF, 32, true, 0x7FFFFFFC},
        {0x20000000, 32, false, 0},  {INT32_MAX, 32, false, 0},    {INT32_MAX, 0xFFFF, false, 0},
        {0, 32, false, 0},           {-640, 32, false, 0},         {640, 0, false, 0},
    };
    for (const RowCase& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " at " << c.bitCount << " bits");
        uint32_t cbRow = 12345;
        EXPECT_EQ(DibRowBytes(c.width, c.bitCount, cbRow), c.ok);
        EXPECT_EQ(cbRow, c.ok ? c.cbRow : 12345u);
    }
}

// Where the first row to draw lies and which way the rows run.
TEST(DibGeometry, DrawableFramesStartAtTheTopRow)
{
    const struct
    {
        DibHeader header;
        uint32_t cbBytes;
        DibView expected;
    } kCases[] = {
        // Bottom-up: the last row in memory first, a negative stride.
        {Header(640, 480, 32), 640 * 480 * 4, {DibPixelFormat::Rgb32, 640, 480, -2560, 2560u * 479}},
        {Header(641, -3, 24), 1924 * 3, {DibPixelFormat::Rgb24, 641, 3, 1924, 0}},
        {Header(10, 1, 32), 40, {DibPixelFormat::Rgb32, 10, 1, -40, 0}},
        // The largest image a 32-bit size can describe.
        {Header(0x1FFFFFFF, 2, 32), 0xFFFFFFFFu, {DibPixelFormat::Rgb32, 0x1FFFFFFF, 2, -0x7FFFFFFC, 0x7FFFFFFCu}},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.header.biWidth << " x " << c.header.biHeight);
        DibView view = {};
        ASSERT_EQ(DescribeDib(c.header, c.cbBytes, view), DibVerdict::Drawable);
        EXPECT_EQ(view.format, c.expected.format);
        EXPECT_EQ(view.width, c.expected.width);
        EXPECT_EQ(view.height, c.expected.height);
        EXPECT_EQ(view.stride, c.expected.stride);
        EXPECT_EQ(view.cbFirstRow, c.expected.cbFirstRow);
    }
}

TEST(DibGeometry, SizesDecideBetweenRefusingAndNotDrawing)
{
    const struct
    {
        DibHeader header;
        uint32_t cbBytes;
        DibVerdict verdict;
        const char* pszWhy;
    } kCases[] = {
        // The pixel buffer must hold the whole image, padding included.
        {Header(640, 480, 32), 640 * 480 * 4 - 1, DibVerdict::Refuse, "one byte short, bottom-up"},
        {Header(640, -480, 32), 640 * 480 * 4 - 1, DibVerdict::Refuse, "one byte short, top-down"},
        {Header(640, 480, 32), 0, DibVerdict::Refuse, "no bytes"},
        {Header(640, 480, 32), 640 * 480 * 4 + 100, DibVerdict::Drawable, "more than the image"},
        {Header(641, 2, 24), 2 * 1923, DibVerdict::Refuse, "rows without their padding"},
        {Header(641, 2, 24), 2 * 1924, DibVerdict::Drawable, "padded rows"},
        {Header(640, 480, 8), 640 * 480 - 1, DibVerdict::Refuse, "short, in a layout not drawn on"},
        // Sizes that overflow 32 bits.
        {Header(65536, 65536, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "2^34 bytes, wrapping to 0"},
        {Header(65536, -65536, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "2^34 bytes top-down"},
        {Header(1, INT32_MIN, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "INT32_MIN rows"},
        {Header(1, INT32_MAX, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "INT32_MAX rows"},
        {Header(INT32_MAX, 1, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "INT32_MAX columns"},
        {Header(INT32_MAX, 1, 0xFFFF), 0xFFFFFFFFu, DibVerdict::Refuse, "INT32_MAX columns at 65535 bits"},
        {Header(0x1FFFFFFF, 3, 32), 0xFFFFFFFFu, DibVerdict::Refuse, "one row past the largest image"},
        // Empty or invalid sizes.
        {Header(0, 480, 32), 1 << 20, DibVerdict::CannotDraw, "no columns"},
        {Header(640, 0, 32), 1 << 20, DibVerdict::CannotDraw, "no rows"},
        {Header(-640, 480, 32), 1 << 20, DibVerdict::CannotDraw, "negative width"},
        {Header(INT32_MIN, 480, 32), 1 << 20, DibVerdict::CannotDraw, "INT32_MIN width"},
        {Header(640, 480, 0), 1 << 20, DibVerdict::CannotDraw, "no bit count"},
    };
    for (const auto& c : kCases)
    {
        DibView view = {};
        EXPECT_EQ(DescribeDib(c.header, c.cbBytes, view), c.verdict) << c.pszWhy;
    }
}

TEST(DibGeometry, PixelFormatChoice)
{
    const FormatCase kCases[] = {
        {Header(64, 64, 32), DibVerdict::Drawable, DibPixelFormat::Rgb32},
        {Header(64, 64, 24), DibVerdict::Drawable, DibPixelFormat::Rgb24},
        {Header(64, 64, 16), DibVerdict::Drawable, DibPixelFormat::Rgb555},
        {WithMasks(Header(64, 64, 16, kDibBitfields), 0xF800, 0x07E0, 0x001F), DibVerdict::Drawable,
         DibPixelFormat::Rgb565},
        {WithMasks(Header(64, 64, 16, kDibBitfields), 0x7C00, 0x03E0, 0x001F), DibVerdict::Drawable,
         DibPixelFormat::Rgb555},
        {WithMasks(Header(64, 64, 32, kDibBitfields), 0xFF0000, 0xFF00, 0xFF), DibVerdict::Drawable,
         DibPixelFormat::Rgb32},
        // masks the drawing code has no format for, or no masks at all
        {WithMasks(Header(64, 64, 16, kDibBitfields), 0x001F, 0x07E0, 0xF800), DibVerdict::CannotDraw,
         DibPixelFormat::Rgb32},
        {WithMasks(Header(64, 64, 32, kDibBitfields), 0xFF, 0xFF00, 0xFF0000), DibVerdict::CannotDraw,
         DibPixelFormat::Rgb32},
        {Header(64, 64, 16, kDibBitfields), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {WithMasks(Header(64, 64, 24, kDibBitfields), 0xFF0000, 0xFF00, 0xFF), DibVerdict::CannotDraw,
         DibPixelFormat::Rgb32},
        // palette formats and compressed images
        {Header(64, 64, 8), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 4), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 1), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 8, 1), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 4, 2), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 0, 4), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        {Header(64, 64, 32, 0x32595559), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
    };
    for (const FormatCase& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.header.biBitCount << " bits, compression " << c.header.biCompression);
        DibView view = {};
        ASSERT_EQ(DescribeDib(c.header, 1 << 20, view), c.verdict);
        if (c.verdict == DibVerdict::Drawable)
        {
            EXPECT_EQ(view.format, c.format);
        }
    }
}

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

class DibRowBytesCase : public testing::TestWithParam<RowCase>
{
};

struct FormatCase
{
    DibHeader header;
    DibVerdict verdict;
    DibPixelFormat format;
};

class DibFormatCase : public testing::TestWithParam<FormatCase>
{
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

TEST_P(DibRowBytesCase, PaddedToFourBytes)
{
    const RowCase& c = GetParam();
    uint32_t cbRow = 12345;
    EXPECT_EQ(DibRowBytes(c.width, c.bitCount, cbRow), c.ok);
    EXPECT_EQ(cbRow, c.ok ? c.cbRow : 12345u);
}

INSTANTIATE_TEST_SUITE_P(Table, DibRowBytesCase,
                         testing::Values(RowCase{640, 32, true, 2560}, RowCase{641, 24, true, 1924},
                                         RowCase{1, 24, true, 4}, RowCase{3, 16, true, 8}, RowCase{1, 1, true, 4},
                                         RowCase{33, 1, true, 8}, RowCase{5, 8, true, 8},
                                         RowCase{0x1FFFFFFF, 32, true, 0x7FFFFFFC},
                                         RowCase{0x20000000, 32, false, 0}, RowCase{INT32_MAX, 32, false, 0},
                                         RowCase{INT32_MAX, 0xFFFF, false, 0}, RowCase{0, 32, false, 0},
                                         RowCase{-640, 32, false, 0}, RowCase{640, 0, false, 0}));

TEST(DibGeometry, BottomUpStartsAtTheLastRowWithANegativeStride)
{
    DibView view = {};
    ASSERT_EQ(DescribeDib(Header(640, 480, 32), 640 * 480 * 4, view), DibVerdict::Drawable);
    EXPECT_EQ(view.format, DibPixelFormat::Rgb32);
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_EQ(view.stride, -2560);
    EXPECT_EQ(view.cbFirstRow, 2560u * 479);
}

TEST(DibGeometry, TopDownStartsAtTheFirstRowWithAPositiveStride)
{
    DibView view = {};
    ASSERT_EQ(DescribeDib(Header(641, -3, 24), 1924 * 3, view), DibVerdict::Drawable);
    EXPECT_EQ(view.format, DibPixelFormat::Rgb24);
    EXPECT_EQ(view.width, 641);
    EXPECT_EQ(view.height, 3);
    EXPECT_EQ(view.stride, 1924);
    EXPECT_EQ(view.cbFirstRow, 0u);
}

TEST(DibGeometry, OneRowFrame)
{
    DibView view = {};
    ASSERT_EQ(DescribeDib(Header(10, 1, 32), 40, view), DibVerdict::Drawable);
    EXPECT_EQ(view.stride, -40);
    EXPECT_EQ(view.cbFirstRow, 0u);
}

TEST(DibGeometry, PixelBufferMustHoldTheWholeImage)
{
    DibView view = {};
    EXPECT_EQ(DescribeDib(Header(640, 480, 32), 640 * 480 * 4 - 1, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(640, -480, 32), 640 * 480 * 4 - 1, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(640, 480, 32), 0, view), DibVerdict::Refuse);
    // more than the image is fine
    EXPECT_EQ(DescribeDib(Header(640, 480, 32), 640 * 480 * 4 + 100, view), DibVerdict::Drawable);
    // row padding counts: 641 x 2 at 24 bits needs 2 x 1924, not 2 x 1923
    EXPECT_EQ(DescribeDib(Header(641, 2, 24), 2 * 1923, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(641, 2, 24), 2 * 1924, view), DibVerdict::Drawable);
    // also for layouts that are not drawn on
    EXPECT_EQ(DescribeDib(Header(640, 480, 8), 640 * 480 - 1, view), DibVerdict::Refuse);
}

TEST(DibGeometry, SizesThatOverflowAreRefused)
{
    DibView view = {};
    // 65536 x 65536 x 4 is 2^34: wraps to 0 in 32 bits
    EXPECT_EQ(DescribeDib(Header(65536, 65536, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(65536, -65536, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(1, INT32_MIN, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(1, INT32_MAX, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(INT32_MAX, 1, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    EXPECT_EQ(DescribeDib(Header(INT32_MAX, 1, 0xFFFF), 0xFFFFFFFFu, view), DibVerdict::Refuse);
    // the largest image a 32-bit size can describe
    EXPECT_EQ(DescribeDib(Header(0x1FFFFFFF, 2, 32), 0xFFFFFFFFu, view), DibVerdict::Drawable);
    EXPECT_EQ(view.stride, -0x7FFFFFFC);
    EXPECT_EQ(view.cbFirstRow, 0x7FFFFFFCu);
    EXPECT_EQ(DescribeDib(Header(0x1FFFFFFF, 3, 32), 0xFFFFFFFFu, view), DibVerdict::Refuse);
}

TEST(DibGeometry, EmptyOrInvalidSizesAreNotDrawnOn)
{
    DibView view = {};
    EXPECT_EQ(DescribeDib(Header(0, 480, 32), 1 << 20, view), DibVerdict::CannotDraw);
    EXPECT_EQ(DescribeDib(Header(640, 0, 32), 1 << 20, view), DibVerdict::CannotDraw);
    EXPECT_EQ(DescribeDib(Header(-640, 480, 32), 1 << 20, view), DibVerdict::CannotDraw);
    EXPECT_EQ(DescribeDib(Header(INT32_MIN, 480, 32), 1 << 20, view), DibVerdict::CannotDraw);
    EXPECT_EQ(DescribeDib(Header(640, 480, 0), 1 << 20, view), DibVerdict::CannotDraw);
}

TEST_P(DibFormatCase, PixelFormatChoice)
{
    const FormatCase& c = GetParam();
    DibView view = {};
    ASSERT_EQ(DescribeDib(c.header, 1 << 20, view), c.verdict);
    if (c.verdict == DibVerdict::Drawable)
    {
        EXPECT_EQ(view.format, c.format);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DibFormatCase,
    testing::Values(
        FormatCase{Header(64, 64, 32), DibVerdict::Drawable, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 24), DibVerdict::Drawable, DibPixelFormat::Rgb24},
        FormatCase{Header(64, 64, 16), DibVerdict::Drawable, DibPixelFormat::Rgb555},
        FormatCase{WithMasks(Header(64, 64, 16, kDibBitfields), 0xF800, 0x07E0, 0x001F), DibVerdict::Drawable,
                   DibPixelFormat::Rgb565},
        FormatCase{WithMasks(Header(64, 64, 16, kDibBitfields), 0x7C00, 0x03E0, 0x001F), DibVerdict::Drawable,
                   DibPixelFormat::Rgb555},
        FormatCase{WithMasks(Header(64, 64, 32, kDibBitfields), 0xFF0000, 0xFF00, 0xFF), DibVerdict::Drawable,
                   DibPixelFormat::Rgb32},
        // masks the drawing code has no format for, or no masks at all
        FormatCase{WithMasks(Header(64, 64, 16, kDibBitfields), 0x001F, 0x07E0, 0xF800), DibVerdict::CannotDraw,
                   DibPixelFormat::Rgb32},
        FormatCase{WithMasks(Header(64, 64, 32, kDibBitfields), 0xFF, 0xFF00, 0xFF0000), DibVerdict::CannotDraw,
                   DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 16, kDibBitfields), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{WithMasks(Header(64, 64, 24, kDibBitfields), 0xFF0000, 0xFF00, 0xFF), DibVerdict::CannotDraw,
                   DibPixelFormat::Rgb32},
        // palette formats and compressed images
        FormatCase{Header(64, 64, 8), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 4), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 1), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 8, 1), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 4, 2), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 0, 4), DibVerdict::CannotDraw, DibPixelFormat::Rgb32},
        FormatCase{Header(64, 64, 32, 0x32595559), DibVerdict::CannotDraw, DibPixelFormat::Rgb32}));

#pragma once
// How a frame's pixels are laid out, from the BITMAPINFO the host hands over:
// whether the pixel buffer holds the whole image, and for the formats that can
// be drawn on, the pixel format, the first row in memory order and the signed
// distance from one row to the next (rows of a DIB run bottom-up unless the
// height is negative).

#include <cstdint>

constexpr uint32_t kDibRgb = 0;       // BI_RGB
constexpr uint32_t kDibBitfields = 3; // BI_BITFIELDS

// The fields the engine reads from a BITMAPINFOHEADER (and the three colour
// masks that follow it, or sit at the same place in a V4/V5 header).
struct DibHeader
{
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biBitCount;
    uint32_t biCompression;
    bool bHasMasks;
    uint32_t dwRedMask;
    uint32_t dwGreenMask;
    uint32_t dwBlueMask;
};

// A BITMAPINFOHEADER is 40 bytes; the masks take the next 12.
constexpr uint32_t kDibHeaderBytes = 40;
constexpr uint32_t kDibHeaderWithMasksBytes = 52;

// Reads the header from cbInfo bytes at pInfo (little-endian, any alignment).
// Answers false when fewer than 40 bytes are given.
bool ReadDibHeader(const uint8_t* pInfo, uint32_t cbInfo, DibHeader& header);

enum class DibPixelFormat
{
    Rgb32,  // 8-8-8 with an unused fourth byte
    Rgb24,
    Rgb555,
    Rgb565,
};

enum class DibVerdict
{
    Refuse,     // the pixel buffer is shorter than the image, or its size overflows
    CannotDraw, // a layout the drawing code does not wrap; the pixels stay as they are
    Drawable,
};

struct DibView
{
    DibPixelFormat format;
    int32_t width;
    int32_t height;        // rows, always positive
    int32_t stride;        // bytes from one row of the image to the next below it
    uint32_t cbFirstRow;   // offset of the image's top row in the pixel buffer
};

// Bytes in one row of a DIB, padded to a multiple of 4. Answers false when the
// width is not positive or the row would not fit a signed 32-bit stride.
bool DibRowBytes(int32_t width, uint16_t bitCount, uint32_t& cbRow);

// Classifies a frame whose pixel buffer is cbPixels bytes. view is filled in
// only for Drawable.
DibVerdict DescribeDib(const DibHeader& header, uint32_t cbPixels, DibView& view);

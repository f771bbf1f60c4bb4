#include "engine/DibGeometry.h"

namespace
{
uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool HasMasks(const DibHeader& h, uint32_t red, uint32_t green, uint32_t blue)
{
    return h.bHasMasks && h.dwRedMask == red && h.dwGreenMask == green && h.dwBlueMask == blue;
}

bool ChooseFormat(const DibHeader& h, DibPixelFormat& format)
{
    if (h.biCompression == kDibRgb)
    {
        switch (h.biBitCount)
        {
        case 32:
            format = DibPixelFormat::Rgb32;
            return true;
        case 24:
            format = DibPixelFormat::Rgb24;
            return true;
        case 16:
            format = DibPixelFormat::Rgb555;
            return true;
        default:
            return false;
        }
    }
    if (h.biBitCount == 16 && HasMasks(h, 0xF800u, 0x07E0u, 0x001Fu))
    {
        format = DibPixelFormat::Rgb565;
        return true;
    }
    if (h.biBitCount == 16 && HasMasks(h, 0x7C00u, 0x03E0u, 0x001Fu))
    {
        format = DibPixelFormat::Rgb555;
        return true;
    }
    if (h.biBitCount == 32 && HasMasks(h, 0x00FF0000u, 0x0000FF00u, 0x000000FFu))
    {
        format = DibPixelFormat::Rgb32;
        return true;
    }
    return false;
}
} // namespace

bool ReadDibHeader(const uint8_t* pInfo, uint32_t cbInfo, DibHeader& header)
{
    if (pInfo == nullptr || cbInfo < kDibHeaderBytes)
        return false;
    header = {};
    header.biWidth = static_cast<int32_t>(ReadU32(pInfo + 4));
    header.biHeight = static_cast<int32_t>(ReadU32(pInfo + 8));
    header.biBitCount = ReadU16(pInfo + 14);
    header.biCompression = ReadU32(pInfo + 16);
    header.bHasMasks = cbInfo >= kDibHeaderWithMasksBytes;
    if (header.bHasMasks)
    {
        header.dwRedMask = ReadU32(pInfo + 40);
        header.dwGreenMask = ReadU32(pInfo + 44);
        header.dwBlueMask = ReadU32(pInfo + 48);
    }
    return true;
}

bool DibRowBytes(int32_t width, uint16_t bitCount, uint32_t& cbRow)
{
    if (width <= 0 || bitCount == 0)
        return false;
    const uint64_t bits = static_cast<uint64_t>(width) * bitCount;
    const uint64_t bytes = (bits + 31) / 32 * 4;
    if (bytes > 0x7FFFFFFFu)
        return false;
    cbRow = static_cast<uint32_t>(bytes);
    return true;
}

DibVerdict DescribeDib(const DibHeader& header, uint32_t cbPixels, DibView& view)
{
    // Compressed images have no row layout to check or to draw on.
    if (header.biCompression != kDibRgb && header.biCompression != kDibBitfields)
        return DibVerdict::CannotDraw;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount == 0)
        return DibVerdict::CannotDraw;

    uint32_t cbRow = 0;
    if (!DibRowBytes(header.biWidth, header.biBitCount, cbRow))
        return DibVerdict::Refuse;
    const int64_t signedRows = header.biHeight;
    const uint64_t rows = static_cast<uint64_t>(signedRows < 0 ? -signedRows : signedRows);
    // cbRow < 2^31 and rows <= 2^31: the product cannot overflow 64 bits.
    const uint64_t cbImage = cbRow * rows;
    if (cbImage > cbPixels)
        return DibVerdict::Refuse;

    DibPixelFormat format = DibPixelFormat::Rgb32;
    if (!ChooseFormat(header, format))
        return DibVerdict::CannotDraw;

    view.format = format;
    view.width = header.biWidth;
    view.height = static_cast<int32_t>(rows);
    if (header.biHeight > 0)
    {
        // Bottom-up: the top row of the image is the last one in memory.
        view.stride = -static_cast<int32_t>(cbRow);
        view.cbFirstRow = static_cast<uint32_t>(cbImage - cbRow);
    }
    else
    {
        view.stride = static_cast<int32_t>(cbRow);
        view.cbFirstRow = 0;
    }
    return DibVerdict::Drawable;
}

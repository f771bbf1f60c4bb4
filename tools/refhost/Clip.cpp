#include "Clip.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
constexpr LONGLONG kUnitsPerSecond = 10000000;

// A variable-rate recorder: 30, 25, 60, 20, 40 and 15 frames per second.
constexpr LONGLONG kVariableDurations[] = {333333, 400000, 166667, 500000, 250000, 666667};
constexpr int kVariableCount = sizeof(kVariableDurations) / sizeof(kVariableDurations[0]);

ULONGLONG ConstantStart(const ClipTiming& timing, int n)
{
    return static_cast<ULONGLONG>(n) * kUnitsPerSecond * timing.rateDenominator / timing.rateNumerator;
}

ULONGLONG VariableStart(int n)
{
    LONGLONG cycle = 0;
    for (const LONGLONG duration : kVariableDurations)
        cycle += duration;
    LONGLONG start = static_cast<LONGLONG>(n / kVariableCount) * cycle;
    for (int i = 0; i < n % kVariableCount; ++i)
        start += kVariableDurations[i];
    return static_cast<ULONGLONG>(start);
}
} // namespace

FrameTimes TimesOfFrame(const ClipTiming& timing, int n)
{
    switch (timing.timing)
    {
    case Timing::Variable:
        return {VariableStart(n), VariableStart(n + 1)};
    case Timing::NoEndTimes:
    {
        const ClipTiming thirty = {Timing::Constant, 30, 1};
        const ULONGLONG rtStart = ConstantStart(thirty, n);
        if (n == 0)
            return {rtStart, ConstantStart(thirty, 1)};
        return {rtStart, n % 2 == 1 ? rtStart : rtStart - 1};
    }
    case Timing::Constant:
    default:
        return {ConstantStart(timing, n), ConstantStart(timing, n + 1)};
    }
}

CClipFrame::CClipFrame(const FrameFormat& format) : m_format(format)
{
    m_cbStride = ((format.nWidth * format.wBitCount + 31) / 32) * 4;
    BITMAPINFOHEADER& header = m_info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = format.nWidth;
    header.biHeight = format.bTopDown ? -format.nHeight : format.nHeight;
    header.biPlanes = 1;
    header.biBitCount = format.wBitCount;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(m_cbStride) * static_cast<DWORD>(format.nHeight);
    m_pixels.resize(header.biSizeImage);
}

BYTE* CClipFrame::Row(int y)
{
    const int nStored = m_format.bTopDown ? y : m_format.nHeight - 1 - y;
    return m_pixels.data() + static_cast<size_t>(nStored) * static_cast<size_t>(m_cbStride);
}

void CClipFrame::Paint(int n, int nFrames)
{
    const int cx = m_format.nWidth;
    const int cy = m_format.nHeight;
    const int cbPixel = m_format.wBitCount / 8;
    const int band = (n * cx / (nFrames > 0 ? nFrames : 1) + cx / 8) % cx;
    const int reach = cx / 20 + 1;
    for (int y = 0; y < cy; ++y)
    {
        BYTE* p = Row(y);
        for (int x = 0; x < cx; ++x, p += cbPixel)
        {
            int r = 20 + 70 * x / cx + (n / 3) % 40;
            int g = 40 + 90 * y / cy;
            int b = 110 + 60 * (cx - x) / cx;
            const int distance = x > band ? x - band : band - x;
            if (distance < reach)
            {
                const int lift = 60 * (reach - distance) / reach;
                r += lift;
                g += lift;
                b += lift / 2;
            }
            p[0] = static_cast<BYTE>(b);
            p[1] = static_cast<BYTE>(g);
            p[2] = static_cast<BYTE>(r);
            if (cbPixel == 4)
                p[3] = 0;
        }
    }
}

CGdipBitmap CClipFrame::View()
{
    CGdipBitmap bitmap;
    const PixelFormat format = m_format.wBitCount == 24 ? PixelFormat24bppRGB : PixelFormat32bppRGB;
    const int stride = m_format.bTopDown ? m_cbStride : -m_cbStride;
    GdipCreateBitmapFromScan0(m_format.nWidth, m_format.nHeight, stride, format, Row(0), bitmap.put());
    return bitmap;
}

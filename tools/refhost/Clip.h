#pragma once
// The generated clip: frames as a screen recorder hands them over (a DIB
// header and its pixels) and the start and end times of each frame.

#include <windows.h>

#include <vector>

#include "engine/GdiplusObject.h"

// How the frames of a clip are timed.
enum class Timing
{
    Constant,   // frame n starts at n * 10^7 * rateDenominator / rateNumerator
    Variable,   // frame durations cycle through a fixed list of lengths
    NoEndTimes, // the first frame has an end time; after it each end equals its start or lies before it
};

struct ClipTiming
{
    Timing timing = Timing::Constant;
    ULONGLONG rateNumerator = 30000;
    ULONGLONG rateDenominator = 1001;
};

struct FrameTimes
{
    ULONGLONG rtStart = 0;
    ULONGLONG rtEnd = 0;
};

FrameTimes TimesOfFrame(const ClipTiming& timing, int n);

// The frame sizes a DIB header can describe here: 24 or 32 bits per pixel,
// BI_RGB, bottom-up (positive height) or top-down (negative height).
struct FrameFormat
{
    int nWidth = 1280;
    int nHeight = 720;
    WORD wBitCount = 32;
    bool bTopDown = false;
};

class CClipFrame
{
public:
    explicit CClipFrame(const FrameFormat& format);

    const BITMAPINFO& Info() const { return m_info; }
    std::vector<BYTE>& Pixels() { return m_pixels; }
    const FrameFormat& Format() const { return m_format; }
    int Stride() const { return m_cbStride; }

    // A shifting gradient with a bright band sweeping across, different in
    // every frame, so that white text stands out against it.
    void Paint(int n, int nFrames);
    // A GDI+ view of the pixels, top row first.
    CGdipBitmap View();

private:
    BYTE* Row(int y);

    FrameFormat m_format;
    BITMAPINFO m_info = {};
    int m_cbStride = 0;
    std::vector<BYTE> m_pixels;
};

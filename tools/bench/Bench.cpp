// Time per frame of the drawing engine against a bare GdipDrawString of the
// same text with the same font on an already wrapped bitmap, at three frame
// sizes. The engine's extra work per frame (wrapping the pixels, a context and
// a brush) must stay small and must not grow with the frame size.
//
//   ferrowind-bench.exe [frames per round]

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/FrameDrawEngine.h"
#include "engine/GdiplusObject.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
constexpr int kRounds = 5;
constexpr double kTargetRatio = 1.10;

struct FrameSize
{
    int width;
    int height;
};

class Stopwatch
{
public:
    Stopwatch()
    {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        m_frequency = static_cast<double>(f.QuadPart);
    }
    static LONGLONG Now()
    {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t.QuadPart;
    }
    double Milliseconds(LONGLONG from, LONGLONG to) const { return (to - from) * 1000.0 / m_frequency; }

private:
    double m_frequency = 1.0;
};

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t mid = samples.size() / 2;
    return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2.0;
}

struct Result
{
    double engineMs;
    double bareMs;
    size_t samples;
    bool ok;
};

Result Measure(const FrameSize& size, int framesPerRound)
{
    Result result = {0.0, 0.0, 0, false};
    const int stride = size.width * 4;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.width;
    info.bmiHeader.biHeight = size.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * size.height, 0x50);
    BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
    BSTRBLOB bytesBlob = {static_cast<ULONG>(pixels.size()), pixels.data()};

    CFrameDrawEngine engine;
    // The first frame realises the font and measures; the steady state is
    // what a recording costs.
    if (engine.DrawFrame(&infoBlob, &bytesBlob, 0, 333667, 1) != S_OK)
        return result;
    const uint32_t measuresBefore = engine.m_cLayoutMeasures;

    // The bare drawing: the same pixels wrapped once, the same font, brush,
    // hint, origin and text.
    CGdipBitmap bitmap;
    GdipCreateBitmapFromScan0(size.width, size.height, -stride, PixelFormat32bppRGB,
                              pixels.data() + static_cast<size_t>(stride) * (size.height - 1), bitmap.put());
    CGdipGraphics graphics;
    if (bitmap)
        GdipGetImageGraphicsContext(bitmap.get(), graphics.put());
    CGdipFontFamily family;
    GdipCreateFontFamilyFromName(L"Arial", nullptr, family.put());
    CGdipFont font;
    if (family)
        GdipCreateFont(family.get(), 64.0f, 0, UnitPixel, font.put());
    CGdipSolidFill brush;
    GdipCreateSolidFill(0xFFFFFFFF, brush.put());
    if (!graphics || !font || !brush)
        return result;
    GdipSetTextRenderingHint(graphics.get(), TextRenderingHintAntiAlias);
    const RectF at(engine.m_ptTextOrigin.x, engine.m_ptTextOrigin.y, 0.0f, 0.0f);

    Stopwatch watch;
    std::vector<double> engineSamples;
    std::vector<double> bareSamples;
    std::vector<std::wstring> texts(framesPerRound);
    ULONGLONG rt = 333667;
    // Alternating rounds, so that a slow spell of the machine hits both.
    for (int round = 0; round < kRounds; ++round)
    {
        for (int i = 0; i < framesPerRound; ++i, rt += 333667)
        {
            const LONGLONG t0 = Stopwatch::Now();
            const HRESULT hr = engine.DrawFrame(&infoBlob, &bytesBlob, rt, rt + 333667, 1);
            const LONGLONG t1 = Stopwatch::Now();
            if (hr != S_OK)
                return result;
            engineSamples.push_back(watch.Milliseconds(t0, t1));
            texts[i] = engine.m_szTimeCode;
        }
        for (int i = 0; i < framesPerRound; ++i)
        {
            const LONGLONG t0 = Stopwatch::Now();
            GdipDrawString(graphics.get(), texts[i].c_str(), static_cast<INT>(texts[i].size()), font.get(), &at,
                           nullptr, brush.get());
            const LONGLONG t1 = Stopwatch::Now();
            bareSamples.push_back(watch.Milliseconds(t0, t1));
        }
    }
    if (engine.m_cLayoutMeasures != measuresBefore)
    {
        std::fprintf(stderr, "ferrowind-bench: the engine measured again in the steady state\n");
        return result;
    }
    result.engineMs = Median(engineSamples);
    result.bareMs = Median(bareSamples);
    result.samples = engineSamples.size();
    result.ok = true;
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    const int framesPerRound = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok)
    {
        std::fprintf(stderr, "ferrowind-bench: GDI+ did not start\n");
        return 1;
    }

    const FrameSize sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};
    std::printf("%s DLL code; 32 bits per pixel, Arial 64 px, anti-aliased; median of %d frames per size\n\n",
                sizeof(void*) == 8 ? "64-bit (x86-64)" : "32-bit (x86)", kRounds * framesPerRound);
    std::printf("%-11s  %22s  %22s  %6s\n", "frame", "GiveUpcomingFrame (ms)", "bare GdipDrawString (ms)",
                "ratio");
    bool met = true;
    bool failed = false;
    double smallest = 0.0;
    double largest = 0.0;
    for (const FrameSize& size : sizes)
    {
        const Result r = Measure(size, framesPerRound);
        char label[32];
        std::snprintf(label, sizeof(label), "%d x %d", size.width, size.height);
        if (!r.ok || r.bareMs <= 0.0)
        {
            std::printf("%-11s  %22s\n", label, "failed");
            failed = true;
            continue;
        }
        const double ratio = r.engineMs / r.bareMs;
        std::printf("%-11s  %22.3f  %24.3f  %6.3f\n", label, r.engineMs, r.bareMs, ratio);
        met = met && ratio <= kTargetRatio;
        if (smallest == 0.0)
            smallest = r.engineMs;
        largest = r.engineMs;
    }
    GdiplusShutdown(token);
    if (failed)
        return 1;
    std::printf("\ntarget: ratio at most %.2f at every size: %s\n", kTargetRatio, met ? "met" : "NOT met");
    std::printf("time per frame, largest over smallest frame: %.2f\n", smallest > 0.0 ? largest / smallest : 0.0);
    return 0;
}

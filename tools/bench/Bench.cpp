// Time per frame of the drawing engine against a bare GdipDrawString of the
// same text with the same font on an already wrapped bitmap, at frame sizes
// from 640 x 480 to 7680 x 4320. Whatever the engine does besides drawing the
// text must stay within 3 % and must not grow with the frame size.
//
// Then frames per second of K engines on K apartment threads (K = 1, 2, 4),
// each with frames of its own, beside K threads of bare GdipDrawString and K
// threads of bare GdipFillRectangle on wrapped bitmaps: if text drawing does
// not scale while filling does, the platform serialises text drawing.
//
//   ferrowind-bench.exe [frames per round]

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
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
constexpr double kTargetRatio = 1.03;
constexpr double kTargetSpeedUpAt2 = 1.8;

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

// The bare drawing's objects: the caller's rows wrapped once, a context on
// them with the engine's hint, and the font and brush the engine draws with.
struct CBareDrawing
{
    CGdipBitmap bitmap;
    CGdipGraphics graphics;
    CGdipFontFamily family;
    CGdipFont font;
    CGdipSolidFill brush;

    bool Make(int width, int height, int stride, BYTE* pTopRow)
    {
        GdipCreateBitmapFromScan0(width, height, stride, PixelFormat32bppRGB, pTopRow, bitmap.put());
        if (bitmap)
            GdipGetImageGraphicsContext(bitmap.get(), graphics.put());
        GdipCreateFontFamilyFromName(L"Arial", nullptr, family.put());
        if (family)
            GdipCreateFont(family.get(), 64.0f, 0, UnitPixel, font.put());
        GdipCreateSolidFill(0xFFFFFFFF, brush.put());
        if (!graphics || !font || !brush)
            return false;
        GdipSetTextRenderingHint(graphics.get(), TextRenderingHintAntiAlias);
        return true;
    }
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
    CBareDrawing bare;
    if (!bare.Make(size.width, size.height, -stride,
                   pixels.data() + static_cast<size_t>(stride) * (size.height - 1)))
        return result;
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
            GdipDrawString(bare.graphics.get(), texts[i].c_str(), static_cast<INT>(texts[i].size()),
                           bare.font.get(), &at, nullptr, bare.brush.get());
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
enum class Work
{
    Engine,
    BareText,
    BareFill,
};

// One thread's share of a threaded run: its own 1920 x 1080 frame, its own
// objects, drawing until told to stop; counts the frames it finished.
void DrawOnThread(Work work, const std::atomic<bool>& bStart, const std::atomic<bool>& bStop,
                  std::atomic<long>& cFrames, std::atomic<bool>& bFailed)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        constexpr int kWidth = 1920;
        constexpr int kHeight = 1080;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<BYTE> pixels(static_cast<size_t>(kWidth) * 4 * kHeight, 0x50);
        BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
        BSTRBLOB bytesBlob = {static_cast<ULONG>(pixels.size()), pixels.data()};
        CFrameDrawEngine engine;
        CBareDrawing bare;
        if (!bare.Make(kWidth, kHeight, kWidth * 4, pixels.data()) ||
            engine.DrawFrame(&infoBlob, &bytesBlob, 0, 333667, 1) != S_OK)
            bFailed = true;
        const RectF at(engine.m_ptTextOrigin.x, engine.m_ptTextOrigin.y, 0.0f, 0.0f);
        const RectF box(at.X, at.Y, 360.0f, 72.0f);

        while (!bStart.load())
            std::this_thread::yield();
        ULONGLONG rt = 333667;
        while (!bStop.load() && !bFailed.load())
        {
            switch (work)
            {
            case Work::Engine:
                if (engine.DrawFrame(&infoBlob, &bytesBlob, rt, rt + 333667, 1) != S_OK)
                    bFailed = true;
                rt += 333667;
                break;
            case Work::BareText:
                GdipDrawString(bare.graphics.get(), engine.m_szTimeCode, 11, bare.font.get(), &at, nullptr,
                               bare.brush.get());
                break;
            case Work::BareFill:
                GdipFillRectangle(bare.graphics.get(), bare.brush.get(), box.X, box.Y, box.Width, box.Height);
                break;
            }
            ++cFrames;
        }
    }
    CoUninitialize();
}

// Frames per second of K threads together, over a fixed time.
double FramesPerSecond(Work work, int cThreads, bool& bFailed)
{
    std::atomic<bool> bStart{false};
    std::atomic<bool> bStop{false};
    std::atomic<bool> bThreadFailed{false};
    std::atomic<long> cFrames{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < cThreads; ++i)
        threads.emplace_back(DrawOnThread, work, std::cref(bStart), std::cref(bStop), std::ref(cFrames),
                             std::ref(bThreadFailed));
    // The threads set up first; then a short warm-up, then the counted time.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    bStart = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long cBefore = cFrames.load();
    const LONGLONG t0 = Stopwatch::Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const long cAfter = cFrames.load();
    const LONGLONG t1 = Stopwatch::Now();
    bStop = true;
    for (std::thread& t : threads)
        t.join();
    bFailed = bFailed || bThreadFailed.load();
    return (cAfter - cBefore) * 1000.0 / Stopwatch().Milliseconds(t0, t1);
}

// The thread table; answers whether the engine met its speed-up target.
bool PrintThreadTable(bool& bFailed)
{
    std::printf("\nthreads: 1920 x 1080 frames, one engine (or bare GDI+ objects) and one frame per apartment "
                "thread; %u processors\n",
                std::thread::hardware_concurrency());
    std::printf("%-3s  %14s  %8s  %18s  %8s  %18s  %8s\n", "K", "engine (fps)", "speed-up", "bare text (fps)",
                "speed-up", "bare fill (fps)", "speed-up");
    double engineOne = 0.0;
    double textOne = 0.0;
    double fillOne = 0.0;
    double engineAt2 = 0.0;
    for (const int k : {1, 2, 4})
    {
        const double engine = FramesPerSecond(Work::Engine, k, bFailed);
        const double text = FramesPerSecond(Work::BareText, k, bFailed);
        const double fill = FramesPerSecond(Work::BareFill, k, bFailed);
        if (k == 1)
        {
            engineOne = engine;
            textOne = text;
            fillOne = fill;
        }
        const double engineSpeedUp = engineOne > 0.0 ? engine / engineOne : 0.0;
        if (k == 2)
            engineAt2 = engineSpeedUp;
        std::printf("%-3d  %14.0f  %8.2f  %18.0f  %8.2f  %18.0f  %8.2f\n", k, engine, engineSpeedUp, text,
                    textOne > 0.0 ? text / textOne : 0.0, fill, fillOne > 0.0 ? fill / fillOne : 0.0);
    }
    const bool bMet = engineAt2 >= kTargetSpeedUpAt2;
    std::printf("target: engine speed-up at least %.1f at K = 2 (on two or more processors): %s\n",
                kTargetSpeedUpAt2, bMet ? "met" : "NOT met");
    return bMet;
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

    const FrameSize sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}, {7680, 4320}};
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
    if (!failed)
    {
        std::printf("\ntarget: ratio at most %.2f at every size: %s\n", kTargetRatio, met ? "met" : "NOT met");
        std::printf("time per frame, largest over smallest frame: %.2f\n",
                    smallest > 0.0 ? largest / smallest : 0.0);
        PrintThreadTable(failed);
    }
    GdiplusShutdown(token);
    return failed ? 1 : 0;
}

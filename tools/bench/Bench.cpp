// Time per frame of the drawing engine against a bare GdipDrawString of the
// same text with the same font on an already wrapped bitmap, at frame sizes
// from 640 x 480 to 7680 x 4320. Whatever the engine does besides drawing the
// text must stay within 3 % and must not grow with the frame size.
//
// Then frames per second of K engines on K apartment threads (K = 1, 2, 4),
// each with frames of its own, beside the same count of workers doing only
// part of the work: bare GdipDrawString on threads and in processes, the GDI
// glyph bitmaps beneath it, and bare GdipFillRectangle. Where the speed-up
// stops between these layers, or between threads and processes, the
// platform serialises.
//
//   ferrowind-bench.exe [frames per size] [--sizes-only]

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "com/CriticalSection.h"
#include "com/Win32Handle.h"
#include "engine/FrameDrawEngine.h"
#include "engine/GdiplusObject.h"
#include "engine/SlimLock.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
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

// The header of a host's frame: 32 bits per pixel, rows bottom-up.
BITMAPINFO BottomUp32(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
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

Result Measure(const FrameSize& size, int cFrames)
{
    Result result = {0.0, 0.0, 0, false};
    const int stride = size.width * 4;
    BITMAPINFO info = BottomUp32(size.width, size.height);
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
    ULONGLONG rt = 333667;
    // Each engine frame is followed by the bare drawing of the same text, so
    // that a slow spell of the machine hits both alike.
    for (int i = 0; i < cFrames; ++i, rt += 333667)
    {
        const LONGLONG t0 = Stopwatch::Now();
        const HRESULT hr = engine.DrawFrame(&infoBlob, &bytesBlob, rt, rt + 333667, 1);
        const LONGLONG t1 = Stopwatch::Now();
        if (hr != S_OK)
            return result;
        GdipDrawString(bare.graphics.get(), engine.m_szTimeCode, static_cast<INT>(std::wcslen(engine.m_szTimeCode)),
                       bare.font.get(), &at, nullptr, bare.brush.get());
        const LONGLONG t2 = Stopwatch::Now();
        engineSamples.push_back(watch.Milliseconds(t0, t1));
        bareSamples.push_back(watch.Milliseconds(t1, t2));
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
    EngineOneAtATime,
    BareText,
    Glyphs,
    BareFill,
    CpuOnly,
};

using CKernelHandle = CWin32Handle<HANDLE, &::CloseHandle>;
using CMappedView = CWin32Handle<void*, &::UnmapViewOfFile>;
using CMemoryDC = CWin32Handle<HDC, &::DeleteDC>;
using CGdiFont = CWin32Handle<HFONT, &::DeleteObject>;

// Shared by the workers of one run and the run's clock: in this process's
// memory for threads, in a named mapping for processes.
struct CRunFlags
{
    volatile LONG lReady;
    volatile LONG lGo;
    volatile LONG lStop;
    volatile LONG lFailed;
    volatile LONG lFrames;
};

// GDI's glyph rendering without GDI+: for each character, the glyph's size,
// then its anti-aliased bitmap.
class CGlyphBitmaps
{
public:
    bool Make()
    {
        m_dc = CMemoryDC(CreateCompatibleDC(nullptr));
        m_font = CGdiFont(CreateFontW(-64, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, L"Arial"));
        return m_dc && m_font && SelectObject(m_dc.get(), m_font.get()) != nullptr;
    }
    bool Render(const wchar_t* pszText)
    {
        static const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        for (const wchar_t* pch = pszText; *pch; ++pch)
        {
            GLYPHMETRICS gm;
            const DWORD cb = GetGlyphOutlineW(m_dc.get(), *pch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity);
            if (cb == GDI_ERROR || cb > m_bits.size() ||
                GetGlyphOutlineW(m_dc.get(), *pch, GGO_GRAY8_BITMAP, &gm, cb, m_bits.data(), &kIdentity) ==
                    GDI_ERROR)
                return false;
        }
        return true;
    }

private:
    CMemoryDC m_dc;
    CGdiFont m_font;
    std::vector<BYTE> m_bits = std::vector<BYTE>(64 * 1024);
};

// What a plug-in could do about a platform that serialises text drawing:
// take turns itself, once per frame.
CCriticalSection g_csOneEngineAtATime;

// One worker's share of a run: its own 1920 x 1080 frame, its own objects,
// drawing from the go until the stop; counts the frames it finished.
void DrawUntilStopped(Work work, CRunFlags& flags)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        constexpr int kWidth = 1920;
        constexpr int kHeight = 1080;
        BITMAPINFO info = BottomUp32(kWidth, kHeight);
        std::vector<BYTE> pixels(static_cast<size_t>(kWidth) * 4 * kHeight, 0x50);
        BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
        BSTRBLOB bytesBlob = {static_cast<ULONG>(pixels.size()), pixels.data()};
        CFrameDrawEngine engine;
        CBareDrawing bare;
        CGlyphBitmaps glyphs;
        if (!bare.Make(kWidth, kHeight, kWidth * 4, pixels.data()) || !glyphs.Make() ||
            engine.DrawFrame(&infoBlob, &bytesBlob, 0, 333667, 1) != S_OK)
            InterlockedExchange(&flags.lFailed, 1);
        const RectF at(engine.m_ptTextOrigin.x, engine.m_ptTextOrigin.y, 0.0f, 0.0f);
        const RectF box(at.X, at.Y, 360.0f, 72.0f);

        InterlockedIncrement(&flags.lReady);
        while (!flags.lGo && !flags.lFailed)
            Sleep(1);
        ULONGLONG rt = 333667;
        bool bOk = true;
        while (!flags.lStop && !flags.lFailed)
        {
            switch (work)
            {
            case Work::Engine:
                bOk = engine.DrawFrame(&infoBlob, &bytesBlob, rt, rt + 333667, 1) == S_OK;
                rt += 333667;
                break;
            case Work::EngineOneAtATime:
            {
                CCriticalSectionLock lock(g_csOneEngineAtATime);
                bOk = engine.DrawFrame(&infoBlob, &bytesBlob, rt, rt + 333667, 1) == S_OK;
                rt += 333667;
                break;
            }
            case Work::BareText:
                bOk = GdipDrawString(bare.graphics.get(), engine.m_szTimeCode,
                                     static_cast<INT>(std::wcslen(engine.m_szTimeCode)), bare.font.get(), &at,
                                     nullptr, bare.brush.get()) == Ok;
                break;
            case Work::Glyphs:
                bOk = glyphs.Render(engine.m_szTimeCode);
                break;
            case Work::BareFill:
                bOk = GdipFillRectangle(bare.graphics.get(), bare.brush.get(), box.X, box.Y, box.Width,
                                        box.Height) == Ok;
                break;
            case Work::CpuOnly:
            {
                // Arithmetic in registers: what the machine's processors
                // give when nothing is shared. The result is used, so that
                // the loop stays.
                uint64_t x = rt++;
                for (int i = 0; i < 100000; ++i)
                    x = x * 6364136223846793005u + 1442695040888963407u;
                bOk = x != 0 || rt != 0;
                break;
            }
            }
            if (!bOk)
                InterlockedExchange(&flags.lFailed, 1);
            InterlockedIncrement(&flags.lFrames);
        }
    }
    CoUninitialize();
}

// Frames per second of all workers together over a fixed time, once each has
// set up; 0 when one failed or never got ready.
double CountFramesPerSecond(CRunFlags& flags, int cWorkers)
{
    const ULONGLONG readyBy = GetTickCount64() + 120000;
    while (flags.lReady < cWorkers && !flags.lFailed && GetTickCount64() < readyBy)
        Sleep(10);
    const bool bReady = flags.lReady == cWorkers && !flags.lFailed;
    InterlockedExchange(&flags.lGo, 1);
    double fps = 0.0;
    if (bReady)
    {
        Sleep(300);
        const LONG cBefore = flags.lFrames;
        const LONGLONG t0 = Stopwatch::Now();
        Sleep(2000);
        const LONG cAfter = flags.lFrames;
        const LONGLONG t1 = Stopwatch::Now();
        fps = (cAfter - cBefore) * 1000.0 / Stopwatch().Milliseconds(t0, t1);
    }
    InterlockedExchange(&flags.lStop, 1);
    return flags.lFailed ? 0.0 : fps;
}

double FramesPerSecondOnThreads(Work work, int cThreads)
{
    CRunFlags flags = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < cThreads; ++i)
        threads.emplace_back(DrawUntilStopped, work, std::ref(flags));
    const double fps = CountFramesPerSecond(flags, cThreads);
    for (std::thread& t : threads)
        t.join();
    return fps;
}

constexpr wchar_t kChildSwitch[] = L"--text-process";

// Bare text drawing in K processes of this program, one thread each, sharing
// only the run's flags through a named mapping.
double FramesPerSecondInProcesses(int cProcesses)
{
    wchar_t szMapping[64];
    std::swprintf(szMapping, 64, L"Local\\ferrowind-bench-%lu", GetCurrentProcessId());
    CKernelHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CRunFlags), szMapping));
    CMappedView view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(CRunFlags)) : nullptr);
    wchar_t szExe[MAX_PATH];
    const DWORD cchExe = GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    if (!view || cchExe == 0 || cchExe >= MAX_PATH)
        return 0.0;
    CRunFlags& flags = *static_cast<CRunFlags*>(view.get());

    std::vector<CKernelHandle> processes;
    for (int i = 0; i < cProcesses; ++i)
    {
        std::wstring commandLine = L"\"" + std::wstring(szExe) + L"\" " + kChildSwitch + L" " + szMapping;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(szExe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        {
            InterlockedExchange(&flags.lFailed, 1);
            break;
        }
        CloseHandle(pi.hThread);
        processes.emplace_back(pi.hProcess);
    }
    const double fps = flags.lFailed ? 0.0 : CountFramesPerSecond(flags, cProcesses);
    InterlockedExchange(&flags.lStop, 1);
    for (const CKernelHandle& process : processes)
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0)
            TerminateProcess(process.get(), 1);
    return fps;
}

// A child of FramesPerSecondInProcesses.
int RunTextProcess(const wchar_t* pszMapping)
{
    CKernelHandle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, pszMapping));
    CMappedView view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(CRunFlags)) : nullptr);
    if (!view)
        return 1;
    DrawUntilStopped(Work::BareText, *static_cast<CRunFlags*>(view.get()));
    return 0;
}

constexpr int kThreadRepeats = 3;

// One row's columns: the engine, then what it is made of, then controls.
constexpr int kColumns = 7;
const char* const kColumnNames[kColumns] = {"engine",        "engine, in turn", "bare text", "text, K procs",
                                            "GDI glyphs",    "bare fill",     "CPU only"};

double ColumnFramesPerSecond(int column, int k)
{
    switch (column)
    {
    case 0: return FramesPerSecondOnThreads(Work::Engine, k);
    case 1: return FramesPerSecondOnThreads(Work::EngineOneAtATime, k);
    case 2: return FramesPerSecondOnThreads(Work::BareText, k);
    case 3: return FramesPerSecondInProcesses(k);
    case 4: return FramesPerSecondOnThreads(Work::Glyphs, k);
    case 5: return FramesPerSecondOnThreads(Work::BareFill, k);
    default: return FramesPerSecondOnThreads(Work::CpuOnly, k);
    }
}

// The thread table; answers whether the engine met its speed-up target.
bool PrintThreadTable(bool& bFailed)
{
    std::printf("\nthreads: 1920 x 1080 frames, one engine (or bare objects) and one frame per apartment thread; "
                "%u processors\nfigures: frames per second, median of %d runs (speed-up over K = 1)\n",
                std::thread::hardware_concurrency(), kThreadRepeats);
    std::printf("%-3s", "K");
    for (const char* pszName : kColumnNames)
        std::printf("  %15s", pszName);
    std::printf("\n");
    if (!g_csOneEngineAtATime.Init())
    {
        bFailed = true;
        return false;
    }
    // The prefix's own services start with the first child; not in a row.
    FramesPerSecondInProcesses(1);
    double one[kColumns] = {};
    double engineAt2 = 0.0;
    for (const int k : {1, 2, 4})
    {
        // Repeats interleaved, so that a slow spell of the machine hits
        // every column.
        std::vector<double> runs[kColumns];
        for (int repeat = 0; repeat < kThreadRepeats; ++repeat)
            for (int column = 0; column < kColumns; ++column)
                runs[column].push_back(ColumnFramesPerSecond(column, k));
        std::printf("%-3d", k);
        for (int column = 0; column < kColumns; ++column)
        {
            const bool bColumnFailed =
                std::any_of(runs[column].begin(), runs[column].end(), [](double fps) { return fps <= 0.0; });
            const double fps = Median(runs[column]);
            if (k == 1)
                one[column] = fps;
            char sz[32];
            if (bColumnFailed || one[column] <= 0.0)
                std::snprintf(sz, sizeof(sz), "failed");
            else
                std::snprintf(sz, sizeof(sz), "%.0f (%.2f)", fps, fps / one[column]);
            std::printf("  %15s", sz);
            bFailed = bFailed || bColumnFailed;
            if (column == 0 && k == 2 && one[0] > 0.0)
                engineAt2 = fps / one[0];
        }
        std::printf("\n");
    }
    // If glyphs are rendered one thread at a time, their share s of a text
    // frame bounds the speed-up of two threads at 2 / (1 + s).
    if (one[4] > 0.0 && one[2] > 0.0)
    {
        const double share = std::min(1.0, one[2] / one[4]);
        std::printf("GDI glyphs take %.0f %% of a bare text frame on one thread; run one thread at a time, they "
                    "bound K = 2 to %.2f\n",
                    share * 100.0, 2.0 / (1.0 + share));
    }
    const bool bMet = engineAt2 >= kTargetSpeedUpAt2;
    std::printf("target: engine speed-up at least %.1f at K = 2 (on two or more processors): %s\n",
                kTargetSpeedUpAt2, bMet ? "met" : "NOT met");
    return bMet;
}

// What the engine's per-frame lock costs when no other thread wants it: the
// mean of a million takes and releases, in nanoseconds.
double UncontendedFrameLockNs()
{
    constexpr int kTakes = 1000000;
    CSlimLock lock;
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER start = {};
    LARGE_INTEGER end = {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kTakes; ++i)
        CSlimLockScope scope(lock);
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart) /
           kTakes;
}
} // namespace

int main(int argc, char** argv)
{
    int argcW = 0;
    wchar_t** argvW = CommandLineToArgvW(GetCommandLineW(), &argcW);
    const bool bChild = argvW && argcW == 3 && std::wcscmp(argvW[1], kChildSwitch) == 0;
    const std::wstring mappingName = bChild ? argvW[2] : L"";
    LocalFree(argvW);

    int cFrames = 500;
    bool bThreadTable = true;
    for (int i = 1; i < argc && !bChild; ++i)
    {
        if (std::strcmp(argv[i], "--sizes-only") == 0)
            bThreadTable = false;
        else
            cFrames = std::max(1, std::atoi(argv[i]));
    }
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok)
    {
        std::fprintf(stderr, "ferrowind-bench: GDI+ did not start\n");
        return 1;
    }
    if (bChild)
    {
        const int exitCode = RunTextProcess(mappingName.c_str());
        GdiplusShutdown(token);
        return exitCode;
    }

    const FrameSize sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}, {7680, 4320}};
    std::printf("%s DLL code; 32 bits per pixel, Arial 64 px, anti-aliased; median of %d frames per size\n\n",
                sizeof(void*) == 8 ? "64-bit (x86-64)" : "32-bit (x86)", cFrames);
    std::printf("%-11s  %22s  %22s  %6s\n", "frame", "GiveUpcomingFrame (ms)", "bare GdipDrawString (ms)",
                "ratio");
    bool met = true;
    bool failed = false;
    double smallest = 0.0;
    double largest = 0.0;
    for (const FrameSize& size : sizes)
    {
        const Result r = Measure(size, cFrames);
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
        const double lockNs = UncontendedFrameLockNs();
        std::printf("the frame lock, uncontended: %.1f ns per frame, %.4f %% of the smallest frame's time\n", lockNs,
                    smallest > 0.0 ? lockNs / (smallest * 1e6) * 100.0 : 0.0);
        if (bThreadTable)
            PrintThreadTable(failed);
    }
    GdiplusShutdown(token);
    return failed ? 1 : 0;
}

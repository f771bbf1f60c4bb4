// The soak: many frames through one object and many create/release cycles of
// the object through the class object of the real Ferrowind.dll, with GDI+
// started by this program as a host starts it. The process's private memory
// and GDI object count are printed at the start and the end and must stay
// flat; DllCanUnloadNow answers S_OK once everything is released.
//
// Counts: FERROWIND_SOAK_FRAMES (default 100000) and FERROWIND_SOAK_CYCLES
// (default 10000); set them higher for a longer soak by hand.

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Ferrowind.h"
#include "ServerTestSupport.h"

namespace
{
const CLSID kClsid = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};

// Allowances, measured after a warm-up that has realised fonts, laid out both
// frame sizes and filled the allocators' caches once. A leak of one object
// (well over 200 bytes) per cycle, or of 16 bytes per frame, outgrows 1 MiB
// over the default counts; what stays below it is heap and font-cache noise.
constexpr SIZE_T kPrivateBytesAllowance = 1 << 20;
// Every GDI object the drawing path makes is released within a frame or with
// its object; any leak of one per frame or per cycle adds thousands.
constexpr DWORD kGdiObjectAllowance = 8;

int CountFromEnvironment(const char* pszName, int nDefault)
{
    const char* pszValue = std::getenv(pszName);
    if (pszValue == nullptr || *pszValue == '\0')
        return nDefault;
    const long value = std::strtol(pszValue, nullptr, 10);
    return value > 0 && value < 100000000 ? static_cast<int>(value) : nDefault;
}

struct ProcessFigures
{
    SIZE_T cbPrivate = 0;
    DWORD nGdiObjects = 0;
};

ProcessFigures Measure()
{
    ProcessFigures figures;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters)))
        figures.cbPrivate = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    figures.nGdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return figures;
}

// Whether the figures react at all: committed memory must show in the
// private figure, and new GDI objects in the GDI count. Wine 8 answers
// GetGuiResources with 0 whatever the process holds; the GDI figure then
// binds only where the platform counts.
bool PrivateFigureCountsCommittedMemory()
{
    constexpr SIZE_T cbProbe = 4 << 20;
    const SIZE_T cbBefore = Measure().cbPrivate;
    void* pv = VirtualAlloc(nullptr, cbProbe, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (pv != nullptr)
        memset(pv, 0x5A, cbProbe); // some platforms count pages only once they are touched
    const SIZE_T cbDuring = Measure().cbPrivate;
    if (pv != nullptr)
        VirtualFree(pv, 0, MEM_RELEASE);
    return pv != nullptr && cbDuring >= cbBefore + cbProbe;
}

bool GdiFigureCountsObjects()
{
    constexpr int kProbes = 16;
    const DWORD nBefore = Measure().nGdiObjects;
    HPEN rgPens[kProbes] = {};
    for (HPEN& hPen : rgPens)
        hPen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    const DWORD nDuring = Measure().nGdiObjects;
    for (HPEN hPen : rgPens)
        DeleteObject(hPen);
    return nDuring >= nBefore + kProbes;
}

class CGdiplusSession
{
public:
    CGdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_bStarted = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~CGdiplusSession()
    {
        if (m_bStarted)
            Gdiplus::GdiplusShutdown(m_token);
    }
    bool Started() const { return m_bStarted; }

private:
    ULONG_PTR m_token = 0;
    bool m_bStarted = false;
};

// A 32-bit bottom-up frame, as a screen recorder hands it over.
struct SoakFrame
{
    BITMAPINFO info = {};
    std::vector<BYTE> pixels;

    SoakFrame(int cx, int cy)
    {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = cx;
        info.bmiHeader.biHeight = cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = static_cast<DWORD>(cx) * static_cast<DWORD>(cy) * 4;
        pixels.assign(info.bmiHeader.biSizeImage, 0x40);
    }

    HRESULT Give(IWendleVideoDraw* pPlugin, int n)
    {
        BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
        BSTRBLOB bytesBlob = {static_cast<ULONG>(pixels.size()), pixels.data()};
        const ULONGLONG rtStart = static_cast<ULONGLONG>(n) * 333333;
        return pPlugin->GiveUpcomingFrame(&infoBlob, &bytesBlob, rtStart, rtStart + 333333, 0, 0, 1.0, 1.0, 0);
    }
};

struct SoakCounts
{
    int nOk = 0;
    int nOther = 0;
};

// Frames through one object: small ones, and every 10,000th a full-size one,
// so that the layout is computed afresh for both sizes again and again.
void DrawFrames(IClassFactory* pFactory, int nFrames, SoakCounts& counts)
{
    IWendleVideoDraw* pPlugin = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(&pPlugin)), S_OK);
    SoakFrame small(64, 48);
    SoakFrame full(1280, 720);
    for (int n = 0; n < nFrames; ++n)
    {
        const HRESULT hr = (n % 10000 == 5000) ? full.Give(pPlugin, n) : small.Give(pPlugin, n);
        ++(hr == S_OK ? counts.nOk : counts.nOther);
    }
    EXPECT_EQ(pPlugin->Release(), 0u);
}

// Objects created and released through the class object; every tenth draws
// a frame first, so that its release deletes a realised font.
void CreateAndRelease(IClassFactory* pFactory, int nCycles, SoakCounts& counts, int& nReleasedToZero)
{
    SoakFrame small(64, 48);
    for (int i = 0; i < nCycles; ++i)
    {
        IWendleVideoDraw* pPlugin = nullptr;
        if (pFactory->CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(&pPlugin)) != S_OK ||
            pPlugin == nullptr)
        {
            ++counts.nOther;
            continue;
        }
        if (i % 10 == 0)
            ++(small.Give(pPlugin, i) == S_OK ? counts.nOk : counts.nOther);
        if (pPlugin->Release() == 0)
            ++nReleasedToZero;
    }
}
} // namespace

TEST(Soak, FramesAndCreateReleaseCyclesKeepMemoryAndGdiObjectsFlat)
{
    const int nFrames = CountFromEnvironment("FERROWIND_SOAK_FRAMES", 100000);
    const int nCycles = CountFromEnvironment("FERROWIND_SOAK_CYCLES", 10000);

    CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.Started());
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    IClassFactory* pFactory = nullptr;
    ASSERT_EQ(server.DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)), S_OK);

    SoakCounts warmUp;
    int nWarmReleased = 0;
    DrawFrames(pFactory, 10001, warmUp);
    CreateAndRelease(pFactory, 100, warmUp, nWarmReleased);
    ASSERT_EQ(warmUp.nOther, 0);

    const ProcessFigures start = Measure();
    std::printf("soak start: private memory %lu KiB, GDI objects %lu\n", static_cast<unsigned long>(start.cbPrivate / 1024),
                static_cast<unsigned long>(start.nGdiObjects));
    std::fflush(stdout);

    const DWORD dwStart = GetTickCount();
    SoakCounts frames;
    DrawFrames(pFactory, nFrames, frames);
    const DWORD dwFrames = GetTickCount();
    SoakCounts cycles;
    int nReleasedToZero = 0;
    CreateAndRelease(pFactory, nCycles, cycles, nReleasedToZero);
    const DWORD dwCycles = GetTickCount();

    const ProcessFigures end = Measure();
    std::printf("soak: %d frames (S_OK %d, other %d) in %.1f s; %d create/release cycles (%d frames drawn, "
                "%d released to 0) in %.1f s\n",
                nFrames, frames.nOk, frames.nOther, (dwFrames - dwStart) / 1000.0, nCycles, cycles.nOk,
                nReleasedToZero, (dwCycles - dwFrames) / 1000.0);
    std::printf("soak end: private memory %lu KiB, GDI objects %lu\n", static_cast<unsigned long>(end.cbPrivate / 1024),
                static_cast<unsigned long>(end.nGdiObjects));

    EXPECT_EQ(frames.nOk, nFrames);
    EXPECT_EQ(frames.nOther, 0);
    EXPECT_EQ(cycles.nOk, (nCycles + 9) / 10);
    EXPECT_EQ(cycles.nOther, 0);
    EXPECT_EQ(nReleasedToZero, nCycles);
    EXPECT_TRUE(PrivateFigureCountsCommittedMemory());
    EXPECT_LE(end.cbPrivate, start.cbPrivate + kPrivateBytesAllowance)
        << "private memory grew by " << (end.cbPrivate - start.cbPrivate) << " bytes";
    if (GdiFigureCountsObjects())
        EXPECT_LE(end.nGdiObjects, start.nGdiObjects + kGdiObjectAllowance);
    else
        std::printf("soak: this platform does not count GDI objects (GetGuiResources answers %lu); "
                    "the GDI figure is not checked here\n",
                    static_cast<unsigned long>(end.nGdiObjects));

    // While the class object is held, the module stays; after it, it may go.
    EXPECT_EQ(server.DllCanUnloadNow(), S_FALSE);
    pFactory->Release();
    const HRESULT hrUnload = server.DllCanUnloadNow();
    std::printf("soak: DllCanUnloadNow after releasing the class object: %s\n",
                hrUnload == S_OK ? "S_OK" : "S_FALSE");
    EXPECT_EQ(hrUnload, S_OK);
}

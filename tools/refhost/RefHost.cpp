// A reference host, working as the real one does: it finds the video-draw
// plug-ins through their component category, creates the first one through
// COM, hands it a generated clip with its frames' start and end times through
// IWendleVideoDraw, and writes frames and a contact sheet as PNG. It can load
// and save settings blobs as files and open the plug-in's setup dialog. At the
// end it releases the plug-in, checks that its module allows unloading and
// lets COM unload it. See --help.
//
// The plug-in must be registered first, as its installer does it, with
// regsvr32 (machine-wide) or regsvr32 /n /i:user (for the current user).

#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Clip.h"
#include "Discovery.h"
#include "Options.h"
#include "Pictures.h"
#include "SettingsFile.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
const char* AnswerName(HRESULT hr)
{
    switch (hr)
    {
    case S_OK:
        return "S_OK";
    case S_FALSE:
        return "S_FALSE";
    case E_INVALIDARG:
        return "E_INVALIDARG";
    case E_POINTER:
        return "E_POINTER";
    case E_OUTOFMEMORY:
        return "E_OUTOFMEMORY";
    default:
        return "an error";
    }
}

class CStopwatch
{
public:
    CStopwatch()
    {
        QueryPerformanceFrequency(&m_frequency);
        QueryPerformanceCounter(&m_start);
    }
    double Milliseconds() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 / static_cast<double>(m_frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_frequency;
    LARGE_INTEGER m_start;
};

struct RunCounts
{
    int nOk = 0;
    int nFalse = 0;
    int nOther = 0;
    int nWritten = 0;
    // FNV-1a over the pixels of every frame as the plug-in left it, so that
    // two builds can be shown to draw the very same bytes.
    uint64_t uFramesHash = 0xcbf29ce484222325ull;
    int nChecksMatched = 0;
    bool bWriteFailed = false;
    std::vector<double> milliseconds;
};

const char* RateText(const Scenario& scenario, char* psz, size_t cch)
{
    switch (scenario.timing.timing)
    {
    case Timing::Variable:
        return "variable frame rate";
    case Timing::NoEndTimes:
        return "30 frames per second without usable end times";
    case Timing::Constant:
    default:
        std::snprintf(psz, cch, "%.5g frames per second",
                      static_cast<double>(scenario.timing.rateNumerator) /
                          static_cast<double>(scenario.timing.rateDenominator));
        return psz;
    }
}

// Draws frame n's picture again through the reference object, from times
// that give the expected text, and compares it with the frame the clip's
// object drew.
void RunCheck(IWendleVideoDraw* pReference, const TimeCodeCheck& check, CClipFrame& drawn,
              const std::vector<BYTE>& undrawn, unsigned long uRenderingHints, RunCounts& counts)
{
    CClipFrame reference(drawn.Format());
    reference.Pixels() = undrawn;
    BITMAPINFO info = reference.Info();
    BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
    BSTRBLOB bytesBlob = {static_cast<ULONG>(reference.Pixels().size()), reference.Pixels().data()};
    const HRESULT hr = pReference == nullptr ? E_FAIL
                                             : pReference->GiveUpcomingFrame(&infoBlob, &bytesBlob, check.rtStart,
                                                                             check.rtEnd, 0, 0, 1.0, 1.0,
                                                                             uRenderingHints);
    const bool bTextDrawn = drawn.Pixels() != undrawn;
    const bool bMatch = hr == S_OK && bTextDrawn && reference.Pixels() == drawn.Pixels();
    std::printf("ferrowind-host: check frame %d \"%ls\": %s\n", check.nFrame, check.strText.c_str(),
                bMatch ? "match" : (bTextDrawn ? "differs" : "nothing drawn"));
    if (bMatch)
        ++counts.nChecksMatched;
}

void DrawClip(IWendleVideoDraw* pPlugin, IWendleVideoDraw* pReference, const HostOptions& options, const CLSID& png,
              CContactSheet& sheet, RunCounts& counts)
{
    CClipFrame frame(options.format);
    std::vector<BYTE> undrawn;
    const CStopwatch clock;
    double nextProgress = 2000.0;
    counts.milliseconds.reserve(static_cast<size_t>(options.nFrames));
    for (int n = 0; n < options.nFrames; ++n)
    {
        frame.Paint(n, options.nFrames);
        const bool bChecked = std::any_of(options.checks.begin(), options.checks.end(),
                                          [n](const TimeCodeCheck& check) { return check.nFrame == n; });
        if (bChecked)
            undrawn = frame.Pixels();

        const FrameTimes times = TimesOfFrame(options.pScenario->timing, n);
        BITMAPINFO info = frame.Info();
        BSTRBLOB infoBlob = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&info)};
        BSTRBLOB bytesBlob = {static_cast<ULONG>(frame.Pixels().size()), frame.Pixels().data()};
        const CStopwatch call;
        const HRESULT hr = pPlugin->GiveUpcomingFrame(&infoBlob, &bytesBlob, times.rtStart, times.rtEnd, 0, 0, 1.0,
                                                      1.0, options.uRenderingHints);
        counts.milliseconds.push_back(call.Milliseconds());
        for (const BYTE b : frame.Pixels())
            counts.uFramesHash = (counts.uFramesHash ^ b) * 0x100000001b3ull;
        if (hr == S_OK)
            ++counts.nOk;
        else if (hr == S_FALSE)
            ++counts.nFalse;
        else
        {
            ++counts.nOther;
            std::fprintf(stderr, "ferrowind-host: frame %d answered 0x%08lx\n", n, static_cast<unsigned long>(hr));
        }

        for (const TimeCodeCheck& check : options.checks)
        {
            if (check.nFrame == n)
                RunCheck(pReference, check, frame, undrawn, options.uRenderingHints, counts);
        }
        const int nSlot = sheet.SlotOf(n);
        const bool bSaved =
            std::find(options.savedFrames.begin(), options.savedFrames.end(), n) != options.savedFrames.end();
        if (nSlot >= 0 || bSaved)
        {
            CGdipBitmap view = frame.View();
            sheet.Place(nSlot, view.get());
            wchar_t szName[32];
            swprintf(szName, 32, L"frame-%03d.png", n);
            if (bSaved && SavePng(view.get(), JoinPath(options.strOut, szName), png))
                ++counts.nWritten;
            else if (bSaved)
                counts.bWriteFailed = true;
        }

        const double elapsed = clock.Milliseconds();
        if (elapsed >= nextProgress && n + 1 < options.nFrames)
        {
            std::printf("ferrowind-host: progress %d of %d frames (%d %%), %.3f ms per frame\n", n + 1,
                        options.nFrames, static_cast<int>(100LL * (n + 1) / options.nFrames), elapsed / (n + 1));
            std::fflush(stdout);
            nextProgress = elapsed + 1000.0;
        }
    }
}

void PrintTimes(std::vector<double> milliseconds)
{
    if (milliseconds.empty())
        return;
    double total = 0;
    for (const double ms : milliseconds)
        total += ms;
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("ferrowind-host: time per frame (GiveUpcomingFrame): mean %.3f ms, median %.3f ms, max %.3f ms\n",
                total / static_cast<double>(milliseconds.size()), milliseconds[milliseconds.size() / 2],
                milliseconds.back());
}

// The part of a run with the plug-in alive; false when something failed.
bool RunWithPlugin(IWendleVideoDraw* pPlugin, const CLSID& clsid, const HostOptions& options)
{
    bool bOk = true;
    if (!options.strLoadSettings.empty())
    {
        HRESULT hr = E_FAIL;
        ULONG cb = 0;
        if (!LoadSettingsFile(pPlugin, options.strLoadSettings, hr, cb))
        {
            std::fprintf(stderr, "ferrowind-host: cannot read %ls\n", options.strLoadSettings.c_str());
            return false;
        }
        std::printf("ferrowind-host: settings loaded from %ls (%lu bytes): SetDrawSetupParameters %s\n",
                    options.strLoadSettings.c_str(), cb, AnswerName(hr));
        if (hr != S_OK)
            return false;
    }
    if (options.bSetup)
    {
        VARIANT varOwner;
        VariantInit(&varOwner);
        const HRESULT hr = pPlugin->ShowSetupDialog(varOwner, 0x0409);
        std::printf("ferrowind-host: setup dialog closed: ShowSetupDialog %s (%s)\n", AnswerName(hr),
                    hr == S_OK ? "settings changed" : "settings unchanged");
    }
    if (!options.strSaveSettings.empty())
    {
        HRESULT hr = E_FAIL;
        ULONG cb = 0;
        const bool bSaved = SaveSettingsFile(pPlugin, options.strSaveSettings, hr, cb);
        std::printf("ferrowind-host: GetDrawSetupParameters %s; settings saved to %ls (%lu bytes)\n", AnswerName(hr),
                    options.strSaveSettings.c_str(), cb);
        if (!bSaved)
        {
            std::fprintf(stderr, "ferrowind-host: cannot save the settings to %ls\n", options.strSaveSettings.c_str());
            return false;
        }
    }

    CLSID png = {};
    if (!FindPngEncoder(png))
    {
        std::fprintf(stderr, "ferrowind-host: no PNG encoder\n");
        return false;
    }
    const FrameFormat& format = options.format;
    char szRate[40];
    std::printf("ferrowind-host: scenario %s: %d frames of %d x %d, %u bits per pixel, %s, %s\n",
                options.pScenario->pszName, options.nFrames, format.nWidth, format.nHeight,
                static_cast<unsigned>(format.wBitCount), format.bTopDown ? "top-down" : "bottom-up",
                RateText(*options.pScenario, szRate, sizeof(szRate)));
    std::fflush(stdout);

    // Checks draw through a second object, so that the clip's object keeps its
    // own frame duration.
    ComPtr<IWendleVideoDraw> reference;
    if (!options.checks.empty() &&
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IWendleVideoDraw,
                                reinterpret_cast<void**>(reference.put()))))
        std::fprintf(stderr, "ferrowind-host: no second object for the checks\n");

    RunCounts counts;
    CContactSheet sheet(format.nWidth, format.nHeight, options.nFrames);
    if (options.nFrames > 0 && !sheet.Ready())
    {
        std::fprintf(stderr, "ferrowind-host: cannot make the contact sheet\n");
        return false;
    }
    DrawClip(pPlugin, reference.get(), options, png, sheet, counts);
    if (options.nFrames > 0)
    {
        if (SavePng(sheet.Image(), JoinPath(options.strOut, L"contact-sheet.png"), png))
            ++counts.nWritten;
        else
            counts.bWriteFailed = true;
    }

    std::printf("ferrowind-host: frames drawn %d of %d: S_OK %d, S_FALSE %d, other %d\n", counts.nOk, options.nFrames,
                counts.nOk, counts.nFalse, counts.nOther);
    PrintTimes(counts.milliseconds);
    if (!options.checks.empty())
        std::printf("ferrowind-host: checks matched %d of %u\n", counts.nChecksMatched,
                    static_cast<unsigned>(options.checks.size()));
    std::printf("ferrowind-host: frames hash %016llx\n", static_cast<unsigned long long>(counts.uFramesHash));
    std::printf("ferrowind-host: time code drawn on %d of %d frames, %d pictures written\n", counts.nOk,
                options.nFrames, counts.nWritten);
    return bOk && counts.nOther == 0 && !counts.bWriteFailed &&
           counts.nChecksMatched == static_cast<int>(options.checks.size());
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    HostOptions options;
    std::string strError;
    if (!ParseOptions(argc, argv, options, strError))
    {
        std::fprintf(stderr, "ferrowind-host: %s\n", strError.c_str());
        return 2;
    }
    if (options.bHelp)
    {
        PrintUsage();
        return 0;
    }
    if (options.bList)
    {
        PrintScenarios();
        return 0;
    }
    if (options.strOut != L".")
        CreateDirectoryW(options.strOut.c_str(), nullptr);

    // A real host has the common controls registered before any plug-in
    // dialog can need the trackbar class.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    CComApartment apartment;
    if (!apartment.Started())
    {
        std::fprintf(stderr, "ferrowind-host: COM did not start\n");
        return 1;
    }
    const std::vector<CLSID> classes = ClassesOfCategory(kCatIdWendleVideoDraw);
    std::printf("ferrowind-host: %u plug-in(s) in category %ls\n", static_cast<unsigned>(classes.size()),
                GuidText(kCatIdWendleVideoDraw).c_str());

    CLSID clsid = {};
    ComPtr<IWendleVideoDraw> plugin = CreateFirstPlugin(classes, clsid);
    if (!plugin)
    {
        std::fprintf(stderr, "ferrowind-host: no video-draw plug-in could be created; is it registered?\n");
        return 1;
    }
    const HMODULE hModule = ModuleOf(plugin.get());
    const std::wstring strModule = PathOf(hModule);
    BSTR bstrName = nullptr;
    const bool bNamed = plugin->GetName(&bstrName, 0x0409) == S_OK;
    std::printf("ferrowind-host: created %ls \"%ls\" from %ls\n", GuidText(clsid).c_str(),
                bNamed ? bstrName : L"(no name)", strModule.c_str());
    SysFreeString(bstrName);

    bool bOk = false;
    {
        CGdiplusSession gdiplus;
        if (!gdiplus.Started())
            std::fprintf(stderr, "ferrowind-host: GDI+ did not start\n");
        else
            bOk = RunWithPlugin(plugin.get(), clsid, options);
        // Released while GDI+ still runs: the plug-in frees its font then.
        plugin.reset();
    }

    const HRESULT hrUnload = AskCanUnloadNow(hModule);
    std::printf("ferrowind-host: plug-in released; DllCanUnloadNow: %s\n",
                hrUnload == S_OK ? "S_OK" : (hrUnload == S_FALSE ? "S_FALSE" : "not exported"));
    CoFreeUnusedLibrariesEx(0, 0);
    const bool bUnloaded = GetModuleHandleW(strModule.c_str()) == nullptr;
    std::printf("ferrowind-host: module %s\n", bUnloaded ? "unloaded" : "still loaded");

    return bOk && hrUnload == S_OK && bUnloaded ? 0 : 1;
}

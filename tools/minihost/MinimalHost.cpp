// The smallest host that uses Ferrowind as a host application does: it finds
// the plug-in through its component category, creates it, hands it one frame
// and checks what came back. docs/hosts.md quotes the parts between the
// "guide:" marks; a test compares the two, so keep them in step.
// Builds against Ferrowind.h and Ferrowind_i.c, which widl makes from
// Ferrowind.idl; needs ole32, oleaut32, uuid and gdiplus.

#include <windows.h>
#include <comcat.h>
#include <gdiplus.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Ferrowind.h"

using Microsoft::WRL::ComPtr;

namespace
{
// guide: category
const CATID kCatIdWendleVideoDraw = {0x5a245b48, 0x94a3, 0x4a37, {0x94, 0x68, 0x57, 0xf3, 0x80, 0x73, 0x48, 0xe6}};

HRESULT CreateFirstVideoDraw(ComPtr<IWendleVideoDraw>& plugin)
{
    ComPtr<ICatInformation> categories;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&categories));
    if (FAILED(hr))
        return hr;
    ComPtr<IEnumCLSID> classes;
    CATID implemented[] = {kCatIdWendleVideoDraw};
    hr = categories->EnumClassesOfCategories(1, implemented, 0, nullptr, &classes);
    if (FAILED(hr))
        return hr;
    CLSID clsid;
    while (classes->Next(1, &clsid, nullptr) == S_OK)
    {
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IWendleVideoDraw, &plugin)))
            return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
}
// guide: end

bool Check(bool bOk, const char* pszWhat)
{
    std::printf("%s: %s\n", bOk ? "ok" : "FAILED", pszWhat);
    return bOk;
}

bool DrawAndCheck(IWendleVideoDraw* plugin)
{
    // guide: frame
    const LONG cx = 640, cy = 360;
    BITMAPINFO info = {}; // the header and one colour-table entry: 44 bytes
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = cy; // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<BYTE> pixels(static_cast<size_t>(cx) * cy * 4, 0x40);
    BSTRBLOB infoBlob = {sizeof(info), reinterpret_cast<BYTE*>(&info)};
    BSTRBLOB pixelBlob = {static_cast<ULONG>(pixels.size()), pixels.data()};

    // Frame 45 of a clip at 29.97 frames per second: 00:00:01.15.
    const ULONGLONG rtStart = 45ull * 10010000 / 30, rtEnd = 46ull * 10010000 / 30;
    const HRESULT hrFrame = plugin->GiveUpcomingFrame(&infoBlob, &pixelBlob, rtStart, rtEnd, 0, 0, 1.0, 1.0, 1);
    // guide: end
    size_t cWhite = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
        cWhite += pixels[i] == 0xFF && pixels[i + 1] == 0xFF && pixels[i + 2] == 0xFF;
    std::printf("GiveUpcomingFrame: 0x%08lx, %zu pixels white\n", static_cast<unsigned long>(hrFrame), cWhite);
    bool bPassed = Check(hrFrame == S_OK && cWhite > 100, "the time code is drawn in white, the default colour");

    // The 40-byte header alone, without its colour-table entry, is refused.
    const std::vector<BYTE> drawn = pixels;
    infoBlob.cbSize = sizeof(BITMAPINFOHEADER);
    const HRESULT hrShort = plugin->GiveUpcomingFrame(&infoBlob, &pixelBlob, rtStart, rtEnd, 0, 0, 1.0, 1.0, 1);
    bPassed &= Check(hrShort == S_FALSE && pixels == drawn, "a 40-byte header: S_FALSE, frame untouched");
    return bPassed;
}

bool KeepSettings(IWendleVideoDraw* plugin)
{
    // guide: settings
    SAFEARRAY* pBlob = nullptr;
    HRESULT hr = plugin->GetDrawSetupParameters(&pBlob);
    LONG lLower = 0, lUpper = -1;
    if (SUCCEEDED(hr))
    {
        SafeArrayGetLBound(pBlob, 1, &lLower);
        SafeArrayGetUBound(pBlob, 1, &lUpper);
        // ... keep the bytes with the project; later hand them back:
        hr = plugin->SetDrawSetupParameters(pBlob);
        SafeArrayDestroy(pBlob);
    }
    // guide: end
    std::printf("settings blob: %ld bytes, taken back: 0x%08lx\n", lUpper - lLower + 1, static_cast<unsigned long>(hr));
    return Check(lUpper - lLower + 1 == 104 && hr == S_OK, "104-byte blob given and taken back");
}
} // namespace

int main()
{
    // guide: start
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok)
        return 1;
    // guide: end
    bool bPassed = false;
    {
        ComPtr<IWendleVideoDraw> plugin;
        const HRESULT hr = CreateFirstVideoDraw(plugin);
        std::printf("plug-in created: 0x%08lx\n", static_cast<unsigned long>(hr));
        if (SUCCEEDED(hr))
            bPassed = DrawAndCheck(plugin.Get()) & KeepSettings(plugin.Get());
    }
    // guide: stop
    CoFreeUnusedLibraries();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    CoUninitialize();
    // guide: end
    std::printf("minimal host: %s\n", bPassed ? "passed" : "FAILED");
    return bPassed ? 0 : 1;
}

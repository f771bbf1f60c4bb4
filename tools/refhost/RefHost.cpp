// A reference host, working as the real one does: it finds the video-draw
// plug-ins through their component category, creates the first one through
// COM, hands it a short clip of 1280 x 720 frames at 29.97 frames per second
// with their real start and end times through IWendleVideoDraw, and writes a
// few frames and a contact sheet as PNG. Then it releases the plug-in and
// checks that its module allows unloading, and lets COM unload it.
//
//   ferrowind-host.exe [output folder]
//
// The plug-in must be registered first, as its installer does it, with
// regsvr32 (machine-wide) or regsvr32 /n /i:user (for the current user).

#include <windows.h>
#include <objidl.h>
#include <comcat.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Ferrowind.h"
#include "com/ComPtr.h"
#include "engine/GdiplusObject.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
// The host's category of video-draw plug-ins.
constexpr CATID kCatIdWendleVideoDraw = {0x5a245b48, 0x94a3, 0x4a37, {0x94, 0x68, 0x57, 0xf3, 0x80, 0x73, 0x48, 0xe6}};

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 90; // three seconds
constexpr int kSheetColumns = 3;
constexpr int kSheetRows = 3;
constexpr int kSheetEvery = 10; // frames 0, 10, ..., 80
constexpr int kThumbWidth = kWidth / 3;
constexpr int kThumbHeight = kHeight / 3;
constexpr int kGap = 6;
constexpr int kSheetWidth = kSheetColumns * kThumbWidth + (kSheetColumns + 1) * kGap;
constexpr int kSheetHeight = kSheetRows * kThumbHeight + (kSheetRows + 1) * kGap;
const int kSavedFrames[] = {0, 45, 89};

// 29.97 frames per second: frame n starts at n * 1001 / 30000 seconds.
ULONGLONG FrameStart(int n)
{
    return static_cast<ULONGLONG>(n) * 10000000ull * 1001ull / 30000ull;
}

class ComApartment
{
public:
    ComApartment() : m_ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (m_ok)
            CoUninitialize();
    }
    bool Started() const { return m_ok; }

private:
    bool m_ok;
};

std::wstring GuidText(const GUID& guid)
{
    wchar_t sz[40] = {};
    StringFromGUID2(guid, sz, 40);
    return sz;
}

// The classes registered under the category, in the order COM lists them.
std::vector<CLSID> ClassesOfCategory(const CATID& catid)
{
    std::vector<CLSID> classes;
    ComPtr<ICatInformation> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                                reinterpret_cast<void**>(categories.put()))))
        return classes;
    ComPtr<IEnumCLSID> found;
    CATID implemented[] = {catid};
    if (FAILED(categories->EnumClassesOfCategories(1, implemented, 0, nullptr, found.put())))
        return classes;
    CLSID clsid;
    ULONG fetched = 0;
    while (found->Next(1, &clsid, &fetched) == S_OK && fetched == 1)
        classes.push_back(clsid);
    return classes;
}

// The module that implements an object: the one its first vtable lies in.
HMODULE ModuleOf(IUnknown* object)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(object), &module);
    return module;
}

std::wstring PathOf(HMODULE module)
{
    wchar_t sz[MAX_PATH] = {};
    GetModuleFileNameW(module, sz, MAX_PATH);
    return sz;
}

class GdiplusSession
{
public:
    GdiplusSession()
    {
        GdiplusStartupInput input;
        m_ok = GdiplusStartup(&m_token, &input, nullptr) == Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok)
            GdiplusShutdown(m_token);
    }
    bool Started() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

// A 32-bit bottom-up DIB, as a screen recorder produces.
struct Frame
{
    BITMAPINFO info = {};
    std::vector<BYTE> pixels;

    Frame()
    {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = kWidth * kHeight * 4;
        pixels.resize(info.bmiHeader.biSizeImage);
    }

    BYTE* Row(int y) { return pixels.data() + static_cast<size_t>(kHeight - 1 - y) * kWidth * 4; }

    // A slowly shifting gradient with a bright band sweeping across, so that
    // every frame differs and white text stands out against it.
    void Paint(int n)
    {
        const int band = (n * kWidth / kFrames + kWidth / 8) % kWidth;
        for (int y = 0; y < kHeight; ++y)
        {
            BYTE* p = Row(y);
            for (int x = 0; x < kWidth; ++x, p += 4)
            {
                int r = 20 + 70 * x / kWidth + n / 3;
                int g = 40 + 90 * y / kHeight;
                int b = 110 + 60 * (kWidth - x) / kWidth;
                const int distance = x > band ? x - band : band - x;
                if (distance < 60)
                {
                    r += (60 - distance);
                    g += (60 - distance);
                    b += (60 - distance) / 2;
                }
                p[0] = static_cast<BYTE>(b);
                p[1] = static_cast<BYTE>(g);
                p[2] = static_cast<BYTE>(r);
                p[3] = 0;
            }
        }
    }

    // A GDI+ view of the frame's pixels, top row first.
    CGdipBitmap View()
    {
        CGdipBitmap bitmap;
        GdipCreateBitmapFromScan0(kWidth, kHeight, -kWidth * 4, PixelFormat32bppRGB, Row(0), bitmap.put());
        return bitmap;
    }
};

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0;
    UINT cbEncoders = 0;
    if (GdipGetImageEncodersSize(&count, &cbEncoders) != Ok || cbEncoders == 0)
        return false;
    std::vector<BYTE> storage(cbEncoders);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(storage.data());
    if (GdipGetImageEncoders(count, cbEncoders, encoders) != Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
    {
        if (encoders[i].MimeType != nullptr && std::wstring(encoders[i].MimeType) == L"image/png")
        {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SavePng(GpImage* image, const std::wstring& path, const CLSID& png)
{
    if (image == nullptr || GdipSaveImageToFile(image, path.c_str(), &png, nullptr) != Ok)
    {
        std::fprintf(stderr, "ferrowind-host: cannot write %ls\n", path.c_str());
        return false;
    }
    std::printf("  %ls\n", path.c_str());
    return true;
}

std::wstring Join(const std::wstring& folder, const wchar_t* name)
{
    if (folder.empty() || folder == L".")
        return name;
    const wchar_t last = folder.back();
    return folder + (last == L'\\' || last == L'/' ? L"" : L"\\") + name;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring folder = argc > 1 ? argv[1] : L".";
    if (folder != L".")
        CreateDirectoryW(folder.c_str(), nullptr);

    ComApartment apartment;
    if (!apartment.Started())
    {
        std::fprintf(stderr, "ferrowind-host: COM did not start\n");
        return 1;
    }
    const std::vector<CLSID> classes = ClassesOfCategory(kCatIdWendleVideoDraw);
    std::printf("ferrowind-host: %u plug-in(s) in category %ls\n", static_cast<unsigned>(classes.size()),
                GuidText(kCatIdWendleVideoDraw).c_str());

    ComPtr<IWendleVideoDraw> plugin;
    CLSID clsid = {};
    for (const CLSID& candidate : classes)
    {
        const HRESULT hr = CoCreateInstance(candidate, nullptr, CLSCTX_INPROC_SERVER, IID_IWendleVideoDraw,
                                            reinterpret_cast<void**>(plugin.put()));
        if (SUCCEEDED(hr))
        {
            clsid = candidate;
            break;
        }
        std::fprintf(stderr, "ferrowind-host: %ls cannot be created (0x%08lx)\n", GuidText(candidate).c_str(),
                     static_cast<unsigned long>(hr));
    }
    if (!plugin)
    {
        std::fprintf(stderr, "ferrowind-host: no video-draw plug-in could be created; is it registered?\n");
        return 1;
    }
    const HMODULE module = ModuleOf(plugin.get());
    const std::wstring modulePath = PathOf(module);
    BSTR name = nullptr;
    const bool named = plugin->GetName(&name, 0x0409) == S_OK;
    std::printf("ferrowind-host: created %ls \"%ls\" from %ls\n", GuidText(clsid).c_str(),
                named ? name : L"(no name)", modulePath.c_str());
    SysFreeString(name);

    GdiplusSession gdiplus;
    if (!gdiplus.Started())
    {
        std::fprintf(stderr, "ferrowind-host: GDI+ did not start\n");
        return 1;
    }
    CLSID png = {};
    if (!PngEncoder(png))
    {
        std::fprintf(stderr, "ferrowind-host: no PNG encoder\n");
        return 1;
    }

    CGdipBitmap sheet;
    GdipCreateBitmapFromScan0(kSheetWidth, kSheetHeight, 0, PixelFormat32bppRGB, nullptr, sheet.put());
    CGdipGraphics sheetGraphics;
    if (sheet)
        GdipGetImageGraphicsContext(sheet.get(), sheetGraphics.put());
    if (!sheetGraphics)
    {
        std::fprintf(stderr, "ferrowind-host: cannot make the contact sheet\n");
        return 1;
    }
    GdipGraphicsClear(sheetGraphics.get(), 0xFF202020);
    GdipSetInterpolationMode(sheetGraphics.get(), InterpolationModeHighQualityBicubic);

    std::printf("ferrowind-host: %d frames of %d x %d at 29.97 frames per second\n", kFrames, kWidth, kHeight);
    int drawn = 0;
    int written = 0;
    bool ok = true;
    {
        Frame frame;
        for (int n = 0; n < kFrames; ++n)
        {
            frame.Paint(n);
            BSTRBLOB info = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&frame.info)};
            BSTRBLOB bytes = {static_cast<ULONG>(frame.pixels.size()), frame.pixels.data()};
            if (plugin->GiveUpcomingFrame(&info, &bytes, FrameStart(n), FrameStart(n + 1), 0, 0, 1.0, 1.0, 0) == S_OK)
                ++drawn;
            else
                std::fprintf(stderr, "ferrowind-host: frame %d was refused\n", n);

            if (n % kSheetEvery == 0 && n / kSheetEvery < kSheetColumns * kSheetRows)
            {
                const int slot = n / kSheetEvery;
                CGdipBitmap view = frame.View();
                GdipDrawImageRectI(sheetGraphics.get(), view.get(),
                                   kGap + (slot % kSheetColumns) * (kThumbWidth + kGap),
                                   kGap + (slot / kSheetColumns) * (kThumbHeight + kGap), kThumbWidth, kThumbHeight);
            }
            for (const int saved : kSavedFrames)
            {
                if (saved != n)
                    continue;
                wchar_t fileName[32];
                swprintf(fileName, 32, L"frame-%03d.png", n);
                CGdipBitmap view = frame.View();
                if (SavePng(view.get(), Join(folder, fileName), png))
                    ++written;
                else
                    ok = false;
            }
        }
    }
    if (SavePng(sheet.get(), Join(folder, L"contact-sheet.png"), png))
        ++written;
    else
        ok = false;
    std::printf("ferrowind-host: time code drawn on %d of %d frames, %d pictures written\n", drawn, kFrames,
                written);

    // Released while GDI+ still runs: the plug-in frees its font then.
    plugin.reset();
    using DllCanUnloadNowFunction = HRESULT(WINAPI*)();
    const auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    const HRESULT unload = canUnloadNow != nullptr ? canUnloadNow() : E_NOINTERFACE;
    std::printf("ferrowind-host: plug-in released; DllCanUnloadNow: %s\n",
                unload == S_OK ? "S_OK" : (unload == S_FALSE ? "S_FALSE" : "not exported"));
    CoFreeUnusedLibrariesEx(0, 0);
    const bool unloaded = GetModuleHandleW(modulePath.c_str()) == nullptr;
    std::printf("ferrowind-host: module %s\n", unloaded ? "unloaded" : "still loaded");

    return ok && drawn == kFrames && unload == S_OK && unloaded ? 0 : 1;
}

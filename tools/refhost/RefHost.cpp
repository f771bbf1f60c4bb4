// A reference host: starts GDI+, generates a short clip of 1280 x 720 frames
// at 29.97 frames per second, hands every frame to the drawing engine with its
// real start and end times, and writes a few frames and a contact sheet as PNG.
//
//   ferrowind-host.exe [output folder]

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/FrameDrawEngine.h"
#include "engine/GdiplusObject.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
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
        CFrameDrawEngine engine;
        Frame frame;
        for (int n = 0; n < kFrames; ++n)
        {
            frame.Paint(n);
            BSTRBLOB info = {sizeof(BITMAPINFO), reinterpret_cast<BYTE*>(&frame.info)};
            BSTRBLOB bytes = {static_cast<ULONG>(frame.pixels.size()), frame.pixels.data()};
            if (engine.DrawFrame(&info, &bytes, FrameStart(n), FrameStart(n + 1), 1) == S_OK)
                ++drawn;
            else
                std::fprintf(stderr, "ferrowind-host: frame %d was refused\n", n);

            if (n % kSheetEvery == 0 && n / kSheetEvery < kSheetColumns * kSheetRows)
            {
                const int slot = n / kSheetEvery;
                CGdipBitmap view = frame.View();
                GdipDrawImageRectI(sheetGraphics.get(), view.get(), kGap + (slot % kSheetColumns) * (kThumbWidth + kGap),
                                   kGap + (slot / kSheetColumns) * (kThumbHeight + kGap), kThumbWidth, kThumbHeight);
            }
            for (const int saved : kSavedFrames)
            {
                if (saved != n)
                    continue;
                wchar_t name[32];
                swprintf(name, 32, L"frame-%03d.png", n);
                CGdipBitmap view = frame.View();
                if (SavePng(view.get(), Join(folder, name), png))
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
    return ok && drawn == kFrames ? 0 : 1;
}

#include "Pictures.h"

#include <cstdio>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

bool FindPngEncoder(CLSID& clsid)
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

bool SavePng(GpImage* pImage, const std::wstring& strPath, const CLSID& png)
{
    if (pImage == nullptr || GdipSaveImageToFile(pImage, strPath.c_str(), &png, nullptr) != Ok)
    {
        std::fprintf(stderr, "ferrowind-host: cannot write %ls\n", strPath.c_str());
        return false;
    }
    std::printf("  %ls\n", strPath.c_str());
    return true;
}

std::wstring JoinPath(const std::wstring& strFolder, const std::wstring& strName)
{
    if (strFolder.empty() || strFolder == L".")
        return strName;
    const wchar_t last = strFolder.back();
    return strFolder + (last == L'\\' || last == L'/' ? L"" : L"\\") + strName;
}

CContactSheet::CContactSheet(int cxFrame, int cyFrame, int nFrames)
    : m_cxThumb(cxFrame / 3 > 0 ? cxFrame / 3 : 1), m_cyThumb(cyFrame / 3 > 0 ? cyFrame / 3 : 1), m_nFrames(nFrames)
{
    const int cx = kColumns * m_cxThumb + (kColumns + 1) * kGap;
    const int cy = kRows * m_cyThumb + (kRows + 1) * kGap;
    GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppRGB, nullptr, m_sheet.put());
    if (m_sheet)
        GdipGetImageGraphicsContext(m_sheet.get(), m_graphics.put());
    if (!m_graphics)
        return;
    GdipGraphicsClear(m_graphics.get(), 0xFF202020);
    GdipSetInterpolationMode(m_graphics.get(), InterpolationModeHighQualityBicubic);
}

int CContactSheet::SlotOf(int n) const
{
    const int nSlots = kColumns * kRows;
    if (m_nFrames <= 0)
        return -1;
    // Frame n belongs to slot s when it is the first frame at or after s / 9 of the clip.
    for (int s = 0; s < nSlots; ++s)
    {
        const int first = static_cast<int>(static_cast<long long>(s) * m_nFrames / nSlots);
        if (first == n && (s == 0 || static_cast<long long>(s - 1) * m_nFrames / nSlots != first))
            return s;
    }
    return -1;
}

void CContactSheet::Place(int nSlot, GpImage* pFrame)
{
    if (!m_graphics || pFrame == nullptr || nSlot < 0)
        return;
    GdipDrawImageRectI(m_graphics.get(), pFrame, kGap + (nSlot % kColumns) * (m_cxThumb + kGap),
                       kGap + (nSlot / kColumns) * (m_cyThumb + kGap), m_cxThumb, m_cyThumb);
}

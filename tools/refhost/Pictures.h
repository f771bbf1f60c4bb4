#pragma once
// PNG files of frames and the contact sheet: nine thumbnails of frames spread
// evenly over the clip.

#include <windows.h>

#include <string>

#include "engine/GdiplusObject.h"

bool FindPngEncoder(CLSID& clsid);
// Writes the image and prints its path; false (with a message) on failure.
bool SavePng(Gdiplus::GpImage* pImage, const std::wstring& strPath, const CLSID& png);
std::wstring JoinPath(const std::wstring& strFolder, const std::wstring& strName);

class CContactSheet
{
public:
    static constexpr int kColumns = 3;
    static constexpr int kRows = 3;

    CContactSheet(int cxFrame, int cyFrame, int nFrames);
    bool Ready() const { return static_cast<bool>(m_graphics); }
    // The slot frame n goes into, or -1 when it is not on the sheet.
    int SlotOf(int n) const;
    void Place(int nSlot, Gdiplus::GpImage* pFrame);
    Gdiplus::GpImage* Image() const { return m_sheet.get(); }

private:
    static constexpr int kGap = 6;
    int m_cxThumb;
    int m_cyThumb;
    int m_nFrames;
    CGdipBitmap m_sheet;
    CGdipGraphics m_graphics;
};

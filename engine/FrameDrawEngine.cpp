#include "engine/FrameDrawEngine.h"

#include <new>

#include "engine/DibGeometry.h"
#include "engine/FontDescription.h"
#include "engine/GdiplusObject.h"
#include "settings/CurrentSettings.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// The realised font and the brush of the applied colour, both made when the
// settings change. The font's handle stays empty when the platform refused
// the font (an unknown face, an unusable size); measuring and drawing then do
// nothing.
struct CFontAndBrush
{
    CGdipFont font;
    CGdipSolidFill brush;
};

// A bitmap over the caller's rows and its graphics context, with the layout
// they were made for: any difference makes new ones before drawing.
struct CFrameTarget
{
    BYTE* pTopRow = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    PixelFormat format = 0;
    CGdipBitmap bitmap;
    CGdipGraphics graphics;
};

namespace
{
PixelFormat GdiplusPixelFormat(DibPixelFormat format)
{
    switch (format)
    {
    case DibPixelFormat::Rgb24:
        return PixelFormat24bppRGB;
    case DibPixelFormat::Rgb555:
        return PixelFormat16bppRGB555;
    case DibPixelFormat::Rgb565:
        return PixelFormat16bppRGB565;
    case DibPixelFormat::Rgb32:
        break;
    }
    // The fourth byte of a 32-bit DIB is not alpha: an alpha format would
    // blend against it.
    return PixelFormat32bppRGB;
}

template <typename T>
T* NewThrough(T* (*pfnNew)())
{
    return pfnNew != nullptr ? pfnNew() : new (std::nothrow) T;
}
} // namespace

CFrameDrawEngine::CFrameDrawEngine(CFrameEngineSeam* pSeam) : m_pSettings(&g_currentSettings), m_pSeam(pSeam)
{
    // Differs from every valid record, so that the first frame realises.
    m_settingsApplied.Invalidate();
}

CFrameDrawEngine::~CFrameDrawEngine()
{
    ResetFontAndBrush();
}

void CFrameDrawEngine::CountMade(const void* pObject)
{
    if (pObject != nullptr && m_pSeam != nullptr)
        ++m_pSeam->cPlatformObjectsMade;
}

int32_t CFrameDrawEngine::TargetTextRenderingHint() const
{
    CSlimLockScope lock(m_lockFrame);
    TextRenderingHint hint = TextRenderingHintSystemDefault;
    if (!m_pTarget || !m_pTarget->graphics || GdipGetTextRenderingHint(m_pTarget->graphics.get(), &hint) != Ok)
        return -1;
    return hint;
}

void CFrameDrawEngine::ReleaseFontAndBrush()
{
    CSlimLockScope lock(m_lockFrame);
    ResetFontAndBrush();
}

void CFrameDrawEngine::ResetFontAndBrush()
{
    m_pFont.reset();
    m_cxLayout = 0;
    m_cyLayout = 0;
}

HRESULT CFrameDrawEngine::DrawFrame(BSTRBLOB* pBitmapInfo, BSTRBLOB* pBitmapBytes, ULONGLONG rtStart,
                                    ULONGLONG rtEnd, ULONG uRenderingHints)
{
    if (pBitmapInfo == nullptr || pBitmapInfo->pData == nullptr || pBitmapInfo->cbSize < kMinBitmapInfoBytes)
        return S_FALSE;
    if (pBitmapBytes == nullptr || pBitmapBytes->pData == nullptr)
        return S_FALSE;
    CSlimLockScope lock(m_lockFrame);

    DibHeader header = {};
    if (!ReadDibHeader(pBitmapInfo->pData, pBitmapInfo->cbSize, header))
        return S_FALSE;
    // Nothing may be written past the caller's buffer: a frame that claims
    // more rows than its buffer holds is refused before any work is done.
    DibView view = {};
    const DibVerdict verdict = DescribeDib(header, pBitmapBytes->cbSize, view);
    if (verdict == DibVerdict::Refuse)
        return S_FALSE;
    const int32_t cx = header.biWidth;
    const int32_t cy = header.biHeight;

    // One consistent copy of the shared record for the whole frame: another
    // apartment may replace it meanwhile.
    SMPTEDrawSettings current;
    SnapshotSettings(*m_pSettings, current);

    if (!m_pFont || current.IsDifferent(m_settingsApplied))
    {
        if (!RealizeFont(cx, cy, current))
            return S_FALSE;
    }
    if (!m_pFont)
        return S_FALSE;

    UpdateFrameDuration(rtStart, rtEnd);
    if (!LayoutText(cx, cy))
        return S_FALSE;

    const int32_t length = FormatTimeCode(rtStart);
    if (length <= 0 || length >= static_cast<int32_t>(kTimeCodeUnits))
        return S_FALSE;

    // A layout the platform cannot draw on leaves the frame as it is, and the
    // frame still counts as handled.
    if (verdict == DibVerdict::Drawable)
        DrawTimeCode(pBitmapBytes->pData, view, length, current.argbColor, uRenderingHints);
    return S_OK;
}

bool CFrameDrawEngine::RealizeFont(int32_t cx, int32_t cy, const SMPTEDrawSettings& settings)
{
    if (cx <= 10 && cy <= 10)
        return false;

    const FontDescription description = DescribeFont(settings.lfFont);
    CGdipFontFamily family;
    GdipCreateFontFamilyFromName(description.szFaceName, nullptr, family.put());
    CountMade(family.get());

    ResetFontAndBrush();
    m_pFont.reset(NewThrough(m_pSeam != nullptr ? m_pSeam->pfnNewFontAndBrush : nullptr));
    // No other face is tried: an unknown face leaves the font empty.
    if (m_pFont && family)
    {
        GdipCreateFont(family.get(), description.emSize, description.style, UnitPixel, m_pFont->font.put());
        CountMade(m_pFont->font.get());
        GdipCreateSolidFill(settings.argbColor, m_pFont->brush.put());
        CountMade(m_pFont->brush.get());
    }

    // The layout places the text at the applied position, so the settings are
    // recorded first; they are recorded whatever the layout answers.
    m_settingsApplied = settings;
    return LayoutText(cx, cy);
}

bool CFrameDrawEngine::LayoutText(int32_t cx, int32_t cy)
{
    if (cx == m_cxLayout && cy == m_cyLayout)
        return true;
    if (!m_pFont)
        return false;

    m_ptTextOrigin = kDefaultTextOrigin;
    for (int32_t i = 0; i <= kLayoutSampleLength; ++i)
        m_szTimeCode[i] = static_cast<Utf16Unit>(kLayoutSample[i]);

    // A top-down frame (negative height) is measured and placed with its
    // height as a number of rows, so the text stands where it stands in a
    // bottom-up frame of the same size.
    const int64_t rows = cy < 0 ? -static_cast<int64_t>(cy) : cy;
    float cxBox = 0.0f;
    float cyBox = 0.0f;
    if (rows <= INT32_MAX)
        MeasureSample(cx, static_cast<int32_t>(rows), cxBox, cyBox);
    ++m_cLayoutMeasures;
    PlaceText(cx, rows, cxBox, cyBox, m_settingsApplied.dwPosition, m_ptTextOrigin);

    m_cxLayout = cx;
    m_cyLayout = cy;
    return true;
}

void CFrameDrawEngine::MeasureSample(int32_t cx, int32_t cy, float& cxBox, float& cyBox)
{
    if (cx <= 0 || cy <= 0 || !m_pFont || !m_pFont->font)
        return;

    CGdipBitmap scratch;
    GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppARGB, nullptr, scratch.put());
    CountMade(scratch.get());
    if (!scratch)
        return;
    CGdipGraphics graphics;
    GdipGetImageGraphicsContext(scratch.get(), graphics.put());
    CountMade(graphics.get());
    if (!graphics)
        return;
    GdipSetTextRenderingHint(graphics.get(), TextRenderingHintAntiAlias);

    CGdipStringFormat format;
    GdipCreateStringFormat(0, LANG_NEUTRAL, format.put());
    CountMade(format.get());
    if (!format)
        return;
    GdipSetStringFormatAlign(format.get(), StringAlignmentNear);
    GdipSetStringFormatLineAlign(format.get(), StringAlignmentNear);

    const RectF layout(0.0f, 0.0f, static_cast<REAL>(cx), static_cast<REAL>(cy));
    RectF box(0.0f, 0.0f, 0.0f, 0.0f);
    if (GdipMeasureString(graphics.get(), m_szTimeCode, kLayoutSampleLength, m_pFont->font.get(), &layout,
                          format.get(), &box, nullptr, nullptr) != Ok)
        return;
    cxBox = box.Width;
    cyBox = box.Height;
}

bool CFrameDrawEngine::WrapPixels(BYTE* pPixels, const DibView& view)
{
    BYTE* const pTopRow = pPixels + view.cbFirstRow;
    const PixelFormat format = GdiplusPixelFormat(view.format);
    if (m_pTarget && m_pTarget->graphics && m_pTarget->pTopRow == pTopRow && m_pTarget->width == view.width &&
        m_pTarget->height == view.height && m_pTarget->stride == view.stride && m_pTarget->format == format)
        return true;

    if (!m_pTarget)
    {
        m_pTarget.reset(NewThrough(m_pSeam != nullptr ? m_pSeam->pfnNewTarget : nullptr));
        if (!m_pTarget)
            return false;
    }
    // The old context goes before the bitmap it draws on.
    m_pTarget->graphics.reset();
    m_pTarget->bitmap.reset();
    m_pTarget->pTopRow = nullptr;
    // A view of the caller's rows, top row first: drawing writes straight
    // into the caller's memory, nothing is copied.
    GdipCreateBitmapFromScan0(view.width, view.height, view.stride, format, pTopRow, m_pTarget->bitmap.put());
    CountMade(m_pTarget->bitmap.get());
    if (!m_pTarget->bitmap)
        return false;
    GdipGetImageGraphicsContext(m_pTarget->bitmap.get(), m_pTarget->graphics.put());
    CountMade(m_pTarget->graphics.get());
    if (!m_pTarget->graphics)
        return false;
    m_pTarget->pTopRow = pTopRow;
    m_pTarget->width = view.width;
    m_pTarget->height = view.height;
    m_pTarget->stride = view.stride;
    m_pTarget->format = format;
    return true;
}

void CFrameDrawEngine::DrawTimeCode(BYTE* pPixels, const DibView& view, int32_t length, uint32_t argbColor,
                                    ULONG uRenderingHints)
{
    if (!m_pFont->font)
        return;
    if (!m_pFont->brush)
    {
        GdipCreateSolidFill(argbColor, m_pFont->brush.put());
        CountMade(m_pFont->brush.get());
        if (!m_pFont->brush)
            return;
    }
    if (!WrapPixels(pPixels, view))
        return;

    // Set on every frame: a context kept from the last frame must draw as a
    // fresh one would, whose hint is the system default.
    GpGraphics* const pGraphics = m_pTarget->graphics.get();
    GdipSetTextRenderingHint(pGraphics,
                             uRenderingHints == 1 ? TextRenderingHintAntiAlias : TextRenderingHintSystemDefault);
    const RectF at(m_ptTextOrigin.x, m_ptTextOrigin.y, 0.0f, 0.0f);
    GdipDrawString(pGraphics, m_szTimeCode, length, m_pFont->font.get(), &at, nullptr, m_pFont->brush.get());
    // The context outlives the frame, so nothing deletes it here to finish
    // the drawing: the host's pixels are complete when the call returns.
    GdipFlush(pGraphics, FlushIntentionSync);
}

#pragma once
// Per-object drawing state and the per-frame chain: realise the font when the
// current settings changed, place the text for the frame size, and draw the
// time code of the middle of the frame into the caller's pixels in place.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "engine/TextPlacement.h"
#include "engine/TimeCodeClock.h"
#include "settings/SMPTEDrawSettings.h"

struct DibView;
struct CRealizedFont;
struct CFrameTarget;

class CFrameDrawEngine : public CTimeCodeClock
{
public:
    // A BITMAPINFOHEADER and one colour-table entry.
    static constexpr ULONG kMinBitmapInfoBytes = 44;

    CFrameDrawEngine();
    ~CFrameDrawEngine();
    CFrameDrawEngine(const CFrameDrawEngine&) = delete;
    CFrameDrawEngine& operator=(const CFrameDrawEngine&) = delete;

    // The whole of IWendleVideoDraw::GiveUpcomingFrame: S_OK or S_FALSE only.
    HRESULT DrawFrame(BSTRBLOB* pBitmapInfo, BSTRBLOB* pBitmapBytes, ULONGLONG rtStart, ULONGLONG rtEnd,
                      ULONG uRenderingHints);

    // Deletes the realised font (destruction does this too; the plug-in
    // object calls it first to keep its teardown order).
    void ReleaseFont();

    // The state below carries over from frame to frame. It is public so that
    // tests can read it back; only the engine writes it.
    SMPTEDrawSettings* m_pSettings;
    SMPTEDrawSettings m_settingsApplied;
    std::unique_ptr<CRealizedFont> m_pFont;
    TextPoint m_ptTextOrigin = kDefaultTextOrigin;
    int32_t m_cxLayout = 0;
    int32_t m_cyLayout = 0;
    // How many times the sample was measured; tests count layouts with it.
    uint32_t m_cLayoutMeasures = 0;
    // The caller's pixels wrapped for drawing, kept while the host hands the
    // same buffer with the same layout, as recorders do.
    std::unique_ptr<CFrameTarget> m_pTarget;
    // How many platform drawing objects (fonts, brushes, bitmaps, contexts,
    // formats) the engine has made; tests see the steady state make none.
    uint32_t m_cPlatformObjectsMade = 0;
    // Allocates the holder of a realised font, null when memory is short;
    // tests put one here that always fails.
    CRealizedFont* (*m_pfnNewFont)();

    // The text rendering hint of the context the next frame draws with, as
    // the platform reports it (-1 without one); tests read it, since the hint
    // does not always show in the pixels.
    int32_t TargetTextRenderingHint() const;

private:
    bool RealizeFont(int32_t cx, int32_t cy, const SMPTEDrawSettings& settings);
    bool LayoutText(int32_t cx, int32_t cy);
    void MeasureSample(int32_t cx, int32_t cy, float& cxBox, float& cyBox);
    bool WrapPixels(BYTE* pPixels, const DibView& view);
    void DrawTimeCode(BYTE* pPixels, const DibView& view, int32_t length, uint32_t argbColor,
                      ULONG uRenderingHints);
};

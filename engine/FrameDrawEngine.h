#pragma once
// Per-object drawing state and the per-frame chain: realise the font when the
// current settings changed, place the text for the frame size, and draw the
// time code of the middle of the frame into the caller's pixels in place.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "engine/SlimLock.h"
#include "engine/TextPlacement.h"
#include "engine/TimeCodeClock.h"
#include "settings/SMPTEDrawSettings.h"

struct DibView;
struct CFontAndBrush;
struct CFrameTarget;

// Where the engine gets the holders of its drawing objects, and a count of
// the platform objects it was handed. An engine made without one allocates
// plainly; a test makes an engine with its own to fail an allocation or to
// count the objects made in the steady state.
struct CFrameEngineSeam
{
    // Null when memory is short; a null function means the plain allocation.
    CFontAndBrush* (*pfnNewFontAndBrush)() = nullptr;
    CFrameTarget* (*pfnNewTarget)() = nullptr;
    // Fonts, brushes, bitmaps, contexts and formats the platform made.
    uint32_t cPlatformObjectsMade = 0;
};

class CFrameDrawEngine : public CTimeCodeClock
{
public:
    // A BITMAPINFOHEADER and one colour-table entry.
    static constexpr ULONG kMinBitmapInfoBytes = 44;

    explicit CFrameDrawEngine(CFrameEngineSeam* pSeam = nullptr);
    ~CFrameDrawEngine();
    CFrameDrawEngine(const CFrameDrawEngine&) = delete;
    CFrameDrawEngine& operator=(const CFrameDrawEngine&) = delete;

    // The whole of IWendleVideoDraw::GiveUpcomingFrame: S_OK or S_FALSE only.
    // One frame at a time per engine: a host that calls one object from two
    // threads gets its frames drawn one after the other, never a context
    // that the other thread is replacing.
    HRESULT DrawFrame(BSTRBLOB* pBitmapInfo, BSTRBLOB* pBitmapBytes, ULONGLONG rtStart, ULONGLONG rtEnd,
                      ULONG uRenderingHints);

    // Deletes the realised font and its brush (destruction does this too; the
    // plug-in object calls it first to keep its teardown order).
    void ReleaseFontAndBrush();

    // The state below carries over from frame to frame. It is public so that
    // tests can read it back; only the engine writes it.
    SMPTEDrawSettings* m_pSettings;
    SMPTEDrawSettings m_settingsApplied;
    // The realised font with the brush of the applied colour.
    std::unique_ptr<CFontAndBrush> m_pFont;
    TextPoint m_ptTextOrigin = kDefaultTextOrigin;
    int32_t m_cxLayout = 0;
    int32_t m_cyLayout = 0;
    // How many times the sample was measured; tests count layouts with it.
    uint32_t m_cLayoutMeasures = 0;
    // The caller's pixels wrapped for drawing, kept while the host hands the
    // same buffer with the same layout, as recorders do.
    std::unique_ptr<CFrameTarget> m_pTarget;
    // The text rendering hint of the context the next frame draws with, as
    // the platform reports it (-1 without one); tests read it, since the hint
    // does not always show in the pixels.
    int32_t TargetTextRenderingHint() const;

private:
    void ResetFontAndBrush();
    void CountMade(const void* pObject);
    bool RealizeFont(int32_t cx, int32_t cy, const SMPTEDrawSettings& settings);
    bool LayoutText(int32_t cx, int32_t cy);
    void MeasureSample(int32_t cx, int32_t cy, float& cxBox, float& cyBox);
    bool WrapPixels(BYTE* pPixels, const DibView& view);
    void DrawTimeCode(BYTE* pPixels, const DibView& view, int32_t length, uint32_t argbColor,
                      ULONG uRenderingHints);

    CFrameEngineSeam* const m_pSeam;
    mutable CSlimLock m_lockFrame;
};

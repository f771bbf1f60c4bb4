#pragma once
// Per-object drawing state and the per-frame chain: realise the font when the
// current settings changed, place the text for the frame size, and draw the
// time code of the middle of the frame into the caller's pixels in place.

#include <windows.h>

#include "engine/TimeCodeClock.h"
#include "settings/SMPTEDrawSettings.h"

class CFrameDrawEngine : public CTimeCodeClock
{
public:
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

    // Members below are filled in by the engine's implementation.
};

#pragma once
// The plug-in object: IWendleVideoDraw on top of the frame drawing engine.
// Apartment-threaded, so its reference count is a plain counter; it cannot be
// aggregated and answers no interface but IUnknown and IWendleVideoDraw.

#include <windows.h>

#include "Ferrowind.h"
#include "com/ComPtr.h"
#include "engine/FrameDrawEngine.h"

class CSMPTEFrameDraw final : public IWendleVideoDraw, public CFrameDrawEngine
{
public:
    // The class object's instance creator: refuses an outer object, makes the
    // object and queries it for riid. On failure *ppv is null and nothing
    // remains, neither the object nor its module lock.
    static HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv);

    CSMPTEFrameDraw(const CSMPTEFrameDraw&) = delete;
    CSMPTEFrameDraw& operator=(const CSMPTEFrameDraw&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetName(BSTR* pStr, LONG nLocaleID) override;
    STDMETHODIMP GetDescription(BSTR* pStr, LONG nLocaleID) override;
    STDMETHODIMP HasSetupDialog(VARIANT_BOOL* pBool) override;
    STDMETHODIMP ShowSetupDialog(VARIANT varHwndParent, LONG nLocaleID) override;
    STDMETHODIMP SetRecording(IWendleRecording* pRecording) override;
    STDMETHODIMP SetProject(IWendleProject* pProject) override;
    STDMETHODIMP GiveUpcomingFrame(BSTRBLOB* pBitmapInfo, BSTRBLOB* pBitmapBytes, ULONGLONG rtStart,
                                   ULONGLONG rtEnd, int nOriginX, int nOriginY, double dblScaleX, double dblScaleY,
                                   ULONG uRenderingHints) override;
    STDMETHODIMP GetDrawSetupParameters(SAFEARRAY** ppParams) override;
    STDMETHODIMP SetDrawSetupParameters(SAFEARRAY* pParams) override;

private:
    CSMPTEFrameDraw();
    ~CSMPTEFrameDraw();

    ULONG m_cRef = 0;
    ComPtr<IWendleRecording> m_spRecording;
};

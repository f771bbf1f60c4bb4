#include "com/SMPTEFrameDraw.h"

#include <new>

#include "com/FerrowindModule.h"
#include "com/ModuleGlobals.h"
#include "com/SettingsBlobArray.h"
#include "dialog/SetupDialog.h"
#include "resources/resource.h"

CSMPTEFrameDraw::CSMPTEFrameDraw()
{
    g_pModule->Lock();
}

// The module lock first, then the font and its brush, then the recording:
// the order the host sees. The wrapper of the host's last frame goes with
// the engine, after them.
CSMPTEFrameDraw::~CSMPTEFrameDraw()
{
    g_pModule->Unlock();
    ReleaseFontAndBrush();
    m_spRecording.reset();
}

HRESULT CSMPTEFrameDraw::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr)
        return CLASS_E_NOAGGREGATION;

    CSMPTEFrameDraw* pObject = new (std::nothrow) CSMPTEFrameDraw();
    if (pObject == nullptr)
        return E_OUTOFMEMORY;

    // The extra reference keeps the object alive through the query; its
    // release destroys the object when the query failed.
    pObject->AddRef();
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

STDMETHODIMP CSMPTEFrameDraw::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IWendleVideoDraw))
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IWendleVideoDraw*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CSMPTEFrameDraw::AddRef()
{
    return ++m_cRef;
}

STDMETHODIMP_(ULONG) CSMPTEFrameDraw::Release()
{
    const ULONG cRef = --m_cRef;
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP CSMPTEFrameDraw::GetName(BSTR* pStr, LONG /*nLocaleID*/)
{
    if (pStr == nullptr || IsBadWritePtr(pStr, sizeof(*pStr)))
        return E_POINTER;

    // With a zero buffer size the loader answers a read-only pointer into the
    // string table and the length, without a terminator.
    const wchar_t* pszName = nullptr;
    const int cchName = LoadStringW(g_hInstance, IDS_DISPLAYNAME, reinterpret_cast<LPWSTR>(&pszName), 0);
    if (cchName <= 0 || pszName == nullptr)
        return S_FALSE;

    BSTR bstrName = SysAllocStringLen(pszName, static_cast<UINT>(cchName));
    if (bstrName == nullptr)
        return E_OUTOFMEMORY;
    *pStr = bstrName;
    return S_OK;
}

STDMETHODIMP CSMPTEFrameDraw::GetDescription(BSTR* /*pStr*/, LONG /*nLocaleID*/)
{
    return E_NOTIMPL;
}

// A null out-pointer is refused rather than written through.
STDMETHODIMP CSMPTEFrameDraw::HasSetupDialog(VARIANT_BOOL* pBool)
{
    if (pBool == nullptr)
        return E_POINTER;
    *pBool = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CSMPTEFrameDraw::ShowSetupDialog(VARIANT varHwndParent, LONG /*nLocaleID*/)
{
    return ShowSetupDialogFor(varHwndParent, m_pSettings, g_hInstance, g_bstrHelpFile);
}

// The held reference goes first, so passing the same pointer again is sound:
// the caller keeps its own reference for the duration of the call.
STDMETHODIMP CSMPTEFrameDraw::SetRecording(IWendleRecording* pRecording)
{
    m_spRecording.reset();
    if (pRecording == nullptr)
        return S_OK;
    pRecording->AddRef();
    m_spRecording.attach(pRecording);
    return S_OK;
}

STDMETHODIMP CSMPTEFrameDraw::SetProject(IWendleProject* /*pProject*/)
{
    return S_OK;
}

STDMETHODIMP CSMPTEFrameDraw::GiveUpcomingFrame(BSTRBLOB* pBitmapInfo, BSTRBLOB* pBitmapBytes, ULONGLONG rtStart,
                                                ULONGLONG rtEnd, int /*nOriginX*/, int /*nOriginY*/,
                                                double /*dblScaleX*/, double /*dblScaleY*/, ULONG uRenderingHints)
{
    return DrawFrame(pBitmapInfo, pBitmapBytes, rtStart, rtEnd, uRenderingHints);
}

STDMETHODIMP CSMPTEFrameDraw::GetDrawSetupParameters(SAFEARRAY** ppParams)
{
    return GetSettingsBlobArray(m_pSettings, ppParams);
}

STDMETHODIMP CSMPTEFrameDraw::SetDrawSetupParameters(SAFEARRAY* pParams)
{
    return SetSettingsBlobArray(m_pSettings, pParams);
}

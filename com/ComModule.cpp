#include "com/ComModule.h"

#include "com/FerrowindModule.h"
#include "com/HResult.h"

CComModuleRecord::CComModuleRecord(CClassEntry* pBegin, CClassEntry* pEnd) noexcept
    : m_pBegin(pBegin), m_pEnd(pEnd)
{
    if (m_csObjMap.Init())
        m_cbSize = sizeof(*this);
    else
        g_bInitFailed = true;
}

CComModuleRecord::~CComModuleRecord()
{
    m_cbSize = 0;
    for (CClassEntry* pEntry = m_pBegin; pEntry != m_pEnd; ++pEntry)
    {
        if (IUnknown* pCached = pEntry->pCachedClassObject.exchange(nullptr))
            pCached->Release();
    }
}

HRESULT CComModuleRecord::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (m_cbSize == 0)
        return E_UNEXPECTED;

    CClassEntry* pEntry = m_pBegin;
    while (pEntry != m_pEnd && (pEntry->pfnGetClassObject == nullptr || !IsEqualCLSID(rclsid, *pEntry->pclsid)))
        ++pEntry;
    if (pEntry == m_pEnd)
        return CLASS_E_CLASSNOTAVAILABLE;

    // Tested again inside the critical section, so that concurrent first
    // requests make exactly one class object.
    HRESULT hr = S_OK;
    if (pEntry->pCachedClassObject.load() == nullptr)
    {
        CCriticalSectionLock lock(m_csObjMap);
        if (pEntry->pCachedClassObject.load() == nullptr)
        {
            IUnknown* pCreated = nullptr;
            hr = pEntry->pfnGetClassObject(pEntry->pfnCreateInstance, IID_IUnknown,
                                           reinterpret_cast<void**>(&pCreated));
            if (SUCCEEDED(hr))
                pEntry->pCachedClassObject.store(pCreated);
        }
    }
    if (IUnknown* pCached = pEntry->pCachedClassObject.load())
        hr = pCached->QueryInterface(riid, ppv);
    if (hr == S_OK && *ppv == nullptr)
        hr = CLASS_E_CLASSNOTAVAILABLE;
    return hr;
}

HRESULT CComModuleRecord::RegisterClassEntries(bool bRegister) noexcept
{
    // The entries list no component categories of their own: the class
    // script writes the one category key.
    for (CClassEntry* pEntry = m_pBegin; pEntry != m_pEnd; ++pEntry)
        RETURN_IF_FAILED(pEntry->pfnUpdateRegistry(bRegister));
    return S_OK;
}

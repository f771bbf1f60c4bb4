#include "com/ClassFactory.h"

#include <new>

#include "com/FerrowindModule.h"

template <class Base>
STDMETHODIMP_(ULONG) CComObjectCached<Base>::AddRef()
{
    const LONG nRef = InterlockedIncrement(&this->m_dwRef);
    if (nRef == 2)
        g_pModule->Lock();
    return static_cast<ULONG>(nRef);
}

template <class Base>
STDMETHODIMP_(ULONG) CComObjectCached<Base>::Release()
{
    const LONG nRef = InterlockedDecrement(&this->m_dwRef);
    if (nRef == 0)
        delete this;
    else if (nRef == 1)
        g_pModule->Unlock();
    return static_cast<ULONG>(nRef);
}

template class CComObjectCached<CComClassFactory>;

STDMETHODIMP CComClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP CComClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    // The instance creator refuses the remaining case, an outer object asking
    // for IUnknown, itself.
    return m_pfnCreateInstance(pUnkOuter, riid, ppvObject);
}

STDMETHODIMP CComClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        g_pModule->Lock();
    else
        g_pModule->Unlock();
    return S_OK;
}

HRESULT CComClassFactory::CreateClassObject(PFN_CREATEINSTANCE pfnCreateInstance, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    auto* pObject = new (std::nothrow) CComObjectCached<CComClassFactory>();
    if (pObject == nullptr)
        return E_OUTOFMEMORY;
    pObject->m_pfnCreateInstance = pfnCreateInstance;
    if (!pObject->m_critsec.Init())
    {
        delete pObject;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    if (hr != S_OK)
        delete pObject;
    return hr;
}

#pragma once
// The class object: IClassFactory over an instance creator, cached by the
// class entry that made it. Its reference count is interlocked, and the
// module stays locked exactly while a client holds it: the cache's own
// reference is the count's first.

#include <windows.h>
#include <unknwn.h>

#include "com/CriticalSection.h"

// Creates an object for riid; refuses an outer object.
using PFN_CREATEINSTANCE = HRESULT (*)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

class CComClassFactory : public IClassFactory
{
public:
    CComClassFactory() = default;
    CComClassFactory(const CComClassFactory&) = delete;
    CComClassFactory& operator=(const CComClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    STDMETHODIMP LockServer(BOOL fLock) override;
    virtual ~CComClassFactory() = default;

    // The class-object creator of a class entry: makes the class object for
    // pfnCreateInstance and queries it for riid (the cache asks for IUnknown,
    // which leaves the count at 1 and the module unlocked). E_OUTOFMEMORY when
    // it cannot be made; nothing is left alive on failure.
    static HRESULT CreateClassObject(PFN_CREATEINSTANCE pfnCreateInstance, REFIID riid, void** ppv);

protected:
    LONG volatile m_dwRef = 0;
    PFN_CREATEINSTANCE m_pfnCreateInstance = nullptr;
    CCriticalSection m_critsec;
};

// Adds the counting: AddRef locks the module when the count reaches 2,
// Release unlocks it when the count falls back to 1 and destroys the object
// at 0.
template <class Base>
class CComObjectCached final : public Base
{
public:
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
};

extern template class CComObjectCached<CComClassFactory>;

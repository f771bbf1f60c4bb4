#pragma once
// The module's table of creatable classes and the record that guards it: the
// class-table critical section and the word that says whether the record is
// ready (0 before its critical section is initialised and after teardown).

#include <windows.h>
#include <unknwn.h>

#include <atomic>

#include "com/ClassFactory.h"

struct CClassEntry
{
    const CLSID* pclsid;
    // Runs the class's registration script forward or backward.
    HRESULT (*pfnUpdateRegistry)(bool bRegister);
    // Makes the class object for the instance creator.
    HRESULT (*pfnGetClassObject)(PFN_CREATEINSTANCE pfnCreateInstance, REFIID riid, void** ppv);
    PFN_CREATEINSTANCE pfnCreateInstance;
    // Null until the first request for the class; then one reference to the
    // class object, kept until the record is torn down.
    std::atomic<IUnknown*> pCachedClassObject;
};

class CComModuleRecord
{
public:
    CComModuleRecord(CClassEntry* pBegin, CClassEntry* pEnd) noexcept;
    // Releases every cached class object (it lives on while a client still
    // holds it) and becomes uninitialised.
    ~CComModuleRecord();
    CComModuleRecord(const CComModuleRecord&) = delete;
    CComModuleRecord& operator=(const CComModuleRecord&) = delete;

    // False when the critical section could not be initialised.
    bool IsInitialized() const noexcept { return m_cbSize != 0; }

    // DllGetClassObject: the class object of rclsid, made once and cached.
    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) noexcept;

    // Runs every class entry's registration; stops at the first failure.
    HRESULT RegisterClassEntries(bool bRegister) noexcept;

private:
    UINT m_cbSize = 0;
    CCriticalSection m_csObjMap;
    CClassEntry* m_pBegin;
    CClassEntry* m_pEnd;
};

// The record of this module, over its one class entry (CSMPTEFrameDraw).
extern CComModuleRecord g_comModule;

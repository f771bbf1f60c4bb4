#pragma once
// The module object: one per process. Its lock count says whether the DLL is
// still in use; every plug-in object holds one lock for its lifetime, and so
// does the class object while a client holds it. It also runs the module's
// registration: the AppID script, the class entry and the type library.

#include <windows.h>

#include "com/RegistryScript.h"
#include "resources/resource.h"

class CFerrowindModule
{
public:
    // The AppID script, REGISTRY resource 101.
    static constexpr UINT kAppIdScriptId = IDR_FERROWIND;

    CFerrowindModule();
    virtual ~CFerrowindModule();
    CFerrowindModule(const CFerrowindModule&) = delete;
    CFerrowindModule& operator=(const CFerrowindModule&) = delete;

    // Interlocked; each answers the new count.
    virtual LONG Lock();
    virtual LONG Unlock();
    virtual LONG GetLockCount();
    // Defines APPID, the AppID in braces, for a registration run.
    virtual HRESULT AddCommonReplacements(ReplacementList& replacements);

    // The work behind the exports of the same names. Each switches the
    // calling thread to the system default locale for its duration.
    HRESULT DllRegisterServer();
    HRESULT DllUnregisterServer();
    HRESULT DllInstall(BOOL bInstall, LPCWSTR pszCmdLine);

    // Runs the AppID script forward or backward, with APPID defined by the
    // run itself and again by AddCommonReplacements.
    HRESULT UpdateRegistryAppId(bool bRegister);

    const GUID& LibId() const { return m_libid; }

protected:
    LONG volatile m_nLockCnt = 0;
    GUID m_libid;
};

// The one module object of the process.
extern CFerrowindModule* const g_pModule;

// Set at load when a module record cannot initialise its critical section;
// process attach then fails.
extern bool g_bInitFailed;

// Set by DllInstall with the command line "user" and never cleared: from then
// on the process registers and unregisters for the current user only.
extern bool g_bPerUserRegistration;

#include "com/FerrowindModule.h"

#include <cwchar>
#include <iterator>

#include "com/ClassIdentity.h"
#include "com/ComModule.h"
#include "com/HResult.h"
#include "com/ModuleGlobals.h"
#include "com/Registrar.h"
#include "com/SMPTEFrameDraw.h"
#include "com/TypeLibRegistration.h"
#include "com/Win32Handle.h"

namespace
{
constexpr GUID kLibIdFerrowindLib = {0x6E7FDFA9, 0x9415, 0x40DC, {0x98, 0xFB, 0x26, 0x4B, 0xF9, 0x8E, 0x96, 0x27}};
constexpr CLSID kClsidSMPTEFrameDraw = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};

// On a 64-bit system the module of each architecture registers in its own
// registry view: this answers the other one (the 32-bit view for a 64-bit
// module, the 64-bit view for a 32-bit module there), or 0 on a system with
// a single view.
REGSAM OtherRegistryView() noexcept
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL bWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64 ? KEY_WOW64_64KEY : 0;
#endif
}

// Whether another module still serves the class from the other view: its
// server key in the class root this run works on names a module other than
// this one. Where a root has one view for both (Wine's per-user classes),
// the key found is the one this view sees too: this module's own, or that of
// another copy registered after it.
bool OtherViewServesClass(REGSAM samOther) noexcept
{
    WCHAR szClsid[40] = {};
    WCHAR szServerKey[96] = {};
    if (StringFromGUID2(kClsidSMPTEFrameDraw, szClsid, ARRAYSIZE(szClsid)) == 0 ||
        swprintf(szServerKey, ARRAYSIZE(szServerKey), L"Software\\Classes\\CLSID\\%ls\\InprocServer32", szClsid) <= 0)
        return true;
    CRegKeyHandle hKey;
    if (RegOpenKeyExW(g_bPerUserRegistration ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, szServerKey, 0,
                      KEY_READ | samOther, hKey.put()) != ERROR_SUCCESS)
        return false;
    WCHAR szServer[MAX_PATH + 1] = {};
    DWORD cbServer = sizeof(szServer) - sizeof(WCHAR);
    DWORD dwType = 0;
    if (RegQueryValueExW(hKey.get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szServer), &cbServer) !=
            ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return true;
    WCHAR szOwn[MAX_PATH];
    if (FAILED(GetModulePath(g_hInstance, szOwn)))
        return true;
    return CompareStringOrdinal(szServer, -1, szOwn, -1, TRUE) != CSTR_EQUAL;
}

// Unregisters a script without breaking the other architecture's
// registration: while the other view still serves the class, only this
// view's CLSID key goes, and the ProgIDs and the AppID, which the views may
// share, stay. The last architecture out removes them, from both views, since
// a system may also keep them once per view.
HRESULT UnregisterBesideOtherView(UINT nResourceId, const ReplacementList& replacements)
{
    const REGSAM samOther = OtherRegistryView();
    if (samOther != 0 && OtherViewServesClass(samOther))
        return RunRegistryScript(g_hInstance, nResourceId, false, g_bPerUserRegistration, replacements,
                                 RegScope::PerView);
    RETURN_IF_FAILED(RunRegistryScript(g_hInstance, nResourceId, false, g_bPerUserRegistration, replacements));
    if (samOther == 0)
        return S_OK;
    return RunRegistryScript(g_hInstance, nResourceId, false, g_bPerUserRegistration, replacements, RegScope::Shared,
                             samOther);
}

HRESULT UpdateRegistrySMPTEFrameDraw(bool bRegister)
{
    ReplacementList replacements;
    RETURN_IF_FAILED(g_pModule->AddCommonReplacements(replacements));
    if (!bRegister)
        return UnregisterBesideOtherView(IDR_SMPTEFRAMEDRAW, replacements);
    return RunRegistryScript(g_hInstance, IDR_SMPTEFRAMEDRAW, true, g_bPerUserRegistration, replacements);
}

// Remembers the calling thread's locale and switches it to the system
// default, so that the scripts' 8-bit text is read with the system's ANSI
// code page; the locale is restored on every way out.
class CThreadLocaleSwitch
{
public:
    CThreadLocaleSwitch() : m_lcidSaved(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~CThreadLocaleSwitch() { SetThreadLocale(m_lcidSaved); }
    CThreadLocaleSwitch(const CThreadLocaleSwitch&) = delete;
    CThreadLocaleSwitch& operator=(const CThreadLocaleSwitch&) = delete;

private:
    LCID m_lcidSaved;
};

// "user" and nothing more, compared without regard to case over five units,
// the terminator included.
bool IsPerUserCommandLine(LPCWSTR pszCmdLine)
{
    if (pszCmdLine == nullptr)
        return false;
    static constexpr wchar_t kUser[] = L"user";
    for (size_t i = 0; i < ARRAYSIZE(kUser); ++i)
    {
        wchar_t c = pszCmdLine[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kUser[i])
            return false;
    }
    return true;
}

CClassEntry g_rgClassEntries[] = {
    {&kClsidSMPTEFrameDraw, &UpdateRegistrySMPTEFrameDraw, &CComClassFactory::CreateClassObject,
     &CSMPTEFrameDraw::CreateInstance, nullptr},
};

// The module object is made before the class table's record and so outlives
// it: a class object that a client still holds when the record lets go of its
// cached reference unlocks a module that is still there.
CFerrowindModule g_module;
} // namespace

bool g_bInitFailed = false;
bool g_bPerUserRegistration = false;

CFerrowindModule* const g_pModule = &g_module;

CComModuleRecord g_comModule(std::begin(g_rgClassEntries), std::end(g_rgClassEntries));

CFerrowindModule::CFerrowindModule() : m_libid(kLibIdFerrowindLib) {}

CFerrowindModule::~CFerrowindModule() = default;

LONG CFerrowindModule::Lock()
{
    return InterlockedIncrement(&m_nLockCnt);
}

LONG CFerrowindModule::Unlock()
{
    return InterlockedDecrement(&m_nLockCnt);
}

LONG CFerrowindModule::GetLockCount()
{
    return InterlockedCompareExchange(&m_nLockCnt, 0, 0);
}

HRESULT CFerrowindModule::AddCommonReplacements(ReplacementList& replacements)
{
    return replacements.Add(u"APPID", kFerrowindAppIdText) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CFerrowindModule::UpdateRegistryAppId(bool bRegister)
{
    ReplacementList replacements;
    RETURN_HR_IF(E_OUTOFMEMORY, !replacements.Add(u"APPID", kFerrowindAppIdText));
    RETURN_IF_FAILED(AddCommonReplacements(replacements));
    if (!bRegister)
        return UnregisterBesideOtherView(kAppIdScriptId, replacements);
    return RunRegistryScript(g_hInstance, kAppIdScriptId, true, g_bPerUserRegistration, replacements);
}

HRESULT CFerrowindModule::DllRegisterServer()
{
    CThreadLocaleSwitch locale;
    RETURN_IF_FAILED(UpdateRegistryAppId(true));
    RETURN_IF_FAILED(g_comModule.RegisterClassEntries(true));
    return RegisterModuleTypeLib(g_hInstance, g_bPerUserRegistration);
}

// Every step runs whatever the one before answered, so that one stuck entry
// leaves no others behind; the first failure is the answer.
HRESULT CFerrowindModule::DllUnregisterServer()
{
    CThreadLocaleSwitch locale;
    HRESULT hr = g_comModule.RegisterClassEntries(false);
    const HRESULT hrTypeLib = UnregisterModuleTypeLib(g_hInstance, g_bPerUserRegistration);
    if (SUCCEEDED(hr))
        hr = hrTypeLib;
    const HRESULT hrAppId = UpdateRegistryAppId(false);
    return SUCCEEDED(hr) ? hrAppId : hr;
}

HRESULT CFerrowindModule::DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    if (IsPerUserCommandLine(pszCmdLine))
        g_bPerUserRegistration = true;
    if (!bInstall)
        return DllUnregisterServer();
    const HRESULT hr = DllRegisterServer();
    if (FAILED(hr))
        DllUnregisterServer();
    return hr;
}

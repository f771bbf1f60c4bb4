#include "com/FerrowindModule.h"

#include <iterator>

#include "com/ComModule.h"
#include "com/HResult.h"
#include "com/ModuleGlobals.h"
#include "com/Registrar.h"
#include "com/SMPTEFrameDraw.h"
#include "com/TypeLibRegistration.h"

namespace
{
constexpr GUID kLibIdFerrowindLib = {0x6E7FDFA9, 0x9415, 0x40DC, {0x98, 0xFB, 0x26, 0x4B, 0xF9, 0x8E, 0x96, 0x27}};
constexpr CLSID kClsidSMPTEFrameDraw = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};
constexpr char16_t kAppId[] = u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}";

HRESULT UpdateRegistrySMPTEFrameDraw(bool bRegister)
{
    ReplacementList replacements;
    RETURN_IF_FAILED(g_pModule->AddCommonReplacements(replacements));
    return RunRegistryScript(g_hInstance, IDR_SMPTEFRAMEDRAW, bRegister, g_bPerUserRegistration, replacements);
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
    return replacements.Add(u"APPID", kAppId) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CFerrowindModule::UpdateRegistryAppId(bool bRegister)
{
    ReplacementList replacements;
    RETURN_HR_IF(E_OUTOFMEMORY, !replacements.Add(u"APPID", kAppId));
    RETURN_IF_FAILED(AddCommonReplacements(replacements));
    return RunRegistryScript(g_hInstance, kAppIdScriptId, bRegister, g_bPerUserRegistration, replacements);
}

HRESULT CFerrowindModule::DllRegisterServer()
{
    CThreadLocaleSwitch locale;
    RETURN_IF_FAILED(UpdateRegistryAppId(true));
    RETURN_IF_FAILED(g_comModule.RegisterClassEntries(true));
    return RegisterModuleTypeLib(g_hInstance, g_bPerUserRegistration);
}

HRESULT CFerrowindModule::DllUnregisterServer()
{
    CThreadLocaleSwitch locale;
    RETURN_IF_FAILED(g_comModule.RegisterClassEntries(false));
    RETURN_IF_FAILED(UnregisterModuleTypeLib(g_hInstance, g_bPerUserRegistration));
    return UpdateRegistryAppId(false);
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

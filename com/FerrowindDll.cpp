// The DLL's entry point and its five exports (named by Ferrowind.def).

#include <windows.h>
#include <olectl.h>

#include "com/ComModule.h"
#include "com/FerrowindModule.h"
#include "com/ModuleGlobals.h"

extern "C" {
HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
HRESULT WINAPI DllCanUnloadNow();
HRESULT WINAPI DllRegisterServer();
HRESULT WINAPI DllUnregisterServer();
HRESULT WINAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine);
}

namespace
{
// The help path is made at process attach and freed with the module's other
// static objects at unload.
struct CHelpFilePathOwner
{
    CHelpFilePathOwner() = default;
    ~CHelpFilePathOwner() { FreeHelpFilePath(); }
    CHelpFilePathOwner(const CHelpFilePathOwner&) = delete;
    CHelpFilePathOwner& operator=(const CHelpFilePathOwner&) = delete;
} g_helpFilePathOwner;
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID /*pReserved*/)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    g_hInstance = hInstance;
    MakeHelpFilePath(hInstance);
    return g_bInitFailed ? FALSE : TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return g_comModule.GetClassObject(rclsid, riid, ppv);
}

HRESULT WINAPI DllCanUnloadNow()
{
    return g_pModule->GetLockCount() == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer()
{
    return g_pModule->DllRegisterServer();
}

HRESULT WINAPI DllUnregisterServer()
{
    return g_pModule->DllUnregisterServer();
}

HRESULT WINAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    return g_pModule->DllInstall(bInstall, pszCmdLine);
}

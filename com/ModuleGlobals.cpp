#include "com/ModuleGlobals.h"

#include <oleauto.h>

#include "dialog/HelpFilePath.h"

HINSTANCE g_hInstance = nullptr;
BSTR g_bstrHelpFile = nullptr;

void MakeHelpFilePath(HINSTANCE hInstance)
{
    if ((g_bstrHelpFile != nullptr && ::SysStringLen(g_bstrHelpFile) != 0) || hInstance == nullptr)
        return;
    wchar_t szPath[kModulePathUnits] = {};
    const DWORD n = ::GetModuleFileNameW(hInstance, szPath, kModulePathRequest);
    if (!HelpFilePathFromModulePath(szPath, n))
        return;
    BSTR bstrPath = ::SysAllocString(szPath);
    if (bstrPath == nullptr)
        return;
    ::SysFreeString(g_bstrHelpFile);
    g_bstrHelpFile = bstrPath;
}

void FreeHelpFilePath()
{
    ::SysFreeString(g_bstrHelpFile);
    g_bstrHelpFile = nullptr;
}

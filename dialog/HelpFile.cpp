#include "dialog/HelpFile.h"

namespace
{
using HtmlHelpWFunction = HWND(WINAPI*)(HWND hWndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData);
constexpr UINT kHelpDisplayTopic = 0; // HH_DISPLAY_TOPIC

// Where the machine registers the HTML Help control; a per-user registration
// cannot redirect it.
constexpr wchar_t kHtmlHelpServerKey[] =
    L"Software\\Classes\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

// A bare name is looked for in the system folder only, never in the host's
// folder or the current one, where a planted file of that name would run
// inside the host; a full path is taken as it is. The library's own
// dependencies come from the system folder too.
HMODULE LoadSystemLibrary(const wchar_t* pszName)
{
    return ::LoadLibraryExW(pszName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadHtmlHelpLibrary()
{
    // Without RRF_NOEXPAND a REG_EXPAND_SZ path, as Windows registers this
    // one, comes back expanded.
    wchar_t szPath[MAX_PATH];
    DWORD cbPath = sizeof(szPath);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kHtmlHelpServerKey, nullptr, RRF_RT_REG_SZ, nullptr, szPath, &cbPath) ==
        ERROR_SUCCESS)
    {
        if (HMODULE hModule = LoadSystemLibrary(szPath))
            return hModule;
    }
    return LoadSystemLibrary(L"hhctrl.ocx");
}

// Loaded once for the life of the process and never freed: the viewer's
// windows may outlive the dialog that opened them.
HtmlHelpWFunction LocateHtmlHelp()
{
    HMODULE hModule = LoadHtmlHelpLibrary();
    if (hModule == nullptr)
        return nullptr;
    auto pfn = reinterpret_cast<HtmlHelpWFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hModule, "HtmlHelpW")));
    if (pfn == nullptr)
        ::FreeLibrary(hModule);
    return pfn;
}
} // namespace

void ShowHelpFile(const wchar_t* pszHelpFile)
{
    if (pszHelpFile == nullptr || pszHelpFile[0] == 0)
        return;
    // Located on the first call with a file to show; a failure is remembered
    // as well.
    static const HtmlHelpWFunction s_pfnHtmlHelp = LocateHtmlHelp();
    if (s_pfnHtmlHelp == nullptr)
        return;
    s_pfnHtmlHelp(::GetDesktopWindow(), pszHelpFile, kHelpDisplayTopic, 0);
}

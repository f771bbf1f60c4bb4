#include "dialog/HelpFile.h"

namespace
{
using HtmlHelpWFunction = HWND(WINAPI*)(HWND hWndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData);
constexpr UINT kHelpDisplayTopic = 0; // HH_DISPLAY_TOPIC

// The path the HTML Help control is registered under, so that the system's
// copy is loaded rather than a file of that name beside the host.
constexpr wchar_t kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

HMODULE LoadHtmlHelpLibrary()
{
    wchar_t szPath[MAX_PATH];
    DWORD cbPath = sizeof(szPath);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr, RRF_RT_REG_SZ, nullptr, szPath, &cbPath) ==
        ERROR_SUCCESS)
    {
        if (HMODULE hModule = ::LoadLibraryW(szPath))
            return hModule;
    }
    return ::LoadLibraryW(L"hhctrl.ocx");
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

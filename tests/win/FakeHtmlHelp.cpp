// Stands in for the HTML Help control in tests: HtmlHelpW shows nothing and
// leaves the file it was asked to show in the process environment, where the
// test reads it back.

#include <windows.h>

extern "C" HWND WINAPI HtmlHelpW(HWND /*hWndCaller*/, LPCWSTR pszFile, UINT uCommand, DWORD_PTR /*dwData*/)
{
    if (uCommand == 0)
        SetEnvironmentVariableW(L"FERROWIND_TEST_HELP_FILE", pszFile != nullptr ? pszFile : L"(null)");
    return nullptr;
}

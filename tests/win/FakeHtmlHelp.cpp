// Stands in for the HTML Help control in tests: HtmlHelpW shows nothing and
// leaves the file it was asked to show, and its caller, command and data, in
// the process environment, where the test reads them back.

#include <windows.h>

#include <cstdint>
#include <string>

extern "C" HWND WINAPI HtmlHelpW(HWND hWndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData)
{
    if (uCommand == 0)
        SetEnvironmentVariableW(L"FERROWIND_TEST_HELP_FILE", pszFile != nullptr ? pszFile : L"(null)");
    const std::wstring strCall = std::to_wstring(reinterpret_cast<uintptr_t>(hWndCaller)) + L" " +
                                 std::to_wstring(uCommand) + L" " + std::to_wstring(dwData);
    SetEnvironmentVariableW(L"FERROWIND_TEST_HELP_CALL", strCall.c_str());
    return nullptr;
}

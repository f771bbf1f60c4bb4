#include "com/Registrar.h"

#include <climits>
#include <memory>
#include <new>
#include <string>

#include "com/RegistryWalker.h"
#include "com/Win32Handle.h"
#include "com/Win32Registry.h"

namespace
{
// Reads REGISTRY resource nResourceId of the module file as UTF-16 text, up to
// its first null unit.
HRESULT ReadScriptResource(LPCWSTR pszModulePath, UINT nResourceId, std::u16string& strText) noexcept
{
    SetLastError(ERROR_SUCCESS);
    CLibraryHandle hLibrary(LoadLibraryExW(pszModulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!hLibrary)
        return HResultFromLastError();
    HRSRC hResource = FindResourceW(hLibrary.get(), MAKEINTRESOURCEW(nResourceId), L"REGISTRY");
    if (hResource == nullptr)
        return HResultFromLastError();
    HGLOBAL hData = LoadResource(hLibrary.get(), hResource);
    if (hData == nullptr)
        return HResultFromLastError();
    const DWORD cbData = SizeofResource(hLibrary.get(), hResource);
    if (cbData == 0 || cbData > INT_MAX)
        return HResultFromLastError();
    const char* pchData = static_cast<const char*>(LockResource(hData));
    if (pchData == nullptr)
        return HResultFromLastError();

    const int cchText = MultiByteToWideChar(CP_THREAD_ACP, 0, pchData, static_cast<int>(cbData), nullptr, 0);
    if (cchText == 0)
        return HResultFromLastError();
    std::unique_ptr<WCHAR[]> pszText(new (std::nothrow) WCHAR[static_cast<size_t>(cchText) + 1]);
    if (!pszText)
        return E_OUTOFMEMORY;
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, pchData, static_cast<int>(cbData), pszText.get(), cchText) != cchText)
        return HResultFromLastError();
    pszText[cchText] = L'\0';
    try
    {
        const size_t cchUsed = wcslen(pszText.get());
        strText.assign(pszText.get(), pszText.get() + cchUsed);
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
} // namespace

HRESULT HResultFromLastError() noexcept
{
    const DWORD dwError = GetLastError();
    return dwError == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(dwError);
}

HRESULT GetModulePath(HMODULE hModule, WCHAR (&szPath)[MAX_PATH]) noexcept
{
    SetLastError(ERROR_SUCCESS);
    const DWORD cchPath = GetModuleFileNameW(hModule, szPath, MAX_PATH);
    if (cchPath == 0)
        return HResultFromLastError();
    if (cchPath >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT RunRegistryScript(HMODULE hModule, UINT nResourceId, bool bRegister, bool bPerUser,
                          const ReplacementList& extra, RegScope scope, REGSAM samView) noexcept
{
    WCHAR szPath[MAX_PATH];
    const HRESULT hr = GetModulePath(hModule, szPath);
    if (FAILED(hr))
        return hr;
    return RunRegistryScriptAt(szPath, nResourceId, bRegister, bPerUser, extra, scope, samView);
}

HRESULT RunRegistryScriptAt(LPCWSTR pszModulePath, UINT nResourceId, bool bRegister, bool bPerUser,
                            const ReplacementList& extra, RegScope scope, REGSAM samView) noexcept
{
    if (pszModulePath == nullptr)
        return E_INVALIDARG;
    const size_t cchPath = wcsnlen(pszModulePath, MAX_PATH);
    if (cchPath >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    // The script quotes %MODULE%, so its own quotes are doubled to come out whole.
    char16_t szModule[2 * MAX_PATH];
    size_t cchModule = 0;
    for (size_t i = 0; i < cchPath; ++i)
    {
        const char16_t c = static_cast<char16_t>(pszModulePath[i]);
        szModule[cchModule++] = c;
        if (c == u'\'')
            szModule[cchModule++] = u'\'';
    }
    const std::u16string_view strModule(szModule, cchModule);

    ReplacementList replacements = extra;
    if (!replacements.Add(u"Module", strModule) || !replacements.Add(u"Module_Raw", strModule))
        return E_INVALIDARG;

    std::u16string strText;
    const HRESULT hr = ReadScriptResource(pszModulePath, nResourceId, strText);
    if (FAILED(hr))
        return hr;

    CWin32Registry registry(samView);
    return RunRegistryScriptText(strText, replacements, bRegister, bPerUser, registry, scope);
}

#include "com/TypeLibRegistration.h"

#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <initializer_list>

#include "com/ComPtr.h"
#include "com/HResult.h"
#include "com/Registrar.h"
#include "com/WindowsPath.h"
#include "com/Win32Handle.h"

namespace
{
using PFN_REGISTERTYPELIBFORUSER = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using PFN_UNREGISTERTYPELIBFORUSER = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Looked up in the copy the process already has loaded: older systems lack
// the per-user calls, and then the machine-wide ones serve.
template <typename PFN>
PFN FindOleAutomationExport(const char* pszName) noexcept
{
    HMODULE hOleAut = GetModuleHandleW(L"OLEAUT32.DLL");
    if (hOleAut == nullptr)
        return nullptr;
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(GetProcAddress(hOleAut, pszName)));
}

class CBstr
{
public:
    CBstr() = default;
    ~CBstr() { SysFreeString(m_bstr); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR* put()
    {
        SysFreeString(m_bstr);
        m_bstr = nullptr;
        return &m_bstr;
    }
    BSTR get() const { return m_bstr; }

private:
    BSTR m_bstr = nullptr;
};

class CTypeLibAttr
{
public:
    explicit CTypeLibAttr(ITypeLib* pTypeLib) : m_pTypeLib(pTypeLib) {}
    ~CTypeLibAttr()
    {
        if (m_pAttr != nullptr)
            m_pTypeLib->ReleaseTLibAttr(m_pAttr);
    }
    CTypeLibAttr(const CTypeLibAttr&) = delete;
    CTypeLibAttr& operator=(const CTypeLibAttr&) = delete;
    TLIBATTR** put() { return &m_pAttr; }
    const TLIBATTR* operator->() const { return m_pAttr; }
    const TLIBATTR& operator*() const { return *m_pAttr; }

private:
    ITypeLib* m_pTypeLib;
    TLIBATTR* m_pAttr = nullptr;
};

const wchar_t* PlatformKeyName(SYSKIND syskind) noexcept
{
    switch (syskind)
    {
    case SYS_WIN16:
        return L"win16";
    case SYS_MAC:
        return L"mac";
    case SYS_WIN64:
        return L"win64";
    default:
        return L"win32";
    }
}

// The keys the service records a library under: TypeLib\{LIBID}, its
// major.minor key below it, and TypeLib\{LIBID}\major.minor\lcid\platform,
// whose default value is the library's path. False when they cannot be named.
struct TypeLibKeys
{
    WCHAR szLibrary[80] = {};
    WCHAR szVersion[100] = {};
    WCHAR szLocale[120] = {};
    WCHAR szPlatform[140] = {};
};

bool NameTypeLibKeys(const TLIBATTR& attr, TypeLibKeys& keys) noexcept
{
    WCHAR szLibId[40] = {};
    if (StringFromGUID2(attr.guid, szLibId, ARRAYSIZE(szLibId)) == 0)
        return false;
    return swprintf(keys.szLibrary, ARRAYSIZE(keys.szLibrary), L"Software\\Classes\\TypeLib\\%ls", szLibId) > 0 &&
           swprintf(keys.szVersion, ARRAYSIZE(keys.szVersion), L"%ls\\%x.%x", keys.szLibrary, attr.wMajorVerNum,
                    attr.wMinorVerNum) > 0 &&
           swprintf(keys.szLocale, ARRAYSIZE(keys.szLocale), L"%ls\\%lx", keys.szVersion,
                    static_cast<unsigned long>(attr.lcid)) > 0 &&
           swprintf(keys.szPlatform, ARRAYSIZE(keys.szPlatform), L"%ls\\%ls", keys.szLocale,
                    PlatformKeyName(attr.syskind)) > 0;
}

// Whether the library is recorded for its platform, machine-wide or for the
// current user (Wine 8 records a per-user library machine-wide). A key that
// cannot be named counts as recorded.
bool IsTypeLibRecorded(const TLIBATTR& attr) noexcept
{
    TypeLibKeys keys;
    if (!NameTypeLibKeys(attr, keys))
        return true;
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        CRegKeyHandle hKey;
        if (RegOpenKeyExW(hRoot, keys.szPlatform, 0, KEY_READ, hKey.put()) != ERROR_FILE_NOT_FOUND)
            return true;
    }
    return false;
}

// Whether a key has subkeys other than the names given.
bool HasSubkeysBesides(HKEY hRoot, const WCHAR* pszKey, std::initializer_list<const WCHAR*> ignored) noexcept
{
    CRegKeyHandle hKey;
    if (RegOpenKeyExW(hRoot, pszKey, 0, KEY_READ, hKey.put()) != ERROR_SUCCESS)
        return true;
    WCHAR szName[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD cchName = ARRAYSIZE(szName);
        const LSTATUS status = RegEnumKeyExW(hKey.get(), i, szName, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return false;
        if (status != ERROR_SUCCESS)
            return true;
        bool bIgnored = false;
        for (const WCHAR* pszIgnored : ignored)
            bIgnored = bIgnored || CompareStringOrdinal(szName, -1, pszIgnored, -1, TRUE) == CSTR_EQUAL;
        if (!bIgnored)
            return true;
    }
}

// The service unregisters a library by loading the file recorded for it, and
// fails when that file is gone: another copy of this module, registered
// after it and deleted since, would then keep the entry for ever. Such an
// entry (a file that is not this module and does not exist) is removed here,
// with its locale and version keys once no other platform or locale is left
// in them, and the library's key once it is empty. False when there was no
// such entry or it could not be removed.
bool RemoveEntryOfMissingCopy(const TLIBATTR& attr, const WCHAR* pszThisModule) noexcept
{
    TypeLibKeys keys;
    if (!NameTypeLibKeys(attr, keys))
        return false;
    bool bRemoved = false;
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        WCHAR szRecorded[MAX_PATH + 1] = {};
        DWORD cbRecorded = sizeof(szRecorded) - sizeof(WCHAR);
        if (RegGetValueW(hRoot, keys.szPlatform, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                         nullptr, szRecorded, &cbRecorded) != ERROR_SUCCESS)
            continue;
        if (CompareStringOrdinal(szRecorded, -1, pszThisModule, -1, TRUE) == CSTR_EQUAL ||
            GetFileAttributesW(szRecorded) != INVALID_FILE_ATTRIBUTES)
            return false;
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
            return false;
        if (RegDeleteKeyW(hRoot, keys.szPlatform) != ERROR_SUCCESS)
            return false;
        bRemoved = true;
        if (!HasSubkeysBesides(hRoot, keys.szLocale, {}))
            RegDeleteKeyW(hRoot, keys.szLocale);
        if (!HasSubkeysBesides(hRoot, keys.szVersion, {L"FLAGS", L"HELPDIR"}))
            RegDeleteTreeW(hRoot, keys.szVersion);
        if (!HasSubkeysBesides(hRoot, keys.szLibrary, {}))
            RegDeleteKeyW(hRoot, keys.szLibrary);
    }
    return bRemoved;
}
} // namespace

HRESULT LoadModuleTypeLib(HMODULE hModule, ITypeLib** ppTypeLib, WCHAR (&szLoadedFrom)[MAX_PATH]) noexcept
{
    if (ppTypeLib == nullptr)
        return E_POINTER;
    *ppTypeLib = nullptr;
    RETURN_IF_FAILED(GetModulePath(hModule, szLoadedFrom));
    if (SUCCEEDED(LoadTypeLib(szLoadedFrom, ppTypeLib)))
        return S_OK;
    *ppTypeLib = nullptr;

    // ".tlb" in place of the extension, or at the end without one.
    const size_t cchStem = WindowsPathExtensionStart(szLoadedFrom, wcslen(szLoadedFrom));
    static constexpr WCHAR kTlb[] = L".tlb";
    if (cchStem + ARRAYSIZE(kTlb) > MAX_PATH)
        return E_FAIL;
    wmemcpy(szLoadedFrom + cchStem, kTlb, ARRAYSIZE(kTlb));
    const HRESULT hr = LoadTypeLib(szLoadedFrom, ppTypeLib);
    if (FAILED(hr))
        *ppTypeLib = nullptr;
    return hr;
}

void HelpDirectoryOf(const WCHAR* pszHelpFile, WCHAR (&szHelpDir)[MAX_PATH]) noexcept
{
    szHelpDir[0] = L'\0';
    if (pszHelpFile == nullptr)
        return;
    size_t cchDir = WindowsPathFolderEnd(pszHelpFile, wcslen(pszHelpFile));
    if (cchDir >= MAX_PATH)
        cchDir = MAX_PATH - 1;
    wmemcpy(szHelpDir, pszHelpFile, cchDir);
    szHelpDir[cchDir] = L'\0';
}

HRESULT RegisterModuleTypeLib(HMODULE hModule, bool bPerUser) noexcept
{
    ComPtr<ITypeLib> spTypeLib;
    WCHAR szPath[MAX_PATH];
    RETURN_IF_FAILED(LoadModuleTypeLib(hModule, spTypeLib.put(), szPath));

    CBstr bstrHelpFile;
    WCHAR szHelpDir[MAX_PATH];
    WCHAR* pszHelpDir = nullptr;
    if (SUCCEEDED(spTypeLib->GetDocumentation(-1, nullptr, nullptr, nullptr, bstrHelpFile.put())) &&
        bstrHelpFile.get() != nullptr && bstrHelpFile.get()[0] != L'\0')
    {
        HelpDirectoryOf(bstrHelpFile.get(), szHelpDir);
        pszHelpDir = szHelpDir;
    }

    if (bPerUser)
    {
        if (auto pfn = FindOleAutomationExport<PFN_REGISTERTYPELIBFORUSER>("RegisterTypeLibForUser"))
            return pfn(spTypeLib.get(), szPath, pszHelpDir);
    }
    return RegisterTypeLib(spTypeLib.get(), szPath, pszHelpDir);
}

HRESULT UnregisterModuleTypeLib(HMODULE hModule, bool bPerUser) noexcept
{
    ComPtr<ITypeLib> spTypeLib;
    WCHAR szPath[MAX_PATH];
    RETURN_IF_FAILED(LoadModuleTypeLib(hModule, spTypeLib.put(), szPath));

    CTypeLibAttr attr(spTypeLib.get());
    RETURN_IF_FAILED(spTypeLib->GetLibAttr(attr.put()));
    HRESULT hr = E_FAIL;
    auto pfnForUser =
        bPerUser ? FindOleAutomationExport<PFN_UNREGISTERTYPELIBFORUSER>("UnRegisterTypeLibForUser") : nullptr;
    if (pfnForUser != nullptr)
        hr = pfnForUser(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    else
        hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    // A library that was not registered (removed by hand, by another build or
    // by an earlier uninstall that stopped half way), or whose entry names a
    // copy that is gone, is as good as removed: an uninstall can always finish.
    if (FAILED(hr) && (!IsTypeLibRecorded(*attr) || RemoveEntryOfMissingCopy(*attr, szPath)))
        return S_OK;
    return hr;
}

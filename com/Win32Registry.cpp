#include "com/Win32Registry.h"

#include <string>

#include "com/Win32Handle.h"

namespace
{
HKEY ToHkey(RegKey key)
{
    return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY hKey)
{
    return reinterpret_cast<RegKey>(hKey);
}

// The platform wants terminated wide strings; the walks hand out views.
bool ToWide(std::u16string_view strText, std::wstring& strWide) noexcept
{
    try
    {
        strWide.assign(strText.begin(), strText.end());
        return true;
    }
    catch (...)
    {
        return false;
    }
}
} // namespace

CWin32Registry::CWin32Registry(REGSAM samView) noexcept : m_samView(samView)
{
    if (HMODULE hAdvapi = GetModuleHandleW(L"Advapi32.dll"))
    {
        if (FARPROC pfn = GetProcAddress(hAdvapi, "RegDeleteKeyExW"))
            m_pfnRegDeleteKeyExW = reinterpret_cast<PFN_REGDELETEKEYEXW>(reinterpret_cast<void (*)()>(pfn));
    }
}

RegKey CWin32Registry::RootKey(RegRoot root) noexcept
{
    switch (root)
    {
    case RegRoot::ClassesRoot:
        return FromHkey(HKEY_CLASSES_ROOT);
    case RegRoot::CurrentUser:
        return FromHkey(HKEY_CURRENT_USER);
    case RegRoot::LocalMachine:
        return FromHkey(HKEY_LOCAL_MACHINE);
    case RegRoot::Users:
        return FromHkey(HKEY_USERS);
    case RegRoot::CurrentConfig:
        return FromHkey(HKEY_CURRENT_CONFIG);
    }
    return FromHkey(HKEY_CLASSES_ROOT);
}

uint32_t CWin32Registry::OpenKey(RegKey parent, std::u16string_view strName, RegAccess access, RegKey* pKey) noexcept
{
    *pKey = 0;
    std::wstring strWide;
    if (!ToWide(strName, strWide))
        return ERROR_NOT_ENOUGH_MEMORY;
    const REGSAM sam = (access == RegAccess::ReadWrite ? KEY_READ | KEY_WRITE : KEY_READ) | m_samView;
    CRegKeyHandle hKey;
    const LONG lResult = RegOpenKeyExW(ToHkey(parent), strWide.c_str(), 0, sam, hKey.put());
    if (lResult != ERROR_SUCCESS)
        return static_cast<uint32_t>(lResult);
    *pKey = FromHkey(hKey.release());
    return ERROR_SUCCESS;
}

uint32_t CWin32Registry::CreateKey(RegKey parent, std::u16string_view strName, RegKey* pKey) noexcept
{
    *pKey = 0;
    std::wstring strWide;
    if (!ToWide(strName, strWide))
        return ERROR_NOT_ENOUGH_MEMORY;
    CRegKeyHandle hKey;
    const LONG lResult = RegCreateKeyExW(ToHkey(parent), strWide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_READ | KEY_WRITE | m_samView, nullptr, hKey.put(), nullptr);
    if (lResult != ERROR_SUCCESS)
        return static_cast<uint32_t>(lResult);
    *pKey = FromHkey(hKey.release());
    return ERROR_SUCCESS;
}

uint32_t CWin32Registry::SetValue(RegKey key, std::u16string_view strName, uint32_t dwType, const uint8_t* pbData,
                                  uint32_t cbData) noexcept
{
    std::wstring strWide;
    if (!ToWide(strName, strWide))
        return ERROR_NOT_ENOUGH_MEMORY;
    return static_cast<uint32_t>(RegSetValueExW(ToHkey(key), strWide.c_str(), 0, dwType, pbData, cbData));
}

uint32_t CWin32Registry::DeleteValue(RegKey key, std::u16string_view strName) noexcept
{
    std::wstring strWide;
    if (!ToWide(strName, strWide))
        return ERROR_NOT_ENOUGH_MEMORY;
    return static_cast<uint32_t>(RegDeleteValueW(ToHkey(key), strWide.c_str()));
}

uint32_t CWin32Registry::DeleteKey(RegKey parent, std::u16string_view strName) noexcept
{
    // An empty name would delete the parent itself.
    if (strName.empty())
        return ERROR_INVALID_PARAMETER;
    std::wstring strWide;
    if (!ToWide(strName, strWide))
        return ERROR_NOT_ENOUGH_MEMORY;
    if (m_pfnRegDeleteKeyExW != nullptr)
        return static_cast<uint32_t>(m_pfnRegDeleteKeyExW(ToHkey(parent), strWide.c_str(), m_samView, 0));
    return static_cast<uint32_t>(RegDeleteKeyW(ToHkey(parent), strWide.c_str()));
}

uint32_t CWin32Registry::CountSubkeys(RegKey key, uint32_t* pcSubkeys) noexcept
{
    DWORD cSubkeys = 0;
    const LONG lResult = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &cSubkeys, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr);
    *pcSubkeys = lResult == ERROR_SUCCESS ? cSubkeys : 0;
    return static_cast<uint32_t>(lResult);
}

uint32_t CWin32Registry::EnumSubkey(RegKey key, uint32_t nIndex, char16_t* pszName, uint32_t* pcchName) noexcept
{
    WCHAR szName[kMaxKeyNameUnits + 1];
    DWORD cchName = *pcchName < DWORD(kMaxKeyNameUnits + 1) ? *pcchName : DWORD(kMaxKeyNameUnits + 1);
    const LONG lResult = RegEnumKeyExW(ToHkey(key), nIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr);
    if (lResult != ERROR_SUCCESS)
        return static_cast<uint32_t>(lResult);
    for (DWORD i = 0; i < cchName; ++i)
        pszName[i] = static_cast<char16_t>(szName[i]);
    pszName[cchName] = u'\0';
    *pcchName = cchName;
    return ERROR_SUCCESS;
}

void CWin32Registry::CloseKey(RegKey key) noexcept
{
    RegCloseKey(ToHkey(key));
}

#include "RegistryRows.h"

#include <algorithm>

#include "com/Win32Handle.h"

namespace
{
std::wstring ValueRow(const std::wstring& strKey, const std::wstring& strName, DWORD dwType,
                      const std::vector<BYTE>& vecData)
{
    std::wstring strRow = strKey + (strName.empty() ? L" @=" : L" [" + strName + L"]=");
    const size_t cUnits = vecData.size() / sizeof(WCHAR);
    std::wstring strData(cUnits, L'\0');
    std::copy(vecData.begin(), vecData.begin() + static_cast<ptrdiff_t>(cUnits * sizeof(WCHAR)),
              reinterpret_cast<BYTE*>(strData.data()));
    if (dwType == REG_SZ && vecData.size() % sizeof(WCHAR) == 0 && cUnits > 0 && strData.find(L'\0') == cUnits - 1)
    {
        strData.pop_back();
        return strRow + L"\"" + strData + L"\"";
    }
    return strRow + L"<type " + std::to_wstring(dwType) + L", " + std::to_wstring(vecData.size()) + L" bytes>";
}
} // namespace

void AppendRegistryTree(HKEY hRoot, const std::wstring& strPath, const std::wstring& strShown, Rows& rows)
{
    CRegKeyHandle hKey;
    if (RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ, hKey.put()) != ERROR_SUCCESS)
        return;
    rows.push_back(strShown);
    for (DWORD nIndex = 0;; ++nIndex)
    {
        WCHAR szName[16384];
        DWORD cchName = ARRAYSIZE(szName);
        DWORD dwType = 0;
        DWORD cbData = 0;
        if (RegEnumValueW(hKey.get(), nIndex, szName, &cchName, nullptr, &dwType, nullptr, &cbData) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> vecData(cbData);
        cchName = ARRAYSIZE(szName);
        if (RegEnumValueW(hKey.get(), nIndex, szName, &cchName, nullptr, &dwType, vecData.data(), &cbData) !=
            ERROR_SUCCESS)
            break;
        vecData.resize(cbData);
        rows.push_back(ValueRow(strShown, std::wstring(szName, cchName), dwType, vecData));
    }
    for (DWORD nIndex = 0;; ++nIndex)
    {
        WCHAR szName[256];
        DWORD cchName = ARRAYSIZE(szName);
        if (RegEnumKeyExW(hKey.get(), nIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring strChild(szName, cchName);
        AppendRegistryTree(hRoot, strPath + L"\\" + strChild, strShown + L"\\" + strChild, rows);
    }
}

bool KeyExists(HKEY hRoot, const std::wstring& strPath)
{
    CRegKeyHandle hKey;
    return RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ, hKey.put()) == ERROR_SUCCESS;
}

void RemoveRegistryTree(HKEY hRoot, const std::wstring& strPath)
{
    if (RegDeleteTreeW(hRoot, strPath.c_str()) == ERROR_SUCCESS)
        RegDeleteKeyW(hRoot, strPath.c_str());
}

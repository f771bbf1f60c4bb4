#include "RegistryRows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "com/Win32Handle.h"

const wchar_t kAppIdText[] = L"{7DC31AD9-C10D-44A6-A01D-559A1539D177}";
const wchar_t kClsidText[] = L"{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}";
const wchar_t kLibIdText[] = L"{6E7FDFA9-9415-40DC-98FB-264BF98E9627}";
const wchar_t kCatIdText[] = L"{5a245b48-94a3-4a37-9468-57f3807348e6}";

namespace
{
const std::wstring kOwnKeys[] = {
    std::wstring(L"AppID\\") + kAppIdText,
    L"AppID\\Ferrowind.DLL",
    L"Ferrowind.SMPTE.1",
    L"Ferrowind.SMPTEFr",
    std::wstring(L"CLSID\\") + kClsidText,
};

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

void AppendRegistryTree(HKEY hRoot, const std::wstring& strPath, const std::wstring& strShown, Rows& rows,
                        REGSAM samView)
{
    CRegKeyHandle hKey;
    if (RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ | samView, hKey.put()) != ERROR_SUCCESS)
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
        AppendRegistryTree(hRoot, strPath + L"\\" + strChild, strShown + L"\\" + strChild, rows, samView);
    }
}

bool KeyExists(HKEY hRoot, const std::wstring& strPath)
{
    CRegKeyHandle hKey;
    return RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ, hKey.put()) == ERROR_SUCCESS;
}

void RemoveRegistryTree(HKEY hRoot, const std::wstring& strPath, REGSAM samView)
{
    {
        CRegKeyHandle hKey;
        if (RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_ALL_ACCESS | samView, hKey.put()) != ERROR_SUCCESS)
            return;
        if (RegDeleteTreeW(hKey.get(), nullptr) != ERROR_SUCCESS)
            return;
    }
    RegDeleteKeyExW(hRoot, strPath.c_str(), samView, 0);
}

Rows Sorted(Rows rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

Rows OwnRows(HKEY hRoot, const std::wstring& strClasses, REGSAM samView)
{
    Rows rows;
    for (const std::wstring& strKey : kOwnKeys)
        AppendRegistryTree(hRoot, strClasses + strKey, strKey, rows, samView);
    return Sorted(rows);
}

Rows EntryRows(const std::wstring& strModule)
{
    const std::wstring appId = std::wstring(L"AppID\\") + kAppIdText;
    const std::wstring appIdDll = L"AppID\\Ferrowind.DLL";
    const std::wstring progId = L"Ferrowind.SMPTE.1";
    const std::wstring viProgId = L"Ferrowind.SMPTEFr";
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsidText;
    const std::wstring clsidValue = std::wstring(L" @=\"") + kClsidText + L"\"";
    return Sorted({
        appId,
        appId + L" @=\"Ferrowind\"",
        appIdDll,
        appIdDll + L" [AppID]=\"" + kAppIdText + L"\"",
        progId,
        progId + L" @=\"SMPTEFrameDraw Class\"",
        progId + L"\\CLSID",
        progId + L"\\CLSID" + clsidValue,
        viProgId,
        viProgId + L" @=\"SMPTEFrameDraw Class\"",
        viProgId + L"\\CLSID",
        viProgId + L"\\CLSID" + clsidValue,
        viProgId + L"\\CurVer",
        viProgId + L"\\CurVer @=\"Ferrowind.SMPTE.1\"",
        cls,
        cls + L" @=\"SMPTEFrameDraw Class\"",
        cls + L"\\ProgID",
        cls + L"\\ProgID @=\"Ferrowind.SMPTE.1\"",
        cls + L"\\VersionIndependentProgID",
        cls + L"\\VersionIndependentProgID @=\"Ferrowind.SMPTEFr\"",
        cls + L"\\InprocServer32",
        cls + L"\\InprocServer32 @=\"" + strModule + L"\"",
        cls + L"\\InprocServer32 [ThreadingModel]=\"Apartment\"",
        cls + L"\\TypeLib",
        cls + L"\\TypeLib @=\"" + kLibIdText + L"\"",
        cls + L"\\Implemented Categories",
        cls + L"\\Implemented Categories\\" + kCatIdText,
    });
}

void RemoveOwnKeys(HKEY hRoot, const std::wstring& strClasses, REGSAM samView)
{
    for (const std::wstring& strKey : kOwnKeys)
        RemoveRegistryTree(hRoot, strClasses + strKey, samView);
}

std::string Narrow(const Rows& rows)
{
    std::string strOut;
    for (const std::wstring& strRow : rows)
    {
        for (wchar_t c : strRow)
            strOut.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        strOut.push_back('\n');
    }
    return strOut;
}

void SetString(HKEY hRoot, const std::wstring& strPath, LPCWSTR pszName, const std::wstring& strData)
{
    CRegKeyHandle hKey;
    ASSERT_EQ(RegCreateKeyExW(hRoot, strPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, hKey.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(hKey.get(), pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strData.c_str()),
                             static_cast<DWORD>((strData.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
}

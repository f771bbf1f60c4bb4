#include "ServerTestSupport.h"

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

std::wstring TypeLibKey()
{
    return std::wstring(L"TypeLib\\") + kLibIdText;
}

// Removes the key when it has neither values nor subkeys.
void RemoveIfEmpty(HKEY hRoot, const std::wstring& strPath)
{
    DWORD cSubkeys = 0;
    DWORD cValues = 0;
    {
        CRegKeyHandle hKey;
        if (RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ, hKey.put()) != ERROR_SUCCESS)
            return;
        if (RegQueryInfoKeyW(hKey.get(), nullptr, nullptr, nullptr, &cSubkeys, nullptr, nullptr, &cValues, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
    }
    if (cSubkeys == 0 && cValues == 0)
        RegDeleteKeyW(hRoot, strPath.c_str());
}
} // namespace

std::wstring FolderOf(const std::wstring& strPath)
{
    const size_t nSlash = strPath.find_last_of(L'\\');
    return nSlash == std::wstring::npos ? std::wstring() : strPath.substr(0, nSlash);
}

std::wstring BuiltModulePath()
{
    WCHAR szSelf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    std::wstring strPath = FolderOf(FolderOf(szSelf)) + L"\\bin\\Ferrowind.dll";
    return strPath;
}

bool CopyModuleTo(const std::wstring& strPath)
{
    // Each folder of the path, shortest first.
    for (size_t nSlash = strPath.find(L'\\', 3); nSlash != std::wstring::npos; nSlash = strPath.find(L'\\', nSlash + 1))
        CreateDirectoryW(strPath.substr(0, nSlash).c_str(), nullptr);
    return CopyFileW(BuiltModulePath().c_str(), strPath.c_str(), FALSE) != FALSE;
}

void RemoveCopy(const std::wstring& strPath, const std::wstring& strTop)
{
    DeleteFileW(strPath.c_str());
    for (std::wstring strFolder = FolderOf(strPath); strFolder.size() > strTop.size(); strFolder = FolderOf(strFolder))
    {
        if (!RemoveDirectoryW(strFolder.c_str()))
            break;
    }
}

CLoadedServer::CLoadedServer(const std::wstring& strPath) : m_strPath(strPath)
{
    m_hModule = LoadLibraryW(strPath.c_str());
    if (m_hModule == nullptr)
        return;
    auto find = [this](const char* pszName) {
        return reinterpret_cast<void (*)()>(GetProcAddress(m_hModule, pszName));
    };
    DllGetClassObject = reinterpret_cast<PFN_DLLGETCLASSOBJECT>(find("DllGetClassObject"));
    DllCanUnloadNow = reinterpret_cast<PFN_DLLCANUNLOADNOW>(find("DllCanUnloadNow"));
    DllRegisterServer = reinterpret_cast<PFN_DLLREGISTERSERVER>(find("DllRegisterServer"));
    DllUnregisterServer = reinterpret_cast<PFN_DLLREGISTERSERVER>(find("DllUnregisterServer"));
    DllInstall = reinterpret_cast<PFN_DLLINSTALL>(find("DllInstall"));
}

CLoadedServer::~CLoadedServer()
{
    Unload();
}

bool CLoadedServer::Loaded() const
{
    return m_hModule != nullptr && DllGetClassObject != nullptr && DllCanUnloadNow != nullptr &&
           DllRegisterServer != nullptr && DllUnregisterServer != nullptr && DllInstall != nullptr;
}

bool CLoadedServer::Unload()
{
    if (m_hModule == nullptr)
        return true;
    FreeLibrary(m_hModule);
    m_hModule = nullptr;
    return GetModuleHandleW(m_strPath.c_str()) == nullptr;
}

Rows Sorted(Rows rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

Rows OwnRows(HKEY hRoot)
{
    Rows rows;
    for (const std::wstring& strKey : kOwnKeys)
        AppendRegistryTree(hRoot, kClassesKey + strKey, strKey, rows);
    return Sorted(rows);
}

Rows TypeLibRows(HKEY hRoot)
{
    Rows rows;
    AppendRegistryTree(hRoot, kClassesKey + TypeLibKey(), TypeLibKey(), rows);
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

Rows ExpectedTypeLibRows(const std::wstring& strModule)
{
    // The service's own layout: the help string under the version, the path
    // the library was loaded from under locale 0 and win32, the library's
    // flags (widl marks it as having a disk image, 8) and, since the library
    // names no help directory, the module's folder.
    const std::wstring lib = TypeLibKey();
    const std::wstring ver = lib + L"\\1.0";
    return Sorted({
        lib,
        ver,
        ver + L" @=\"Ferrowind 1.0 Type Library\"",
        ver + L"\\0",
        ver + L"\\0\\win32",
        ver + L"\\0\\win32 @=\"" + strModule + L"\"",
        ver + L"\\FLAGS",
        ver + L"\\FLAGS @=\"8\"",
        ver + L"\\HELPDIR",
        ver + L"\\HELPDIR @=\"" + FolderOf(strModule) + L"\"",
    });
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

CRegistryCleanup::CRegistryCleanup()
    : m_bUserAppIdExisted(KeyExists(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"AppID")),
      m_bUserClsidExisted(KeyExists(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"CLSID"))
{
    RemoveAll();
}

CRegistryCleanup::~CRegistryCleanup()
{
    RemoveAll();
    if (!m_bUserAppIdExisted)
        RemoveIfEmpty(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"AppID");
    if (!m_bUserClsidExisted)
        RemoveIfEmpty(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"CLSID");
}

void CRegistryCleanup::RemoveAll()
{
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        for (const std::wstring& strKey : kOwnKeys)
            RemoveRegistryTree(hRoot, kClassesKey + strKey);
        RemoveRegistryTree(hRoot, kClassesKey + TypeLibKey());
    }
}

DWORD RunProgram(const std::wstring& strCommandLine, std::string* pstrOutput)
{
    WCHAR szTemp[MAX_PATH] = {};
    WCHAR szOutput[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    GetTempFileNameW(szTemp, L"fwo", 0, szOutput);

    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hOutput = CreateFileW(szOutput, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hOutput;
    si.hStdError = hOutput;
    PROCESS_INFORMATION pi = {};
    std::wstring strMutable = strCommandLine;
    DWORD dwExit = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, strMutable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    {
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (hOutput != INVALID_HANDLE_VALUE)
        CloseHandle(hOutput);
    if (pstrOutput != nullptr)
    {
        pstrOutput->clear();
        HANDLE hRead = CreateFileW(szOutput, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hRead != INVALID_HANDLE_VALUE)
        {
            char buffer[4096];
            DWORD cbRead = 0;
            while (ReadFile(hRead, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead != 0)
                pstrOutput->append(buffer, cbRead);
            CloseHandle(hRead);
        }
    }
    DeleteFileW(szOutput);
    return dwExit;
}

#include "ServerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "com/Win32Handle.h"

namespace
{
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

Rows OwnRows(HKEY hRoot, REGSAM samView)
{
    return OwnRows(hRoot, kClassesKey, samView);
}

Rows TypeLibRows(HKEY hRoot)
{
    Rows rows;
    AppendRegistryTree(hRoot, kClassesKey + TypeLibKey(), TypeLibKey(), rows);
    return Sorted(rows);
}

Rows ExpectedTypeLibRows(const std::wstring& strModule)
{
    // The service's own layout: the help string under the version, the path
    // the library was loaded from under locale 0 and the platform, the library's
    // flags (widl marks it as having a disk image, 8) and, since the library
    // names no help directory, the module's folder.
    const std::wstring lib = TypeLibKey();
    const std::wstring ver = lib + L"\\1.0";
    return Sorted({
        lib,
        ver,
        ver + L" @=\"Ferrowind 1.0 Type Library\"",
        ver + L"\\0",
        ver + L"\\0\\" + kOwnPlatformKey,
        ver + L"\\0\\" + kOwnPlatformKey + L" @=\"" + strModule + L"\"",
        ver + L"\\FLAGS",
        ver + L"\\FLAGS @=\"8\"",
        ver + L"\\HELPDIR",
        ver + L"\\HELPDIR @=\"" + FolderOf(strModule) + L"\"",
    });
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
        for (REGSAM samView : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            RemoveOwnKeys(hRoot, kClassesKey, samView);
        RemoveRegistryTree(hRoot, kClassesKey + TypeLibKey());
    }
}

DWORD RunProgram(const std::wstring& strCommandLine, std::string* pstrOutput, DWORD dwTimeoutMs)
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
        if (WaitForSingleObject(pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &dwExit);
        else
            TerminateProcess(pi.hProcess, static_cast<UINT>(-1));
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

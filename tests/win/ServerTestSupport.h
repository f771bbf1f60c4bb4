#pragma once
// The real Ferrowind.dll as an installer or a host loads it: its exports
// looked up by name, one fresh load per test, and the registry entries it
// writes read back as rows.

#include <windows.h>

#include <string>
#include <vector>

#include "RegistryRows.h"

// The built module beside this program's folder (..\bin\Ferrowind.dll).
std::wstring BuiltModulePath();
// A file name's folder, without the trailing '\'.
std::wstring FolderOf(const std::wstring& strPath);
// Copies the built module to strPath, creating its folders.
bool CopyModuleTo(const std::wstring& strPath);
// Deletes the file and then each of its folders up to (excluding) strTop,
// as long as they are empty.
void RemoveCopy(const std::wstring& strPath, const std::wstring& strTop);

// A module loaded for one test. Unload frees it and checks that it really
// left the process, so that the next load starts from fresh static state.
class CLoadedServer
{
public:
    using PFN_DLLGETCLASSOBJECT = HRESULT(WINAPI*)(REFCLSID, REFIID, LPVOID*);
    using PFN_DLLCANUNLOADNOW = HRESULT(WINAPI*)();
    using PFN_DLLREGISTERSERVER = HRESULT(WINAPI*)();
    using PFN_DLLINSTALL = HRESULT(WINAPI*)(BOOL, LPCWSTR);

    explicit CLoadedServer(const std::wstring& strPath = BuiltModulePath());
    ~CLoadedServer();
    CLoadedServer(const CLoadedServer&) = delete;
    CLoadedServer& operator=(const CLoadedServer&) = delete;

    bool Loaded() const;
    // True when the module is gone from the process afterwards.
    bool Unload();

    HMODULE Module() const { return m_hModule; }
    const std::wstring& Path() const { return m_strPath; }

    PFN_DLLGETCLASSOBJECT DllGetClassObject = nullptr;
    PFN_DLLCANUNLOADNOW DllCanUnloadNow = nullptr;
    PFN_DLLREGISTERSERVER DllRegisterServer = nullptr;
    PFN_DLLREGISTERSERVER DllUnregisterServer = nullptr;
    PFN_DLLINSTALL DllInstall = nullptr;

private:
    std::wstring m_strPath;
    HMODULE m_hModule = nullptr;
};


// Machine-wide class registrations live under HKEY_LOCAL_MACHINE, per-user
// ones under HKEY_CURRENT_USER, each in this key.
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

// Under hRoot's class key: rows of the keys that rows 2 to 8 and 10 to 17
// live in (the keys themselves, their values and whatever lies beneath them),
// sorted. One row per key ("Key"), per default value ("Key @=\"text\"") and
// per named value ("Key [Name]=\"text\"").
Rows OwnRows(HKEY hRoot, REGSAM samView = 0);
// The type library's entries under hRoot's TypeLib\{LIBID}, sorted.
Rows TypeLibRows(HKEY hRoot);
// What the type-library service writes for the library in strModule.
Rows ExpectedTypeLibRows(const std::wstring& strModule);


// Removes every entry registration can write, under both class roots and in
// both registry views, and
// the empty AppID and CLSID keys of the per-user root that a test's
// registration created. Construct before a test, and again it runs after it.
class CRegistryCleanup
{
public:
    CRegistryCleanup();
    ~CRegistryCleanup();
    CRegistryCleanup(const CRegistryCleanup&) = delete;
    CRegistryCleanup& operator=(const CRegistryCleanup&) = delete;

private:
    void RemoveAll();
    bool m_bUserAppIdExisted;
    bool m_bUserClsidExisted;
};

// Runs a program of the prefix and answers its exit code (or -1 when it did
// not start or did not end within dwTimeoutMs); its standard output goes to
// pstrOutput when given.
DWORD RunProgram(const std::wstring& strCommandLine, std::string* pstrOutput = nullptr, DWORD dwTimeoutMs = 60000);

#pragma once
// Registry trees read back as sorted text rows, for comparing what a
// registration wrote with what it should have written.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

using Rows = std::vector<std::wstring>;

// A module's type library is built for, and registered under, the platform
// of the module's own architecture, which is this program's.
constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline const wchar_t* const kOwnPlatformKey = sizeof(void*) == 8 ? L"win64" : L"win32";

extern const wchar_t kAppIdText[];
extern const wchar_t kClsidText[];
extern const wchar_t kLibIdText[];
extern const wchar_t kCatIdText[];

// Appends one row per key ("Key"), per default value ("Key @=\"text\"") and per
// named value ("Key [Name]=\"text\"") of the tree at strPath under hRoot, the
// key itself included, each named from strShown. A value that is not a REG_SZ
// whose stored size counts exactly one terminator shows as "<type T, N bytes>".
// samView (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY) picks the registry view.
void AppendRegistryTree(HKEY hRoot, const std::wstring& strPath, const std::wstring& strShown, Rows& rows,
                        REGSAM samView = 0);

bool KeyExists(HKEY hRoot, const std::wstring& strPath);

// Deletes the key at strPath with everything beneath it; no error when absent.
void RemoveRegistryTree(HKEY hRoot, const std::wstring& strPath, REGSAM samView = 0);

Rows Sorted(Rows rows);
// Our entries under a class key (strClasses: "" under HKEY_CLASSES_ROOT,
// "Software\\Classes\\" under a root key): the keys of rows 2 to 8 and 10 to
// 17 of the entry table with everything beneath them, sorted.
Rows OwnRows(HKEY hRoot, const std::wstring& strClasses, REGSAM samView = 0);
// What registration writes for a module at strModule: rows 2 to 8 and 10 to
// 17 of the entry table.
Rows EntryRows(const std::wstring& strModule);
// Removes the keys that OwnRows reads, with everything beneath them.
void RemoveOwnKeys(HKEY hRoot, const std::wstring& strClasses, REGSAM samView = 0);
// The rows as 8-bit text, one per line, for failure messages.
std::string Narrow(const Rows& rows);
// Writes a REG_SZ value (the default value when pszName is null), creating
// the key; a failure fails the current test.
void SetString(HKEY hRoot, const std::wstring& strPath, LPCWSTR pszName, const std::wstring& strData);

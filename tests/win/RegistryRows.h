#pragma once
// Registry trees read back as sorted text rows, for comparing what a
// registration wrote with what it should have written.

#include <windows.h>

#include <string>
#include <vector>

using Rows = std::vector<std::wstring>;

// Appends one row per key ("Key"), per default value ("Key @=\"text\"") and per
// named value ("Key [Name]=\"text\"") of the tree at strPath under hRoot, the
// key itself included, each named from strShown. A value that is not a REG_SZ
// whose stored size counts exactly one terminator shows as "<type T, N bytes>".
void AppendRegistryTree(HKEY hRoot, const std::wstring& strPath, const std::wstring& strShown, Rows& rows);

bool KeyExists(HKEY hRoot, const std::wstring& strPath);

// Deletes the key at strPath with everything beneath it; no error when absent.
void RemoveRegistryTree(HKEY hRoot, const std::wstring& strPath);

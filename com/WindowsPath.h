#pragma once
// The parts of a Windows path: its folder part ends just past its last
// separator ('\', '/' or ':'); its extension starts at the last '.' after the
// folder part, never at the path's first unit.

#include <cstddef>

#include "settings/LogFontW.h"

// The length of the folder part of the n units at pszPath, 0 without one.
size_t WindowsPathFolderEnd(const Utf16Unit* pszPath, size_t n);

// Where the extension of the n units at pszPath starts (its '.'), n without
// one.
size_t WindowsPathExtensionStart(const Utf16Unit* pszPath, size_t n);

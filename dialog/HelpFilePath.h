#pragma once
// The help file lies beside the module, with the extension "chm" in place of
// the module's own, or added when it has none.

#include <cstddef>
#include <cstdint>

#include "settings/LogFontW.h"

// The module's file name is read into a zero-filled buffer of this many
// units, asking for at most kModulePathRequest of them.
constexpr size_t kModulePathUnits = 261;
constexpr uint32_t kModulePathRequest = 260;
// Longer paths get no help file: ".chm" and its terminator must fit.
constexpr uint32_t kModulePathMaxForHelp = 256;

// Rewrites the module path of n units in szPath into the help file path in
// place: "chm" and a terminator right after the last '.' of the file name (at
// position 1 or later), or ".chm" appended when the file name has none.
// Answers false, leaving the buffer alone, when n is 0 or above
// kModulePathMaxForHelp.
bool HelpFilePathFromModulePath(Utf16Unit (&szPath)[kModulePathUnits], uint32_t n);

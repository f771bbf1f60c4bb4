#pragma once
// Registers and unregisters the type library the module carries as its
// TYPELIB resource 1, machine-wide or, where the platform offers it, for the
// current user.

#include <windows.h>
#include <oaidl.h>

// Loads the module's type library: from the module file itself, or failing
// that from the file beside it with the extension ".tlb". *ppTypeLib gets the
// library and szLoadedFrom the path it came from. Answers the module path's
// failure (as the registrar's), E_FAIL when the ".tlb" path does not fit in
// MAX_PATH units, or the second load's failure.
HRESULT LoadModuleTypeLib(HMODULE hModule, ITypeLib** ppTypeLib, WCHAR (&szLoadedFrom)[MAX_PATH]) noexcept;

// The help directory of a library's help file: the path cut after its last
// '\', '/' or ':' (empty when it has none of them).
void HelpDirectoryOf(const WCHAR* pszHelpFile, WCHAR (&szHelpDir)[MAX_PATH]) noexcept;

// bPerUser uses RegisterTypeLibForUser / UnRegisterTypeLibForUser when
// OLEAUT32.DLL exports them, otherwise the machine-wide calls. Each answers
// the platform's result.
HRESULT RegisterModuleTypeLib(HMODULE hModule, bool bPerUser) noexcept;
HRESULT UnregisterModuleTypeLib(HMODULE hModule, bool bPerUser) noexcept;

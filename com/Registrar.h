#pragma once
// Runs one REGISTRY resource of a module forward (register) or backward
// (unregister) against the platform's registry.

#include <windows.h>

#include "com/RegistryScript.h"

// The module's full path. GetModuleFileNameW answering 0 gives the HRESULT of
// the last error (E_FAIL when none was set); a path of MAX_PATH units or more
// gives HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) (0x8007007A).
HRESULT GetModulePath(HMODULE hModule, WCHAR (&szPath)[MAX_PATH]) noexcept;

// The HRESULT of the calling thread's last error; E_FAIL when none was set,
// so that a failed call is never answered as success.
HRESULT HResultFromLastError() noexcept;

// Defines the variables in this order: those of `extra` (the run's own, then
// the module's common ones), then Module and Module_Raw, both the module path
// with every single quote doubled. Reads the script, REGISTRY resource
// nResourceId of the module file opened as a data file, converts it with the
// thread's ANSI code page, and runs it; bPerUser moves the class root under
// HKEY_CURRENT_USER\Software\Classes. Answers S_OK or the first failure:
// the module path's (above), the platform's last error for a failed resource
// step, E_OUTOFMEMORY, E_INVALIDARG when `extra` leaves no room for the two
// module variables, DISP_E_EXCEPTION or E_FAIL for the script text, or
// HRESULT_FROM_WIN32 of a registry error (a failed registration has had its
// root block removed again). scope limits the class-root keys the run
// touches; samView (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY) is the registry
// view it works in, 0 being the process's own.
HRESULT RunRegistryScript(HMODULE hModule, UINT nResourceId, bool bRegister, bool bPerUser,
                          const ReplacementList& extra, RegScope scope = RegScope::Whole,
                          REGSAM samView = 0) noexcept;

// The same for a module given by its path, which then is the Module value.
// A path of MAX_PATH units or more answers 0x8007007A, as from the module.
HRESULT RunRegistryScriptAt(LPCWSTR pszModulePath, UINT nResourceId, bool bRegister, bool bPerUser,
                            const ReplacementList& extra, RegScope scope = RegScope::Whole,
                            REGSAM samView = 0) noexcept;

#pragma once
// Process-wide values of the module, recorded at process attach.

#include <windows.h>

// The module that carries the resources (the DLL itself; a test program that
// links the code directly sets it to its own handle).
extern HINSTANCE g_hInstance;

// Path of the help file beside the module ("...\Ferrowind.chm"); empty when it
// cannot be formed.
extern BSTR g_bstrHelpFile;

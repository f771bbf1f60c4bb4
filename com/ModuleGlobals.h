#pragma once
// Process-wide values of the module, recorded at process attach, and the
// making and freeing of the help path.

#include <windows.h>

// The module that carries the resources (the DLL itself; a test program that
// links the code directly sets it to its own handle).
extern HINSTANCE g_hInstance;

// Path of the help file beside the module ("...\Ferrowind.chm"); empty when it
// cannot be formed.
extern BSTR g_bstrHelpFile;

// Makes g_bstrHelpFile from the module's path (its extension replaced by
// "chm", or ".chm" added) once, at process attach. Leaves it alone when it is
// already set or hInstance is null; leaves it empty when the path is longer
// than 256 units.
void MakeHelpFilePath(HINSTANCE hInstance);

// Frees g_bstrHelpFile at process detach.
void FreeHelpFilePath();

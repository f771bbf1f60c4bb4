#pragma once
// The help file beside the module and the HTML Help viewer that shows it.

#include <windows.h>

// Makes g_bstrHelpFile from the module's path (its extension replaced by
// "chm", or ".chm" added) once, at process attach. Leaves it alone when it is
// already set or hInstance is null; leaves it empty when the path is longer
// than 256 units.
void MakeHelpFilePath(HINSTANCE hInstance);

// Frees g_bstrHelpFile at process detach.
void FreeHelpFilePath();

// Shows the default topic of pszHelpFile with the desktop as caller. HTML Help
// is located on the first call and stays loaded; when it cannot be loaded,
// this and every later call does nothing.
void ShowHelpFile(const wchar_t* pszHelpFile);

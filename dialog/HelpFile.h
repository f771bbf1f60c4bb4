#pragma once
// The HTML Help viewer that shows the help file.

#include <windows.h>

// Shows the default topic of pszHelpFile with the desktop as caller; nothing
// for a null or empty path. HTML Help is located on the first call with a
// path and stays loaded; when it cannot be loaded, this and every later call
// does nothing.
void ShowHelpFile(const wchar_t* pszHelpFile);

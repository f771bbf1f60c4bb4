#include "com/ModuleGlobals.h"

HINSTANCE g_hInstance = nullptr;
BSTR g_bstrHelpFile = nullptr;

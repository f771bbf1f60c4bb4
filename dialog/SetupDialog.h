#pragma once
// The setup dialog as the plug-in object runs it from ShowSetupDialog.

#include <windows.h>
#include <oaidl.h>

#include "settings/SMPTEDrawSettings.h"

// Runs the dialog modally, from the template in hInstance's resources, over
// the owner window carried by varHwndParent (VT_I4, VT_UI4, VT_I8 or VT_UI8,
// its low 32 bits; any other type: no owner), loaded with a snapshot of
// *pSettings. Its Help button shows pszHelpFile (null or empty: none). Only
// when OK found a change is *pSettings replaced, and the answer is S_OK;
// otherwise S_FALSE, with *pSettings untouched (Cancel, Escape, the close box,
// OK without a change, a dialog that could not be created). E_POINTER for a
// null pSettings.
HRESULT ShowSetupDialogFor(const VARIANT& varHwndParent, SMPTEDrawSettings* pSettings, HINSTANCE hInstance,
                           const wchar_t* pszHelpFile);

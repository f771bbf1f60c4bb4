#pragma once
// The settings blob in a one-dimensional SAFEARRAY of VT_UI1: the work of
// IWendleVideoDraw::GetDrawSetupParameters and SetDrawSetupParameters on the
// settings record they are given (the process-wide current settings).

#include <windows.h>
#include <oleauto.h>

#include "settings/SMPTEDrawSettings.h"

// A new 104-element array, lower bound 0, holding the blob of a snapshot of
// *pSettings; stored through ppParams only on S_OK. E_INVALIDARG for a null
// ppParams, E_OUTOFMEMORY when the blob or the array cannot be made.
HRESULT GetSettingsBlobArray(const SMPTEDrawSettings* pSettings, SAFEARRAY** ppParams);

// Validates the array and the blob in it whole and only then replaces
// *pSettings. E_POINTER for a null array or unreadable data, E_INVALIDARG for
// any other refusal; *pSettings is then untouched. Keeps no reference.
HRESULT SetSettingsBlobArray(SMPTEDrawSettings* pSettings, SAFEARRAY* pParams);

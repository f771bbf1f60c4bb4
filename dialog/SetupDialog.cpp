#include "dialog/SetupDialog.h"

#include <cstdint>

#include "dialog/SMPTEFrameDrawDlg.h"
#include "settings/CurrentSettings.h"

namespace
{
HWND HandleFromLow32(uint64_t value)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value & 0xFFFFFFFFu));
}

// The whole VARTYPE is compared, so by-reference and array forms never match.
HWND OwnerFromVariant(const VARIANT& var)
{
    switch (V_VT(&var))
    {
    case VT_I4:
        return HandleFromLow32(static_cast<uint32_t>(V_I4(&var)));
    case VT_UI4:
        return HandleFromLow32(V_UI4(&var));
    case VT_I8:
        return HandleFromLow32(static_cast<uint64_t>(V_I8(&var)));
    case VT_UI8:
        return HandleFromLow32(V_UI8(&var));
    default:
        return nullptr;
    }
}
} // namespace

HRESULT ShowSetupDialogFor(const VARIANT& varHwndParent, SMPTEDrawSettings* pSettings, HINSTANCE hInstance,
                           const wchar_t* pszHelpFile)
{
    if (pSettings == nullptr)
        return E_POINTER;
    SMPTEDrawSettings snapshot;
    SnapshotSettings(*pSettings, snapshot);

    CSMPTEFrameDrawDlg dlg(pszHelpFile);
    dlg.LoadSettings(snapshot);
    if (dlg.DoModal(hInstance, OwnerFromVariant(varHwndParent)) != IDOK)
        return S_FALSE;
    ReplaceSettings(*pSettings, dlg.GetSettings());
    return S_OK;
}

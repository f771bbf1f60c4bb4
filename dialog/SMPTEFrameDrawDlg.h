#pragma once
// The modal setup dialog: edits a copy of the settings (font and colour
// through the system font chooser, opacity with a trackbar, position by
// dragging the sample time label in the preview) and hands it back on OK.

#include <windows.h>

#include <optional>

#include "dialog/ModalDialog.h"
#include "dialog/PreviewGeometry.h"
#include "resources/resource.h"
#include "settings/SMPTEDrawSettings.h"

class CSMPTEFrameDrawDlg : public CModalDialogImpl<CSMPTEFrameDrawDlg>
{
public:
    enum
    {
        IDD = IDD_SMPTEFRAMEDRAWDLG
    };

    // pszHelpFile is what Help shows (null or empty: nothing); it must
    // outlive the dialog.
    explicit CSMPTEFrameDrawDlg(const wchar_t* pszHelpFile);

    void LoadSettings(const SMPTEDrawSettings& settings);
    const SMPTEDrawSettings& GetSettings() const { return m_settings; }

    // Each answers whether it did its work.
    bool InitControls();
    bool UpdateOpacityLabel();
    // The OK step: answers whether anything changed.
    bool ApplyControls();

private:
    friend class CModalDialogImpl<CSMPTEFrameDrawDlg>;
    static const MessageEntry kMessageMap[6];

    bool OnInitDialog(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnHScroll(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnLButtonDown(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnMouseMove(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnLButtonUp(WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    void OnOK();
    void OnFontButton();
    void OnHelp();

    void InitPreview();
    void PlaceSampleLabel(DWORD dwPosition);
    void ShowFaceName();
    bool ChildRectInClient(HWND hWndChild, IntRect& rc) const;

    SMPTEDrawSettings m_settings;
    LOGFONTW m_lfWork;
    COLORREF m_crWork;
    IntRect m_rcLabel;
    IntRect m_rcPreview;
    IntPoint m_ptDragOffset;
    HWND m_hWndLabel;
    bool m_bDragging;
    const wchar_t* m_pszHelpFile;

    // What the controls were given at initialisation, so that OK can tell an
    // edit from an untouched control.
    LRESULT m_nTrackPositionInitial;
    std::optional<IntRect> m_rcLabelPlaced;
};

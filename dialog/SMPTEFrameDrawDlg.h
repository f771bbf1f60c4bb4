#pragma once
// The modal setup dialog: edits a copy of the settings (font and colour
// through the system font chooser, opacity with a trackbar, position by
// dragging the sample time label in the preview or by the arrow keys on it)
// and hands it back on OK.

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
    static const MessageEntry kMessageMap[9];

    bool OnInitDialog(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnHScroll(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnLButtonDown(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnMouseMove(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnLButtonUp(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnHelpKey(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnDpiChanged(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    bool OnMeasurePreview(WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    void OnOK();
    void OnFontButton();
    void OnHelp();

    void InitPreview();
    void PlaceSampleLabel(DWORD dwPosition);
    void ShowFontText();
    void ShowPositionText();
    std::optional<uint32_t> ShownPosition() const;
    bool ChildRectInClient(HWND hWndChild, IntRect& rc) const;
    UINT WindowDpi() const;

    // The sample label, subclassed: it takes the arrow keys and shows a focus
    // rectangle, which a plain static does neither.
    void SubclassLabel();
    static LRESULT CALLBACK LabelProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool OnLabelKey(UINT vk);

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
    // edit from an untouched control; the label's place is renewed by the
    // keys, which put it where a position says.
    LRESULT m_nTrackPositionInitial;
    std::optional<IntRect> m_rcLabelPlaced;
    DWORD m_dwLabelPlaced;
    WNDPROC m_pfnLabelProc;
};

#include "dialog/SMPTEFrameDrawDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

#include "com/Win32Handle.h"
#include "dialog/DialogEdits.h"
#include "dialog/DialogTexts.h"
#include "dialog/FontSize.h"
#include "dialog/HelpFile.h"
#include "engine/BoundedFormat.h"

namespace
{
// Screen fonts only, initialised from the working font, with effects
// (colour, underline, strike-out); no vector, simulated, vertical or
// non-TrueType fonts, and the face must exist.
constexpr DWORD kChooseFontFlags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_NOVECTORFONTS |
                                   CF_NOSIMULATIONS | CF_FORCEFONTEXIST | CF_TTONLY | CF_NOVERTFONTS;
static_assert(kChooseFontFlags == 0x01051941);

// The template's Help button sends command 3, not the headers' IDHELP (9).
constexpr WORD kIdHelpButton = 3;

// Asks the dialog to measure its preview again once the platform's own
// handling of a DPI change (which may rescale the controls) is over.
constexpr UINT kMsgMeasurePreview = WM_APP + 1;

// Where the sample label finds its dialog.
constexpr wchar_t kDialogProperty[] = L"Ferrowind.SetupDialog";

struct ArrowStep
{
    UINT vk;
    int32_t dh;
    int32_t dv;
};
constexpr ArrowStep kArrowSteps[] = {{VK_LEFT, -1, 0}, {VK_RIGHT, 1, 0}, {VK_UP, 0, -1}, {VK_DOWN, 0, 1}};

bool MoveLabelWindow(HWND hWndLabel, const IntRect& rc)
{
    return ::MoveWindow(hWndLabel, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE) != FALSE;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND hWnd);

// Windows 10 (1607) and later know a DPI per window; before, the screen's
// pixels per inch serve every window.
GetDpiForWindowFunction LocateGetDpiForWindow()
{
    HMODULE hUser = ::GetModuleHandleW(L"user32.dll");
    if (hUser == nullptr)
        return nullptr;
    return reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hUser, "GetDpiForWindow")));
}
} // namespace

const CSMPTEFrameDrawDlg::MessageEntry CSMPTEFrameDrawDlg::kMessageMap[9] = {
    {WM_INITDIALOG, &CSMPTEFrameDrawDlg::OnInitDialog},   {WM_COMMAND, &CSMPTEFrameDrawDlg::OnCommand},
    {WM_HSCROLL, &CSMPTEFrameDrawDlg::OnHScroll},         {WM_LBUTTONDOWN, &CSMPTEFrameDrawDlg::OnLButtonDown},
    {WM_MOUSEMOVE, &CSMPTEFrameDrawDlg::OnMouseMove},     {WM_LBUTTONUP, &CSMPTEFrameDrawDlg::OnLButtonUp},
    {WM_HELP, &CSMPTEFrameDrawDlg::OnHelpKey},            {WM_DPICHANGED, &CSMPTEFrameDrawDlg::OnDpiChanged},
    {kMsgMeasurePreview, &CSMPTEFrameDrawDlg::OnMeasurePreview},
};

CSMPTEFrameDrawDlg::CSMPTEFrameDrawDlg(const wchar_t* pszHelpFile)
    : m_lfWork{}, m_crWork(0), m_rcLabel{}, m_rcPreview{}, m_ptDragOffset{}, m_hWndLabel(nullptr),
      m_bDragging(false), m_pszHelpFile(pszHelpFile), m_nTrackPositionInitial(-1), m_dwLabelPlaced(0),
      m_pfnLabelProc(nullptr)
{
    m_settings.SetDefaults();
}

void CSMPTEFrameDrawDlg::LoadSettings(const SMPTEDrawSettings& settings)
{
    std::memcpy(static_cast<void*>(&m_settings), &settings, sizeof(m_settings));
    std::memcpy(&m_lfWork, &m_settings.lfFont, sizeof(m_lfWork));
    m_crWork = m_settings.GetColorRef();
}

bool CSMPTEFrameDrawDlg::InitControls()
{
    if (!::IsWindow(m_hWnd))
        return false;
    if (HWND hWndTrack = ::GetDlgItem(m_hWnd, IDC_OPACITY))
    {
        ::SendMessageW(hWndTrack, TBM_SETRANGE, FALSE, MAKELPARAM(0, kTrackPositionMax));
        ::SendMessageW(hWndTrack, TBM_SETPOS, TRUE, TrackPositionFromOpacity(m_settings.GetOpacity()));
        m_nTrackPositionInitial = ::SendMessageW(hWndTrack, TBM_GETPOS, 0, 0);
    }
    UpdateOpacityLabel();
    ShowFontText();
    ::UpdateWindow(m_hWnd);
    PlaceSampleLabel(m_settings.dwPosition);
    ShowPositionText();
    return true;
}

bool CSMPTEFrameDrawDlg::UpdateOpacityLabel()
{
    HWND hWndTrack = ::GetDlgItem(m_hWnd, IDC_OPACITY);
    if (hWndTrack == nullptr)
        return false;
    const LRESULT nPosition = ::SendMessageW(hWndTrack, TBM_GETPOS, 0, 0);
    if (nPosition > 255)
        return false;
    wchar_t szValue[16];
    if (!FormatBounded(szValue, sizeof(szValue), "%d", static_cast<int>(nPosition)))
        return false;
    ::SetDlgItemTextW(m_hWnd, IDC_OPACITY_VALUE, szValue);
    return true;
}

bool CSMPTEFrameDrawDlg::ApplyControls()
{
    DialogEdits edits{};
    std::memcpy(&edits.lfWork, &m_lfWork, sizeof(edits.lfWork));
    edits.crWork = m_crWork;
    HWND hWndTrack = ::GetDlgItem(m_hWnd, IDC_OPACITY);
    edits.bHasTrackbar = hWndTrack != nullptr;
    if (hWndTrack != nullptr)
        edits.nTrackPosition = ::SendMessageW(hWndTrack, TBM_GETPOS, 0, 0);
    edits.nTrackPositionInitial = m_nTrackPositionInitial;
    edits.rcPreview = m_rcPreview;
    edits.rcLabel = m_rcLabel;
    edits.rcPlaced = m_rcLabelPlaced;
    edits.dwPlaced = m_dwLabelPlaced;
    return ApplyEdits(m_settings, edits);
}

bool CSMPTEFrameDrawDlg::OnInitDialog(WPARAM, LPARAM, LRESULT& lResult)
{
    InitPreview();
    SubclassLabel();
    InitControls();
    lResult = TRUE;
    return true;
}

bool CSMPTEFrameDrawDlg::OnCommand(WPARAM wParam, LPARAM, LRESULT&)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return false;
    switch (LOWORD(wParam))
    {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        ::EndDialog(m_hWnd, IDCANCEL);
        return true;
    case IDC_FONT_BUTTON:
        OnFontButton();
        return true;
    case kIdHelpButton:
        OnHelp();
        return true;
    default:
        return false;
    }
}

bool CSMPTEFrameDrawDlg::OnHScroll(WPARAM, LPARAM lParam, LRESULT& lResult)
{
    if (lParam == 0)
        return false;
    UpdateOpacityLabel();
    lResult = 0;
    return true;
}

bool CSMPTEFrameDrawDlg::OnLButtonDown(WPARAM wParam, LPARAM lParam, LRESULT&)
{
    IntRect rcLabelNow;
    if (!::IsWindow(m_hWndLabel) || !ChildRectInClient(m_hWndLabel, rcLabelNow))
        return false;
    const std::optional<IntPoint> ptOffset =
        BeginDrag(static_cast<uint32_t>(wParam), PointFromMouseMessage(static_cast<uint32_t>(lParam)), rcLabelNow);
    if (!ptOffset)
        return false;
    m_ptDragOffset = *ptOffset;
    ::SetCapture(m_hWnd);
    m_bDragging = true;
    return true;
}

bool CSMPTEFrameDrawDlg::OnMouseMove(WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    lResult = 0;
    if (::GetCapture() != m_hWnd || !m_bDragging || !::IsWindow(m_hWndLabel))
        return true;
    const std::optional<IntRect> rcMoved = DragTo(static_cast<uint32_t>(wParam),
                                                  PointFromMouseMessage(static_cast<uint32_t>(lParam)),
                                                  m_ptDragOffset, m_rcPreview, m_rcLabel);
    if (!rcMoved)
        return true;
    if (MoveLabelWindow(m_hWndLabel, *rcMoved))
        m_rcLabel = *rcMoved;
    ShowPositionText();
    return true;
}

bool CSMPTEFrameDrawDlg::OnLButtonUp(WPARAM, LPARAM, LRESULT& lResult)
{
    if (EndDrag(::GetCapture() == m_hWnd, m_bDragging))
        ::ReleaseCapture();
    lResult = 0;
    return true;
}

bool CSMPTEFrameDrawDlg::OnHelpKey(WPARAM, LPARAM, LRESULT& lResult)
{
    OnHelp();
    lResult = TRUE;
    return true;
}

bool CSMPTEFrameDrawDlg::OnDpiChanged(WPARAM, LPARAM, LRESULT&)
{
    ::PostMessageW(m_hWnd, kMsgMeasurePreview, 0, 0);
    return false;
}

bool CSMPTEFrameDrawDlg::OnMeasurePreview(WPARAM, LPARAM, LRESULT& lResult)
{
    // The label keeps the position it shows, not its pixels.
    const std::optional<uint32_t> dwPosition = ShownPosition();
    InitPreview();
    if (dwPosition)
        PlaceSampleLabel(*dwPosition);
    ShowPositionText();
    lResult = 0;
    return true;
}

void CSMPTEFrameDrawDlg::OnOK()
{
    ::EndDialog(m_hWnd, ApplyControls() ? IDOK : IDCANCEL);
}

void CSMPTEFrameDrawDlg::OnFontButton()
{
    // The chooser works on a copy, so that a cancelled or failed run cannot
    // leave a half-written font behind. It starts from the working colour:
    // reopening it to change the size keeps a colour chosen a moment before.
    // Its sizes are points at this window's DPI; the settings keep frame
    // pixels, the same at any display scaling.
    const UINT nDpi = WindowDpi();
    LOGFONTW lf = FontForChooser(m_lfWork, nDpi);
    CHOOSEFONTW cf;
    std::memset(&cf, 0, sizeof(cf));
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = m_hWnd;
    cf.lpLogFont = &lf;
    cf.rgbColors = m_crWork;
    cf.Flags = kChooseFontFlags;
    if (!::ChooseFontW(&cf))
        return;
    m_lfWork = FontFromChooser(lf, nDpi);
    m_crWork = cf.rgbColors;
    ShowFontText();
}

void CSMPTEFrameDrawDlg::OnHelp()
{
    ShowHelpFile(m_pszHelpFile);
}

void CSMPTEFrameDrawDlg::InitPreview()
{
    HWND hWndFrame = ::GetDlgItem(m_hWnd, IDC_PREVIEW);
    IntRect rcFrame;
    if (hWndFrame != nullptr && ChildRectInClient(hWndFrame, rcFrame))
    {
        m_rcPreview = PreviewAreaOfFrame(rcFrame);
        m_hWndLabel = ::GetDlgItem(m_hWnd, IDC_SAMPLE_TIME);
    }
    IntRect rcLabel;
    if (m_hWndLabel != nullptr && ChildRectInClient(m_hWndLabel, rcLabel))
        m_rcLabel = rcLabel;
}

void CSMPTEFrameDrawDlg::PlaceSampleLabel(DWORD dwPosition)
{
    if (m_hWndLabel == nullptr)
        return;
    const std::optional<IntRect> rcPlaced = ::PlaceSampleLabel(m_rcPreview, m_rcLabel, dwPosition);
    if (!rcPlaced)
        return;
    m_rcLabel = *rcPlaced;
    m_rcLabelPlaced = *rcPlaced;
    m_dwLabelPlaced = dwPosition;
    MoveLabelWindow(m_hWndLabel, m_rcLabel);
}

void CSMPTEFrameDrawDlg::ShowFontText()
{
    wchar_t szText[kMaxFormattedUnits + 1];
    FormatFontText(szText, sizeof(szText), m_lfWork, m_crWork);
    ::SetDlgItemTextW(m_hWnd, IDC_FONT_NAME, szText);
}

std::optional<uint32_t> CSMPTEFrameDrawDlg::ShownPosition() const
{
    return PositionShownByLabel(m_rcPreview, m_rcLabel, m_rcLabelPlaced, m_dwLabelPlaced);
}

void CSMPTEFrameDrawDlg::ShowPositionText()
{
    // What OK would store; the loaded position while the label has none.
    wchar_t szText[64];
    if (FormatPositionText(szText, sizeof(szText), ShownPosition().value_or(m_settings.dwPosition)))
        ::SetDlgItemTextW(m_hWnd, IDC_POSITION_TEXT, szText);
}

UINT CSMPTEFrameDrawDlg::WindowDpi() const
{
    static const GetDpiForWindowFunction s_pfnGetDpiForWindow = LocateGetDpiForWindow();
    if (s_pfnGetDpiForWindow != nullptr)
    {
        if (const UINT nDpi = s_pfnGetDpiForWindow(m_hWnd))
            return nDpi;
    }
    CWindowDc dc(m_hWnd, ::GetDC(m_hWnd));
    if (dc.get() == nullptr)
        return 0;
    const int nDpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    return nDpi > 0 ? static_cast<UINT>(nDpi) : 0;
}

void CSMPTEFrameDrawDlg::SubclassLabel()
{
    if (m_hWndLabel == nullptr || !::SetPropW(m_hWndLabel, kDialogProperty, this))
        return;
    m_pfnLabelProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hWndLabel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSMPTEFrameDrawDlg::LabelProc)));
    if (m_pfnLabelProc == nullptr)
        ::RemovePropW(m_hWndLabel, kDialogProperty);
}

LRESULT CALLBACK CSMPTEFrameDrawDlg::LabelProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = static_cast<CSMPTEFrameDrawDlg*>(::GetPropW(hWnd, kDialogProperty));
    if (pThis == nullptr || pThis->m_pfnLabelProc == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    const WNDPROC pfnLabelProc = pThis->m_pfnLabelProc;
    switch (uMsg)
    {
    case WM_GETDLGCODE:
        return ::CallWindowProcW(pfnLabelProc, hWnd, uMsg, wParam, lParam) | DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (pThis->OnLabelKey(static_cast<UINT>(wParam)))
            return 0;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(hWnd, nullptr, TRUE);
        break;
    case WM_PAINT:
    {
        // The focus rectangle is drawn inverted over the whole label, so the
        // label must have been painted whole beneath it.
        ::InvalidateRect(hWnd, nullptr, FALSE);
        const LRESULT lResult = ::CallWindowProcW(pfnLabelProc, hWnd, uMsg, wParam, lParam);
        RECT rc;
        if (::GetFocus() == hWnd && ::GetClientRect(hWnd, &rc))
        {
            CWindowDc dc(hWnd, ::GetDC(hWnd));
            if (dc.get() != nullptr)
                ::DrawFocusRect(dc.get(), &rc);
        }
        return lResult;
    }
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnLabelProc));
        ::RemovePropW(hWnd, kDialogProperty);
        pThis->m_pfnLabelProc = nullptr;
        break;
    default:
        break;
    }
    return ::CallWindowProcW(pfnLabelProc, hWnd, uMsg, wParam, lParam);
}

bool CSMPTEFrameDrawDlg::OnLabelKey(UINT vk)
{
    const int32_t step = ::GetKeyState(VK_SHIFT) < 0 ? kPositionStepLarge : kPositionStep;
    for (const ArrowStep& arrow : kArrowSteps)
    {
        if (arrow.vk != vk)
            continue;
        // Without a place of its own (an unusable preview) the label stays.
        if (const std::optional<uint32_t> dwPosition = ShownPosition())
        {
            PlaceSampleLabel(StepPosition(*dwPosition, arrow.dh * step, arrow.dv * step));
            ShowPositionText();
        }
        return true;
    }
    return false;
}

bool CSMPTEFrameDrawDlg::ChildRectInClient(HWND hWndChild, IntRect& rc) const
{
    RECT rcWindow;
    if (!::GetWindowRect(hWndChild, &rcWindow))
        return false;
    POINT ptTopLeft = {rcWindow.left, rcWindow.top};
    POINT ptBottomRight = {rcWindow.right, rcWindow.bottom};
    if (!::ScreenToClient(m_hWnd, &ptTopLeft) || !::ScreenToClient(m_hWnd, &ptBottomRight))
        return false;
    rc = IntRect{ptTopLeft.x, ptTopLeft.y, ptBottomRight.x, ptBottomRight.y};
    return true;
}

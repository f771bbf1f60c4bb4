#include "dialog/SMPTEFrameDrawDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

#include "dialog/DialogEdits.h"
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

bool MoveLabelWindow(HWND hWndLabel, const IntRect& rc)
{
    return ::MoveWindow(hWndLabel, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE) != FALSE;
}
} // namespace

const CSMPTEFrameDrawDlg::MessageEntry CSMPTEFrameDrawDlg::kMessageMap[6] = {
    {WM_INITDIALOG, &CSMPTEFrameDrawDlg::OnInitDialog},   {WM_COMMAND, &CSMPTEFrameDrawDlg::OnCommand},
    {WM_HSCROLL, &CSMPTEFrameDrawDlg::OnHScroll},         {WM_LBUTTONDOWN, &CSMPTEFrameDrawDlg::OnLButtonDown},
    {WM_MOUSEMOVE, &CSMPTEFrameDrawDlg::OnMouseMove},     {WM_LBUTTONUP, &CSMPTEFrameDrawDlg::OnLButtonUp},
};

CSMPTEFrameDrawDlg::CSMPTEFrameDrawDlg(const wchar_t* pszHelpFile)
    : m_lfWork{}, m_crWork(0), m_rcLabel{}, m_rcPreview{}, m_ptDragOffset{}, m_hWndLabel(nullptr),
      m_bDragging(false), m_pszHelpFile(pszHelpFile), m_nTrackPositionInitial(-1)
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
    ShowFaceName();
    ::UpdateWindow(m_hWnd);
    PlaceSampleLabel(m_settings.dwPosition);
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
    return ApplyEdits(m_settings, edits);
}

bool CSMPTEFrameDrawDlg::OnInitDialog(WPARAM, LPARAM, LRESULT& lResult)
{
    InitPreview();
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
    return true;
}

bool CSMPTEFrameDrawDlg::OnLButtonUp(WPARAM, LPARAM, LRESULT& lResult)
{
    if (EndDrag(::GetCapture() == m_hWnd, m_bDragging))
        ::ReleaseCapture();
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
    LOGFONTW lf;
    std::memcpy(&lf, &m_lfWork, sizeof(lf));
    CHOOSEFONTW cf;
    std::memset(&cf, 0, sizeof(cf));
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = m_hWnd;
    cf.lpLogFont = &lf;
    cf.rgbColors = m_crWork;
    cf.Flags = kChooseFontFlags;
    if (!::ChooseFontW(&cf))
        return;
    std::memcpy(&m_lfWork, &lf, sizeof(m_lfWork));
    m_crWork = cf.rgbColors;
    ShowFaceName();
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
    MoveLabelWindow(m_hWndLabel, m_rcLabel);
}

void CSMPTEFrameDrawDlg::ShowFaceName()
{
    // The face buffer need not be terminated within its 32 units.
    wchar_t szFace[kFaceNameUnits + 1];
    CopyFaceName(m_lfWork, szFace);
    ::SetDlgItemTextW(m_hWnd, IDC_FONT_NAME, szFace);
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

#include "DialogTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dialog/SetupDialog.h"
#include "settings/CurrentSettings.h"

namespace
{
// The host has initialised the common controls (the trackbar class).
class DialogEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        ASSERT_TRUE(::InitCommonControlsEx(&icc));
    }
};

testing::Environment* const g_pEnvironment = testing::AddGlobalTestEnvironment(new DialogEnvironment);

struct FindContext
{
    HWND hWndOwnerWanted;
    HWND hWndFound;
};

BOOL CALLBACK FindCaption(HWND hWnd, LPARAM lParam)
{
    auto* pContext = reinterpret_cast<FindContext*>(lParam);
    if (ClassOf(hWnd) == L"#32770" && WindowText(hWnd) == kDialogCaption)
    {
        pContext->hWndFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindOwned(HWND hWnd, LPARAM lParam)
{
    auto* pContext = reinterpret_cast<FindContext*>(lParam);
    if (ClassOf(hWnd) == L"#32770" && ::GetWindow(hWnd, GW_OWNER) == pContext->hWndOwnerWanted &&
        ::IsWindowVisible(hWnd))
    {
        pContext->hWndFound = hWnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ::Sleep(2);
    }
    return true;
}

DialogSession::DialogSession(OwnerVariant fill, SMPTEDrawSettings* pSettings, std::wstring strHelpFile)
{
    if (pSettings == nullptr)
        pSettings = &g_currentSettings;
    m_thread = std::thread([this, fill, pSettings, strHelpFile] {
        m_threadId = ::GetCurrentThreadId();
        VARIANT var;
        ::VariantInit(&var);
        HWND hWndOwner = nullptr;
        if (fill)
        {
            hWndOwner = ::CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPED | WS_VISIBLE, 600, 600, 200, 100,
                                          nullptr, nullptr, nullptr, nullptr);
            m_hWndOwner = hWndOwner;
            fill(hWndOwner, var);
        }
        m_hr = ShowSetupDialogFor(var, pSettings, ::GetModuleHandleW(nullptr), strHelpFile.c_str());
        ::VariantClear(&var);
        if (hWndOwner != nullptr)
            ::DestroyWindow(hWndOwner);
        m_bEnded = true;
    });
}

DialogSession::~DialogSession()
{
    while (!m_bEnded)
    {
        // Innermost first: a font chooser, then the dialog itself.
        if (HWND hWndChooser = OwnedDialog())
            ::PostMessageW(hWndChooser, WM_COMMAND, IDCANCEL, 0);
        else if (m_hWndDialog != nullptr && ::IsWindow(m_hWndDialog))
            ::PostMessageW(m_hWndDialog, WM_COMMAND, IDCANCEL, 0);
        ::Sleep(5);
    }
    m_thread.join();
}

HWND DialogSession::Dialog()
{
    if (m_hWndDialog != nullptr && ::IsWindow(m_hWndDialog))
        return m_hWndDialog;
    FindContext context = {nullptr, nullptr};
    WaitUntil([&] {
        if (m_bEnded)
            return true;
        const DWORD threadId = m_threadId;
        if (threadId == 0)
            return false;
        ::EnumThreadWindows(threadId, FindCaption, reinterpret_cast<LPARAM>(&context));
        return context.hWndFound != nullptr && ::IsWindowVisible(context.hWndFound);
    });
    m_hWndDialog = context.hWndFound;
    return m_hWndDialog;
}

HWND DialogSession::Item(int id)
{
    return ::GetDlgItem(Dialog(), id);
}

HRESULT DialogSession::Result()
{
    WaitUntil([&] { return m_bEnded.load(); }, std::chrono::milliseconds(5000));
    return m_hr;
}

HWND DialogSession::OwnedDialog()
{
    if (m_hWndDialog == nullptr || m_threadId == 0)
        return nullptr;
    FindContext context = {m_hWndDialog, nullptr};
    ::EnumThreadWindows(m_threadId, FindOwned, reinterpret_cast<LPARAM>(&context));
    return context.hWndFound;
}

void DialogSession::Click(int id)
{
    ::SendMessageW(Item(id), BM_CLICK, 0, 0);
}

void DialogSession::ClickLater(int id)
{
    ::PostMessageW(Item(id), BM_CLICK, 0, 0);
}

void DialogSession::PressKey(UINT vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND hWndTarget = Dialog();
    if (::GetGUIThreadInfo(m_threadId, &info) && info.hwndFocus != nullptr)
        hWndTarget = info.hwndFocus;
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    ::PostMessageW(hWndTarget, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageW(hWndTarget, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void DialogSession::Mouse(UINT uMsg, WPARAM keys, int x, int y)
{
    ::SendMessageW(Dialog(), uMsg, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void DialogSession::MoveTrackbarTo(int position)
{
    // What dragging the thumb does: the trackbar moves and tells its parent.
    HWND hWndTrack = Item(203);
    ::SendMessageW(hWndTrack, TBM_SETPOS, TRUE, position);
    ::SendMessageW(Dialog(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(hWndTrack));
}

void DialogSession::Keys(UINT modifier, UINT vk, int count)
{
    // Keys go to the foreground window, which the dialog (or a window it
    // opened) becomes a moment after it is shown.
    WaitUntil([&] { return ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr) == m_threadId; });
    std::vector<INPUT> inputs;
    const auto add = [&](UINT key, DWORD flags) {
        if (key != 0)
            inputs.push_back(INPUT{INPUT_KEYBOARD, {.ki = {static_cast<WORD>(key), 0, flags, 0, 0}}});
    };
    add(modifier, 0);
    for (int i = 0; i < count; ++i)
    {
        add(vk, 0);
        add(vk, KEYEVENTF_KEYUP);
    }
    add(modifier, KEYEVENTF_KEYUP);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

int DialogSession::FocusId()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(m_threadId, &info) || info.hwndFocus == nullptr)
        return 0;
    return ::GetDlgCtrlID(info.hwndFocus);
}

std::wstring DialogSession::Text(int id)
{
    return WindowText(Item(id));
}

IntRect DialogSession::ChildRect(int id)
{
    return ChildRectIn(Dialog(), Item(id));
}

IntRect DialogSession::PreviewArea()
{
    return PreviewAreaOfFrame(ChildRect(205));
}

HWND DialogSession::Capture()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(m_threadId, &info))
        return nullptr;
    return info.hwndCapture;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t sz[256] = {};
    ::GetWindowTextW(hWnd, sz, static_cast<int>(std::size(sz)));
    return sz;
}

std::wstring ClassOf(HWND hWnd)
{
    wchar_t sz[64] = {};
    ::GetClassNameW(hWnd, sz, static_cast<int>(std::size(sz)));
    return sz;
}

IntRect ChildRectIn(HWND hWndParent, HWND hWndChild)
{
    RECT rc = {};
    ::GetWindowRect(hWndChild, &rc);
    POINT pts[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    ::ScreenToClient(hWndParent, &pts[0]);
    ::ScreenToClient(hWndParent, &pts[1]);
    return IntRect{pts[0].x, pts[0].y, pts[1].x, pts[1].y};
}

std::wstring PositionText(uint32_t dwPosition)
{
    return L"&Position: " + std::to_wstring(dwPosition & 0xFFFF) + L" % across, " + std::to_wstring(dwPosition >> 16) +
           L" % down";
}

std::wstring FaceOf(const LOGFONTW& lf)
{
    return std::wstring(lf.lfFaceName, FaceNameLength(lf));
}

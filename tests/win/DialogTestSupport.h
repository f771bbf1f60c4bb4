#pragma once
// Drives the real setup dialog as a user would: the dialog runs modally on a
// thread of its own, through the same entry the plug-in object calls, and
// the test thread finds it by its caption and sends it the messages that
// mouse, keyboard and buttons produce.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "dialog/PreviewGeometry.h"
#include "settings/SMPTEDrawSettings.h"
#include "tests/portable/SettingsBytes.h"

constexpr wchar_t kDialogCaption[] = L"SMPTE Time Settings";
constexpr int kIdHelpButton = 3;

// Polls until the condition holds or about two seconds have passed.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

class DialogSession
{
public:
    // Fills the owner VARIANT on the dialog's thread; owner is a window made
    // there for the purpose (so that disabling it needs no message pump here).
    using OwnerVariant = std::function<void(HWND owner, VARIANT& var)>;

    // Opens the dialog over the current settings, from this program's
    // resources; Help shows strHelpFile.
    DialogSession() : DialogSession(OwnerVariant()) {}
    explicit DialogSession(OwnerVariant fill, SMPTEDrawSettings* pSettings = nullptr,
                           std::wstring strHelpFile = std::wstring());
    // Closes whatever is still open (font chooser first) and waits.
    ~DialogSession();
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    // The dialog window, found by its caption among the windows of the
    // session's thread; null when it did not appear.
    HWND Dialog();
    HWND Item(int id);
    HWND OwnerWindow() const { return m_hWndOwner.load(); }
    DWORD ThreadId() const { return m_threadId.load(); }
    // Waits for the modal run to end and answers ShowSetupDialogFor's result.
    HRESULT Result();
    bool Ended() const { return m_bEnded.load(); }

    // The window of the thread that the dialog owns with the given class, such
    // as the font chooser; null when there is none yet.
    HWND OwnedDialog();

    // Controls as the user works them.
    void Click(int id);
    void ClickLater(int id);
    void PressKey(UINT vk);
    void Mouse(UINT uMsg, WPARAM keys, int x, int y);
    void MoveTrackbarTo(int position);
    // Keys as the keyboard gives them (SendInput), to the focus of the
    // foreground window: vk pressed count times with modifier (VK_MENU,
    // VK_SHIFT or 0) held.
    void Keys(UINT modifier, UINT vk, int count = 1);
    // The id of the control with the focus of the dialog's thread.
    int FocusId();

    std::wstring Text(int id);
    IntRect ChildRect(int id);
    IntRect PreviewArea();
    HWND Capture();

private:
    std::thread m_thread;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<HWND> m_hWndOwner{nullptr};
    std::atomic<bool> m_bEnded{false};
    std::atomic<HRESULT> m_hr{E_FAIL};
    HWND m_hWndDialog = nullptr;
};

std::wstring WindowText(HWND hWnd);
std::wstring ClassOf(HWND hWnd);
IntRect ChildRectIn(HWND hWndParent, HWND hWndChild);
// The position text the dialog shows for a packed position.
std::wstring PositionText(uint32_t dwPosition);
std::wstring FaceOf(const LOGFONTW& lf);

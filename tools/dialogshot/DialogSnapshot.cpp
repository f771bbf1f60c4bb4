// Opens the setup dialog as a host would, puts the focus on the sample time
// with Alt+P as a keyboard user does, waits until it has painted, and saves a
// picture of it as a PNG file: the screenshot in the documentation.
//
//   dialog_snapshot.exe <output.png>
//
// Runs under Wine with an X display (Xvfb will do); the display scaling is the
// prefix's (scripts/wine-run.sh --dpi).

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

#include "com/Win32Handle.h"
#include "dialog/SetupDialog.h"
#include "settings/CurrentSettings.h"

namespace
{
template <auto Close>
struct Closer
{
    template <class T>
    void operator()(T* p) const
    {
        Close(p);
    }
};

void FreeArgv(LPWSTR* p)
{
    ::LocalFree(p);
}

void DisposeBitmap(Gdiplus::GpBitmap* p)
{
    Gdiplus::DllExports::GdipDisposeImage(p);
}

using ArgvOwner = std::unique_ptr<LPWSTR, Closer<&FreeArgv>>;
using BitmapOwner = std::unique_ptr<std::remove_pointer_t<HBITMAP>, Closer<&::DeleteObject>>;
using MemoryDcOwner = std::unique_ptr<std::remove_pointer_t<HDC>, Closer<&::DeleteDC>>;
using GpImageOwner = std::unique_ptr<Gdiplus::GpBitmap, Closer<&DisposeBitmap>>;

struct GdiplusSession
{
    ULONG_PTR token = 0;
    bool bStarted = false;
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        bStarted = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (bStarted)
            Gdiplus::GdiplusShutdown(token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
};

bool FindPngEncoder(CLSID& clsid)
{
    UINT count = 0;
    UINT cb = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &cb) != Gdiplus::Ok || cb == 0)
        return false;
    std::vector<BYTE> buffer(cb);
    auto* pCodecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, cb, pCodecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
    {
        if (pCodecs[i].MimeType != nullptr && ::lstrcmpiW(pCodecs[i].MimeType, L"image/png") == 0)
        {
            clsid = pCodecs[i].Clsid;
            return true;
        }
    }
    return false;
}

HWND WaitForDialog(DWORD threadId)
{
    for (int i = 0; i < 500; ++i)
    {
        HWND hWnd = ::FindWindowW(L"#32770", L"SMPTE Time Settings");
        if (hWnd != nullptr && ::GetWindowThreadProcessId(hWnd, nullptr) == threadId && ::IsWindowVisible(hWnd))
            return hWnd;
        ::Sleep(10);
    }
    return nullptr;
}

// Alt+P through the system's input, as the keyboard sends it; answers
// whether the focus reached the sample time label.
bool FocusSampleLabel(HWND hWndDialog, DWORD threadId)
{
    // Keys go to the foreground window, which the dialog becomes a moment
    // after it is shown.
    for (int i = 0; i < 200 && ::GetForegroundWindow() != hWndDialog; ++i)
        ::Sleep(10);
    INPUT inputs[4] = {};
    const WORD keys[4] = {VK_MENU, 'P', 'P', VK_MENU};
    for (int i = 0; i < 4; ++i)
    {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    ::SendInput(4, inputs, sizeof(INPUT));
    HWND hWndLabel = ::GetDlgItem(hWndDialog, 206);
    for (int i = 0; i < 200; ++i)
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (::GetGUIThreadInfo(threadId, &info) && info.hwndFocus == hWndLabel)
            return true;
        ::Sleep(10);
    }
    return false;
}

// Copies the whole window, frame and caption included, into a bitmap.
BitmapOwner CaptureWindow(HWND hWnd)
{
    RECT rc;
    if (!::GetWindowRect(hWnd, &rc))
        return nullptr;
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    CWindowDc source(hWnd, ::GetWindowDC(hWnd));
    if (source.get() == nullptr)
        return nullptr;
    MemoryDcOwner memory(::CreateCompatibleDC(source.get()));
    BitmapOwner bitmap(::CreateCompatibleBitmap(source.get(), cx, cy));
    if (!memory || !bitmap)
        return nullptr;
    HGDIOBJ hOld = ::SelectObject(memory.get(), bitmap.get());
    const BOOL bCopied = ::BitBlt(memory.get(), 0, 0, cx, cy, source.get(), 0, 0, SRCCOPY);
    ::SelectObject(memory.get(), hOld);
    return bCopied ? std::move(bitmap) : nullptr;
}

bool SavePng(HBITMAP hBitmap, const wchar_t* pszPath)
{
    CLSID clsidPng;
    if (!FindPngEncoder(clsidPng))
        return false;
    Gdiplus::GpBitmap* pBitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(hBitmap, nullptr, &pBitmap) != Gdiplus::Ok)
        return false;
    GpImageOwner image(pBitmap);
    return Gdiplus::DllExports::GdipSaveImageToFile(image.get(), pszPath, &clsidPng, nullptr) == Gdiplus::Ok;
}
} // namespace

int main()
{
    int argc = 0;
    ArgvOwner argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv || argc != 2)
    {
        std::fprintf(stderr, "usage: dialog_snapshot <output.png>\n");
        return 2;
    }
    const wchar_t* pszOutput = argv.get()[1];

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    GdiplusSession gdiplus;
    if (!gdiplus.bStarted)
        return 1;

    // The dialog as a user first meets it: the default settings.
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    DWORD dialogThreadId = 0;
    HANDLE hStarted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread dialog([&] {
        dialogThreadId = ::GetCurrentThreadId();
        ::SetEvent(hStarted);
        VARIANT var;
        ::VariantInit(&var);
        ShowSetupDialogFor(var, &g_currentSettings, ::GetModuleHandleW(nullptr), nullptr);
    });
    ::WaitForSingleObject(hStarted, INFINITE);
    ::CloseHandle(hStarted);

    bool bSaved = false;
    HWND hWndDialog = WaitForDialog(dialogThreadId);
    if (hWndDialog != nullptr && FocusSampleLabel(hWndDialog, dialogThreadId))
    {
        ::RedrawWindow(hWndDialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ::Sleep(300);
        BitmapOwner bitmap = CaptureWindow(hWndDialog);
        bSaved = bitmap && SavePng(bitmap.get(), pszOutput);
    }
    if (hWndDialog != nullptr)
        ::PostMessageW(hWndDialog, WM_COMMAND, IDCANCEL, 0);
    dialog.join();
    if (!bSaved)
    {
        std::fprintf(stderr, "dialog_snapshot: no picture taken\n");
        return 1;
    }
    return 0;
}

#pragma once
// A minimal modal dialog over a template of the module's resources: the
// derived class T lists its messages in a table (T::kMessageMap) with one
// small handler for each, and everything it does not handle goes to the
// platform's default dialog handling.

#include <windows.h>

template <class T>
class CModalDialogImpl
{
public:
    // A handler answers whether it handled the message and sets its result.
    using MessageHandler = bool (T::*)(WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    struct MessageEntry
    {
        UINT uMsg;
        MessageHandler pfnHandler;
    };

    // Runs the dialog from template T::IDD of hInstance over hWndOwner (may be
    // null). Answers the value given to EndDialog, or 0 or -1 when the dialog
    // could not be created.
    INT_PTR DoModal(HINSTANCE hInstance, HWND hWndOwner)
    {
        return ::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(T::IDD), hWndOwner, DialogProc,
                                 reinterpret_cast<LPARAM>(static_cast<T*>(this)));
    }

    HWND m_hWnd = nullptr;

protected:
    CModalDialogImpl() = default;
    ~CModalDialogImpl() = default;
    CModalDialogImpl(const CModalDialogImpl&) = delete;
    CModalDialogImpl& operator=(const CModalDialogImpl&) = delete;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        T* pThis = nullptr;
        if (uMsg == WM_INITDIALOG)
        {
            pThis = reinterpret_cast<T*>(lParam);
            pThis->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pThis));
        }
        else
        {
            pThis = reinterpret_cast<T*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        }
        if (pThis == nullptr)
            return FALSE;
        if (uMsg == WM_NCDESTROY)
        {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            pThis->m_hWnd = nullptr;
            return FALSE;
        }

        for (const MessageEntry& entry : T::kMessageMap)
        {
            if (entry.uMsg != uMsg)
                continue;
            LRESULT lResult = 0;
            if (!(pThis->*entry.pfnHandler)(wParam, lParam, lResult))
                return FALSE;
            // WM_INITDIALOG answers directly (TRUE: the platform sets the
            // focus); every other result goes through the dialog's result slot.
            if (uMsg == WM_INITDIALOG)
                return static_cast<INT_PTR>(lResult);
            ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
            return TRUE;
        }
        return FALSE;
    }
};

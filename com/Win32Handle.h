#pragma once
// Ownership of a Win32 handle: one small template, one alias per kind of
// handle, each with the call that closes it.

#include <windows.h>

#include <utility>

template <typename T, auto Close>
class CWin32Handle
{
public:
    CWin32Handle() = default;
    explicit CWin32Handle(T h) : m_h(h) {}
    ~CWin32Handle() { reset(); }
    CWin32Handle(const CWin32Handle&) = delete;
    CWin32Handle& operator=(const CWin32Handle&) = delete;
    CWin32Handle(CWin32Handle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CWin32Handle& operator=(CWin32Handle&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }

    T get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

    // For the out-parameter of an opening call; closes what was held.
    T* put()
    {
        reset();
        return &m_h;
    }

    T release() { return std::exchange(m_h, nullptr); }

    void reset()
    {
        if (m_h != nullptr)
            Close(std::exchange(m_h, nullptr));
    }

private:
    T m_h = nullptr;
};

using CRegKeyHandle = CWin32Handle<HKEY, &::RegCloseKey>;
using CLibraryHandle = CWin32Handle<HMODULE, &::FreeLibrary>;

// A window's device context, from GetDC or GetWindowDC; ReleaseDC needs the
// window too, so it does not fit the template above.
class CWindowDc
{
public:
    CWindowDc(HWND hWnd, HDC hdc) : m_hWnd(hWnd), m_hdc(hdc) {}
    ~CWindowDc()
    {
        if (m_hdc != nullptr)
            ::ReleaseDC(m_hWnd, m_hdc);
    }
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    HDC get() const { return m_hdc; }

private:
    HWND m_hWnd;
    HDC m_hdc;
};

#pragma once
// Ownership of GDI+ flat-interface objects: one small template, one alias per
// kind of object, each with the call that releases it.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <utility>

template <typename T, auto Release>
class CGdipObject
{
public:
    CGdipObject() = default;
    ~CGdipObject() { reset(); }
    CGdipObject(const CGdipObject&) = delete;
    CGdipObject& operator=(const CGdipObject&) = delete;
    CGdipObject(CGdipObject&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CGdipObject& operator=(CGdipObject&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For the out-parameter of a Gdip* creation call; releases what was held.
    T** put()
    {
        reset();
        return &m_p;
    }

    void reset()
    {
        if (m_p != nullptr)
            Release(std::exchange(m_p, nullptr));
    }

private:
    T* m_p = nullptr;
};

using CGdipFont = CGdipObject<Gdiplus::GpFont, &Gdiplus::DllExports::GdipDeleteFont>;
using CGdipFontFamily = CGdipObject<Gdiplus::GpFontFamily, &Gdiplus::DllExports::GdipDeleteFontFamily>;
using CGdipBitmap = CGdipObject<Gdiplus::GpBitmap, &Gdiplus::DllExports::GdipDisposeImage>;
using CGdipImage = CGdipObject<Gdiplus::GpImage, &Gdiplus::DllExports::GdipDisposeImage>;
using CGdipGraphics = CGdipObject<Gdiplus::GpGraphics, &Gdiplus::DllExports::GdipDeleteGraphics>;
using CGdipSolidFill = CGdipObject<Gdiplus::GpSolidFill, &Gdiplus::DllExports::GdipDeleteBrush>;
using CGdipStringFormat = CGdipObject<Gdiplus::GpStringFormat, &Gdiplus::DllExports::GdipDeleteStringFormat>;

#pragma once
// A minimal owning COM pointer: holds one reference and releases it on reset
// or destruction.

#include <unknwn.h>

#include <utility>

template <typename T>
class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }

    // Takes a reference of its own to p.
    explicit ComPtr(T* p) : m_p(p)
    {
        if (m_p != nullptr)
            m_p->AddRef();
    }

    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}

    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).swap(*this);
        return *this;
    }

    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For an out-parameter that hands over a reference; releases what was held.
    T** put()
    {
        reset();
        return &m_p;
    }

    // Adopts a reference that the caller already owns.
    void attach(T* p)
    {
        reset();
        m_p = p;
    }

    // Gives the held reference to the caller.
    T* detach() { return std::exchange(m_p, nullptr); }

    void reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

    void swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

private:
    T* m_p = nullptr;
};

#pragma once
// Ownership of a SAFEARRAY under construction, and the access lock on its
// data, each given up on every path.

#include <windows.h>
#include <oleauto.h>

#include <utility>

// Destroys the array unless it was handed on with detach().
class CSafeArrayOwner
{
public:
    CSafeArrayOwner() = default;
    ~CSafeArrayOwner() { reset(); }
    CSafeArrayOwner(const CSafeArrayOwner&) = delete;
    CSafeArrayOwner& operator=(const CSafeArrayOwner&) = delete;

    SAFEARRAY* get() const { return m_psa; }
    SAFEARRAY** put()
    {
        reset();
        return &m_psa;
    }
    SAFEARRAY* detach() { return std::exchange(m_psa, nullptr); }

    void reset()
    {
        if (SAFEARRAY* psa = std::exchange(m_psa, nullptr))
            SafeArrayDestroy(psa);
    }

private:
    SAFEARRAY* m_psa = nullptr;
};

// SafeArrayAccessData for the life of the object; SafeArrayUnaccessData on
// scope exit (its answer does not matter).
class CSafeArrayAccess
{
public:
    explicit CSafeArrayAccess(SAFEARRAY* psa) : m_psa(psa)
    {
        if (FAILED(SafeArrayAccessData(m_psa, &m_pvData)))
        {
            m_psa = nullptr;
            m_pvData = nullptr;
        }
    }
    ~CSafeArrayAccess()
    {
        if (m_psa != nullptr)
            SafeArrayUnaccessData(m_psa);
    }
    CSafeArrayAccess(const CSafeArrayAccess&) = delete;
    CSafeArrayAccess& operator=(const CSafeArrayAccess&) = delete;

    bool IsHeld() const { return m_psa != nullptr; }
    void* Data() const { return m_pvData; }

private:
    SAFEARRAY* m_psa;
    void* m_pvData = nullptr;
};

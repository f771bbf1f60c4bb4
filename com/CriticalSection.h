#pragma once
// A critical section whose initialisation can fail and be reported, and the
// scope that holds it.

#include <windows.h>

#include "engine/SlimLock.h"

class CCriticalSection
{
public:
    CCriticalSection() = default;
    ~CCriticalSection()
    {
        if (m_bInitialized)
            DeleteCriticalSection(&m_cs);
    }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // False when the platform could not initialise it; it is then unusable.
    bool Init() noexcept
    {
        if (!m_bInitialized)
            m_bInitialized = InitializeCriticalSectionEx(&m_cs, 0, 0) != FALSE;
        return m_bInitialized;
    }
    bool IsInitialized() const noexcept { return m_bInitialized; }

    void Enter() noexcept { EnterCriticalSection(&m_cs); }
    void Leave() noexcept { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs = {};
    bool m_bInitialized = false;
};

using CCriticalSectionLock = CLockScope<CCriticalSection>;

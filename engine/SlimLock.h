#pragma once
// An exclusive lock that needs no set-up and cannot fail, and the scope that
// holds a lock. Uncontended, taking it is one interlocked instruction.

#include <windows.h>

class CSlimLock
{
public:
    CSlimLock() = default;
    CSlimLock(const CSlimLock&) = delete;
    CSlimLock& operator=(const CSlimLock&) = delete;

    void Enter() noexcept { AcquireSRWLockExclusive(&m_srw); }
    void Leave() noexcept { ReleaseSRWLockExclusive(&m_srw); }

private:
    SRWLOCK m_srw = SRWLOCK_INIT;
};

// Holds a lock for the scope: any type with Enter() and Leave().
template <typename TLock>
class CLockScope
{
public:
    explicit CLockScope(TLock& lock) noexcept : m_lock(lock) { m_lock.Enter(); }
    ~CLockScope() { m_lock.Leave(); }
    CLockScope(const CLockScope&) = delete;
    CLockScope& operator=(const CLockScope&) = delete;

private:
    TLock& m_lock;
};

using CSlimLockScope = CLockScope<CSlimLock>;

#pragma once
// An exclusive lock that needs no set-up and cannot fail, and the scope that
// holds it. Uncontended, taking it is one interlocked instruction.

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

class CSlimLockScope
{
public:
    explicit CSlimLockScope(CSlimLock& lock) noexcept : m_lock(lock) { m_lock.Enter(); }
    ~CSlimLockScope() { m_lock.Leave(); }
    CSlimLockScope(const CSlimLockScope&) = delete;
    CSlimLockScope& operator=(const CSlimLockScope&) = delete;

private:
    CSlimLock& m_lock;
};

#pragma once
// The module object: one per process. Its lock count says whether the DLL is
// still in use; every plug-in object holds one lock for its lifetime.

#include <windows.h>

class CFerrowindModule
{
public:
    CFerrowindModule() = default;
    virtual ~CFerrowindModule() = default;
    CFerrowindModule(const CFerrowindModule&) = delete;
    CFerrowindModule& operator=(const CFerrowindModule&) = delete;

    // Interlocked; each answers the new count.
    virtual LONG Lock();
    virtual LONG Unlock();
    virtual LONG GetLockCount();

protected:
    LONG volatile m_nLockCnt = 0;
};

// The one module object of the process.
extern CFerrowindModule* const g_pModule;

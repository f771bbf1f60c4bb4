#include "com/FerrowindModule.h"

namespace
{
CFerrowindModule g_module;
}

CFerrowindModule* const g_pModule = &g_module;

LONG CFerrowindModule::Lock()
{
    return InterlockedIncrement(&m_nLockCnt);
}

LONG CFerrowindModule::Unlock()
{
    return InterlockedDecrement(&m_nLockCnt);
}

LONG CFerrowindModule::GetLockCount()
{
    return InterlockedCompareExchange(&m_nLockCnt, 0, 0);
}

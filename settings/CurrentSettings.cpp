#include "settings/CurrentSettings.h"

#include <cstring>
#include <mutex>

SMPTEDrawSettings g_currentSettings;

namespace
{
// constexpr-constructed, so it is usable before and during module start-up.
std::mutex g_settingsLock;
}

void SnapshotSettings(const SMPTEDrawSettings& shared, SMPTEDrawSettings& copy)
{
    if (&shared == &copy)
        return;
    std::lock_guard<std::mutex> guard(g_settingsLock);
    std::memcpy(static_cast<void*>(&copy), &shared, sizeof(copy));
}

void ReplaceSettings(SMPTEDrawSettings& shared, const SMPTEDrawSettings& value)
{
    if (&shared == &value)
        return;
    std::lock_guard<std::mutex> guard(g_settingsLock);
    std::memcpy(static_cast<void*>(&shared), &value, sizeof(shared));
}

#include "settings/CurrentSettings.h"

#include <atomic>
#include <cstring>
#include <thread>

SMPTEDrawSettings g_currentSettings;

namespace
{
// A spin lock around a 100-byte copy: constant-initialised (usable during
// module start-up) and unable to fail or throw, unlike a mutex whose lock may
// report a system error.
std::atomic<bool> g_bSettingsLocked{false};

class CSettingsLockGuard
{
public:
    CSettingsLockGuard() noexcept
    {
        while (g_bSettingsLocked.exchange(true, std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~CSettingsLockGuard() { g_bSettingsLocked.store(false, std::memory_order_release); }
    CSettingsLockGuard(const CSettingsLockGuard&) = delete;
    CSettingsLockGuard& operator=(const CSettingsLockGuard&) = delete;
};
} // namespace

void SnapshotSettings(const SMPTEDrawSettings& shared, SMPTEDrawSettings& copy) noexcept
{
    if (&shared == &copy)
        return;
    CSettingsLockGuard guard;
    std::memcpy(static_cast<void*>(&copy), &shared, sizeof(copy));
}

void ReplaceSettings(SMPTEDrawSettings& shared, const SMPTEDrawSettings& value) noexcept
{
    if (&shared == &value)
        return;
    CSettingsLockGuard guard;
    std::memcpy(static_cast<void*>(&shared), &value, sizeof(shared));
}

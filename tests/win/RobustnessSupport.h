#pragma once
// What the generated-case suites share: a reproducible random source, the
// environment knobs that run them longer, a fault filter that names the case
// being run, and the failure count that tells a case's own failures.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The case being run, described before it runs.
inline char g_szCase[512] = "no case yet";

// A read or write past a guarded buffer ends the program; this names the case
// first.
inline LONG WINAPI ReportFault(EXCEPTION_POINTERS* pInfo)
{
    std::fprintf(stderr, "fault 0x%08lX in %s\n", static_cast<unsigned long>(pInfo->ExceptionRecord->ExceptionCode),
                 g_szCase);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// splitmix64: the same cases on every platform and library.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }
    uint32_t Between(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <typename T, size_t N>
    T Pick(const T (&values)[N])
    {
        return values[Below(N)];
    }
    void Fill(BYTE* p, size_t cb)
    {
        while (cb >= 8)
        {
            const uint64_t v = Next();
            std::memcpy(p, &v, 8);
            p += 8;
            cb -= 8;
        }
        const uint64_t v = Next();
        std::memcpy(p, &v, cb);
    }

private:
    uint64_t m_state;
};

inline size_t PageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

// A number from the environment (decimal, 0x hex or 0 octal), or fallback.
inline uint64_t EnvNumber(const char* name, uint64_t fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0 ? std::strtoull(value, nullptr, 0) : fallback;
}

inline int RecordedFailures()
{
    return testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// Cases that must fail their CTest test through the Wine runner, quickly: a
// crash (no debugger may hold the process) and a program that ends before
// GoogleTest prints its summary (its exit code alone would say success).

#include <gtest/gtest.h>

#include <cstdlib>

TEST(RunnerProbe, Crash)
{
    volatile int* pnNowhere = nullptr;
    *pnNowhere = 1;
}

TEST(RunnerProbe, ExitBeforeSummary)
{
    std::_Exit(0);
}

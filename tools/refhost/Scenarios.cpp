#include "Scenarios.h"

#include <cstring>

namespace
{
constexpr FrameFormat k720p = {1280, 720, 32, false};
constexpr FrameFormat k720pTopDown = {1280, 720, 32, true};
constexpr FrameFormat k720p24 = {1280, 720, 24, false};
constexpr FrameFormat k720p24TopDown = {1280, 720, 24, true};

const Scenario kScenarios[] = {
    {"29.97fps", "three seconds at 29.97 frames per second (NTSC timing), 32 bits per pixel, bottom-up",
     {Timing::Constant, 30000, 1001}, k720p, 90},
    {"25fps", "three seconds at 25 frames per second, 32 bits per pixel, bottom-up", {Timing::Constant, 25, 1}, k720p,
     75},
    {"30fps", "three seconds at 30 frames per second, 32 bits per pixel, bottom-up", {Timing::Constant, 30, 1}, k720p,
     90},
    {"60fps", "three seconds at 60 frames per second, 32 bits per pixel, bottom-up", {Timing::Constant, 60, 1}, k720p,
     180},
    {"variable", "variable rate: durations cycle through 1/30, 1/25, 1/60, 1/20, 1/40 and 1/15 s",
     {Timing::Variable, 1, 1}, k720p, 90},
    {"no-end-times",
     "30 frames per second; only the first frame has an end time, then each end equals its start or lies before it",
     {Timing::NoEndTimes, 30, 1}, k720p, 90},
    {"top-down", "29.97 frames per second, 32 bits per pixel, top-down rows (negative height)",
     {Timing::Constant, 30000, 1001}, k720pTopDown, 90},
    {"24bpp", "29.97 frames per second, 24 bits per pixel, bottom-up", {Timing::Constant, 30000, 1001}, k720p24, 90},
    {"24bpp-top-down", "29.97 frames per second, 24 bits per pixel, top-down rows",
     {Timing::Constant, 30000, 1001}, k720p24TopDown, 90},
};
} // namespace

const Scenario* ScenariosBegin()
{
    return kScenarios;
}

const Scenario* ScenariosEnd()
{
    return kScenarios + sizeof(kScenarios) / sizeof(kScenarios[0]);
}

const Scenario* DefaultScenario()
{
    return kScenarios;
}

const Scenario* FindScenario(const char* pszName)
{
    for (const Scenario* p = ScenariosBegin(); p != ScenariosEnd(); ++p)
    {
        if (std::strcmp(p->pszName, pszName) == 0)
            return p;
    }
    return nullptr;
}

#pragma once
// The named clips the host can draw: frame rate or timing pattern, frame
// size, bit count and row order.

#include "Clip.h"

struct Scenario
{
    const char* pszName;
    const char* pszDescription;
    ClipTiming timing;
    FrameFormat format;
    int nFrames;
};

const Scenario* FindScenario(const char* pszName);
const Scenario* DefaultScenario();
const Scenario* ScenariosBegin();
const Scenario* ScenariosEnd();

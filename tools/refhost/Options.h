#pragma once
// The host's command line.

#include <string>
#include <vector>

#include "Scenarios.h"

struct TimeCodeCheck
{
    int nFrame = 0;
    std::wstring strText; // hh:mm:ss.ff
    unsigned long long rtStart = 0; // a frame start and end that give strText
    unsigned long long rtEnd = 0;
};

struct HostOptions
{
    bool bHelp = false;
    bool bList = false;
    const Scenario* pScenario = nullptr;
    FrameFormat format;
    int nFrames = 0;
    unsigned long uRenderingHints = 0;
    std::wstring strOut = L".";
    bool bDefaultSavedFrames = true;
    std::vector<int> savedFrames;
    std::wstring strLoadSettings;
    std::wstring strSaveSettings;
    bool bSetup = false;
    std::vector<TimeCodeCheck> checks;
};

// False, with the reason in strError, for a command line that cannot be run.
bool ParseOptions(int argc, wchar_t** argv, HostOptions& options, std::string& strError);
void PrintUsage();
void PrintScenarios();

#pragma once
// What a built Ferrowind.dll must be, checked from its bytes alone: the
// machine, the DLL flag, the five COM server exports, the resources the module
// loads at run time, and imports from system DLLs only (no MinGW runtime DLLs
// that a host would not have).

#include <cstdint>
#include <string>
#include <vector>

struct DllExpectations
{
    int bits = 32; // 32 or 64
    std::vector<uint8_t> appIdScript;     // REGISTRY 101, resources/AppID.rgs
    std::vector<uint8_t> frameDrawScript; // REGISTRY 102, resources/SMPTEFrameDraw.rgs
};

struct DllCheckResult
{
    std::string name;
    bool ok = false;
    std::string why; // empty when ok
};

// Every check, always in the same order; a file that is not a PE image fails
// them all with the same reason.
std::vector<DllCheckResult> RunDllChecks(std::vector<uint8_t> image, const DllExpectations& expected);

// A DLL name from an import table is a system DLL the module may use.
bool IsAllowedImport(const std::string& dll);

#pragma once
// The settings record as the tests look at it: compared byte for byte, read
// from the shared record through its lock, and the blob of a fresh record
// written out by hand.

#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/CurrentSettings.h"
#include "settings/SMPTEDrawSettings.h"

inline bool SameBytes(const SMPTEDrawSettings& a, const SMPTEDrawSettings& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

inline SMPTEDrawSettings CurrentSettings()
{
    SMPTEDrawSettings s;
    SnapshotSettings(g_currentSettings, s);
    return s;
}

// Version 0x01000000 big-endian, height 64, width 10, face "Arial", opaque
// white, 3 % / 3 %.
inline std::vector<uint8_t> DefaultBlobBytes()
{
    std::vector<uint8_t> b(104, 0);
    const uint8_t head[] = {0x00, 0x00, 0x00, 0x01, 0x40, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00};
    std::memcpy(b.data(), head, sizeof(head));
    const char face[] = "Arial";
    for (size_t i = 0; face[i] != 0; ++i)
        b[32 + 2 * i] = static_cast<uint8_t>(face[i]);
    const uint8_t tail[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x00, 0x03, 0x00};
    std::memcpy(b.data() + 96, tail, sizeof(tail));
    return b;
}

#pragma once
// The overlay settings: font, colour with opacity, and position, as one
// fixed-layout record that is copied and compared as a whole.

#include <cstddef>
#include <cstdint>

#include "settings/LogFontW.h"

struct BlobBuffer;

struct SMPTEDrawSettings
{
    static constexpr uint32_t kDefaultColor = 0xFFFFFFFFu;
    static constexpr uint32_t kDefaultPosition = 0x00030003u;
    static constexpr uint32_t kInvalidPosition = 0x00650065u;
    static constexpr uint32_t kMaxPercent = 100;

    LOGFONTW lfFont;
    uint32_t argbColor;
    uint32_t dwPosition;

    SMPTEDrawSettings() { SetDefaults(); }

    SMPTEDrawSettings& SetDefaults();
    void Invalidate();

    bool SetFont(const LOGFONTW& lf);
    uint32_t GetColorRef() const;
    bool SetColorRef(uint32_t crColor);
    uint8_t GetOpacity() const;
    bool SetOpacity(uint32_t nOpacity);
    bool SetPosition(uint32_t dwPacked);

    bool IsEqual(const SMPTEDrawSettings& other) const;
    bool IsDifferent(const SMPTEDrawSettings& other) const { return !IsEqual(other); }

    bool Serialize(BlobBuffer& blob) const;
    bool Deserialize(const BlobBuffer& blob);
};

static_assert(sizeof(SMPTEDrawSettings) == 100, "the record is 100 bytes");
static_assert(offsetof(SMPTEDrawSettings, lfFont) == 0);
static_assert(offsetof(SMPTEDrawSettings, argbColor) == 92);
static_assert(offsetof(SMPTEDrawSettings, dwPosition) == 96);

inline uint16_t HorizontalPercent(uint32_t dwPosition) { return static_cast<uint16_t>(dwPosition & 0xFFFFu); }
inline uint16_t VerticalPercent(uint32_t dwPosition) { return static_cast<uint16_t>(dwPosition >> 16); }
inline uint32_t PackPosition(uint16_t h, uint16_t v) { return (static_cast<uint32_t>(v) << 16) | h; }

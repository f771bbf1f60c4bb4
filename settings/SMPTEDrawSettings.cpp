#include "settings/SMPTEDrawSettings.h"

#include <cstring>

SMPTEDrawSettings& SMPTEDrawSettings::SetDefaults()
{
    std::memset(&lfFont, 0, sizeof(lfFont));
    lfFont.lfHeight = 64;
    lfFont.lfWidth = 10;
    static const char kArial[] = "Arial";
    for (size_t i = 0; kArial[i] != 0; ++i)
        lfFont.lfFaceName[i] = static_cast<Utf16Unit>(kArial[i]);
    argbColor = kDefaultColor;
    dwPosition = kDefaultPosition;
    return *this;
}

void SMPTEDrawSettings::Invalidate()
{
    dwPosition = kInvalidPosition;
}

bool SMPTEDrawSettings::SetFont(const LOGFONTW& lf)
{
    std::memcpy(&lfFont, &lf, sizeof(lfFont));
    return true;
}

uint32_t SMPTEDrawSettings::GetColorRef() const
{
    const uint32_t red = (argbColor >> 16) & 0xFFu;
    const uint32_t green = (argbColor >> 8) & 0xFFu;
    const uint32_t blue = argbColor & 0xFFu;
    return red | (green << 8) | (blue << 16);
}

bool SMPTEDrawSettings::SetColorRef(uint32_t crColor)
{
    if (crColor > 0x00FFFFFFu)
        return false;
    const uint32_t red = crColor & 0xFFu;
    const uint32_t green = (crColor >> 8) & 0xFFu;
    const uint32_t blue = (crColor >> 16) & 0xFFu;
    argbColor = (argbColor & 0xFF000000u) | (red << 16) | (green << 8) | blue;
    return true;
}

uint8_t SMPTEDrawSettings::GetOpacity() const
{
    return static_cast<uint8_t>(argbColor >> 24);
}

bool SMPTEDrawSettings::SetOpacity(uint32_t nOpacity)
{
    if (nOpacity > 255)
        return false;
    argbColor = (argbColor & 0x00FFFFFFu) | (nOpacity << 24);
    return true;
}

bool SMPTEDrawSettings::SetPosition(uint32_t dwPacked)
{
    if (HorizontalPercent(dwPacked) > kMaxPercent || VerticalPercent(dwPacked) > kMaxPercent)
        return false;
    dwPosition = dwPacked;
    return true;
}

bool SMPTEDrawSettings::IsEqual(const SMPTEDrawSettings& other) const
{
    if (this == &other)
        return true;
    return argbColor == other.argbColor && dwPosition == other.dwPosition &&
           std::memcmp(&lfFont, &other.lfFont, sizeof(lfFont)) == 0;
}

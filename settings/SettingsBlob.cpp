#include <cstring>
#include <new>

#include "settings/BlobBuffer.h"
#include "settings/SMPTEDrawSettings.h"

// The blob is little-endian whatever the machine; every multi-byte value is
// written and read byte by byte so that the layout never depends on the host.
namespace
{
void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(Get16(p)) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

void PutFont(uint8_t* p, const LOGFONTW& lf)
{
    Put32(p + 0, static_cast<uint32_t>(lf.lfHeight));
    Put32(p + 4, static_cast<uint32_t>(lf.lfWidth));
    Put32(p + 8, static_cast<uint32_t>(lf.lfEscapement));
    Put32(p + 12, static_cast<uint32_t>(lf.lfOrientation));
    Put32(p + 16, static_cast<uint32_t>(lf.lfWeight));
    p[20] = lf.lfItalic;
    p[21] = lf.lfUnderline;
    p[22] = lf.lfStrikeOut;
    p[23] = lf.lfCharSet;
    p[24] = lf.lfOutPrecision;
    p[25] = lf.lfClipPrecision;
    p[26] = lf.lfQuality;
    p[27] = lf.lfPitchAndFamily;
    for (size_t i = 0; i < kFaceNameUnits; ++i)
        Put16(p + 28 + 2 * i, static_cast<uint16_t>(lf.lfFaceName[i]));
}

void GetFont(const uint8_t* p, LOGFONTW& lf)
{
    lf.lfHeight = static_cast<int32_t>(Get32(p + 0));
    lf.lfWidth = static_cast<int32_t>(Get32(p + 4));
    lf.lfEscapement = static_cast<int32_t>(Get32(p + 8));
    lf.lfOrientation = static_cast<int32_t>(Get32(p + 12));
    lf.lfWeight = static_cast<int32_t>(Get32(p + 16));
    lf.lfItalic = p[20];
    lf.lfUnderline = p[21];
    lf.lfStrikeOut = p[22];
    lf.lfCharSet = p[23];
    lf.lfOutPrecision = p[24];
    lf.lfClipPrecision = p[25];
    lf.lfQuality = p[26];
    lf.lfPitchAndFamily = p[27];
    for (size_t i = 0; i < kFaceNameUnits; ++i)
        lf.lfFaceName[i] = static_cast<Utf16Unit>(Get16(p + 28 + 2 * i));
}
} // namespace

static_assert(SettingsBlob::kFontOffset + sizeof(LOGFONTW) == SettingsBlob::kColorOffset);
static_assert(SettingsBlob::kFontOffset + offsetof(LOGFONTW, lfFaceName) == SettingsBlob::kFaceNameOffset);
static_assert(SettingsBlob::kPositionOffset + 4 == SettingsBlob::kSize);

void ReleaseBlob(BlobBuffer& blob)
{
    delete[] blob.pbBlob;
    blob.pbBlob = nullptr;
    blob.cbBlob = 0;
}

bool SMPTEDrawSettings::Serialize(BlobBuffer& blob) const
{
    if (!blob.IsEmpty())
        return false;
    uint8_t* bytes = new (std::nothrow) uint8_t[SettingsBlob::kSize];
    if (bytes == nullptr)
        return false;
    std::memset(bytes, 0, SettingsBlob::kSize);
    Put32(bytes + SettingsBlob::kVersionOffset, SettingsBlob::kVersion);
    PutFont(bytes + SettingsBlob::kFontOffset, lfFont);
    Put32(bytes + SettingsBlob::kColorOffset, argbColor);
    Put32(bytes + SettingsBlob::kPositionOffset, dwPosition);
    blob.pbBlob = bytes;
    blob.cbBlob = SettingsBlob::kSize;
    return true;
}

bool SMPTEDrawSettings::Deserialize(const BlobBuffer& blob)
{
    if (blob.cbBlob != SettingsBlob::kSize || blob.pbBlob == nullptr)
        return false;
    const uint8_t* bytes = blob.pbBlob;
    if (Get32(bytes + SettingsBlob::kVersionOffset) != SettingsBlob::kVersion)
        return false;

    SMPTEDrawSettings scratch;
    GetFont(bytes + SettingsBlob::kFontOffset, scratch.lfFont);
    scratch.argbColor = Get32(bytes + SettingsBlob::kColorOffset);
    if (!scratch.SetPosition(Get32(bytes + SettingsBlob::kPositionOffset)))
        return false;

    *this = scratch;
    return true;
}

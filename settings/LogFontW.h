#pragma once
// The logical-font record carried in the settings. On Windows it is the
// platform's own LOGFONTW; elsewhere a record with the same layout, so that the
// settings record and its blob can be built and tested without the platform.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
typedef wchar_t Utf16Unit;
#else
typedef char16_t Utf16Unit;

struct LOGFONTW
{
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    char16_t lfFaceName[32];
};
#endif

static_assert(sizeof(Utf16Unit) == 2, "text is UTF-16 code units");
static_assert(sizeof(LOGFONTW) == 92, "LOGFONTW is 92 bytes");
static_assert(offsetof(LOGFONTW, lfHeight) == 0);
static_assert(offsetof(LOGFONTW, lfWidth) == 4);
static_assert(offsetof(LOGFONTW, lfEscapement) == 8);
static_assert(offsetof(LOGFONTW, lfOrientation) == 12);
static_assert(offsetof(LOGFONTW, lfWeight) == 16);
static_assert(offsetof(LOGFONTW, lfItalic) == 20);
static_assert(offsetof(LOGFONTW, lfUnderline) == 21);
static_assert(offsetof(LOGFONTW, lfStrikeOut) == 22);
static_assert(offsetof(LOGFONTW, lfCharSet) == 23);
static_assert(offsetof(LOGFONTW, lfOutPrecision) == 24);
static_assert(offsetof(LOGFONTW, lfClipPrecision) == 25);
static_assert(offsetof(LOGFONTW, lfQuality) == 26);
static_assert(offsetof(LOGFONTW, lfPitchAndFamily) == 27);
static_assert(offsetof(LOGFONTW, lfFaceName) == 28);
static_assert(sizeof(LOGFONTW::lfFaceName) == 64);

constexpr size_t kFaceNameUnits = 32;

// Length of a face name that may lack its terminator: never looks past the
// 32 units of the field.
inline size_t FaceNameLength(const LOGFONTW& lf)
{
    size_t n = 0;
    while (n < kFaceNameUnits && lf.lfFaceName[n] != 0)
        ++n;
    return n;
}

// The face name as a terminated string: a name that fills all 32 units of
// the field without a terminator is taken as those 32 units.
inline void CopyFaceName(const LOGFONTW& lf, Utf16Unit (&szFace)[kFaceNameUnits + 1])
{
    const size_t length = FaceNameLength(lf);
    for (size_t i = 0; i < length; ++i)
        szFace[i] = lf.lfFaceName[i];
    szFace[length] = 0;
}

#pragma once
// Formatted output into a UTF-16 buffer of fixed capacity. The format is plain
// ASCII printf syntax; the capacity is in bytes, two to a code unit.

#include <cstddef>

#include "settings/LogFontW.h"

// Never writes past cbDest bytes and always leaves the text terminated (when
// cbDest >= 2). Answers false when cbDest < 2, when the format fails, or when
// the text with its terminator does not fit; the buffer then keeps the
// truncated, terminated text. Texts of up to kMaxFormattedUnits units are
// supported.
bool FormatBounded(Utf16Unit* pszDest, size_t cbDest, const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

constexpr size_t kMaxFormattedUnits = 255;

#include "engine/BoundedFormat.h"

#include <cstdarg>
#include <cstdio>

bool FormatBounded(Utf16Unit* pszDest, size_t cbDest, const char* pszFormat, ...)
{
    if (pszDest == nullptr || cbDest < 2 || pszFormat == nullptr)
        return false;
    const size_t cchDest = cbDest / 2;

    char szNarrow[kMaxFormattedUnits + 1];
    va_list args;
    va_start(args, pszFormat);
    const int n = std::vsnprintf(szNarrow, sizeof(szNarrow), pszFormat, args);
    va_end(args);
    if (n < 0)
    {
        pszDest[0] = 0;
        return false;
    }

    const size_t cchProduced = static_cast<size_t>(n) < kMaxFormattedUnits ? static_cast<size_t>(n)
                                                                           : kMaxFormattedUnits;
    const size_t cchCopy = cchProduced < cchDest - 1 ? cchProduced : cchDest - 1;
    for (size_t i = 0; i < cchCopy; ++i)
        pszDest[i] = static_cast<Utf16Unit>(static_cast<unsigned char>(szNarrow[i]));
    pszDest[cchCopy] = 0;
    return static_cast<size_t>(n) == cchCopy;
}

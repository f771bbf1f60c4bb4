#include "dialog/HelpFilePath.h"

bool HelpFilePathFromModulePath(Utf16Unit (&szPath)[kModulePathUnits], uint32_t n)
{
    if (n == 0 || n > kModulePathMaxForHelp)
        return false;
    // Position 0 is never a candidate; the last dot wins wherever it stands.
    for (uint32_t i = n - 1; i >= 1; --i)
    {
        if (szPath[i] != static_cast<Utf16Unit>('.'))
            continue;
        szPath[i + 1] = static_cast<Utf16Unit>('c');
        szPath[i + 2] = static_cast<Utf16Unit>('h');
        szPath[i + 3] = static_cast<Utf16Unit>('m');
        szPath[i + 4] = 0;
        return true;
    }
    return false;
}

#include "dialog/HelpFilePath.h"

bool HelpFilePathFromModulePath(Utf16Unit (&szPath)[kModulePathUnits], uint32_t n)
{
    if (n == 0 || n > kModulePathMaxForHelp)
        return false;
    // Only a dot in the file name starts the extension, never one in a folder
    // name; position 0 is never a candidate.
    uint32_t end = n;
    for (uint32_t i = n - 1; i >= 1 && szPath[i] != static_cast<Utf16Unit>('\\'); --i)
    {
        if (szPath[i] == static_cast<Utf16Unit>('.'))
        {
            end = i;
            break;
        }
    }
    // A file name without an extension gets one: n is at most 256, so the
    // dot, "chm" and the terminator fit.
    szPath[end] = static_cast<Utf16Unit>('.');
    szPath[end + 1] = static_cast<Utf16Unit>('c');
    szPath[end + 2] = static_cast<Utf16Unit>('h');
    szPath[end + 3] = static_cast<Utf16Unit>('m');
    szPath[end + 4] = 0;
    return true;
}

#include "dialog/HelpFilePath.h"

#include "com/WindowsPath.h"

bool HelpFilePathFromModulePath(Utf16Unit (&szPath)[kModulePathUnits], uint32_t n)
{
    if (n == 0 || n > kModulePathMaxForHelp)
        return false;
    // Only a dot in the file name starts the extension, never one in a folder
    // name; position 0 is never a candidate.
    const uint32_t end = static_cast<uint32_t>(WindowsPathExtensionStart(szPath, n));
    // A file name without an extension gets one: n is at most 256, so the
    // dot, "chm" and the terminator fit.
    szPath[end] = static_cast<Utf16Unit>('.');
    szPath[end + 1] = static_cast<Utf16Unit>('c');
    szPath[end + 2] = static_cast<Utf16Unit>('h');
    szPath[end + 3] = static_cast<Utf16Unit>('m');
    szPath[end + 4] = 0;
    return true;
}

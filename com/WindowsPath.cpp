#include "com/WindowsPath.h"

namespace
{
bool IsSeparator(Utf16Unit c)
{
    return c == static_cast<Utf16Unit>('\\') || c == static_cast<Utf16Unit>('/') || c == static_cast<Utf16Unit>(':');
}
} // namespace

size_t WindowsPathFolderEnd(const Utf16Unit* pszPath, size_t n)
{
    for (size_t i = n; i > 0; --i)
    {
        if (IsSeparator(pszPath[i - 1]))
            return i;
    }
    return 0;
}

size_t WindowsPathExtensionStart(const Utf16Unit* pszPath, size_t n)
{
    const size_t cchFolder = WindowsPathFolderEnd(pszPath, n);
    for (size_t i = n; i > cchFolder && i > 1; --i)
    {
        if (pszPath[i - 1] == static_cast<Utf16Unit>('.'))
            return i - 1;
    }
    return n;
}

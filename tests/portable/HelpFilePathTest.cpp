#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "dialog/HelpFilePath.h"

namespace
{
struct PathBuffer
{
    Utf16Unit units[kModulePathUnits] = {};

    explicit PathBuffer(const std::string& path)
    {
        std::copy(path.begin(), path.end(), units);
    }
    std::string Text() const
    {
        std::string s;
        for (size_t i = 0; i < kModulePathUnits && units[i] != 0; ++i)
            s.push_back(static_cast<char>(units[i]));
        return s;
    }
};
} // namespace

// The answer and the buffer afterwards; a refusal leaves the buffer as it was.
TEST(HelpFilePath, ReplacesOrAddsTheFileNamesExtension)
{
    const std::string longest = "C:\\" + std::string(249, 'a') + ".dll"; // 256 units
    const std::string tooLong = "C:\\" + std::string(250, 'a') + ".dll"; // 257 units
    const std::string longestBare = "C:\\" + std::string(253, 'a');    // 256 units
    ASSERT_EQ(longest.size(), 256u);
    constexpr size_t kWhole = SIZE_MAX;
    const struct
    {
        std::string path;
        size_t cUnits; // the module path answer; kWhole for the whole path
        bool bAnswer;
        std::string after;
        const char* pszWhy;
    } kCases[] = {
        {"", 0, false, "", "empty"},
        {longest, kWhole, true, "C:\\" + std::string(249, 'a') + ".chm", "the longest path"},
        {tooLong, kWhole, false, tooLong, "one unit too long"},
        {"C:\\Plugins\\Ferrowind.dll", kWhole, true, "C:\\Plugins\\Ferrowind.chm", "the extension"},
        {"C:\\my.plugins\\Ferrowind", kWhole, true, "C:\\my.plugins\\Ferrowind.chm", "a dot in a folder name"},
        {longestBare, kWhole, true, longestBare + ".chm", "the longest path without an extension"},
        {"C:\\x.", kWhole, true, "C:\\x.chm", "a trailing dot"},
        {"C:\\a.b.dll", kWhole, true, "C:\\a.b.chm", "two dots"},
        {"C:\\Plugins\\Ferrowind", kWhole, true, "C:\\Plugins\\Ferrowind.chm", "no dot"},
        {".dll", kWhole, true, ".dll.chm", "position 0 is never examined"},
        {"C:\\Plugins\\Ferrowind.dll", 10, true, "C:\\Plugins.chm", "the dot lies beyond n"},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszWhy);
        PathBuffer b(c.path);
        const size_t cUnits = c.cUnits == kWhole ? c.path.size() : c.cUnits;
        EXPECT_EQ(HelpFilePathFromModulePath(b.units, static_cast<uint32_t>(cUnits)), c.bAnswer);
        EXPECT_EQ(b.Text(), c.after);
    }
}

#include <gtest/gtest.h>

#include <algorithm>
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

uint32_t Length(const std::string& s)
{
    return static_cast<uint32_t>(s.size());
}
} // namespace

TEST(HelpFilePath, RefusesAnEmptyOrTooLongPath)
{
    PathBuffer empty("");
    EXPECT_FALSE(HelpFilePathFromModulePath(empty.units, 0));

    const std::string longest = "C:\\" + std::string(249, 'a') + ".dll"; // 256 units
    PathBuffer fits(longest);
    ASSERT_EQ(longest.size(), 256u);
    EXPECT_TRUE(HelpFilePathFromModulePath(fits.units, Length(longest)));
    EXPECT_EQ(fits.Text(), "C:\\" + std::string(249, 'a') + ".chm");

    const std::string tooLong = "C:\\" + std::string(250, 'a') + ".dll"; // 257 units
    PathBuffer refused(tooLong);
    EXPECT_FALSE(HelpFilePathFromModulePath(refused.units, Length(tooLong)));
    EXPECT_EQ(refused.Text(), tooLong);
}

TEST(HelpFilePath, ReplacesTheExtension)
{
    const std::string path = "C:\\Plugins\\Ferrowind.dll";
    PathBuffer b(path);
    EXPECT_TRUE(HelpFilePathFromModulePath(b.units, Length(path)));
    EXPECT_EQ(b.Text(), "C:\\Plugins\\Ferrowind.chm");
}

TEST(HelpFilePath, UsesTheLastDotWhereverItStands)
{
    const std::string inFolder = "C:\\my.plugins\\Ferrowind";
    PathBuffer folder(inFolder);
    EXPECT_TRUE(HelpFilePathFromModulePath(folder.units, Length(inFolder)));
    EXPECT_EQ(folder.Text(), "C:\\my.chm");

    const std::string trailing = "C:\\x.";
    PathBuffer dot(trailing);
    EXPECT_TRUE(HelpFilePathFromModulePath(dot.units, Length(trailing)));
    EXPECT_EQ(dot.Text(), "C:\\x.chm");

    const std::string two = "C:\\a.b.dll";
    PathBuffer twice(two);
    EXPECT_TRUE(HelpFilePathFromModulePath(twice.units, Length(two)));
    EXPECT_EQ(twice.Text(), "C:\\a.b.chm");
}

TEST(HelpFilePath, NoDotAfterTheFirstUnitMeansNoHelpFile)
{
    const std::string none = "C:\\Plugins\\Ferrowind";
    PathBuffer b(none);
    EXPECT_FALSE(HelpFilePathFromModulePath(b.units, Length(none)));
    EXPECT_EQ(b.Text(), none);

    const std::string leading = ".dll";
    PathBuffer first(leading);
    EXPECT_FALSE(HelpFilePathFromModulePath(first.units, Length(leading))) << "position 0 is never examined";
    EXPECT_EQ(first.Text(), leading);
}

TEST(HelpFilePath, LooksOnlyAtTheAnsweredLength)
{
    const std::string path = "C:\\Plugins\\Ferrowind.dll";
    PathBuffer b(path);
    EXPECT_FALSE(HelpFilePathFromModulePath(b.units, 10)) << "the dot lies beyond n";
    EXPECT_EQ(b.Text(), path);
}

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DialogTestSupport.h"
#include "com/ModuleGlobals.h"
#include "settings/CurrentSettings.h"

namespace
{
std::wstring ModulePath(HMODULE hModule)
{
    wchar_t sz[MAX_PATH] = {};
    ::GetModuleFileNameW(hModule, sz, MAX_PATH);
    return sz;
}

std::wstring HelpPath()
{
    return g_bstrHelpFile == nullptr ? std::wstring() : std::wstring(g_bstrHelpFile, ::SysStringLen(g_bstrHelpFile));
}
} // namespace

TEST(HelpFile, PathIsTheModulePathWithChm)
{
    FreeHelpFilePath();
    MakeHelpFilePath(nullptr);
    EXPECT_EQ(g_bstrHelpFile, nullptr) << "no module handle: nothing";

    MakeHelpFilePath(::GetModuleHandleW(nullptr));
    std::wstring expected = ModulePath(nullptr);
    ASSERT_GT(expected.size(), 4u);
    expected.replace(expected.size() - 3, 3, L"chm");
    EXPECT_EQ(HelpPath(), expected);

    // Made once: a later call with another module leaves it.
    MakeHelpFilePath(::GetModuleHandleW(L"kernel32.dll"));
    EXPECT_EQ(HelpPath(), expected);

    FreeHelpFilePath();
    EXPECT_EQ(g_bstrHelpFile, nullptr);
}

TEST(HelpFile, EmptyPathIsReplaced)
{
    FreeHelpFilePath();
    g_bstrHelpFile = ::SysAllocString(L"");
    MakeHelpFilePath(::GetModuleHandleW(nullptr));
    EXPECT_NE(HelpPath(), L"");
    FreeHelpFilePath();
}

// HTML Help is located on the first press of Help that has a path to show,
// so the order inside this test matters: first no path, then a path.
TEST(SetupDialogHelp, NothingWithoutAPathThenHtmlHelpIsLoadedOnFirstUse)
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    ASSERT_EQ(::GetModuleHandleW(L"hhctrl.ocx"), nullptr);
    {
        DialogSession session;
        ASSERT_NE(session.Dialog(), nullptr);
        session.Click(kIdHelpButton);
        EXPECT_FALSE(session.Ended());
        EXPECT_EQ(::GetModuleHandleW(L"hhctrl.ocx"), nullptr);
        session.Click(IDCANCEL);
        EXPECT_EQ(session.Result(), S_FALSE);
    }

    // A path (the file need not exist): F1, which asks for Help as the button
    // does, loads HTML Help, which stays loaded, and the dialog goes on running.
    {
        DialogSession session(DialogSession::OwnerVariant(), nullptr, L"C:\\Plugins\\Ferrowind.chm");
        ASSERT_NE(session.Dialog(), nullptr);
        session.Keys(0, VK_F1);
        EXPECT_TRUE(WaitUntil([] { return ::GetModuleHandleW(L"hhctrl.ocx") != nullptr; }));
        session.Click(IDCANCEL);
        EXPECT_EQ(session.Result(), S_FALSE);
    }
    EXPECT_NE(::GetModuleHandleW(L"hhctrl.ocx"), nullptr);
    EXPECT_TRUE(SameBytes(CurrentSettings(), SMPTEDrawSettings()));
}

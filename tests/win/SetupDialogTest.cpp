#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "DialogTestSupport.h"
#include "dialog/SetupDialog.h"
#include "settings/CurrentSettings.h"

namespace
{
class SetupDialog : public testing::Test
{
protected:
    void SetUp() override { ReplaceSettings(g_currentSettings, SMPTEDrawSettings()); }

    static void Load(const SMPTEDrawSettings& settings) { ReplaceSettings(g_currentSettings, settings); }
};

SMPTEDrawSettings WithOpacity(uint32_t nOpacity)
{
    SMPTEDrawSettings s;
    s.SetOpacity(nOpacity);
    return s;
}

SMPTEDrawSettings WithPosition(uint32_t dwPosition)
{
    SMPTEDrawSettings s;
    s.SetPosition(dwPosition);
    return s;
}

// Moves the trackbar and the label, the edits a closing test must discard.
void EditEverythingButTheFont(DialogSession& session)
{
    session.MoveTrackbarTo(20);
    const IntRect label = session.ChildRect(206);
    const IntPoint centre = label.Centre();
    session.Mouse(WM_LBUTTONDOWN, MK_LBUTTON, centre.x, centre.y);
    session.Mouse(WM_MOUSEMOVE, MK_LBUTTON, centre.x + 40, centre.y + 30);
    session.Mouse(WM_LBUTTONUP, 0, centre.x + 40, centre.y + 30);
    ASSERT_NE(session.ChildRect(206), label);
}
} // namespace

TEST_F(SetupDialog, NullSettingsAnswerEPointer)
{
    VARIANT var;
    ::VariantInit(&var);
    EXPECT_EQ(ShowSetupDialogFor(var, nullptr, ::GetModuleHandleW(nullptr), nullptr), E_POINTER);
}

TEST_F(SetupDialog, TrackbarStartsAtTheMappedPositionOfZeroToHundred)
{
    const struct
    {
        uint32_t nOpacity;
        LRESULT nPosition;
        const wchar_t* pszLabel;
    } kCases[] = {{255, 100, L"100"}, {128, 50, L"50"}, {127, 50, L"50"}, {3, 1, L"1"}, {0, 0, L"0"}};
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.nOpacity);
        Load(WithOpacity(c.nOpacity));
        DialogSession session;
        ASSERT_NE(session.Dialog(), nullptr);
        HWND hWndTrack = session.Item(203);
        EXPECT_EQ(::SendMessageW(hWndTrack, TBM_GETRANGEMIN, 0, 0), 0);
        EXPECT_EQ(::SendMessageW(hWndTrack, TBM_GETRANGEMAX, 0, 0), 100);
        EXPECT_EQ(::SendMessageW(hWndTrack, TBM_GETPOS, 0, 0), c.nPosition);
        EXPECT_EQ(session.Text(204), c.pszLabel);
        EXPECT_EQ(session.Text(202), L"Arial, 48 pt, regular, white");
        session.Click(IDCANCEL);
        EXPECT_EQ(session.Result(), S_FALSE);
    }
}

TEST_F(SetupDialog, TrackbarTo50FollowsStepByStepAndOkStores127)
{
    const SMPTEDrawSettings before = CurrentSettings();
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    for (int p = 99; p >= 50; --p)
    {
        session.MoveTrackbarTo(p);
        ASSERT_EQ(session.Text(204), std::to_wstring(p));
    }
    EXPECT_TRUE(SameBytes(CurrentSettings(), before)) << "stored only at OK";
    session.Click(IDOK);
    EXPECT_EQ(session.Result(), S_OK);
    const SMPTEDrawSettings after = CurrentSettings();
    EXPECT_EQ(after.argbColor, 0x7FFFFFFFu);
    EXPECT_EQ(after.dwPosition, 0x00030003u);
    EXPECT_EQ(std::memcmp(&after.lfFont, &before.lfFont, sizeof(LOGFONTW)), 0);
}

TEST_F(SetupDialog, TrackbarKeysMoveTheLabelThroughTheControlsOwnNotification)
{
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    HWND hWndTrack = session.Item(203);
    ::SendMessageW(hWndTrack, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(session.Text(204), L"99");
    ::SendMessageW(hWndTrack, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(session.Text(204), L"0");
    session.Click(IDOK);
    EXPECT_EQ(session.Result(), S_OK);
    EXPECT_EQ(CurrentSettings().argbColor, 0x00FFFFFFu);
}

TEST_F(SetupDialog, ScrollWithoutAControlIsIgnored)
{
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    HWND hWndTrack = session.Item(203);
    ::SendMessageW(hWndTrack, TBM_SETPOS, TRUE, 40);
    ::SendMessageW(session.Dialog(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 40), 0);
    EXPECT_EQ(session.Text(204), L"100");
    ::SendMessageW(session.Dialog(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 40), reinterpret_cast<LPARAM>(hWndTrack));
    EXPECT_EQ(session.Text(204), L"40");
    session.Click(IDCANCEL);
    EXPECT_EQ(session.Result(), S_FALSE);
}

TEST_F(SetupDialog, CommandsActOnlyOnClicks)
{
    DialogSession session;
    HWND hWndDialog = session.Dialog();
    ASSERT_NE(hWndDialog, nullptr);
    session.MoveTrackbarTo(10);
    for (WORD code : {WORD(BN_DOUBLECLICKED), WORD(BN_SETFOCUS), WORD(1)})
    {
        ::SendMessageW(hWndDialog, WM_COMMAND, MAKEWPARAM(IDOK, code), reinterpret_cast<LPARAM>(session.Item(IDOK)));
        ::SendMessageW(hWndDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, code), 0);
    }
    EXPECT_FALSE(session.Ended());
    EXPECT_TRUE(::IsWindow(hWndDialog));
    ::SendMessageW(hWndDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(session.Item(IDOK)));
    EXPECT_EQ(session.Result(), S_OK);
    EXPECT_EQ(CurrentSettings().GetOpacity(), 26);
}

TEST_F(SetupDialog, ClosingAfterEditsAnswersSFalseAndWritesNothing)
{
    SMPTEDrawSettings loaded = WithOpacity(200);
    loaded.SetColorRef(0x00336699u);
    const struct
    {
        const char* pszWay;
        void (*close)(DialogSession&);
    } kWays[] = {
        {"Cancel button", [](DialogSession& session) { session.Click(IDCANCEL); }},
        {"Escape key", [](DialogSession& session) { session.PressKey(VK_ESCAPE); }},
        {"close box", [](DialogSession& session) { ::PostMessageW(session.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : kWays)
    {
        SCOPED_TRACE(way.pszWay);
        Load(loaded);
        DialogSession session;
        ASSERT_NE(session.Dialog(), nullptr);
        EditEverythingButTheFont(session);
        way.close(session);
        EXPECT_EQ(session.Result(), S_FALSE);
        EXPECT_TRUE(SameBytes(CurrentSettings(), loaded));
    }
}

// Confirming the dialog without an edit must not wear the settings down:
// neither the position read back from the label nor the opacity read back
// from the trackbar may replace what was loaded.
TEST_F(SetupDialog, UntouchedOkAnswersSFalseAndWritesNothingTimeAfterTime)
{
    const SMPTEDrawSettings kLoaded[] = {
        SMPTEDrawSettings(),       WithOpacity(128),          WithOpacity(1),
        WithPosition(0x00000000u), WithPosition(0x00640064u), WithPosition(0x001D0021u),
    };
    for (const SMPTEDrawSettings& loaded : kLoaded)
    {
        SCOPED_TRACE(testing::Message() << "opacity " << static_cast<int>(loaded.GetOpacity()) << ", position 0x"
                                        << std::hex << loaded.dwPosition);
        Load(loaded);
        for (int round = 0; round < 3; ++round)
        {
            DialogSession session;
            ASSERT_NE(session.Dialog(), nullptr);
            session.Click(IDOK);
            EXPECT_EQ(session.Result(), S_FALSE) << round;
            EXPECT_TRUE(SameBytes(CurrentSettings(), loaded)) << round;
        }
    }
}

TEST_F(SetupDialog, SettingsOtherThanTheCurrentOnesAreEditedInPlace)
{
    SMPTEDrawSettings own = WithOpacity(64);
    const SMPTEDrawSettings current = CurrentSettings();
    DialogSession session(DialogSession::OwnerVariant(), &own);
    ASSERT_NE(session.Dialog(), nullptr);
    EXPECT_EQ(session.Text(204), L"25");
    session.MoveTrackbarTo(100);
    session.Click(IDOK);
    EXPECT_EQ(session.Result(), S_OK);
    EXPECT_EQ(own.argbColor, 0xFFFFFFFFu);
    EXPECT_TRUE(SameBytes(CurrentSettings(), current));
}

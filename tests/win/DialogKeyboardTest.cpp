#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

namespace
{
struct KeyRun
{
    UINT modifier;
    UINT vk;
    int count;
};

class DialogKeyboard : public testing::Test
{
protected:
    void SetUp() override { ReplaceSettings(g_currentSettings, SMPTEDrawSettings()); }
};

// The controls that show the focus: the buttons, the trackbar and the label.
const int kFocusable[] = {201, 203, 206, IDOK, IDCANCEL, kIdHelpButton};
} // namespace

TEST_F(DialogKeyboard, ArrowKeysMoveTheLabelByPercentagePointsAndEnterStoresWhereTheyPutIt)
{
    const struct
    {
        const char* pszKeys;
        std::vector<KeyRun> keys;
        uint32_t dwPosition;
    } kCases[] = {
        {"Right", {{0, VK_RIGHT, 1}}, 0x00030004u},
        {"Right x5, Down x3", {{0, VK_RIGHT, 5}, {0, VK_DOWN, 3}}, 0x00060008u},
        {"Shift+Down", {{VK_SHIFT, VK_DOWN, 1}}, 0x000D0003u},
        {"Left x4 stops at 0", {{0, VK_LEFT, 4}}, 0x00030000u},
        {"Shift+Up stops at 0", {{VK_SHIFT, VK_UP, 1}}, 0x00000003u},
        {"Shift+Right x11 stops at 100", {{VK_SHIFT, VK_RIGHT, 11}}, 0x00030064u},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszKeys);
        ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
        DialogSession session;
        ASSERT_NE(session.Dialog(), nullptr);
        const IntRect start = session.ChildRect(206);
        session.Keys(VK_MENU, 'P');
        ASSERT_TRUE(WaitUntil([&] { return session.FocusId() == 206; }));
        for (const KeyRun& keys : c.keys)
            session.Keys(keys.modifier, keys.vk, keys.count);
        EXPECT_TRUE(WaitUntil([&] { return session.Text(207) == PositionText(c.dwPosition); }))
            << testing::PrintToString(session.Text(207));
        EXPECT_EQ(std::optional<IntRect>(session.ChildRect(206)),
                  PlaceSampleLabel(session.PreviewArea(), start, c.dwPosition));
        EXPECT_TRUE(SameBytes(CurrentSettings(), SMPTEDrawSettings())) << "stored only at OK";
        session.Keys(0, VK_RETURN);
        EXPECT_EQ(session.Result(), S_OK);
        EXPECT_EQ(CurrentSettings().dwPosition, c.dwPosition);
    }
}

TEST_F(DialogKeyboard, EscapeAfterTheKeysStoresNothing)
{
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    session.Keys(VK_MENU, 'P');
    session.Keys(0, VK_RIGHT, 3);
    ASSERT_TRUE(WaitUntil([&] { return session.Text(207) == PositionText(0x00030006u); }));
    session.Keys(0, VK_ESCAPE);
    EXPECT_EQ(session.Result(), S_FALSE);
    EXPECT_TRUE(SameBytes(CurrentSettings(), SMPTEDrawSettings()));
}

TEST_F(DialogKeyboard, ShortcutsAndTabReachTheirControls)
{
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    const struct
    {
        UINT modifier;
        UINT vk;
        int idFocus;
    } kSteps[] = {
        {VK_MENU, 'P', 206}, {VK_MENU, 'O', 203}, {0, VK_TAB, 206},        {0, VK_TAB, IDOK},
        {0, VK_TAB, IDCANCEL}, {0, VK_TAB, kIdHelpButton}, {0, VK_TAB, 201}, {0, VK_TAB, 203},
        {VK_SHIFT, VK_TAB, 201}, {VK_SHIFT, VK_TAB, kIdHelpButton},
    };
    for (const auto& step : kSteps)
    {
        session.Keys(step.modifier, step.vk);
        EXPECT_TRUE(WaitUntil([&] { return session.FocusId() == step.idFocus; }))
            << step.vk << " gave " << session.FocusId() << ", not " << step.idFocus;
    }
    session.Keys(VK_MENU, 'F');
    EXPECT_TRUE(WaitUntil([&] { return session.OwnedDialog() != nullptr; })) << "Alt+F opens the font chooser";
}

TEST_F(DialogKeyboard, ArrowKeysNeverTakeTheFocusWhereItCannotBeShown)
{
    DialogSession session;
    HWND hWndDialog = session.Dialog();
    ASSERT_NE(hWndDialog, nullptr);
    for (int idFrom : kFocusable)
    {
        for (UINT modifier : {0u, UINT(VK_SHIFT)})
        {
            for (UINT vk : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
            {
                ::PostMessageW(hWndDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(session.Item(idFrom)), TRUE);
                ASSERT_TRUE(WaitUntil([&] { return session.FocusId() == idFrom; }));
                session.Keys(modifier, vk);
                ::Sleep(30);
                const int idTo = session.FocusId();
                EXPECT_NE(std::find(std::begin(kFocusable), std::end(kFocusable), idTo), std::end(kFocusable))
                    << "from " << idFrom << " key " << vk << (modifier ? " with Shift" : "") << " to " << idTo;
            }
        }
    }
}

#include <windows.h>

#include <gtest/gtest.h>

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
} // namespace

// Real keys from the default 3 % / 3 %; the steps and their clamp are the
// geometry's own rule, checked natively.
TEST(DialogKeyboard, ArrowKeysOnTheLabelMoveItAndEnterStoresWhereEscapeDoesNot)
{
    const struct
    {
        std::vector<KeyRun> keys;
        UINT vkClose;
        uint32_t dwPosition;
    } kCases[] = {
        {{{0, VK_RIGHT, 5}, {0, VK_DOWN, 3}}, VK_RETURN, 0x00060008u},
        {{{VK_SHIFT, VK_RIGHT, 1}, {VK_SHIFT, VK_UP, 1}}, VK_RETURN, 0x0000000Du},
        {{{0, VK_LEFT, 2}}, VK_ESCAPE, 0x00030001u},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.dwPosition);
        ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
        DialogSession session;
        ASSERT_NE(session.Dialog(), nullptr);
        const IntRect start = session.ChildRect(206);
        session.Keys(VK_MENU, 'P');
        for (const KeyRun& run : c.keys)
            session.Keys(run.modifier, run.vk, run.count);
        EXPECT_TRUE(WaitUntil([&] { return session.Text(207) == PositionText(c.dwPosition); }));
        EXPECT_EQ(std::optional<IntRect>(session.ChildRect(206)),
                  PlaceSampleLabel(session.PreviewArea(), start, c.dwPosition));
        session.Keys(0, c.vkClose);
        const bool bStored = c.vkClose == VK_RETURN;
        EXPECT_EQ(session.Result(), bStored ? S_OK : S_FALSE);
        EXPECT_EQ(CurrentSettings().dwPosition, bStored ? c.dwPosition : SMPTEDrawSettings::kDefaultPosition);
    }
}

// The arrows keep the focus on controls that show it: the Font button alone in
// its group, OK, Cancel and Help in a ring.
TEST(DialogKeyboard, ShortcutsTabAndArrowsReachTheirControls)
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    DialogSession session;
    ASSERT_NE(session.Dialog(), nullptr);
    const struct
    {
        UINT modifier;
        UINT vk;
        int idFocus;
    } kSteps[] = {{VK_MENU, 'P', 206},       {VK_MENU, 'O', 203},     {0, VK_TAB, 206},
                  {0, VK_TAB, IDOK},         {0, VK_TAB, IDCANCEL},   {0, VK_TAB, kIdHelpButton},
                  {VK_SHIFT, VK_DOWN, IDOK}, {0, VK_LEFT, kIdHelpButton}, {0, VK_TAB, 201},
                  {0, VK_RIGHT, 201},        {VK_SHIFT, VK_UP, 201},  {VK_MENU, 'H', kIdHelpButton}};
    for (const auto& step : kSteps)
    {
        session.Keys(step.modifier, step.vk);
        EXPECT_TRUE(WaitUntil([&] { return session.FocusId() == step.idFocus; })) << step.vk << " " << step.idFocus;
    }
    session.Keys(VK_MENU, 'F');
    EXPECT_TRUE(WaitUntil([&] { return session.OwnedDialog() != nullptr; })) << "Alt+F opens the font chooser";
}

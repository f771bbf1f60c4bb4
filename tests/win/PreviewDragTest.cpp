#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

namespace
{
class PreviewDrag : public testing::Test
{
protected:
    void SetUp() override
    {
        ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
        m_session.emplace();
        m_hWndDialog = m_session->Dialog();
        ASSERT_NE(m_hWndDialog, nullptr);
        m_preview = m_session->PreviewArea();
    }

    IntRect Label() { return m_session->ChildRect(206); }
    void Press(WPARAM keys, IntPoint pt) { m_session->Mouse(WM_LBUTTONDOWN, keys, pt.x, pt.y); }
    void Move(IntPoint pt) { m_session->Mouse(WM_MOUSEMOVE, MK_LBUTTON, pt.x, pt.y); }
    void Release(IntPoint pt) { m_session->Mouse(WM_LBUTTONUP, 0, pt.x, pt.y); }

    std::optional<DialogSession> m_session;
    HWND m_hWndDialog = nullptr;
    IntRect m_preview = {};
};
} // namespace

TEST_F(PreviewDrag, LabelStartsWhereTheLoadedPositionPutsIt)
{
    // The label of the template, before it was placed, in client pixels.
    RECT rcTemplate = {15, 62, 53, 71};
    ::MapDialogRect(m_hWndDialog, &rcTemplate);
    const IntRect unplaced = {rcTemplate.left, rcTemplate.top, rcTemplate.right, rcTemplate.bottom};
    const std::optional<IntRect> expected = PlaceSampleLabel(m_preview, unplaced, 0x00030003u);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(Label(), *expected);
    EXPECT_GT(Label().left, m_preview.left);
    m_session->Click(IDCANCEL);
    EXPECT_EQ(m_session->Result(), S_FALSE);
}

TEST_F(PreviewDrag, DraggingToTheTopLeftCornerStoresZero)
{
    const IntPoint grab = Label().Centre();
    Press(MK_LBUTTON, grab);
    EXPECT_EQ(m_session->Capture(), m_hWndDialog);
    Move(IntPoint{m_preview.left, m_preview.top});
    Release(IntPoint{m_preview.left, m_preview.top});
    EXPECT_EQ(m_session->Capture(), nullptr);
    const IntRect label = Label();
    EXPECT_EQ(label.left, m_preview.left);
    EXPECT_EQ(label.top, m_preview.top);
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x00000000u);
}

TEST_F(PreviewDrag, DraggingToTheBottomRightCornerStoresHundred)
{
    const IntPoint grab = Label().Centre();
    Press(MK_LBUTTON, grab);
    const IntPoint corner = {m_preview.right - 1, m_preview.bottom - 1};
    Move(corner);
    Release(corner);
    const IntRect label = Label();
    EXPECT_EQ(label.right, m_preview.right);
    EXPECT_EQ(label.bottom, m_preview.bottom);
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x00640064u);
}

TEST_F(PreviewDrag, PressWithAModifierOrOutsideTheLabelStartsNoDrag)
{
    const IntRect start = Label();
    const IntPoint centre = start.Centre();
    const IntPoint target = {m_preview.left + 150, m_preview.top + 80};
    const IntPoint outside = {start.right + 5, start.bottom + 5};
    struct Press
    {
        WPARAM keys;
        IntPoint pt;
    } presses[] = {
        {MK_LBUTTON | MK_SHIFT, centre},
        {MK_LBUTTON | MK_CONTROL, centre},
        {MK_LBUTTON | MK_RBUTTON, centre},
        {MK_LBUTTON, outside},
        {MK_LBUTTON, IntPoint{start.right, centre.y}},
    };
    for (const auto& press : presses)
    {
        Press(press.keys, press.pt);
        EXPECT_EQ(m_session->Capture(), nullptr);
        Move(target);
        EXPECT_EQ(Label(), start);
        Release(target);
    }
    // A move with the button held but no press on the label does nothing either.
    Move(target);
    EXPECT_EQ(Label(), start);
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_FALSE);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x00030003u);
}

TEST_F(PreviewDrag, PointerLeavingThePreviewLeavesTheLabelWhereItWas)
{
    const IntPoint grab = Label().Centre();
    Press(MK_LBUTTON, grab);
    const IntPoint inside = {m_preview.left + 120, m_preview.top + 60};
    Move(inside);
    const IntRect placed = Label();
    EXPECT_EQ(placed.Centre(), inside);

    for (const IntPoint& out : {IntPoint{m_preview.right + 10, inside.y}, IntPoint{inside.x, m_preview.bottom},
                                IntPoint{-20, inside.y}, IntPoint{inside.x, -3}})
    {
        Move(out);
        EXPECT_EQ(Label(), placed) << out.x << "," << out.y;
    }
    // Back inside, the label follows again; a move without the left button alone does not.
    const IntPoint back = {m_preview.left + 60, m_preview.top + 40};
    m_session->Mouse(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, back.x, back.y);
    EXPECT_EQ(Label(), placed);
    Move(back);
    EXPECT_EQ(Label().Centre(), back);
    Release(back);

    // After the release moves leave it alone.
    const IntRect released = Label();
    Move(inside);
    EXPECT_EQ(Label(), released);
    m_session->Click(IDCANCEL);
    EXPECT_EQ(m_session->Result(), S_FALSE);
}

TEST_F(PreviewDrag, LostCaptureStopsTheDragUntilTheNextPressOnTheLabel)
{
    const IntRect start = Label();
    Press(MK_LBUTTON, start.Centre());
    // What the system sends when something else takes the pointer.
    ::SendMessageW(m_hWndDialog, WM_CANCELMODE, 0, 0);
    ASSERT_EQ(m_session->Capture(), nullptr);
    const IntPoint to = {m_preview.left + 100, m_preview.top + 70};
    Move(to);
    EXPECT_EQ(Label(), start);

    Press(MK_LBUTTON, start.Centre());
    Move(to);
    EXPECT_EQ(Label().Centre(), to);
    Release(to);
    EXPECT_EQ(m_session->Capture(), nullptr);
    m_session->Click(IDCANCEL);
    EXPECT_EQ(m_session->Result(), S_FALSE);
}

TEST_F(PreviewDrag, GrabbedSpotStaysUnderThePointer)
{
    const IntRect start = Label();
    const IntPoint grab = {start.left + 2, start.bottom - 2};
    Press(MK_LBUTTON, grab);
    for (const IntPoint& to : {IntPoint{m_preview.left + 100, m_preview.top + 70},
                               IntPoint{m_preview.left + 37, m_preview.top + 101}})
    {
        Move(to);
        const IntRect label = Label();
        EXPECT_EQ(label.left + 2, to.x);
        EXPECT_EQ(label.bottom - 2, to.y);
        EXPECT_EQ(label.right - label.left, start.right - start.left);
        EXPECT_EQ(label.bottom - label.top, start.bottom - start.top);
    }
    Release(grab);
    m_session->Click(IDCANCEL);
    EXPECT_EQ(m_session->Result(), S_FALSE);
}

TEST_F(PreviewDrag, OkReadsThePositionOfAMovedLabel)
{
    const IntPoint grab = Label().Centre();
    Press(MK_LBUTTON, grab);
    const IntPoint to = {grab.x + 30, grab.y + 20};
    Move(to);
    Release(to);
    const std::optional<uint32_t> expected = PositionFromLabel(m_preview, Label());
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(m_session->Text(207), PositionText(*expected)) << "the text follows the drag";
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, *expected);
    EXPECT_NE(*expected, 0x00030003u);
}

TEST_F(PreviewDrag, LabelDraggedBackToItsPlaceKeepsThePosition)
{
    const IntRect start = Label();
    const IntPoint grab = start.Centre();
    Press(MK_LBUTTON, grab);
    Move(IntPoint{grab.x + 50, grab.y + 50});
    EXPECT_NE(Label(), start);
    Move(grab);
    Release(grab);
    EXPECT_EQ(Label(), start);
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_FALSE);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x00030003u);
}

#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

// The same program runs in a prefix of its own for each display scaling
// (LogPixels 96, 144, 192); FERROWIND_TEST_DPI names the one its prefix sets.
namespace
{
class DialogDpi : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* pszDpi = std::getenv("FERROWIND_TEST_DPI");
        ASSERT_NE(pszDpi, nullptr) << "run by the dialog_dpi_* tests";
        ReplaceSettings(g_currentSettings, WithHeight(-64));
        m_session.emplace();
        ASSERT_NE(m_session->Dialog(), nullptr);
        ASSERT_EQ(::GetDpiForWindow(m_session->Dialog()), static_cast<UINT>(std::atoi(pszDpi)));
    }

    static SMPTEDrawSettings WithHeight(LONG lfHeight)
    {
        SMPTEDrawSettings s;
        s.lfFont.lfHeight = lfHeight;
        return s;
    }

    std::optional<DialogSession> m_session;
};
} // namespace

TEST_F(DialogDpi, StoredFramePixelsAndTheChoosersPointsMeanTheSameAtEveryScaling)
{
    const struct
    {
        LONG lfHeight;
        const wchar_t* pszPoints;
    } kSizes[] = {{-64, L"48"}, {-16, L"12"}, {-96, L"72"}};
    for (const auto& size : kSizes)
    {
        SCOPED_TRACE(size.lfHeight);
        m_session.reset();
        ReplaceSettings(g_currentSettings, WithHeight(size.lfHeight));
        m_session.emplace();
        HWND hWndChooser = m_session->OpenFontChooser();
        ASSERT_NE(hWndChooser, nullptr);
        wchar_t szShown[16] = {};
        ::GetDlgItemTextW(hWndChooser, cmb3, szShown, 16);
        EXPECT_STREQ(szShown, size.pszPoints) << "a stored size opens the chooser at its points";

        // Picked there from another size, it comes back as the same pixels.
        ASSERT_TRUE(ChooseComboText(hWndChooser, cmb3, L"8"));
        ASSERT_TRUE(ChooseComboText(hWndChooser, cmb3, size.pszPoints));
        ASSERT_TRUE(CloseOwnedDialog(hWndChooser, IDOK));
        EXPECT_EQ(m_session->Text(202), std::wstring(L"Arial, ") + size.pszPoints + L" pt, regular, white");
        m_session->Click(IDOK);
        m_session->Result();
        EXPECT_EQ(CurrentSettings().lfFont.lfHeight, size.lfHeight);
    }
}

TEST_F(DialogDpi, EveryControlFitsAndTheLabelSitsWhereThePositionPutsIt)
{
    RECT rcClient = {};
    ::GetClientRect(m_session->Dialog(), &rcClient);
    for (HWND hWnd = ::GetWindow(m_session->Dialog(), GW_CHILD); hWnd != nullptr; hWnd = ::GetWindow(hWnd, GW_HWNDNEXT))
    {
        const IntRect rc = ChildRectIn(m_session->Dialog(), hWnd);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= rcClient.right && rc.bottom <= rcClient.bottom)
            << ::GetDlgCtrlID(hWnd);
    }
    const IntRect label = m_session->ChildRect(206);
    const IntRect size = {0, 0, label.right - label.left, label.bottom - label.top};
    EXPECT_EQ(std::optional<IntRect>(label), PlaceSampleLabel(m_session->PreviewArea(), size, 0x00030003u));
}

TEST_F(DialogDpi, DpiChangeMeasuresThePreviewAgainAndKeepsThePosition)
{
    m_session->Keys(VK_MENU, 'P');
    m_session->Keys(0, VK_RIGHT, 7);
    ASSERT_TRUE(WaitUntil([&] { return m_session->Text(207) == PositionText(0x0003000Au); }));

    // What a move to a display of another scaling does to the preview frame.
    const IntRect frame = m_session->ChildRect(205);
    ::MoveWindow(m_session->Item(205), frame.left, frame.top, frame.Width() + 60, frame.Height() + 30, TRUE);
    RECT rcWindow = {};
    ::GetWindowRect(m_session->Dialog(), &rcWindow);
    ::SendMessageW(m_session->Dialog(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rcWindow));

    const IntRect label = m_session->ChildRect(206);
    const std::optional<IntRect> expected = PlaceSampleLabel(m_session->PreviewArea(), label, 0x0003000Au);
    EXPECT_TRUE(WaitUntil([&] { return std::optional<IntRect>(m_session->ChildRect(206)) == expected; }));
    EXPECT_EQ(m_session->Text(207), PositionText(0x0003000Au));
    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x0003000Au);
}

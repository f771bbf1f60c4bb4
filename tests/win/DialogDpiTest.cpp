#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

// One program, run in a prefix of its own for each display scaling (LogPixels
// 96, 144, 192); FERROWIND_TEST_DPI names the one its prefix sets.
namespace
{
SMPTEDrawSettings WithHeight(LONG lfHeight)
{
    SMPTEDrawSettings s;
    s.lfFont.lfHeight = lfHeight;
    return s;
}

void OpenAt(std::optional<DialogSession>& session, const SMPTEDrawSettings& settings)
{
    const char* pszDpi = std::getenv("FERROWIND_TEST_DPI");
    ASSERT_NE(pszDpi, nullptr) << "run by the dialog_dpi_* tests";
    ReplaceSettings(g_currentSettings, settings);
    session.emplace();
    ASSERT_NE(session->Dialog(), nullptr);
    ASSERT_EQ(::GetDpiForWindow(session->Dialog()), static_cast<UINT>(std::atoi(pszDpi)));
}
} // namespace

TEST(DialogDpi, StoredPixelsOpenTheChooserAtTheirPointsAndPickedPointsComeBackAsThem)
{
    const struct
    {
        LONG lfHeight;
        const wchar_t* pszPoints;
    } kSizes[] = {{-64, L"48"}, {-16, L"12"}};
    for (const auto& size : kSizes)
    {
        SCOPED_TRACE(size.lfHeight);
        std::optional<DialogSession> session;
        ASSERT_NO_FATAL_FAILURE(OpenAt(session, WithHeight(size.lfHeight)));
        session->ClickLater(201);
        HWND hWndChooser = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (hWndChooser = session->OwnedDialog()) != nullptr; }));
        EXPECT_EQ(WindowText(::GetDlgItem(hWndChooser, cmb3)), size.pszPoints);

        HWND hWndSizes = ::GetDlgItem(hWndChooser, cmb3);
        ::SendMessageW(hWndSizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(size.pszPoints));
        ::SendMessageW(hWndChooser, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hWndSizes));
        ::PostMessageW(::GetDlgItem(hWndChooser, IDOK), BM_CLICK, 0, 0);
        const std::wstring strText = L"Arial, " + std::wstring(size.pszPoints) + L" pt, regular, white";
        EXPECT_TRUE(WaitUntil([&] { return session->Text(202) == strText; }));
        session->Click(IDOK);
        session->Result();
        EXPECT_EQ(CurrentSettings().lfFont.lfHeight, size.lfHeight);
    }
}

TEST(DialogDpi, DpiChangeMeasuresThePreviewAgainAndKeepsThePosition)
{
    std::optional<DialogSession> session;
    ASSERT_NO_FATAL_FAILURE(OpenAt(session, SMPTEDrawSettings()));
    session->Keys(VK_MENU, 'P');
    session->Keys(0, VK_RIGHT, 7);

    // What a move to a display of another scaling does to the preview frame.
    const IntRect frame = session->ChildRect(205);
    ::MoveWindow(session->Item(205), frame.left, frame.top, frame.right - frame.left + 60,
                 frame.bottom - frame.top + 30, TRUE);
    RECT rcWindow = {};
    ::GetWindowRect(session->Dialog(), &rcWindow);
    ::SendMessageW(session->Dialog(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rcWindow));
    const std::optional<IntRect> expected =
        PlaceSampleLabel(session->PreviewArea(), session->ChildRect(206), 0x0003000Au);
    EXPECT_TRUE(WaitUntil([&] { return std::optional<IntRect>(session->ChildRect(206)) == expected; }));
    EXPECT_EQ(session->Text(207), PositionText(0x0003000Au));
    session->Click(IDOK);
    EXPECT_EQ(session->Result(), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, 0x0003000Au);
}

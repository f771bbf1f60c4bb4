#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

namespace
{
constexpr wchar_t kOtherFace[] = L"Liberation Serif";
constexpr COLORREF kRed = RGB(0xFF, 0, 0);

// Stored sizes are frame pixels, 96 to the inch, at any display DPI.
int PixelsForPoints(int points)
{
    return ::MulDiv(points, 96, 72);
}

class FontChooser : public testing::Test
{
protected:
    void SetUp() override
    {
        ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
        m_session.emplace();
        ASSERT_NE(m_session->Dialog(), nullptr);
    }

    // The Font button, pressed as a user presses it; the chooser runs modally
    // on the dialog's thread and is found as the window the dialog owns.
    HWND OpenChooser()
    {
        m_session->ClickLater(201);
        HWND hWndChooser = nullptr;
        WaitUntil([&] { return (hWndChooser = m_session->OwnedDialog()) != nullptr; });
        return hWndChooser;
    }

    static void Choose(HWND hWndChooser, int idCombo, LRESULT index)
    {
        HWND hWndCombo = ::GetDlgItem(hWndChooser, idCombo);
        ::SendMessageW(hWndCombo, CB_SETCURSEL, index, 0);
        ::SendMessageW(hWndChooser, WM_COMMAND, MAKEWPARAM(idCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hWndCombo));
    }

    static bool ChooseText(HWND hWndChooser, int idCombo, const wchar_t* pszText)
    {
        const LRESULT index = ::SendDlgItemMessageW(hWndChooser, idCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(pszText));
        if (index == CB_ERR)
            return false;
        Choose(hWndChooser, idCombo, index);
        return true;
    }

    static bool ChooseColour(HWND hWndChooser, COLORREF cr)
    {
        const LRESULT count = ::SendDlgItemMessageW(hWndChooser, cmb4, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
        {
            if (static_cast<COLORREF>(::SendDlgItemMessageW(hWndChooser, cmb4, CB_GETITEMDATA, i, 0)) == cr)
            {
                Choose(hWndChooser, cmb4, i);
                return true;
            }
        }
        return false;
    }

    static COLORREF ShownColour(HWND hWndChooser)
    {
        const LRESULT index = ::SendDlgItemMessageW(hWndChooser, cmb4, CB_GETCURSEL, 0, 0);
        return static_cast<COLORREF>(::SendDlgItemMessageW(hWndChooser, cmb4, CB_GETITEMDATA, index, 0));
    }

    static std::wstring ShownFace(HWND hWndChooser)
    {
        HWND hWndCombo = ::GetDlgItem(hWndChooser, cmb1);
        const LRESULT index = ::SendMessageW(hWndCombo, CB_GETCURSEL, 0, 0);
        wchar_t sz[LF_FACESIZE + 1] = {};
        if (index != CB_ERR && ::SendMessageW(hWndCombo, CB_GETLBTEXTLEN, index, 0) <= LF_FACESIZE)
            ::SendMessageW(hWndCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(sz));
        return sz;
    }

    bool CloseChooser(HWND hWndChooser, int idButton)
    {
        ::PostMessageW(::GetDlgItem(hWndChooser, idButton), BM_CLICK, 0, 0);
        return WaitUntil([&] { return !::IsWindow(hWndChooser); });
    }

    // The chooser opened on the loaded white, the other face at 12 points in
    // red picked, and closed with idButton.
    void PickOtherFaceAt12InRed(int idButton)
    {
        HWND hWndChooser = OpenChooser();
        ASSERT_NE(hWndChooser, nullptr);
        EXPECT_EQ(ShownColour(hWndChooser), RGB(0xFF, 0xFF, 0xFF)) << "starts from the loaded white";
        ASSERT_TRUE(ChooseText(hWndChooser, cmb1, kOtherFace));
        ASSERT_TRUE(ChooseText(hWndChooser, cmb3, L"12"));
        ASSERT_TRUE(ChooseColour(hWndChooser, kRed));
        ASSERT_TRUE(CloseChooser(hWndChooser, idButton));
    }

    std::optional<DialogSession> m_session;
};
} // namespace

TEST_F(FontChooser, ChangesTheFaceShownAndOkStoresTheFontAndColour)
{
    ASSERT_NO_FATAL_FAILURE(PickOtherFaceAt12InRed(IDOK));
    const std::wstring strText = std::wstring(kOtherFace) + L", 12 pt, regular, red";
    EXPECT_TRUE(WaitUntil([&] { return m_session->Text(202) == strText; })) << "label: " << m_session->Text(202).c_str();
    EXPECT_TRUE(SameBytes(CurrentSettings(), SMPTEDrawSettings())) << "stored only at OK";

    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    const SMPTEDrawSettings after = CurrentSettings();
    EXPECT_EQ(FaceOf(after.lfFont), kOtherFace);
    EXPECT_EQ(after.lfFont.lfHeight, -PixelsForPoints(12));
    EXPECT_EQ(after.argbColor, 0xFFFF0000u) << "red, opacity kept";
    EXPECT_EQ(after.dwPosition, 0x00030003u);
}

TEST_F(FontChooser, ReopensWithTheColourChosenBefore)
{
    ASSERT_NO_FATAL_FAILURE(PickOtherFaceAt12InRed(IDOK));
    ASSERT_TRUE(WaitUntil([&] { return m_session->Text(202).starts_with(kOtherFace); }));

    // Opened again only to change the size: the red must survive.
    HWND hWndChooser = OpenChooser();
    ASSERT_NE(hWndChooser, nullptr);
    EXPECT_EQ(ShownColour(hWndChooser), kRed);
    EXPECT_EQ(ShownFace(hWndChooser), kOtherFace);
    ASSERT_TRUE(ChooseText(hWndChooser, cmb3, L"20"));
    ASSERT_TRUE(CloseChooser(hWndChooser, IDOK));

    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_OK);
    const SMPTEDrawSettings after = CurrentSettings();
    EXPECT_EQ(after.argbColor, 0xFFFF0000u);
    EXPECT_EQ(FaceOf(after.lfFont), kOtherFace);
    EXPECT_EQ(after.lfFont.lfHeight, -PixelsForPoints(20));
}

TEST_F(FontChooser, CancelledChooserChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(PickOtherFaceAt12InRed(IDCANCEL));
    EXPECT_EQ(m_session->Text(202), L"Arial, 48 pt, regular, white");

    m_session->Click(IDOK);
    EXPECT_EQ(m_session->Result(), S_FALSE);
    EXPECT_TRUE(SameBytes(CurrentSettings(), SMPTEDrawSettings()));
}

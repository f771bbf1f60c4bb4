#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

namespace
{
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;

// One control of an extended dialog template.
struct TemplateItem
{
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring className; // "#128" for an atom
    std::wstring text;
    WORD extraBytes;
};

struct TemplateHeader
{
    WORD dlgVer;
    WORD signature;
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    WORD items;
    short x, y, cx, cy;
    std::wstring menu, windowClass, title;
    WORD pointSize, weight;
    BYTE italic, charSet;
    std::wstring face;
    std::vector<TemplateItem> controls;
};

// Reads the fields of a DLGTEMPLATEEX in their order, as the dialog manager
// does.
class TemplateReader
{
public:
    TemplateReader(const BYTE* p, size_t cb) : m_p(p), m_cb(cb) {}

    template <class T>
    T Read()
    {
        T value{};
        if (m_offset + sizeof(T) <= m_cb)
            std::memcpy(&value, m_p + m_offset, sizeof(T));
        m_offset += sizeof(T);
        return value;
    }
    std::wstring ReadStringOrOrdinal()
    {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Read<WORD>());
        std::wstring s;
        for (WORD unit = first; unit != 0 && m_offset <= m_cb; unit = Read<WORD>())
            s.push_back(static_cast<wchar_t>(unit));
        return s;
    }
    void AlignToDword() { m_offset = (m_offset + 3) & ~size_t(3); }
    size_t Offset() const { return m_offset; }

private:
    const BYTE* m_p;
    size_t m_cb;
    size_t m_offset = 0;
};

bool ParseTemplate(TemplateHeader& h)
{
    HRSRC hResource = ::FindResourceExW(nullptr, RT_DIALOG, MAKEINTRESOURCEW(201),
                                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (hResource == nullptr)
        return false;
    const DWORD cb = ::SizeofResource(nullptr, hResource);
    HGLOBAL hData = ::LoadResource(nullptr, hResource);
    const auto* p = static_cast<const BYTE*>(::LockResource(hData));
    if (p == nullptr)
        return false;
    TemplateReader r(p, cb);
    h.dlgVer = r.Read<WORD>();
    h.signature = r.Read<WORD>();
    h.helpId = r.Read<DWORD>();
    h.exStyle = r.Read<DWORD>();
    h.style = r.Read<DWORD>();
    h.items = r.Read<WORD>();
    h.x = r.Read<short>();
    h.y = r.Read<short>();
    h.cx = r.Read<short>();
    h.cy = r.Read<short>();
    h.menu = r.ReadStringOrOrdinal();
    h.windowClass = r.ReadStringOrOrdinal();
    h.title = r.ReadStringOrOrdinal();
    h.pointSize = r.Read<WORD>();
    h.weight = r.Read<WORD>();
    h.italic = r.Read<BYTE>();
    h.charSet = r.Read<BYTE>();
    h.face = r.ReadStringOrOrdinal();
    for (WORD i = 0; i < h.items; ++i)
    {
        r.AlignToDword();
        TemplateItem item;
        item.helpId = r.Read<DWORD>();
        item.exStyle = r.Read<DWORD>();
        item.style = r.Read<DWORD>();
        item.x = r.Read<short>();
        item.y = r.Read<short>();
        item.cx = r.Read<short>();
        item.cy = r.Read<short>();
        item.id = r.Read<int>();
        item.className = r.ReadStringOrOrdinal();
        item.text = r.ReadStringOrOrdinal();
        item.extraBytes = r.Read<WORD>();
        h.controls.push_back(item);
    }
    return r.Offset() <= cb;
}

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The resource compiler may store the predefined classes as atoms or by
// name, and window classes are matched without regard to case.
bool ClassMatches(const std::wstring& stored, WORD atom, const wchar_t* name)
{
    if (atom != 0 && stored == L"#" + std::to_wstring(atom))
        return true;
    return Lower(stored) == Lower(name);
}

struct ExpectedControl
{
    int id;
    WORD atom;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const ExpectedControl kControls[] = {
    {-1, kButtonAtom, L"button", L"Display Settings", kChild | BS_GROUPBOX | WS_GROUP, 0, 7, 7, 226, 218},
    {201, kButtonAtom, L"button", L"&Font", kChild | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 12, 19, 50, 14},
    {202, kStaticAtom, L"static", L"Arial, 48 pt, regular, white", kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP, 0, 71,
     19, 157, 16},
    {-1, kStaticAtom, L"static", L"&Opacity:", kChild | SS_LEFT | WS_GROUP, 0, 12, 41, 48, 8},
    {203, 0, L"msctls_trackbar32", L"", kChild | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP, 0,
     71, 38, 132, 18},
    {204, kStaticAtom, L"static", L"100", kChild | SS_LEFT | WS_GROUP, 0, 209, 40, 13, 8},
    {205, kStaticAtom, L"static", L"Video frame preview", kChild | SS_ETCHEDFRAME, WS_EX_CLIENTEDGE, 12, 61, 216, 137},
    {-1, kStaticAtom, L"static",
     L"Drag the time to its place in the video,\nor press Alt+P and use the arrow keys\n(Shift: ten steps)",
     kChild | SS_CENTER | WS_GROUP, 0, 36, 112, 168, 26},
    {207, kStaticAtom, L"static", L"&Position: 3 % across, 3 % down", kChild | SS_LEFT | WS_GROUP, 0, 12, 205, 216, 8},
    {206, kStaticAtom, L"static", L"01:52:24.4", kChild | SS_CENTER | SS_CENTERIMAGE | WS_GROUP | WS_TABSTOP,
     WS_EX_TRANSPARENT, 15, 64, 38, 9},
    {IDOK, kButtonAtom, L"button", L"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 75, 229, 50, 14},
    {IDCANCEL, kButtonAtom, L"button", L"Cancel", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 129, 229, 50, 14},
    {kIdHelpButton, kButtonAtom, L"button", L"&Help", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 183, 229, 50, 14},
};
} // namespace

TEST(SetupDialogTemplate, IsAnExtendedUsEnglishTemplateWithTheShellFont)
{
    TemplateHeader h;
    ASSERT_TRUE(ParseTemplate(h));
    EXPECT_EQ(h.dlgVer, 1);
    EXPECT_EQ(h.signature, 0xFFFF);
    EXPECT_EQ(h.helpId, 0u);
    EXPECT_EQ(h.exStyle, 0u);
    EXPECT_EQ(h.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(h.items, 13);
    EXPECT_EQ(h.x, 0);
    EXPECT_EQ(h.y, 0);
    EXPECT_EQ(h.cx, 240);
    EXPECT_EQ(h.cy, 250);
    EXPECT_EQ(h.menu, L"");
    EXPECT_EQ(h.windowClass, L"");
    EXPECT_EQ(h.title, kDialogCaption);
    EXPECT_EQ(h.pointSize, 8);
    EXPECT_EQ(h.weight, 400);
    EXPECT_EQ(h.italic, 0);
    EXPECT_EQ(h.charSet, 1);
    EXPECT_EQ(h.face, L"MS Shell Dlg");
}

TEST(SetupDialogTemplate, ControlsFollowTheTableInTabOrder)
{
    TemplateHeader h;
    ASSERT_TRUE(ParseTemplate(h));
    ASSERT_EQ(h.controls.size(), std::size(kControls));
    for (size_t i = 0; i < std::size(kControls); ++i)
    {
        const ExpectedControl& e = kControls[i];
        const TemplateItem& c = h.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << e.id);
        EXPECT_EQ(c.id, e.id);
        EXPECT_TRUE(ClassMatches(c.className, e.atom, e.className));
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.exStyle, e.exStyle);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ(c.helpId, 0u);
        EXPECT_EQ(c.extraBytes, 0) << "no control-initialisation data";
    }
}

TEST(SetupDialogTemplate, RunningDialogHasTheControlsWithTheirIdsClassesAndTexts)
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    DialogSession session;
    HWND hWndDialog = session.Dialog();
    ASSERT_NE(hWndDialog, nullptr);
    EXPECT_EQ(WindowText(hWndDialog), kDialogCaption);
    const LONG_PTR dialogStyle = ::GetWindowLongPtrW(hWndDialog, GWL_STYLE);
    EXPECT_EQ(dialogStyle & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(::GetWindowLongPtrW(hWndDialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME);

    size_t i = 0;
    for (HWND hWnd = ::GetWindow(hWndDialog, GW_CHILD); hWnd != nullptr; hWnd = ::GetWindow(hWnd, GW_HWNDNEXT), ++i)
    {
        ASSERT_LT(i, std::size(kControls));
        const ExpectedControl& e = kControls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << e.id);
        EXPECT_EQ(::GetDlgCtrlID(hWnd), e.id);
        EXPECT_EQ(Lower(ClassOf(hWnd)), e.className);
        EXPECT_EQ(WindowText(hWnd), e.text);
        const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_STYLE));
        // The window bits as the template gives them; a push button's
        // default look moves with the focus, so its low bits are left out.
        EXPECT_EQ(style & 0xFFFF0000u, e.style & 0xFFFF0000u);
        if (e.atom == kStaticAtom || e.atom == 0)
        {
            EXPECT_EQ(style & 0xFFFFu, e.style & 0xFFFFu);
        }
        EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_TRANSPARENT), LONG_PTR(e.exStyle));
        // Position and size in dialog units, each converted on its own as
        // the dialog manager does.
        RECT rcOrigin = {e.x, e.y, e.x, e.y};
        RECT rcSize = {0, 0, e.cx, e.cy};
        ::MapDialogRect(hWndDialog, &rcOrigin);
        ::MapDialogRect(hWndDialog, &rcSize);
        const IntRect rc = ChildRectIn(hWndDialog, hWnd);
        if (e.id != 206) // the sample label has been placed for the position
        {
            EXPECT_EQ(rc.left, rcOrigin.left);
            EXPECT_EQ(rc.top, rcOrigin.top);
        }
        EXPECT_EQ(rc.right - rc.left, rcSize.right);
        EXPECT_EQ(rc.bottom - rc.top, rcSize.bottom);
    }
    EXPECT_EQ(i, std::size(kControls));

    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetGUIThreadInfo(session.ThreadId(), &info));
    EXPECT_EQ(info.hwndFocus, session.Item(201)) << "the first tab stop, the Font button, has the focus";
    session.Click(IDCANCEL);
    EXPECT_EQ(session.Result(), S_FALSE);
}

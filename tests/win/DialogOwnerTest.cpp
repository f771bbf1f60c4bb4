#include <windows.h>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "settings/CurrentSettings.h"

namespace
{
// Junk in the high half of a 64-bit value that must not reach the handle.
constexpr ULONGLONG kHighJunk = 0xDEADBEEF00000000ull;

struct OwnerCase
{
    const char* name;
    bool bOwned;
    void (*fill)(HWND owner, VARIANT& var);
};

LONG g_byRefValue = 0;

const OwnerCase kOwnerCases[] = {
    {"VT_EMPTY", false, [](HWND, VARIANT& var) { V_VT(&var) = VT_EMPTY; }},
    {"VT_BSTR", false,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_BSTR;
         V_BSTR(&var) = ::SysAllocString(std::to_wstring(reinterpret_cast<uintptr_t>(owner)).c_str());
     }},
    {"VT_I4 by reference", false,
     [](HWND owner, VARIANT& var) {
         g_byRefValue = static_cast<LONG>(reinterpret_cast<uintptr_t>(owner));
         V_VT(&var) = VT_I4 | VT_BYREF;
         V_I4REF(&var) = &g_byRefValue;
     }},
    {"VT_I2", false,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_I2;
         V_I2(&var) = static_cast<SHORT>(reinterpret_cast<uintptr_t>(owner));
     }},
    {"VT_INT", false,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_INT;
         V_INT(&var) = static_cast<INT>(reinterpret_cast<uintptr_t>(owner));
     }},
    {"VT_I4", true,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_I4;
         V_I4(&var) = static_cast<LONG>(reinterpret_cast<uintptr_t>(owner));
     }},
    {"VT_UI4", true,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_UI4;
         V_UI4(&var) = static_cast<ULONG>(reinterpret_cast<uintptr_t>(owner));
     }},
    {"VT_I8", true,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_I8;
         V_I8(&var) = static_cast<LONGLONG>(kHighJunk | reinterpret_cast<uintptr_t>(owner));
     }},
    {"VT_UI8", true,
     [](HWND owner, VARIANT& var) {
         V_VT(&var) = VT_UI8;
         V_UI8(&var) = kHighJunk | reinterpret_cast<uintptr_t>(owner);
     }},
};

class SetupDialogOwner : public testing::TestWithParam<OwnerCase>
{
protected:
    void SetUp() override { ReplaceSettings(g_currentSettings, SMPTEDrawSettings()); }
};
} // namespace

TEST_P(SetupDialogOwner, OnlyIntegerTypesCarryTheOwner)
{
    DialogSession session(GetParam().fill);
    HWND hWndDialog = session.Dialog();
    ASSERT_NE(hWndDialog, nullptr);
    HWND hWndOwner = session.OwnerWindow();
    ASSERT_NE(hWndOwner, nullptr);
    if (GetParam().bOwned)
    {
        EXPECT_EQ(::GetWindow(hWndDialog, GW_OWNER), hWndOwner);
        EXPECT_FALSE(::IsWindowEnabled(hWndOwner)) << "the owner is disabled while the dialog runs";
    }
    else
    {
        EXPECT_EQ(::GetWindow(hWndDialog, GW_OWNER), nullptr);
        EXPECT_TRUE(::IsWindowEnabled(hWndOwner));
    }
    session.Click(IDCANCEL);
    EXPECT_EQ(session.Result(), S_FALSE);
}

INSTANTIATE_TEST_SUITE_P(Types, SetupDialogOwner, testing::ValuesIn(kOwnerCases),
                         [](const testing::TestParamInfo<OwnerCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != 0; ++p)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                             return name;
                         });

TEST(SetupDialogOwnerless, InvalidOwnerAnswersSFalseAndWritesNothing)
{
    SMPTEDrawSettings loaded;
    loaded.SetOpacity(77);
    ReplaceSettings(g_currentSettings, loaded);
    // A handle that names no window: the dialog cannot be created.
    DialogSession session([](HWND owner, VARIANT& var) {
        ::DestroyWindow(owner);
        V_VT(&var) = VT_UI4;
        V_UI4(&var) = static_cast<ULONG>(reinterpret_cast<uintptr_t>(owner));
    });
    EXPECT_EQ(session.Result(), S_FALSE);
    EXPECT_TRUE(session.Ended());
    SMPTEDrawSettings after;
    SnapshotSettings(g_currentSettings, after);
    EXPECT_TRUE(SameBytes(after, loaded));
}

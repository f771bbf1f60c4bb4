// The registrar against the real registry of the Wine prefix: the module's
// two stored scripts, read from this program's own REGISTRY resources, run
// through the Win32 executor. Each test removes the entries before and after
// itself.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "com/Registrar.h"
#include "com/Win32Handle.h"
#include "com/Win32Registry.h"
#include "resources/resource.h"

#include "RegistryRows.h"

namespace
{
constexpr char16_t kAppIdVariable[] = u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}";

std::wstring ModulePath()
{
    WCHAR szPath[MAX_PATH];
    EXPECT_EQ(GetModulePath(GetModuleHandleW(nullptr), szPath), S_OK);
    return szPath;
}

// The AppID script sees its own APPID ahead of the module's common one.
ReplacementList Variables(bool bAppIdScript)
{
    ReplacementList list;
    if (bAppIdScript)
        list.Add(u"APPID", kAppIdVariable);
    list.Add(u"APPID", kAppIdVariable);
    return list;
}

// Both scripts as the module runs them: the AppID script first when
// registering, the class script first when unregistering.
HRESULT RunBoth(bool bRegister, bool bPerUser, LPCWSTR pszModule = nullptr)
{
    for (const bool bAppId : {bRegister, !bRegister})
    {
        const UINT nId = bAppId ? IDR_FERROWIND : IDR_SMPTEFRAMEDRAW;
        const HRESULT hr =
            pszModule ? RunRegistryScriptAt(pszModule, nId, bRegister, bPerUser, Variables(bAppId))
                      : RunRegistryScript(GetModuleHandleW(nullptr), nId, bRegister, bPerUser, Variables(bAppId));
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT RegisterBoth(bool bPerUser, LPCWSTR pszModule = nullptr)
{
    return RunBoth(true, bPerUser, pszModule);
}

HRESULT UnregisterBoth(bool bPerUser)
{
    return RunBoth(false, bPerUser);
}

void RemoveOwnEntries()
{
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        RemoveOwnKeys(hRoot, L"Software\\Classes\\");
    }
}

class Registrar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RemoveOwnEntries();
        ASSERT_TRUE(OwnRows(HKEY_CLASSES_ROOT, L"").empty());
        ASSERT_TRUE(OwnRows(HKEY_CURRENT_USER, L"Software\\Classes\\").empty());
    }
    void TearDown() override { RemoveOwnEntries(); }
};
} // namespace

TEST_F(Registrar, BadModuleOrResourceWritesNothing)
{
    EXPECT_EQ(RunRegistryScript(reinterpret_cast<HMODULE>(0x7ABC0000), IDR_SMPTEFRAMEDRAW, true, false,
                                Variables(false)),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(RunRegistryScript(GetModuleHandleW(nullptr), 999, true, false, Variables(false)),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(RunRegistryScriptAt(nullptr, IDR_SMPTEFRAMEDRAW, true, false, Variables(false)), E_INVALIDARG);
    const std::wstring strMissing = L"C:\\does-not-exist\\Ferrowind.dll";
    const HRESULT hrMissing = RunRegistryScriptAt(strMissing.c_str(), IDR_SMPTEFRAMEDRAW, true, false,
                                                  Variables(false));
    EXPECT_TRUE(hrMissing == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) ||
                hrMissing == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ||
                hrMissing == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        << std::hex << hrMissing;

    // 259 units still count as a path; 260 do not.
    const std::wstring strLong259 = L"C:\\" + std::wstring(256, L'x');
    const std::wstring strLong260 = strLong259 + L"y";
    EXPECT_NE(RunRegistryScriptAt(strLong259.c_str(), IDR_SMPTEFRAMEDRAW, true, false, Variables(false)),
              static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(RunRegistryScriptAt(strLong260.c_str(), IDR_SMPTEFRAMEDRAW, true, false, Variables(false)),
              static_cast<HRESULT>(0x8007007A));

    // No room left for Module and Module_Raw.
    ReplacementList full;
    for (size_t i = 0; i < ReplacementList::kCapacity - 1; ++i)
        full.Add(u"APPID", kAppIdVariable);
    EXPECT_EQ(RunRegistryScript(GetModuleHandleW(nullptr), IDR_SMPTEFRAMEDRAW, true, false, full), E_INVALIDARG);

    EXPECT_TRUE(OwnRows(HKEY_CLASSES_ROOT, L"").empty());
}

TEST_F(Registrar, ScriptWithAnUndefinedVariableWritesNothing)
{
    // %MODULE% is always defined by the runner; a script that names an
    // undefined variable is refused before anything is written.
    EXPECT_EQ(RunRegistryScript(GetModuleHandleW(nullptr), IDR_FERROWIND, true, false, ReplacementList()),
              DISP_E_EXCEPTION);
    EXPECT_TRUE(OwnRows(HKEY_CLASSES_ROOT, L"").empty());
}

TEST_F(Registrar, RegisterWritesExactlyTheEntryTable)
{
    ASSERT_EQ(RegisterBoth(false), S_OK);
    const Rows rows = OwnRows(HKEY_CLASSES_ROOT, L"");
    EXPECT_EQ(rows, EntryRows(ModulePath())) << Narrow(rows);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER, L"Software\\Classes\\").empty());
    if (std::getenv("FERROWIND_REGISTRY_DUMP") != nullptr)
        std::printf("%s", Narrow(rows).c_str());
}

TEST_F(Registrar, RegisterTwiceRebuildsTheClassKeyButKeepsProgIdAdditions)
{
    ASSERT_EQ(RegisterBoth(false), S_OK);
    const std::wstring strClassKey = std::wstring(L"CLSID\\") + kClsidText;
    SetString(HKEY_CLASSES_ROOT, strClassKey, L"Extra", L"by hand");
    SetString(HKEY_CLASSES_ROOT, strClassKey + L"\\Foreign", L"", L"by hand");
    SetString(HKEY_CLASSES_ROOT, L"Ferrowind.SMPTE.1\\Foreign", L"Kept", L"yes");

    ASSERT_EQ(RegisterBoth(false), S_OK);
    EXPECT_EQ(OwnRows(HKEY_CLASSES_ROOT, L""),
              Sorted([] {
                  Rows rows = EntryRows(ModulePath());
                  rows.push_back(L"Ferrowind.SMPTE.1\\Foreign");
                  rows.push_back(L"Ferrowind.SMPTE.1\\Foreign [Kept]=\"yes\"");
                  return rows;
              }()));
}

TEST_F(Registrar, UnregisterLeavesAppIdAndClsid)
{
    ASSERT_EQ(RegisterBoth(false), S_OK);
    ASSERT_EQ(UnregisterBoth(false), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_CLASSES_ROOT, L"").empty());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    // Nothing left to find is no error.
    EXPECT_EQ(UnregisterBoth(false), S_OK);
}

TEST_F(Registrar, UnregisterKeepsAProgIdWithAForeignSubkey)
{
    ASSERT_EQ(RegisterBoth(false), S_OK);
    SetString(HKEY_CLASSES_ROOT, L"Ferrowind.SMPTE.1\\Foreign", L"", L"x");
    ASSERT_EQ(UnregisterBoth(false), S_OK);
    EXPECT_EQ(OwnRows(HKEY_CLASSES_ROOT, L""), Sorted({L"Ferrowind.SMPTE.1",
                                                      L"Ferrowind.SMPTE.1 @=\"SMPTEFrameDraw Class\"",
                                                      L"Ferrowind.SMPTE.1\\Foreign",
                                                      L"Ferrowind.SMPTE.1\\Foreign @=\"x\""}));
}

TEST_F(Registrar, PerUserRunsLandUnderCurrentUserClasses)
{
    ASSERT_EQ(RegisterBoth(true), S_OK);
    EXPECT_EQ(OwnRows(HKEY_CURRENT_USER, L"Software\\Classes\\"), EntryRows(ModulePath()));
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE, L"Software\\Classes\\").empty());
    ASSERT_EQ(UnregisterBoth(true), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER, L"Software\\Classes\\").empty());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID"));
}

TEST_F(Registrar, FailedRegistrationRemovesItsRootBlockAgain)
{
    // Subkeys of a volatile key must be volatile; the registrar creates
    // non-volatile ones, so the class script fails at Ferrowind.SMPTEFr\CLSID.
    {
        CRegKeyHandle hVolatile;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Ferrowind.SMPTEFr", 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_WRITE, nullptr, hVolatile.put(), nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(RunRegistryScript(GetModuleHandleW(nullptr), IDR_SMPTEFRAMEDRAW, true, false, Variables(false)),
              HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    // Ferrowind.SMPTE.1 was written and removed again, and so was the empty
    // volatile key it failed on.
    EXPECT_TRUE(OwnRows(HKEY_CLASSES_ROOT, L"").empty()) << Narrow(OwnRows(HKEY_CLASSES_ROOT, L""));
}

TEST_F(Registrar, ModulePathWithASingleQuoteIsWrittenUnchanged)
{
    WCHAR szTemp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring strDir = std::wstring(szTemp) + L"Ferrowind 'quoted' dir";
    const std::wstring strCopy = strDir + L"\\It's Ferrowind.dll";
    CreateDirectoryW(strDir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(ModulePath().c_str(), strCopy.c_str(), FALSE));

    const HRESULT hr = RegisterBoth(false, strCopy.c_str());
    const Rows rows = OwnRows(HKEY_CLASSES_ROOT, L"");
    DeleteFileW(strCopy.c_str());
    RemoveDirectoryW(strDir.c_str());
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(rows, EntryRows(strCopy)) << Narrow(rows);
}

TEST_F(Registrar, ExecutorDeletesOnlyKeysWithoutSubkeys)
{
    CWin32Registry registry;
    EXPECT_TRUE(registry.HasDeleteKeyEx());
    const RegKey root = registry.RootKey(RegRoot::ClassesRoot);
    RegKey parent = 0;
    ASSERT_EQ(registry.CreateKey(root, u"Ferrowind.SMPTE.1", &parent), kWin32Success);
    RegKey child = 0;
    ASSERT_EQ(registry.CreateKey(parent, u"CLSID", &child), kWin32Success);
    registry.CloseKey(child);
    uint32_t cSubkeys = 0;
    ASSERT_EQ(registry.CountSubkeys(parent, &cSubkeys), kWin32Success);
    EXPECT_EQ(cSubkeys, 1u);
    char16_t szName[kMaxKeyNameUnits + 1];
    uint32_t cchName = 3;
    EXPECT_EQ(registry.EnumSubkey(parent, 0, szName, &cchName), kWin32MoreData);
    cchName = kMaxKeyNameUnits + 1;
    ASSERT_EQ(registry.EnumSubkey(parent, 0, szName, &cchName), kWin32Success);
    EXPECT_EQ(std::u16string(szName, cchName), u"CLSID");
    EXPECT_EQ(registry.EnumSubkey(parent, 1, szName, &cchName), kWin32NoMoreItems);
    EXPECT_NE(registry.DeleteKey(root, u"Ferrowind.SMPTE.1"), kWin32Success);
    EXPECT_EQ(registry.DeleteKey(parent, u""), kWin32InvalidParameter);
    EXPECT_EQ(registry.DeleteKey(parent, u"CLSID"), kWin32Success);
    EXPECT_EQ(registry.DeleteKey(parent, u"CLSID"), kWin32FileNotFound);
    registry.CloseKey(parent);
    EXPECT_EQ(DeleteKeyTree(registry, root, u"Ferrowind.SMPTE.1"), kWin32Success);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Ferrowind.SMPTE.1"));
}

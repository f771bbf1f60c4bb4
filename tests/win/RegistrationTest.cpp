// Registration through the real Ferrowind.dll against the prefix's registry:
// the entry table and the type library, machine-wide and per user, through
// the exports and through regsvr32 as an installer runs it. Each test starts
// and ends with none of the module's entries present.

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ServerTestSupport.h"
#include "com/Win32Handle.h"

namespace
{
const GUID kLibId = {0x6E7FDFA9, 0x9415, 0x40DC, {0x98, 0xFB, 0x26, 0x4B, 0xF9, 0x8E, 0x96, 0x27}};
constexpr LCID kGerman = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);

Rows AppIdRows()
{
    const std::wstring appId = std::wstring(L"AppID\\") + kAppIdText;
    return Sorted({appId, appId + L" @=\"Ferrowind\"", L"AppID\\Ferrowind.DLL",
                   std::wstring(L"AppID\\Ferrowind.DLL [AppID]=\"") + kAppIdText + L"\""});
}

Rows WithRows(Rows rows, const Rows& extra)
{
    rows.insert(rows.end(), extra.begin(), extra.end());
    return Sorted(rows);
}

std::wstring RegisteredTypeLibPath()
{
    BSTR bstrPath = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(kLibId, 1, 0, 0, &bstrPath)))
        return std::wstring();
    std::wstring strPath(bstrPath, SysStringLen(bstrPath));
    SysFreeString(bstrPath);
    // Some versions of the service count the terminator in the length.
    while (!strPath.empty() && strPath.back() == L'\0')
        strPath.pop_back();
    return strPath;
}

// The type library is recorded in exactly one of the two roots. Wine 8
// registers it machine-wide even when asked to register it per user.
bool TypeLibRegisteredFor(const std::wstring& strModule)
{
    const Rows expected = ExpectedTypeLibRows(strModule);
    return (TypeLibRows(HKEY_LOCAL_MACHINE) == expected) != (TypeLibRows(HKEY_CURRENT_USER) == expected);
}

bool NoTypeLib()
{
    return TypeLibRows(HKEY_LOCAL_MACHINE).empty() && TypeLibRows(HKEY_CURRENT_USER).empty();
}

class Registration : public ::testing::Test
{
protected:
    CRegistryCleanup m_cleanup;
};
} // namespace

TEST_F(Registration, RegisterWritesTheEntryTableAndTheTypeLibrary)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllRegisterServer(), S_OK);

    const Rows rows = OwnRows(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rows, EntryRows(server.Path())) << Narrow(rows);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"CLSID"));
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());

    const Rows typeLib = TypeLibRows(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(typeLib, ExpectedTypeLibRows(server.Path())) << Narrow(typeLib);
    EXPECT_EQ(RegisteredTypeLibPath(), server.Path());

    if (std::getenv("FERROWIND_REGISTRY_DUMP") != nullptr)
        std::printf("%s%s", Narrow(rows).c_str(), Narrow(typeLib).c_str());
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, RegisterTwiceRebuildsTheClassKeyButKeepsProgIdAdditions)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    const std::wstring strClassKey = std::wstring(kClassesKey) + L"CLSID\\" + kClsidText;
    SetString(HKEY_LOCAL_MACHINE, strClassKey, L"Extra", L"by hand");
    SetString(HKEY_LOCAL_MACHINE, strClassKey + L"\\Foreign", L"", L"by hand");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"Ferrowind.SMPTE.1\\Foreign", L"Kept", L"yes");

    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    const Rows rows = OwnRows(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rows, WithRows(EntryRows(server.Path()),
                             {L"Ferrowind.SMPTE.1\\Foreign", L"Ferrowind.SMPTE.1\\Foreign [Kept]=\"yes\""}))
        << Narrow(rows);
    EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), ExpectedTypeLibRows(server.Path()));
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, UnregisterLeavesOnlyTheAppIdAndClsidKeys)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    ASSERT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(NoTypeLib());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"CLSID"));
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, UnregisterKeepsAProgIdWithAForeignSubkey)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"Ferrowind.SMPTE.1\\Foreign", L"", L"x");
    ASSERT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE),
              Sorted({L"Ferrowind.SMPTE.1", L"Ferrowind.SMPTE.1 @=\"SMPTEFrameDraw Class\"",
                      L"Ferrowind.SMPTE.1\\Foreign", L"Ferrowind.SMPTE.1\\Foreign @=\"x\""}));
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, UnregisterFinishesPastAnUnregisteredTypeLibrary)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    ASSERT_EQ(UnRegisterTypeLib(kLibId, 1, 0, 0, kOwnSysKind), S_OK);

    // A type library removed by somebody else counts as removed: the AppID
    // entries go too, and unregistering again finds nothing to fail on.
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, FailedRegistrationKeepsEarlierStepsAndRestoresTheLocale)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    // Subkeys of a volatile key must be volatile too; the class script
    // creates non-volatile ones and fails at Ferrowind.SMPTEFr\CLSID.
    auto makeVolatileProgId = [] {
        CRegKeyHandle hVolatile;
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassesKey) + L"Ferrowind.SMPTEFr").c_str(), 0,
                               nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, hVolatile.put(), nullptr);
    };
    ASSERT_EQ(makeVolatileProgId(), ERROR_SUCCESS);
    ASSERT_TRUE(SetThreadLocale(kGerman));

    EXPECT_EQ(server.DllRegisterServer(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(GetThreadLocale(), kGerman);
    // The AppID script ran; the class script's block was removed again (the
    // empty volatile key with it); the type library step never ran.
    EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), AppIdRows()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(NoTypeLib());

    // DllInstall unregisters after the failure and answers the registration's
    // failure. Its unregistration carries on past the type library, which was
    // never registered, so the AppID entries go too.
    ASSERT_EQ(makeVolatileProgId(), ERROR_SUCCESS);
    EXPECT_EQ(server.DllInstall(TRUE, nullptr), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(GetThreadLocale(), kGerman);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));

    SetThreadLocale(LOCALE_USER_DEFAULT);
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, FailedTypeLibraryStepKeepsTheScriptsEntriesUnlessInstallRemovesThem)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    // The type-library service cannot write its non-volatile keys beneath a
    // volatile LIBID key.
    auto makeVolatileLibId = [] {
        CRegKeyHandle hVolatile;
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                               (std::wstring(kClassesKey) + L"TypeLib\\" + kLibIdText).c_str(), 0, nullptr,
                               REG_OPTION_VOLATILE, KEY_WRITE, nullptr, hVolatile.put(), nullptr);
    };
    ASSERT_EQ(makeVolatileLibId(), ERROR_SUCCESS);
    const HRESULT hrRegister = server.DllRegisterServer();
    EXPECT_TRUE(FAILED(hrRegister)) << std::hex << hrRegister;
    EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), EntryRows(server.Path())) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));

    // DllInstall answers the same failure and unregisters everything: the
    // type library, never registered, does not stop it.
    EXPECT_EQ(server.DllInstall(TRUE, nullptr), hrRegister);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, SuccessfulRunsRestoreTheThreadLocale)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_TRUE(SetThreadLocale(kGerman));
    EXPECT_EQ(server.DllRegisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), kGerman);
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), kGerman);
    SetThreadLocale(LOCALE_USER_DEFAULT);
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, InstallForUserRegistersUnderCurrentUserClassesForTheRestOfTheProcess)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.DllInstall(TRUE, L"USER"), S_OK);
    const Rows rows = OwnRows(HKEY_CURRENT_USER);
    EXPECT_EQ(rows, EntryRows(server.Path())) << Narrow(rows);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());
    EXPECT_TRUE(TypeLibRegisteredFor(server.Path()));

    // The switch stays: plain unregistration and registration, and a later
    // command line that would not set it, all work per user.
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());
    EXPECT_TRUE(NoTypeLib());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"CLSID"));

    EXPECT_EQ(server.DllRegisterServer(), S_OK);
    EXPECT_EQ(OwnRows(HKEY_CURRENT_USER), EntryRows(server.Path()));
    EXPECT_EQ(server.DllInstall(TRUE, L"users"), S_OK);
    EXPECT_EQ(OwnRows(HKEY_CURRENT_USER), EntryRows(server.Path()));
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());

    EXPECT_EQ(server.DllInstall(FALSE, nullptr), S_OK);
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());
    EXPECT_TRUE(NoTypeLib());
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, InstallWithAnyOtherCommandLineRegistersMachineWide)
{
    // Each in a fresh load of the module, since "user" would stick.
    const wchar_t* const rgCommandLines[] = {nullptr, L"users", L"user ", L"use", L"", L"USERS", L"machine"};
    for (const wchar_t* pszCmdLine : rgCommandLines)
    {
        SCOPED_TRACE(pszCmdLine == nullptr ? "null" : Narrow({pszCmdLine}));
        CLoadedServer server;
        ASSERT_TRUE(server.Loaded());
        ASSERT_EQ(server.DllInstall(TRUE, pszCmdLine), S_OK);
        EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), EntryRows(server.Path()));
        EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), ExpectedTypeLibRows(server.Path()));
        EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());

        EXPECT_EQ(server.DllInstall(FALSE, pszCmdLine), S_OK);
        EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());
        EXPECT_TRUE(NoTypeLib());
        EXPECT_TRUE(server.Unload());
    }
}

TEST_F(Registration, UninstallWithoutCommandLineAnswersWhatUnregisterAnswers)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());

    // Nothing registered: both find nothing to remove and succeed.
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    EXPECT_EQ(server.DllInstall(FALSE, nullptr), S_OK);

    // Registered: both succeed and leave the same registry.
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    EXPECT_EQ(server.DllUnregisterServer(), S_OK);
    const Rows afterUnregister = OwnRows(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(server.DllRegisterServer(), S_OK);
    EXPECT_EQ(server.DllInstall(FALSE, nullptr), S_OK);
    EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), afterUnregister);
    EXPECT_TRUE(afterUnregister.empty());
    EXPECT_TRUE(server.Unload());
}

TEST_F(Registration, ModulePathWithASingleQuoteIsWrittenUnchanged)
{
    WCHAR szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring strTop = FolderOf(szTemp);
    const std::wstring strCopy = strTop + L"\\Ferrowind 'quoted'\\It's Ferrowind.dll";
    ASSERT_TRUE(CopyModuleTo(strCopy));
    {
        CLoadedServer server(strCopy);
        ASSERT_TRUE(server.Loaded());
        EXPECT_EQ(server.DllRegisterServer(), S_OK);
        const Rows rows = OwnRows(HKEY_LOCAL_MACHINE);
        EXPECT_EQ(rows, EntryRows(strCopy)) << Narrow(rows);
        EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), ExpectedTypeLibRows(strCopy));
        EXPECT_EQ(server.DllUnregisterServer(), S_OK);
        EXPECT_TRUE(server.Unload());
    }
    RemoveCopy(strCopy, strTop);
}

TEST_F(Registration, RegsvrRegistersMachineWideAndPerUserAsAnInstallerDoes)
{
    const std::wstring strModule = BuiltModulePath();
    const std::wstring strQuoted = L"\"" + strModule + L"\"";

    EXPECT_EQ(RunProgram(L"regsvr32.exe /s " + strQuoted), 0u);
    EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), EntryRows(strModule));
    EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), ExpectedTypeLibRows(strModule));
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u " + strQuoted), 0u);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());
    EXPECT_TRUE(NoTypeLib());

    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /n /i:user " + strQuoted), 0u);
    EXPECT_EQ(OwnRows(HKEY_CURRENT_USER), EntryRows(strModule));
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());
    EXPECT_TRUE(TypeLibRegisteredFor(strModule));
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u /n /i:user " + strQuoted), 0u);
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty());
    EXPECT_TRUE(NoTypeLib());
}

// A second copy registered after the first and deleted since leaves the type
// library recorded under a file that is gone: uninstalling the first copy
// still removes every entry, the second time too.
TEST_F(Registration, UnregisterFinishesWhenTheLibraryNamesADeletedCopy)
{
    WCHAR szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring strTop = FolderOf(szTemp);
    const std::wstring strFirst = strTop + L"\\Ferrowind A\\Ferrowind.dll";
    const std::wstring strSecond = strTop + L"\\Ferrowind B\\Ferrowind.dll";
    ASSERT_TRUE(CopyModuleTo(strFirst));
    ASSERT_TRUE(CopyModuleTo(strSecond));
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s \"" + strFirst + L"\""), 0u);
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s \"" + strSecond + L"\""), 0u);
    RemoveCopy(strSecond, strTop);
    ASSERT_EQ(RegisteredTypeLibPath(), strSecond);

    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + strFirst + L"\""), 0u);
    EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(NoTypeLib());
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + strFirst + L"\""), 0u);
    RemoveCopy(strFirst, strTop);
}

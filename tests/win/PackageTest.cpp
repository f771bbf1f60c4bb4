// Ferrowind.msi as a user meets it, run by msiexec in the prefix: a silent
// install puts both DLLs in place with the rows regsvr32 writes, in each
// architecture's registry view, the reference host finds the plug-in through
// its category and draws through the installed 64-bit DLL, one feature
// installs one DLL's part alone, and an uninstall (also after a repeated
// install, an upgrade, or DLLs deleted by hand) leaves our registry keys, the
// uninstall entries and the Program Files folders as they were.

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "FerrowindVersion.h"
#include "ServerTestSupport.h"
#include "com/Win32Handle.h"

namespace
{
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring Quoted(const std::wstring& str)
{
    return L"\"" + str + L"\"";
}

std::string Ascii(const std::wstring& str)
{
    std::string strOut = Narrow({str});
    strOut.pop_back();
    return strOut;
}

std::wstring TreeFolder()
{
    return FolderOf(FolderOf(BuiltModulePath()));
}

std::wstring PackagePath()
{
    return TreeFolder() + L"\\installer\\Ferrowind.msi";
}

std::wstring EarlierPackagePath()
{
    return TreeFolder() + L"\\installer\\earlier\\Ferrowind.msi";
}

std::wstring KnownFolder(int csidl)
{
    WCHAR sz[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, sz);
    return sz;
}

// Where the package puts the DLLs: Wine keeps a per-user install in the same
// Program Files folders (Windows would use the user's Programs folder).
std::wstring Installed64()
{
    return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Ferrowind\\x64\\Ferrowind.dll";
}

std::wstring Installed32()
{
    return KnownFolder(CSIDL_PROGRAM_FILESX86) + L"\\Ferrowind\\x86\\Ferrowind.dll";
}

// A busy machine (the emulated side-by-side test runs beside this one) can
// make msiexec take longer than RunProgram's minute; a time-out reads as -1.
DWORD Msiexec(const std::wstring& strArguments)
{
    return RunProgram(L"msiexec.exe " + strArguments + L" /qn", nullptr, 300000);
}

std::wstring ReadString(HKEY hRoot, const std::wstring& strKey, LPCWSTR pszName)
{
    WCHAR sz[512] = {};
    DWORD cb = sizeof(sz) - sizeof(WCHAR);
    if (RegGetValueW(hRoot, strKey.c_str(), pszName, RRF_RT_REG_SZ, nullptr, sz, &cb) != ERROR_SUCCESS)
        return {};
    return sz;
}

struct Entry
{
    std::wstring strProductCode;
    std::wstring strVersion;
};

// The installed-programs entries named Ferrowind, machine-wide and the
// current user's.
std::vector<Entry> FerrowindEntries()
{
    std::vector<Entry> entries;
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        CRegKeyHandle hKey;
        if (RegOpenKeyExW(hRoot, kUninstallKey, 0, KEY_READ, hKey.put()) != ERROR_SUCCESS)
            continue;
        WCHAR szName[256];
        for (DWORD nIndex = 0, cch = ARRAYSIZE(szName);
             RegEnumKeyExW(hKey.get(), nIndex, szName, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++nIndex, cch = ARRAYSIZE(szName))
        {
            const std::wstring strKey = std::wstring(kUninstallKey) + L"\\" + szName;
            if (ReadString(hRoot, strKey, L"DisplayName") == L"Ferrowind")
                entries.push_back({szName, ReadString(hRoot, strKey, L"DisplayVersion")});
        }
    }
    return entries;
}

void AppendFiles(const std::wstring& strFolder, const std::wstring& strShown, Rows& rows)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring strName = data.cFileName;
        if (strName == L"." || strName == L"..")
            continue;
        rows.push_back(strShown + L"\\" + strName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            AppendFiles(strFolder + L"\\" + strName, strShown + L"\\" + strName, rows);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
}

// Everything an install may touch and an uninstall must restore.
Rows SystemState()
{
    Rows rows;
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    {
        const std::wstring strRoot = hRoot == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\";
        for (REGSAM samView : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        {
            const std::wstring strView = samView == KEY_WOW64_32KEY ? L"(32) " : L"(64) ";
            for (const std::wstring& strRow : OwnRows(hRoot, samView))
                rows.push_back(strView + strRoot + strRow);
        }
        for (const std::wstring& strRow : TypeLibRows(hRoot))
            rows.push_back(strRoot + strRow);
        AppendRegistryTree(hRoot, kUninstallKey, strRoot + kUninstallKey, rows);
    }
    AppendFiles(KnownFolder(CSIDL_PROGRAM_FILES), L"Program Files", rows);
    AppendFiles(KnownFolder(CSIDL_PROGRAM_FILESX86), L"Program Files (x86)", rows);
    return Sorted(rows);
}

void ExpectSameState(const Rows& before, const Rows& after)
{
    Rows gone;
    Rows added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_TRUE(gone.empty() && added.empty()) << "gone:\n" << Narrow(gone) << "left behind:\n" << Narrow(added);
}

Rows Filtered(const Rows& rows, bool bClsid)
{
    Rows out;
    for (const std::wstring& strRow : rows)
    {
        if ((strRow.rfind(L"CLSID\\", 0) == 0) == bClsid)
            out.push_back(strRow);
    }
    return out;
}

// The module's rows as a module of the view's architecture sees them: its
// CLSID key from the view, the keys both views share (ProgIDs, AppID) from
// the 64-bit one. (Reading those through the 32-bit view from this 64-bit
// program would reach a copy that 32-bit processes do not use.)
Rows RowsSeenFrom(HKEY hRoot, REGSAM samView)
{
    Rows rows = Filtered(OwnRows(hRoot, samView), true);
    const Rows shared = Filtered(OwnRows(hRoot, KEY_WOW64_64KEY), false);
    rows.insert(rows.end(), shared.begin(), shared.end());
    return Sorted(rows);
}

bool IsHelpDirRow(const std::wstring& strRow)
{
    return strRow.find(L"\\HELPDIR @=") != std::wstring::npos;
}

// The help directory regsvr32 leaves when it registers the DLL in the 64-bit
// folder and then the one in the 32-bit folder, the package's order. The
// type-library service is the same code in both architectures, so copies of
// this tree's DLL in the two folders stand for the pair.
std::wstring HelpDirRowAfterRegsvr32InPackageOrder()
{
    std::wstring strRow;
    const std::wstring strTop = FolderOf(FolderOf(FolderOf(Installed64())));
    const std::wstring strTop32 = FolderOf(FolderOf(FolderOf(Installed32())));
    if (!CopyModuleTo(Installed64()) || !CopyModuleTo(Installed32()))
        return strRow;
    if (RunProgram(L"regsvr32.exe /s " + Quoted(Installed64())) == 0 &&
        RunProgram(L"regsvr32.exe /s " + Quoted(Installed32())) == 0)
    {
        for (const std::wstring& strTypeLibRow : TypeLibRows(HKEY_LOCAL_MACHINE))
        {
            if (IsHelpDirRow(strTypeLibRow))
                strRow = strTypeLibRow;
        }
    }
    RunProgram(L"regsvr32.exe /s /u " + Quoted(Installed32()));
    RunProgram(L"regsvr32.exe /s /u " + Quoted(Installed64()));
    RemoveCopy(Installed64(), strTop);
    RemoveCopy(Installed32(), strTop32);
    return strRow;
}

// The type library as regsvr32 leaves it after registering both DLLs in the
// package's order: a path for each platform, and the help directory as
// measured.
Rows ExpectedTypeLibRowsOfBoth()
{
    static const std::wstring strHelpDirRow = HelpDirRowAfterRegsvr32InPackageOrder();
    Rows rows;
    for (const std::wstring& strRow : ExpectedTypeLibRows(Installed64()))
    {
        if (!IsHelpDirRow(strRow))
            rows.push_back(strRow);
    }
    rows.push_back(strHelpDirRow);
    const std::wstring strWin32 = std::wstring(L"TypeLib\\") + kLibIdText + L"\\1.0\\0\\win32";
    rows.push_back(strWin32);
    rows.push_back(strWin32 + L" @=\"" + Installed32() + L"\"");
    return Sorted(rows);
}

// The 64-bit view's rows and the type library's, without its 32-bit path:
// what regsvr32 writes for the 64-bit DLL alone.
Rows Rows64(HKEY hRoot)
{
    Rows rows = OwnRows(hRoot, KEY_WOW64_64KEY);
    for (const std::wstring& strRow : TypeLibRows(hRoot))
    {
        if (strRow.find(L"\\0\\win32") == std::wstring::npos)
            rows.push_back(strRow);
    }
    return Sorted(rows);
}

// Whether the current user's CLSID key is one for both registry views, as in
// Wine 8, rather than one per view, as on Windows.
bool UserClassesShareViews()
{
    const std::wstring strProbe = std::wstring(kClassesKey) + L"CLSID\\{2C2E8784-2681-4CF3-8CE9-A044B5483AD7}";
    {
        CRegKeyHandle hKey;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, strProbe.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr,
                            hKey.put(), nullptr) != ERROR_SUCCESS)
            return false;
    }
    CRegKeyHandle hKey;
    const bool bShared = RegOpenKeyExW(HKEY_CURRENT_USER, strProbe.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                                       hKey.put()) == ERROR_SUCCESS;
    RegDeleteKeyExW(HKEY_CURRENT_USER, strProbe.c_str(), KEY_WOW64_32KEY, 0);
    return bShared;
}

bool FileExists(const std::wstring& strPath)
{
    return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ExpectFilesInstalled()
{
    for (const std::wstring& strDll : {Installed64(), Installed32()})
    {
        EXPECT_TRUE(FileExists(strDll)) << Ascii(strDll);
        EXPECT_TRUE(FileExists(FolderOf(strDll) + L"\\Ferrowind.chm")) << Ascii(strDll);
    }
    EXPECT_TRUE(FileExists(FolderOf(FolderOf(Installed64())) + L"\\ReadMe.txt"));
}

void ExpectOneEntry(const wchar_t* pszVersion)
{
    const std::vector<Entry> entries = FerrowindEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].strVersion, pszVersion);
}

void ExpectMachineInstall()
{
    ExpectOneEntry(L"" FERROWIND_VERSION_TEXT);
    ExpectFilesInstalled();
    EXPECT_EQ(RowsSeenFrom(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY), EntryRows(Installed64()));
    EXPECT_EQ(RowsSeenFrom(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), EntryRows(Installed32()));
    EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), ExpectedTypeLibRowsOfBoth());
    EXPECT_TRUE(OwnRows(HKEY_CURRENT_USER).empty()) << Narrow(OwnRows(HKEY_CURRENT_USER));
}

class Package : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FileExists(PackagePath())) << Ascii(PackagePath());
        ASSERT_TRUE(FerrowindEntries().empty()) << "Ferrowind is installed before the test";
        // Measured once, while nothing is installed.
        ASSERT_FALSE(ExpectedTypeLibRowsOfBoth().empty());
        m_before = SystemState();
    }
    // A test that stopped half way leaves nothing installed for the next.
    void TearDown() override
    {
        for (const Entry& entry : FerrowindEntries())
            Msiexec(L"/x " + entry.strProductCode);
    }

    CRegistryCleanup m_cleanup;
    Rows m_before;
};

TEST_F(Package, MachineInstallWritesWhatRegsvr32WritesAndServesTheHost)
{
    // regsvr32's rows for a 64-bit DLL at the path the package installs to.
    const std::wstring strProgramFiles = KnownFolder(CSIDL_PROGRAM_FILES);
    ASSERT_TRUE(CopyModuleTo(Installed64()));
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s " + Quoted(Installed64())), 0u);
    const Rows regsvr32Rows = Rows64(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u " + Quoted(Installed64())), 0u);
    RemoveCopy(Installed64(), strProgramFiles);
    ASSERT_FALSE(regsvr32Rows.empty());

    ASSERT_EQ(Msiexec(L"/i " + Quoted(PackagePath())), 0u);
    EXPECT_EQ(Rows64(HKEY_LOCAL_MACHINE), regsvr32Rows);
    ExpectMachineInstall();

    WCHAR szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strOut = std::wstring(szTemp) + L"ferrowind-package";
    CreateDirectoryW(strOut.c_str(), nullptr);
    std::string strOutput;
    const DWORD dwExit = RunProgram(Quoted(TreeFolder() + L"\\tools\\refhost\\ferrowind-host.exe") +
                                        L" --frames 30 --save-frames none --check 0=00:00:00.00 "
                                        L"--check 29=00:00:00.29 --out " + Quoted(strOut),
                                    &strOutput);
    DeleteFileW((strOut + L"\\contact-sheet.png").c_str());
    RemoveDirectoryW(strOut.c_str());
    EXPECT_EQ(dwExit, 0u) << strOutput;
    EXPECT_NE(strOutput.find("\"Ferrowind\" from " + Ascii(Installed64())), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("checks matched 2 of 2"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("time code drawn on 30 of 30 frames"), std::string::npos) << strOutput;

    ASSERT_EQ(Msiexec(L"/x " + Quoted(PackagePath())), 0u);
    ExpectSameState(m_before, SystemState());
}

// Wine's msi ignores MSIINSTALLPERUSER (ALLUSERS=2 means the machine there)
// and resolves HKMU rows by ALLUSERS on the uninstall too, so the test asks
// for the per-user context as Windows Installer always allowed, on both runs.
TEST_F(Package, PerUserInstallWritesOnlyTheUsersClasses)
{
    ASSERT_EQ(Msiexec(L"/i " + Quoted(PackagePath()) + L" ALLUSERS=\"\""), 0u);
    ExpectOneEntry(L"" FERROWIND_VERSION_TEXT);
    ExpectFilesInstalled();
    for (REGSAM samView : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE, samView).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE, samView));
    EXPECT_TRUE(TypeLibRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(TypeLibRows(HKEY_LOCAL_MACHINE));

    const Rows user64 = RowsSeenFrom(HKEY_CURRENT_USER, KEY_WOW64_64KEY);
    const Rows user32 = RowsSeenFrom(HKEY_CURRENT_USER, KEY_WOW64_32KEY);
    if (UserClassesShareViews())
    {
        // So the two CLSID keys are one, written by whichever component came
        // last.
        EXPECT_TRUE(user64 == EntryRows(Installed64()) || user64 == EntryRows(Installed32())) << Narrow(user64);
    }
    else
    {
        EXPECT_EQ(user64, EntryRows(Installed64()));
        EXPECT_EQ(user32, EntryRows(Installed32()));
    }
    EXPECT_EQ(TypeLibRows(HKEY_CURRENT_USER), ExpectedTypeLibRowsOfBoth());

    ASSERT_EQ(Msiexec(L"/x " + Quoted(PackagePath()) + L" ALLUSERS=\"\""), 0u);
    ExpectSameState(m_before, SystemState());
}

// An administrator's choice of one DLL (with the interface files) installs
// that DLL's files and rows and none of the other's, and fills in the
// installed-programs entry.
TEST_F(Package, OneFeatureInstallsOnlyItsOwnPart)
{
    ASSERT_EQ(Msiexec(L"/i " + Quoted(PackagePath()) + L" ADDLOCAL=Hosts32,Interface"), 0u);
    const std::wstring strFolder = FolderOf(FolderOf(Installed64()));
    EXPECT_TRUE(FileExists(Installed32()));
    EXPECT_TRUE(FileExists(strFolder + L"\\ReadMe.txt"));
    for (const wchar_t* pszFile : {L"Ferrowind.idl", L"FerrowindLib.h", L"FerrowindLib-win32.tlb"})
        EXPECT_TRUE(FileExists(strFolder + L"\\Interface\\" + pszFile)) << Ascii(pszFile);
    EXPECT_FALSE(FileExists(FolderOf(Installed64())));
    EXPECT_EQ(RowsSeenFrom(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), EntryRows(Installed32()));
    EXPECT_TRUE(Filtered(OwnRows(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY), true).empty());
    // What regsvr32 writes for the 32-bit DLL alone.
    Rows expected;
    for (std::wstring strRow : ExpectedTypeLibRows(Installed32()))
    {
        const size_t nAt = strRow.find(L"\\win64");
        expected.push_back(nAt == std::wstring::npos ? strRow : strRow.replace(nAt, 6, L"\\win32"));
    }
    EXPECT_EQ(TypeLibRows(HKEY_LOCAL_MACHINE), Sorted(expected));

    const std::vector<Entry> entries = FerrowindEntries();
    ASSERT_EQ(entries.size(), 1u);
    const std::wstring strEntry = std::wstring(kUninstallKey) + L"\\" + entries[0].strProductCode;
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, strEntry, L"Publisher"), L"Ferrowind Project");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, strEntry, L"InstallLocation"), strFolder + L"\\");

    ASSERT_EQ(Msiexec(L"/x " + Quoted(PackagePath())), 0u);
    ExpectSameState(m_before, SystemState());
}

enum class Build
{
    Current,
    Earlier,
};

struct Scenario
{
    const char* pszName;
    std::vector<Build> installs;
    bool bDeleteDllsByHand;
};

const Scenario kScenarios[] = {
    {"InstalledTwice", {Build::Current, Build::Current}, false},
    {"UpgradedFromAnEarlierVersion", {Build::Earlier, Build::Current}, false},
    {"DllsDeletedByHand", {Build::Current}, true},
};

class PackageScenario : public Package, public ::testing::WithParamInterface<Scenario>
{
};

TEST_P(PackageScenario, EndsWithOneEntryAndUninstallsClean)
{
    for (Build build : GetParam().installs)
    {
        const std::wstring strPackage = build == Build::Current ? PackagePath() : EarlierPackagePath();
        ASSERT_EQ(Msiexec(L"/i " + Quoted(strPackage)), 0u) << Ascii(strPackage);
        EXPECT_EQ(FerrowindEntries().size(), 1u);
    }
    ExpectMachineInstall();
    if (GetParam().bDeleteDllsByHand)
    {
        ASSERT_TRUE(DeleteFileW(Installed64().c_str()));
        ASSERT_TRUE(DeleteFileW(Installed32().c_str()));
    }

    ASSERT_EQ(Msiexec(L"/x " + Quoted(PackagePath())), 0u);
    ExpectSameState(m_before, SystemState());
}

INSTANTIATE_TEST_SUITE_P(Package, PackageScenario, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.pszName; });
} // namespace

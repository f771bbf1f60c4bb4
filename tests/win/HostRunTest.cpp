// The whole road as a user meets it: regsvr32 registers the real
// Ferrowind.dll, the reference host finds it through the component category,
// creates it through COM, draws its clip through IWendleVideoDraw, releases it
// and sees DllCanUnloadNow answer S_OK, and regsvr32 removes the registration
// again, leaving none of the module's entries.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ServerTestSupport.h"

namespace
{
std::wstring HostPath()
{
    return FolderOf(FolderOf(BuiltModulePath())) + L"\\tools\\refhost\\ferrowind-host.exe";
}

const wchar_t* const kPictures[] = {L"frame-000.png", L"frame-045.png", L"frame-089.png", L"contact-sheet.png"};

bool IsPngFile(const std::wstring& strPath)
{
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    BYTE rgb[8] = {};
    DWORD cbRead = 0;
    const BOOL bRead = ReadFile(hFile, rgb, sizeof(rgb), &cbRead, nullptr);
    LARGE_INTEGER size = {};
    GetFileSizeEx(hFile, &size);
    CloseHandle(hFile);
    return bRead && cbRead == sizeof(rgb) && memcmp(rgb, kSignature, sizeof(rgb)) == 0 && size.QuadPart > 1000;
}

class HostRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WCHAR szTemp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
        m_strOut = std::wstring(szTemp) + L"ferrowind-host-run";
        RemoveOutput();
    }
    void TearDown() override { RemoveOutput(); }

    void RemoveOutput()
    {
        for (const wchar_t* pszName : kPictures)
            DeleteFileW((m_strOut + L"\\" + pszName).c_str());
        RemoveDirectoryW(m_strOut.c_str());
    }

    CRegistryCleanup m_cleanup;
    std::wstring m_strOut;
};

// Runs the host and checks that it went the whole way.
void ExpectCompleteHostRun(const std::wstring& strOut)
{
    std::string strOutput;
    EXPECT_EQ(RunProgram(L"\"" + HostPath() + L"\" \"" + strOut + L"\"", &strOutput), 0u) << strOutput;
    EXPECT_NE(strOutput.find("1 plug-in(s) in category {5A245B48-94A3-4A37-9468-57F3807348E6}"), std::string::npos)
        << strOutput;
    EXPECT_NE(strOutput.find("created {7755CDB1-91E2-41C5-9B9C-1F669CE36F30} \"Ferrowind\""), std::string::npos)
        << strOutput;
    EXPECT_NE(strOutput.find("time code drawn on 90 of 90 frames, 4 pictures written"), std::string::npos)
        << strOutput;
    EXPECT_NE(strOutput.find("DllCanUnloadNow: S_OK"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("module unloaded"), std::string::npos) << strOutput;
    for (const wchar_t* pszName : kPictures)
        EXPECT_TRUE(IsPngFile(strOut + L"\\" + pszName));
}

void ExpectNoEntriesLeft()
{
    for (HKEY hRoot : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        EXPECT_TRUE(OwnRows(hRoot).empty()) << Narrow(OwnRows(hRoot));
        EXPECT_TRUE(TypeLibRows(hRoot).empty()) << Narrow(TypeLibRows(hRoot));
    }
}

// Whether class registrations of the current user are seen through
// HKEY_CLASSES_ROOT, as COM looks for classes. Windows merges them in; Wine 8
// does not (its bug 14771), so COM there finds per-user classes neither in a
// category nor by class id.
bool PerUserClassesVisible()
{
    const std::wstring strProbe = L"Ferrowind.PerUserProbe";
    SetString(HKEY_CURRENT_USER, kClassesKey + strProbe, nullptr, L"probe");
    const bool bVisible = KeyExists(HKEY_CLASSES_ROOT, strProbe);
    RegDeleteKeyW(HKEY_CURRENT_USER, (kClassesKey + strProbe).c_str());
    return bVisible;
}
} // namespace

TEST_F(HostRun, MachineWideRegisterDiscoverCreateDrawReleaseUnregister)
{
    const std::wstring strModule = BuiltModulePath();
    const std::wstring strQuotedModule = L"\"" + strModule + L"\"";
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s " + strQuotedModule), 0u);
    ASSERT_EQ(OwnRows(HKEY_LOCAL_MACHINE), EntryRows(strModule));

    ExpectCompleteHostRun(m_strOut);

    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u " + strQuotedModule), 0u);
    ExpectNoEntriesLeft();
}

TEST_F(HostRun, PerUserRegisterDiscoverCreateDrawReleaseUnregister)
{
    const std::wstring strModule = BuiltModulePath();
    const std::wstring strQuotedModule = L"\"" + strModule + L"\"";
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /n /i:user " + strQuotedModule), 0u);
    ASSERT_EQ(OwnRows(HKEY_CURRENT_USER), EntryRows(strModule));
    ASSERT_TRUE(OwnRows(HKEY_LOCAL_MACHINE).empty());

    const bool bVisible = PerUserClassesVisible();
    if (bVisible)
        ExpectCompleteHostRun(m_strOut);

    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u /n /i:user " + strQuotedModule), 0u);
    ExpectNoEntriesLeft();
    if (!bVisible)
        GTEST_SKIP() << "this platform does not merge per-user class registrations into HKEY_CLASSES_ROOT, "
                        "so COM cannot find a per-user plug-in; registration and unregistration were checked";
}

// The minimal host that docs/hosts.md is made of, built from the interface
// files alone, checks its own frame.
TEST_F(HostRun, MinimalHostOfTheGuideDrawsItsFrame)
{
    const std::wstring strQuotedModule = L"\"" + BuiltModulePath() + L"\"";
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s " + strQuotedModule), 0u);
    std::string strOutput;
    const std::wstring strHost = FolderOf(FolderOf(BuiltModulePath())) + L"\\tools\\minihost\\ferrowind-minihost.exe";
    EXPECT_EQ(RunProgram(L"\"" + strHost + L"\"", &strOutput), 0u) << strOutput;
    EXPECT_NE(strOutput.find("minimal host: passed"), std::string::npos) << strOutput;
    EXPECT_EQ(RunProgram(L"regsvr32.exe /s /u " + strQuotedModule), 0u);
    ExpectNoEntriesLeft();
}

TEST_F(HostRun, WithoutRegistrationTheHostFindsNothing)
{
    std::string strOutput;
    EXPECT_EQ(RunProgram(L"\"" + HostPath() + L"\" \"" + m_strOut + L"\"", &strOutput), 1u) << strOutput;
    EXPECT_NE(strOutput.find("0 plug-in(s) in category"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("no video-draw plug-in could be created"), std::string::npos) << strOutput;
}

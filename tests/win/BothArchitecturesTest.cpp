// The 32-bit and the 64-bit Ferrowind.dll registered side by side in one
// prefix, as on 64-bit Windows: each registers the class in its own registry
// view, and removing one leaves the other registered and working. The 32-bit
// programs (regsvr32 and the reference host) run under Wine's 32-bit loader,
// natively or, where the kernel refuses 32-bit code, under an emulator.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ServerTestSupport.h"
#include "com/Win32Handle.h"

namespace
{
// An emulated 32-bit Wine process takes about a minute to start.
constexpr DWORD kTimeout32Ms = 8 * 60 * 1000;

// The 32-bit tree, given by the run as a Windows path.
std::wstring Win32Tree()
{
    WCHAR sz[MAX_PATH] = {};
    const DWORD cch = GetEnvironmentVariableW(L"FERROWIND_WIN32_TREE", sz, MAX_PATH);
    return cch == 0 || cch >= MAX_PATH ? std::wstring() : std::wstring(sz, cch);
}

std::wstring Quoted(const std::wstring& str)
{
    return L"\"" + str + L"\"";
}

std::wstring SystemFolder(const wchar_t* pszName)
{
    WCHAR sz[MAX_PATH] = {};
    GetWindowsDirectoryW(sz, MAX_PATH);
    return std::wstring(sz) + L"\\" + pszName;
}

// Each architecture's own regsvr32, as an installer on 64-bit Windows runs it.
DWORD Regsvr32(bool b32Bit, const std::wstring& strArguments)
{
    const std::wstring strProgram = SystemFolder(b32Bit ? L"syswow64" : L"system32") + L"\\regsvr32.exe";
    return RunProgram(Quoted(strProgram) + L" /s " + strArguments, nullptr, b32Bit ? kTimeout32Ms : 60000);
}

// Draws 30 frames through whatever the category offers, checking the time
// code of the first and the last, and answers the host's output.
std::string RunHost(const std::wstring& strHost, const std::wstring& strOut, DWORD dwTimeoutMs, DWORD* pdwExit)
{
    std::string strOutput;
    *pdwExit = RunProgram(Quoted(strHost) + L" --frames 30 --save-frames none --check 0=00:00:00.00 "
                                            L"--check 29=00:00:00.29 --out " + Quoted(strOut),
                          &strOutput, dwTimeoutMs);
    return strOutput;
}

void ExpectHostDrewWith(const std::string& strOutput, DWORD dwExit, const std::wstring& strModule)
{
    EXPECT_EQ(dwExit, 0u) << strOutput;
    std::string strNarrowModule;
    for (wchar_t c : strModule)
        strNarrowModule.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    EXPECT_NE(strOutput.find("\"Ferrowind\" from " + strNarrowModule), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("checks matched 2 of 2"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("time code drawn on 30 of 30 frames"), std::string::npos) << strOutput;
    EXPECT_NE(strOutput.find("DllCanUnloadNow: S_OK"), std::string::npos) << strOutput;
}

// The module's rows as a module of the view's architecture sees them: its
// CLSID key in the view, the keys the views share (ProgIDs, AppID) where both
// find them. A 64-bit process reading a shared key through the 32-bit view
// would be sent to a copy that 32-bit processes do not use.
Rows RowsSeenFrom(REGSAM samView)
{
    Rows rows;
    const std::wstring strClsidKey = L"CLSID\\";
    for (const std::wstring& strRow : OwnRows(HKEY_LOCAL_MACHINE, samView))
    {
        if (strRow.rfind(strClsidKey, 0) == 0)
            rows.push_back(strRow);
    }
    for (const std::wstring& strRow : OwnRows(HKEY_LOCAL_MACHINE))
    {
        if (strRow.rfind(strClsidKey, 0) != 0)
            rows.push_back(strRow);
    }
    return Sorted(rows);
}

bool ClassServedInView(REGSAM samView)
{
    CRegKeyHandle hKey;
    const std::wstring strKey = std::wstring(kClassesKey) + L"CLSID\\" + kClsidText + L"\\InprocServer32";
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ | samView, hKey.put()) == ERROR_SUCCESS;
}

// The type library's path rows: one per platform it is registered for.
Rows TypeLibPathRows()
{
    Rows rows;
    for (const std::wstring& strRow : TypeLibRows(HKEY_LOCAL_MACHINE))
    {
        if (strRow.find(L"\\0\\win") != std::wstring::npos && strRow.find(L" @=") != std::wstring::npos)
            rows.push_back(strRow);
    }
    return rows;
}

std::wstring TypeLibPathRow(const wchar_t* pszPlatform, const std::wstring& strModule)
{
    return std::wstring(L"TypeLib\\") + kLibIdText + L"\\1.0\\0\\" + pszPlatform + L" @=\"" + strModule + L"\"";
}
} // namespace

TEST(BothArchitectures, EachRegistersInItsOwnViewAndRemovingOneLeavesTheOtherWorking)
{
    const std::wstring strTree32 = Win32Tree();
    if (strTree32.empty())
        GTEST_SKIP() << "FERROWIND_WIN32_TREE does not name the 32-bit tree";
    const std::wstring strDll32 = strTree32 + L"\\bin\\Ferrowind.dll";
    const std::wstring strHost32 = strTree32 + L"\\tools\\refhost\\ferrowind-host.exe";
    const std::wstring strDll64 = BuiltModulePath();
    const std::wstring strHost64 = FolderOf(FolderOf(strDll64)) + L"\\tools\\refhost\\ferrowind-host.exe";
    WCHAR szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring strOut = std::wstring(szTemp) + L"ferrowind-both-architectures";
    CreateDirectoryW(strOut.c_str(), nullptr);
    CRegistryCleanup cleanup;

    ASSERT_EQ(Regsvr32(true, Quoted(strDll32)), 0u);
    ASSERT_EQ(Regsvr32(false, Quoted(strDll64)), 0u);
    EXPECT_EQ(RowsSeenFrom(KEY_WOW64_32KEY), EntryRows(strDll32));
    EXPECT_EQ(RowsSeenFrom(KEY_WOW64_64KEY), EntryRows(strDll64));
    EXPECT_EQ(TypeLibPathRows(), Sorted({TypeLibPathRow(L"win32", strDll32), TypeLibPathRow(L"win64", strDll64)}));

    // Without the 64-bit DLL the 32-bit one is still whole, and a 32-bit host
    // finds it through the category and draws with it.
    ASSERT_EQ(Regsvr32(false, L"/u " + Quoted(strDll64)), 0u);
    EXPECT_FALSE(ClassServedInView(KEY_WOW64_64KEY));
    EXPECT_EQ(RowsSeenFrom(KEY_WOW64_32KEY), EntryRows(strDll32));
    EXPECT_EQ(TypeLibPathRows(), Rows({TypeLibPathRow(L"win32", strDll32)}));
    DWORD dwExit = 0;
    std::string strOutput = RunHost(strHost32, strOut, kTimeout32Ms, &dwExit);
    ExpectHostDrewWith(strOutput, dwExit, strDll32);

    // The other way round: without the 32-bit DLL the 64-bit one is whole.
    ASSERT_EQ(Regsvr32(false, Quoted(strDll64)), 0u);
    ASSERT_EQ(Regsvr32(true, L"/u " + Quoted(strDll32)), 0u);
    EXPECT_FALSE(ClassServedInView(KEY_WOW64_32KEY));
    EXPECT_EQ(RowsSeenFrom(KEY_WOW64_64KEY), EntryRows(strDll64));
    EXPECT_EQ(TypeLibPathRows(), Rows({TypeLibPathRow(L"win64", strDll64)}));
    strOutput = RunHost(strHost64, strOut, 60000, &dwExit);
    ExpectHostDrewWith(strOutput, dwExit, strDll64);

    // The last one out leaves nothing of the module's in either view.
    ASSERT_EQ(Regsvr32(false, L"/u " + Quoted(strDll64)), 0u);
    for (REGSAM samView : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        EXPECT_TRUE(OwnRows(HKEY_LOCAL_MACHINE, samView).empty()) << Narrow(OwnRows(HKEY_LOCAL_MACHINE, samView));
    EXPECT_TRUE(TypeLibRows(HKEY_LOCAL_MACHINE).empty()) << Narrow(TypeLibRows(HKEY_LOCAL_MACHINE));

    DeleteFileW((strOut + L"\\contact-sheet.png").c_str());
    RemoveDirectoryW(strOut.c_str());
}

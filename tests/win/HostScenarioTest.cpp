// The reference host's scenarios end to end, through COM on the real
// Ferrowind.dll registered machine-wide in the prefix: every scenario draws
// all its frames, the time codes that its frames must show are confirmed
// pixel for pixel against frames drawn from other times that give the same
// text, settings blob files are 104 bytes and load back, and the setup
// dialog opens from the host and closes without a change.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"

namespace
{
std::wstring HostPath()
{
    return FolderOf(FolderOf(BuiltModulePath())) + L"\\tools\\refhost\\ferrowind-host.exe";
}

std::wstring TempFolder()
{
    WCHAR szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    return std::wstring(szTemp) + L"ferrowind-host-scenarios";
}

struct HostResult
{
    DWORD dwExit = 0;
    std::string strOutput;
    bool Has(const std::string& str) const { return strOutput.find(str) != std::string::npos; }
};

HostResult RunHost(const std::wstring& strArguments)
{
    HostResult result;
    result.dwExit = RunProgram(L"\"" + HostPath() + L"\" " + strArguments, &result.strOutput);
    return result;
}

std::vector<BYTE> ReadBytes(const std::wstring& strPath)
{
    std::vector<BYTE> bytes;
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return bytes;
    BYTE buffer[4096];
    DWORD cbRead = 0;
    while (ReadFile(hFile, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead != 0)
        bytes.insert(bytes.end(), buffer, buffer + cbRead);
    CloseHandle(hFile);
    return bytes;
}

bool WriteBytes(const std::wstring& strPath, const std::vector<BYTE>& bytes)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD cbWritten = 0;
    const BOOL bOk = WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &cbWritten, nullptr);
    CloseHandle(hFile);
    return bOk && cbWritten == bytes.size();
}

// One machine-wide registration for the whole suite, removed at its end.
class HostScenarios : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pCleanup = new CRegistryCleanup();
        s_bRegistered = RunProgram(L"regsvr32.exe /s \"" + BuiltModulePath() + L"\"") == 0;
        CreateDirectoryW(TempFolder().c_str(), nullptr);
    }
    static void TearDownTestSuite()
    {
        RunProgram(L"regsvr32.exe /s /u \"" + BuiltModulePath() + L"\"");
        delete s_pCleanup;
        s_pCleanup = nullptr;
        WIN32_FIND_DATAW data;
        const std::wstring strFolder = TempFolder();
        HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
        if (hFind != INVALID_HANDLE_VALUE)
        {
            do
                DeleteFileW((strFolder + L"\\" + data.cFileName).c_str());
            while (FindNextFileW(hFind, &data));
            FindClose(hFind);
        }
        RemoveDirectoryW(strFolder.c_str());
    }
    void SetUp() override { ASSERT_TRUE(s_bRegistered); }

    static std::wstring File(const wchar_t* pszName) { return TempFolder() + L"\\" + pszName; }
    static std::wstring Quoted(const std::wstring& str) { return L"\"" + str + L"\""; }

    static CRegistryCleanup* s_pCleanup;
    static bool s_bRegistered;
};

CRegistryCleanup* HostScenarios::s_pCleanup = nullptr;
bool HostScenarios::s_bRegistered = false;

struct ScenarioCase
{
    const wchar_t* pszScenario;
    int nFrames;
    const wchar_t* pszChecks; // --check arguments: frames and the time codes they must show
    int nChecks;
};

// Frame sizes are kept at 640 x 360 to stay fast; the 64-pixel default text
// fits them, so it is placed as on a full-size frame.
const ScenarioCase kScenarioCases[] = {
    // 25 fps: frame 37 starts at 1.48 s, its middle is exactly 1.5 s, 12 frames of 0.04 s in.
    {L"25fps", 75, L"--check 25=00:00:01.00 --check 37=00:00:01.12 --check 50=00:00:02.00", 3},
    // 29.97 fps: frame 30 starts at 1.001 s, frame 29 is the 30th of second 0.
    {L"29.97fps", 90, L"--check 29=00:00:00.29 --check 30=00:00:01.00", 2},
    {L"30fps", 90, L"--check 30=00:00:01.00 --check 45=00:00:01.15", 2},
    {L"60fps", 180, L"--check 60=00:00:01.00 --check 119=00:00:01.59", 2},
    // Five whole cycles of the six durations end at 1.1583335 s; frame 30 lasts
    // 1/30 s, so its middle lies 5 of its durations into second 1.
    {L"variable", 90, L"--check 30=00:00:01.05 --check 0=00:00:00.00", 2},
    // Frame 45 has no usable end time and keeps frame 0's 1/30 s; with the
    // initial 1/15 s it would show 00:00:01.07.
    {L"no-end-times", 90, L"--check 30=00:00:01.00 --check 45=00:00:01.15", 2},
    {L"top-down", 90, L"--check 30=00:00:01.00", 1},
    {L"24bpp", 90, L"--check 30=00:00:01.00", 1},
    {L"24bpp-top-down", 90, L"--check 30=00:00:01.00", 1},
};
} // namespace

TEST_F(HostScenarios, EveryScenarioDrawsAllFramesWithTheTimeCodesItsTimesGive)
{
    for (const ScenarioCase& c : kScenarioCases)
    {
        SCOPED_TRACE(testing::Message() << "scenario " << Narrow({c.pszScenario}));
        const HostResult result = RunHost(std::wstring(L"--scenario ") + c.pszScenario +
                                          L" --size 640x360 --save-frames none --out " + Quoted(File(L"out")) +
                                          L" " + c.pszChecks);
        EXPECT_EQ(result.dwExit, 0u) << result.strOutput;
        const std::string strFrames = std::to_string(c.nFrames);
        EXPECT_TRUE(result.Has("frames drawn " + strFrames + " of " + strFrames + ": S_OK " + strFrames +
                               ", S_FALSE 0, other 0"))
            << result.strOutput;
        EXPECT_TRUE(result.Has("checks matched " + std::to_string(c.nChecks) + " of " + std::to_string(c.nChecks)))
            << result.strOutput;
        EXPECT_TRUE(result.Has("time per frame (GiveUpcomingFrame): mean ")) << result.strOutput;
        EXPECT_TRUE(result.Has("DllCanUnloadNow: S_OK")) << result.strOutput;
        EXPECT_EQ(ReadBytes(File(L"out\\contact-sheet.png")).size() > 1000, true);
    }
}

TEST_F(HostScenarios, AWrongTimeCodeIsReportedAndFailsTheRun)
{
    // Frame 25 of the 25 fps clip shows 00:00:01.00, not the text of the
    // frame before or after it.
    const HostResult result = RunHost(L"--scenario 25fps --frames 26 --size 640x360 --save-frames none --out " +
                                      Quoted(File(L"out")) +
                                      L" --check 25=00:00:00.24 --check 25=00:00:01.01 --check 25=00:00:01.00");
    EXPECT_EQ(result.dwExit, 1u) << result.strOutput;
    EXPECT_TRUE(result.Has("check frame 25 \"00:00:00.24\": differs")) << result.strOutput;
    EXPECT_TRUE(result.Has("check frame 25 \"00:00:01.01\": differs")) << result.strOutput;
    EXPECT_TRUE(result.Has("check frame 25 \"00:00:01.00\": match")) << result.strOutput;
    EXPECT_TRUE(result.Has("checks matched 1 of 3")) << result.strOutput;
}

TEST_F(HostScenarios, SavedSettingsAre104BytesAndLoadBack)
{
    const HostResult saved = RunHost(L"--frames 0 --save-settings " + Quoted(File(L"defaults.blob")));
    ASSERT_EQ(saved.dwExit, 0u) << saved.strOutput;
    EXPECT_TRUE(saved.Has("GetDrawSetupParameters S_OK")) << saved.strOutput;
    std::vector<BYTE> blob = ReadBytes(File(L"defaults.blob"));
    ASSERT_EQ(blob.size(), 104u);
    EXPECT_EQ(blob[0], 0x00);
    EXPECT_EQ(blob[3], 0x01);
    EXPECT_EQ(blob[4], 0x40); // lfHeight 64
    EXPECT_EQ(blob[32], 'A'); // "Arial"
    EXPECT_EQ(blob[100], 3);  // 3 % / 3 %
    EXPECT_EQ(blob[102], 3);

    // Opaque red at 50 % / 100 %, handed in and read out again by a new process.
    blob[96] = 0x00;
    blob[97] = 0x00;
    blob[98] = 0xFF;
    blob[99] = 0xFF;
    blob[100] = 50;
    blob[102] = 100;
    ASSERT_TRUE(WriteBytes(File(L"red.blob"), blob));
    const HostResult loaded = RunHost(L"--frames 0 --load-settings " + Quoted(File(L"red.blob")) +
                                      L" --save-settings " + Quoted(File(L"again.blob")));
    EXPECT_EQ(loaded.dwExit, 0u) << loaded.strOutput;
    EXPECT_TRUE(loaded.Has("(104 bytes): SetDrawSetupParameters S_OK")) << loaded.strOutput;
    EXPECT_EQ(ReadBytes(File(L"again.blob")), blob);
}

TEST_F(HostScenarios, LoadedSettingsChangeTheDrawnFrames)
{
    // The same clip with the default and with red text at the bottom right:
    // a check against the reference object still matches (both objects
    // share the loaded settings), and the written frames differ.
    std::vector<BYTE> blob;
    ASSERT_EQ(RunHost(L"--frames 0 --save-settings " + Quoted(File(L"base.blob"))).dwExit, 0u);
    blob = ReadBytes(File(L"base.blob"));
    ASSERT_EQ(blob.size(), 104u);
    blob[98] = 0xFF;
    blob[96] = blob[97] = 0x00;
    blob[100] = 100;
    blob[102] = 100;
    ASSERT_TRUE(WriteBytes(File(L"corner.blob"), blob));

    const std::wstring strCommon = L"--scenario 25fps --frames 26 --size 640x360 --save-frames 25 --check "
                                   L"25=00:00:01.00 --out ";
    const HostResult plain = RunHost(strCommon + Quoted(File(L"plain")));
    const HostResult corner =
        RunHost(strCommon + Quoted(File(L"corner")) + L" --load-settings " + Quoted(File(L"corner.blob")));
    EXPECT_EQ(plain.dwExit, 0u) << plain.strOutput;
    EXPECT_EQ(corner.dwExit, 0u) << corner.strOutput;
    const std::vector<BYTE> plainPng = ReadBytes(File(L"plain\\frame-025.png"));
    const std::vector<BYTE> cornerPng = ReadBytes(File(L"corner\\frame-025.png"));
    EXPECT_GT(plainPng.size(), 1000u);
    EXPECT_GT(cornerPng.size(), 1000u);
    EXPECT_NE(plainPng, cornerPng);
    for (const wchar_t* pszFolder : {L"plain", L"corner"})
    {
        for (const wchar_t* pszName : {L"\\frame-025.png", L"\\contact-sheet.png"})
            DeleteFileW((File(pszFolder) + pszName).c_str());
        RemoveDirectoryW(File(pszFolder).c_str());
    }
}

TEST_F(HostScenarios, RefusedSettingsFilesFailTheRunAndAreNamed)
{
    std::vector<BYTE> blob;
    ASSERT_EQ(RunHost(L"--frames 0 --save-settings " + Quoted(File(L"good.blob"))).dwExit, 0u);
    blob = ReadBytes(File(L"good.blob"));
    ASSERT_EQ(blob.size(), 104u);

    std::vector<BYTE> shortBlob(blob.begin(), blob.end() - 1);
    std::vector<BYTE> badPosition = blob;
    badPosition[100] = 101;
    ASSERT_TRUE(WriteBytes(File(L"short.blob"), shortBlob));
    ASSERT_TRUE(WriteBytes(File(L"position.blob"), badPosition));
    for (const wchar_t* pszName : {L"short.blob", L"position.blob"})
    {
        const HostResult result = RunHost(L"--frames 0 --load-settings " + Quoted(File(pszName)));
        EXPECT_EQ(result.dwExit, 1u) << result.strOutput;
        EXPECT_TRUE(result.Has("SetDrawSetupParameters E_INVALIDARG")) << result.strOutput;
        EXPECT_TRUE(result.Has("DllCanUnloadNow: S_OK")) << result.strOutput;
    }
    const HostResult missing = RunHost(L"--frames 0 --load-settings " + Quoted(File(L"missing.blob")));
    EXPECT_EQ(missing.dwExit, 1u);
    EXPECT_TRUE(missing.Has("cannot read")) << missing.strOutput;
}

TEST_F(HostScenarios, TheSetupDialogOpensFromTheHostAndCancelChangesNothing)
{
    std::atomic<bool> bDone{false};
    HostResult result;
    std::thread host([&]() {
        result = RunHost(L"--frames 0 --setup --save-settings " + Quoted(File(L"after-dialog.blob")));
        bDone = true;
    });
    HWND hDialog = nullptr;
    for (int i = 0; i < 300 && hDialog == nullptr && !bDone; ++i)
    {
        Sleep(50);
        hDialog = FindWindowW(nullptr, L"SMPTE Time Settings");
    }
    EXPECT_NE(hDialog, nullptr);
    if (hDialog != nullptr)
        PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    host.join();
    EXPECT_EQ(result.dwExit, 0u) << result.strOutput;
    EXPECT_TRUE(result.Has("ShowSetupDialog S_FALSE (settings unchanged)")) << result.strOutput;
    EXPECT_EQ(ReadBytes(File(L"after-dialog.blob")).size(), 104u);
}

TEST_F(HostScenarios, HelpListAndBadArguments)
{
    const HostResult help = RunHost(L"--help");
    EXPECT_EQ(help.dwExit, 0u);
    for (const char* pszOption : {"--scenario", "--load-settings", "--save-settings", "--setup", "--check", "--out"})
        EXPECT_TRUE(help.Has(pszOption)) << pszOption;
    const HostResult list = RunHost(L"--list");
    EXPECT_EQ(list.dwExit, 0u);
    for (const char* pszName : {"25fps", "29.97fps", "30fps", "60fps", "variable", "no-end-times", "top-down", "24bpp"})
        EXPECT_TRUE(list.Has(pszName)) << pszName;
    for (const wchar_t* pszArguments : {L"--scenario 24fps", L"--bpp 16", L"--size 0x10", L"--check 3=1:2",
                                        L"--frames", L"--bogus"})
    {
        const HostResult bad = RunHost(pszArguments);
        EXPECT_EQ(bad.dwExit, 2u) << Narrow({pszArguments});
        EXPECT_FALSE(bad.Has("plug-in(s) in category")) << Narrow({pszArguments});
    }
}

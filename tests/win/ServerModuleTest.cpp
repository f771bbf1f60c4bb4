// The real Ferrowind.dll as a file and as a loaded module: its export table,
// its resources, and what process attach records (the module handle and the
// help path, seen through the setup dialog's Help button).

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Ferrowind.h"
#include "ServerTestSupport.h"
#include "com/Win32Handle.h"

namespace
{
const CLSID kClsid = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr wchar_t kHelpVariable[] = L"FERROWIND_TEST_HELP_FILE";
constexpr wchar_t kHelpCallVariable[] = L"FERROWIND_TEST_HELP_CALL";
constexpr wchar_t kHtmlHelpServer[] =
    L"Software\\Classes\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

std::string Narrow(const std::wstring& str)
{
    std::string strOut;
    for (wchar_t c : str)
        strOut.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return strOut;
}

std::vector<std::string> ExportNames(HMODULE hModule, DWORD* pcFunctions)
{
    const BYTE* pbBase = reinterpret_cast<const BYTE*>(hModule);
    const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pbBase);
    const BYTE* pbNt = pbBase + pDos->e_lfanew;
    // The optional header's layout follows the image's own magic, not this
    // program's architecture.
    const WORD wMagic = reinterpret_cast<const IMAGE_NT_HEADERS32*>(pbNt)->OptionalHeader.Magic;
    const IMAGE_DATA_DIRECTORY& dir =
        wMagic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
            ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(pbNt)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT]
            : reinterpret_cast<const IMAGE_NT_HEADERS32*>(pbNt)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    *pcFunctions = 0;
    if (dir.VirtualAddress == 0)
        return names;
    const auto* pExports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(pbBase + dir.VirtualAddress);
    *pcFunctions = pExports->NumberOfFunctions;
    const auto* pNames = reinterpret_cast<const DWORD*>(pbBase + pExports->AddressOfNames);
    for (DWORD i = 0; i < pExports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(pbBase + pNames[i]));
    return names;
}

struct ResourceId
{
    std::wstring strType;
    std::wstring strName;
    WORD wLanguage;
    bool operator<(const ResourceId& other) const
    {
        return std::tie(strType, strName, wLanguage) < std::tie(other.strType, other.strName, other.wLanguage);
    }
    bool operator==(const ResourceId& other) const
    {
        return strType == other.strType && strName == other.strName && wLanguage == other.wLanguage;
    }
};

std::wstring IdText(LPCWSTR psz)
{
    return IS_INTRESOURCE(psz) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(psz)) : std::wstring(psz);
}

struct ResourceWalk
{
    std::vector<ResourceId> ids;
    std::wstring strType;
    std::wstring strName;
};

BOOL CALLBACK OnResourceLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLanguage, LONG_PTR lParam)
{
    auto* pWalk = reinterpret_cast<ResourceWalk*>(lParam);
    pWalk->ids.push_back({pWalk->strType, pWalk->strName, wLanguage});
    return TRUE;
}

BOOL CALLBACK OnResourceName(HMODULE hModule, LPCWSTR pszType, LPWSTR pszName, LONG_PTR lParam)
{
    reinterpret_cast<ResourceWalk*>(lParam)->strName = IdText(pszName);
    EnumResourceLanguagesW(hModule, pszType, pszName, OnResourceLanguage, lParam);
    return TRUE;
}

BOOL CALLBACK OnResourceType(HMODULE hModule, LPWSTR pszType, LONG_PTR lParam)
{
    reinterpret_cast<ResourceWalk*>(lParam)->strType = IdText(pszType);
    EnumResourceNamesW(hModule, pszType, OnResourceName, lParam);
    return TRUE;
}

// Every resource of the module as type, name and language, sorted.
std::vector<ResourceId> AllResources(HMODULE hModule)
{
    ResourceWalk walk;
    EnumResourceTypesW(hModule, OnResourceType, reinterpret_cast<LONG_PTR>(&walk));
    std::sort(walk.ids.begin(), walk.ids.end());
    return walk.ids;
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* pszName)
{
    const std::wstring strQuery = std::wstring(L"\\StringFileInfo\\040904e4\\") + pszName;
    LPVOID pv = nullptr;
    UINT cch = 0;
    if (!VerQueryValueW(block.data(), strQuery.c_str(), &pv, &cch) || pv == nullptr)
        return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(pv));
}

// Points the HTML Help control's registration at the fake beside this program
// for the life of the object, then restores what was there.
class CFakeHtmlHelp
{
public:
    CFakeHtmlHelp()
    {
        WCHAR szSelf[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
        m_strFake = FolderOf(szSelf) + L"\\fake_hhctrl.dll";
        WCHAR szOld[MAX_PATH] = {};
        DWORD cbOld = sizeof(szOld);
        m_bHadValue = RegGetValueW(HKEY_LOCAL_MACHINE, kHtmlHelpServer, nullptr, RRF_RT_REG_SZ, nullptr, szOld,
                                   &cbOld) == ERROR_SUCCESS;
        m_strOld = szOld;
        Register(m_strFake);
        SetEnvironmentVariableW(kHelpVariable, nullptr);
        SetEnvironmentVariableW(kHelpCallVariable, nullptr);
    }
    ~CFakeHtmlHelp()
    {
        if (m_bHadValue)
            Register(m_strOld);
        SetEnvironmentVariableW(kHelpVariable, nullptr);
        SetEnvironmentVariableW(kHelpCallVariable, nullptr);
    }

    // Points the registration at another library.
    static void Register(const std::wstring& strPath)
    {
        SetString(HKEY_LOCAL_MACHINE, kHtmlHelpServer, nullptr, strPath);
    }
    CFakeHtmlHelp(const CFakeHtmlHelp&) = delete;
    CFakeHtmlHelp& operator=(const CFakeHtmlHelp&) = delete;

    const std::wstring& Path() const { return m_strFake; }

    // The file the fake was last asked to show; empty when it was not called.
    static std::wstring Shown() { return Variable(kHelpVariable); }
    // The caller, command and data of the fake's last call, as decimals.
    static std::wstring Call() { return Variable(kHelpCallVariable); }

private:
    static std::wstring Variable(const wchar_t* pszName)
    {
        WCHAR sz[1024] = {};
        const DWORD cch = GetEnvironmentVariableW(pszName, sz, ARRAYSIZE(sz));
        return cch == 0 || cch >= ARRAYSIZE(sz) ? std::wstring() : std::wstring(sz, cch);
    }

    std::wstring m_strFake;
    std::wstring m_strOld;
    bool m_bHadValue = false;
};

struct WindowSearch
{
    const wchar_t* pszCaption;
    HWND hWnd;
};

BOOL CALLBACK OnThreadWindow(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<WindowSearch*>(lParam);
    WCHAR sz[64] = {};
    GetWindowTextW(hWnd, sz, ARRAYSIZE(sz));
    if (wcscmp(sz, pSearch->pszCaption) != 0)
        return TRUE;
    pSearch->hWnd = hWnd;
    return FALSE;
}

HWND FindThreadWindow(DWORD dwThreadId, const wchar_t* pszCaption)
{
    WindowSearch search = {pszCaption, nullptr};
    EnumThreadWindows(dwThreadId, OnThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.hWnd;
}

// Opens the setup dialog of a plug-in object made by the loaded module, on a
// thread of its own as a host's user interface thread would, and hands the
// dialog window to work, which must end the dialog. Answers ShowSetupDialog's
// answer.
HRESULT RunSetupDialog(CLoadedServer& server, const std::function<void(HWND hDialog)>& work)
{
    HRESULT hrDialog = E_FAIL;
    HRESULT hrCreate = E_FAIL;
    DWORD dwThreadId = 0;
    std::atomic<bool> bStarted{false};
    std::thread dialogThread([&] {
        dwThreadId = GetCurrentThreadId();
        IClassFactory* pFactory = nullptr;
        IWendleVideoDraw* pDraw = nullptr;
        hrCreate = server.DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
        if (SUCCEEDED(hrCreate))
        {
            hrCreate = pFactory->CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(&pDraw));
            pFactory->Release();
        }
        bStarted = true;
        if (FAILED(hrCreate))
            return;
        VARIANT varNoOwner;
        VariantInit(&varNoOwner);
        hrDialog = pDraw->ShowSetupDialog(varNoOwner, 0x0409);
        pDraw->Release();
    });
    while (!bStarted.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    HWND hDialog = nullptr;
    for (int i = 0; i < 400 && hDialog == nullptr && SUCCEEDED(hrCreate); ++i)
    {
        hDialog = FindThreadWindow(dwThreadId, L"SMPTE Time Settings");
        if (hDialog == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (hDialog != nullptr)
        work(hDialog);
    dialogThread.join();
    EXPECT_EQ(hrCreate, S_OK);
    EXPECT_NE(hDialog, nullptr) << "the setup dialog did not appear";
    return hrDialog;
}

// Presses Help, sent so that it has been handled on return, and answers the
// file the fake HTML Help was asked to show (empty when it was not called).
std::wstring PressHelp(HWND hDialog)
{
    SendMessageW(hDialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDialog, 3)));
    return CFakeHtmlHelp::Shown();
}

void Click(HWND hDialog, int id)
{
    PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Presses Help, then Cancel; *phrDialog gets ShowSetupDialog's answer.
std::wstring PressHelpInSetupDialog(CLoadedServer& server, HRESULT* phrDialog)
{
    std::wstring strShown;
    *phrDialog = RunSetupDialog(server, [&](HWND hDialog) {
        strShown = PressHelp(hDialog);
        Click(hDialog, IDCANCEL);
    });
    return strShown;
}

class ServerModule : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
    }
};
} // namespace

TEST_F(ServerModule, ExportsExactlyTheFiveEntryPointsByName)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    DWORD cFunctions = 0;
    std::vector<std::string> names = ExportNames(server.Module(), &cFunctions);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllInstall",
                                               "DllRegisterServer", "DllUnregisterServer"}));
    EXPECT_EQ(cFunctions, 5u);
    EXPECT_EQ(GetProcAddress(server.Module(), "DllMain"), nullptr);
    EXPECT_EQ(GetProcAddress(server.Module(), "DllInstall@8"), nullptr);
    EXPECT_EQ(GetProcAddress(server.Module(), "_DllGetClassObject@12"), nullptr);
    EXPECT_TRUE(server.Unload());
}

TEST_F(ServerModule, ResourcesAreAllInUsEnglish)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    const std::vector<ResourceId> expected = {
        {L"#16", L"#1", kEnglishUs},       // version
        {L"#24", L"#2", kEnglishUs},       // manifest
        {L"#5", L"#201", kEnglishUs},      // setup dialog
        {L"#6", L"#7", kEnglishUs},        // strings 96 to 111
        {L"REGISTRY", L"#101", kEnglishUs},
        {L"REGISTRY", L"#102", kEnglishUs},
        {L"TYPELIB", L"#1", kEnglishUs},
    };
    std::vector<ResourceId> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    const std::vector<ResourceId> actual = AllResources(server.Module());
    EXPECT_EQ(actual, sortedExpected) << [&] {
        std::string str;
        for (const ResourceId& id : actual)
            str += Narrow(id.strType + L" " + id.strName + L" " + std::to_wstring(id.wLanguage)) + "\n";
        return str;
    }();
    EXPECT_TRUE(server.Unload());
}

TEST_F(ServerModule, VersionBlockIs1001ForAWindowsDll)
{
    const std::wstring strModule = BuiltModulePath();
    DWORD dwHandle = 0;
    const DWORD cbBlock = GetFileVersionInfoSizeW(strModule.c_str(), &dwHandle);
    ASSERT_NE(cbBlock, 0u);
    std::vector<BYTE> block(cbBlock);
    ASSERT_TRUE(GetFileVersionInfoW(strModule.c_str(), 0, cbBlock, block.data()));

    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&pFixed), &cbFixed));
    ASSERT_EQ(cbFixed, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(pFixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(pFixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(pFixed->dwFileFlags & pFixed->dwFileFlagsMask, 0u);

    WORD* pTranslation = nullptr;
    UINT cbTranslation = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&pTranslation),
                               &cbTranslation));
    ASSERT_EQ(cbTranslation, 4u);
    EXPECT_EQ(pTranslation[0], 0x0409);
    EXPECT_EQ(pTranslation[1], 1252);

    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.0.0.1");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.0.0.1");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"Ferrowind.dll");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Ferrowind.dll");
    for (const wchar_t* pszPlaceholder : {L"CompanyName", L"FileDescription", L"ProductName", L"LegalCopyright"})
        EXPECT_EQ(VersionString(block, pszPlaceholder).rfind(L"TODO: ", 0), 0u) << Narrow(pszPlaceholder);
}

TEST_F(ServerModule, ManifestRunsAsInvoker)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    HRSRC hResource = FindResourceExW(server.Module(), MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(2), kEnglishUs);
    ASSERT_NE(hResource, nullptr);
    const auto* pch = static_cast<const char*>(LockResource(LoadResource(server.Module(), hResource)));
    ASSERT_NE(pch, nullptr);
    const std::string strManifest(pch, SizeofResource(server.Module(), hResource));
    EXPECT_NE(strManifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos)
        << strManifest;
    EXPECT_TRUE(server.Unload());
}

TEST_F(ServerModule, HelpFileLiesBesideTheModule)
{
    CFakeHtmlHelp fake;
    const std::wstring strModule = L"C:\\Plugins\\Ferrowind.dll";
    ASSERT_TRUE(CopyModuleTo(strModule));
    {
        CLoadedServer server(strModule);
        ASSERT_TRUE(server.Loaded());
        HRESULT hrDialog = S_OK;
        EXPECT_EQ(PressHelpInSetupDialog(server, &hrDialog), L"C:\\Plugins\\Ferrowind.chm");
        EXPECT_EQ(CFakeHtmlHelp::Call(), std::to_wstring(reinterpret_cast<uintptr_t>(GetDesktopWindow())) + L" 0 0")
            << "the desktop as caller, the default topic, no data";
        EXPECT_EQ(hrDialog, S_FALSE);
        EXPECT_EQ(server.DllCanUnloadNow(), S_OK);
        EXPECT_TRUE(server.Unload());
    }
    RemoveCopy(strModule, L"C:");
}

TEST_F(ServerModule, LongModulePathsLoadAndWorkWithoutAHelpFileFrom257Units)
{
    CFakeHtmlHelp fake;
    // C:\Ferrowind-long\<folder>\Ferrowind.dll, 18 + n + 14 units long.
    for (const size_t cchPath : {256u, 257u, 259u})
    {
        SCOPED_TRACE(cchPath);
        SetEnvironmentVariableW(kHelpVariable, nullptr);
        const std::wstring strModule = L"C:\\Ferrowind-long\\" + std::wstring(cchPath - 32, L'p') + L"\\Ferrowind.dll";
        ASSERT_EQ(strModule.size(), cchPath);
        ASSERT_TRUE(CopyModuleTo(strModule));
        {
            CLoadedServer server(strModule);
            ASSERT_TRUE(server.Loaded());
            HRESULT hrDialog = S_OK;
            const std::wstring strShown = PressHelpInSetupDialog(server, &hrDialog);
            EXPECT_EQ(hrDialog, S_FALSE);
            if (cchPath <= 256)
                EXPECT_EQ(strShown, strModule.substr(0, cchPath - 3) + L"chm");
            else
                EXPECT_EQ(strShown, L"");

            // It registers from there too: the path still fits.
            CRegistryCleanup cleanup;
            EXPECT_EQ(server.DllRegisterServer(), S_OK);
            EXPECT_EQ(OwnRows(HKEY_LOCAL_MACHINE), EntryRows(strModule));
            EXPECT_EQ(server.DllUnregisterServer(), S_OK);
            EXPECT_TRUE(server.Unload());
        }
        RemoveCopy(strModule, L"C:");
    }
}

TEST_F(ServerModule, SetupDialogAnswersSOkWhenOkConfirmsAnEdit)
{
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(RunSetupDialog(server,
                             [](HWND hDialog) {
                                 SendMessageW(GetDlgItem(hDialog, 203), TBM_SETPOS, TRUE, 50);
                                 Click(hDialog, IDOK);
                             }),
              S_OK);
    EXPECT_TRUE(server.Unload());
}

// The registered library cannot be used, and a library of HTML Help's name
// lies beside the host: HTML Help comes from the system folder all the same.
TEST_F(ServerModule, HtmlHelpIsNeverLoadedFromTheHostsFolder)
{
    ASSERT_EQ(GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "a loaded copy would answer every load by its name";
    CFakeHtmlHelp fake;
    CFakeHtmlHelp::Register(L"C:\\Nowhere\\hhctrl.ocx");
    const std::wstring strPlanted = FolderOf(fake.Path()) + L"\\hhctrl.ocx";
    ASSERT_TRUE(CopyFileW(fake.Path().c_str(), strPlanted.c_str(), FALSE));
    // No help file beside this copy, so the system's viewer opens no window.
    const std::wstring strModule = L"C:\\Plugins\\Ferrowind.dll";
    ASSERT_TRUE(CopyModuleTo(strModule));
    {
        CLoadedServer server(strModule);
        ASSERT_TRUE(server.Loaded());
        HRESULT hrDialog = S_OK;
        PressHelpInSetupDialog(server, &hrDialog);
        EXPECT_TRUE(server.Unload());
    }
    // Wine runs its own code for a library of this name wherever it lies, but
    // reports the file it chose.
    WCHAR szLoaded[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"hhctrl.ocx"), szLoaded, MAX_PATH);
    WCHAR szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(szLoaded, (std::wstring(szSystem) + L"\\hhctrl.ocx").c_str()), 0) << Narrow(szLoaded);

    if (HMODULE hPlanted = GetModuleHandleW(strPlanted.c_str()))
        FreeLibrary(hPlanted);
    DeleteFileW(strPlanted.c_str());
    RemoveCopy(strModule, L"C:");
}

// Here the registered library has no HtmlHelpW: Help does nothing, and goes on
// doing nothing once the registration names a usable library.
TEST_F(ServerModule, HtmlHelpThatCannotBeLocatedIsNotLookedForAgain)
{
    CFakeHtmlHelp fake;
    WCHAR szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    CFakeHtmlHelp::Register(std::wstring(szSystem) + L"\\kernel32.dll");
    CLoadedServer server;
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(RunSetupDialog(server,
                             [&](HWND hDialog) {
                                 EXPECT_EQ(PressHelp(hDialog), L"");
                                 CFakeHtmlHelp::Register(fake.Path());
                                 EXPECT_EQ(PressHelp(hDialog), L"");
                                 Click(hDialog, IDCANCEL);
                             }),
              S_FALSE);
    EXPECT_TRUE(server.Unload());
}

// Loading and registering a module's type library when the module itself
// carries none: this program has no TYPELIB resource, so the library is taken
// from the .tlb file beside it, named as the program is.

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "com/ComPtr.h"
#include "com/TypeLibRegistration.h"

namespace
{
const GUID kLibId = {0x6E7FDFA9, 0x9415, 0x40DC, {0x98, 0xFB, 0x26, 0x4B, 0xF9, 0x8E, 0x96, 0x27}};

std::wstring SelfPath()
{
    WCHAR sz[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, sz, MAX_PATH);
    return sz;
}

std::wstring BesideSelf(const std::wstring& strName)
{
    const std::wstring strSelf = SelfPath();
    return strSelf.substr(0, strSelf.find_last_of(L'\\') + 1) + strName;
}

std::wstring TlbBesideSelf()
{
    const std::wstring strSelf = SelfPath();
    return strSelf.substr(0, strSelf.find_last_of(L'.')) + L".tlb";
}

// Puts the library (copied there by the build) beside the program under the
// program's own name for the life of the object.
class CTlbBesideProgram
{
public:
    CTlbBesideProgram()
    {
        m_bCopied = CopyFileW(BesideSelf(L"FerrowindLib.tlb").c_str(), TlbBesideSelf().c_str(), FALSE) != FALSE;
    }
    ~CTlbBesideProgram() { DeleteFileW(TlbBesideSelf().c_str()); }
    CTlbBesideProgram(const CTlbBesideProgram&) = delete;
    CTlbBesideProgram& operator=(const CTlbBesideProgram&) = delete;
    bool Copied() const { return m_bCopied; }

private:
    bool m_bCopied = false;
};

std::wstring HelpDirectory(const wchar_t* pszHelpFile)
{
    WCHAR szDir[MAX_PATH];
    HelpDirectoryOf(pszHelpFile, szDir);
    return szDir;
}
} // namespace

TEST(TypeLibRegistration, HelpDirectoryIsTheHelpFileCutAfterItsLastSeparator)
{
    EXPECT_EQ(HelpDirectory(nullptr), L"");
    EXPECT_EQ(HelpDirectory(L""), L"");
    EXPECT_EQ(HelpDirectory(L"Ferrowind.chm"), L"");
    EXPECT_EQ(HelpDirectory(L"C:\\Plugins\\Ferrowind.chm"), L"C:\\Plugins\\");
    EXPECT_EQ(HelpDirectory(L"C:\\Plugins/help\\x/Ferrowind.chm"), L"C:\\Plugins/help\\x/");
    EXPECT_EQ(HelpDirectory(L"C:Ferrowind.chm"), L"C:");
    EXPECT_EQ(HelpDirectory(L"C:\\Plugins\\"), L"C:\\Plugins\\");
}

TEST(TypeLibRegistration, WithoutALibraryAnywhereTheSecondLoadsFailureIsAnswered)
{
    DeleteFileW(TlbBesideSelf().c_str());
    ComPtr<ITypeLib> spLib;
    WCHAR szFrom[MAX_PATH] = {};
    const HRESULT hr = LoadModuleTypeLib(GetModuleHandleW(nullptr), spLib.put(), szFrom);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(spLib);
    EXPECT_EQ(std::wstring(szFrom), TlbBesideSelf());
    EXPECT_TRUE(FAILED(RegisterModuleTypeLib(GetModuleHandleW(nullptr), false)));
    EXPECT_EQ(LoadModuleTypeLib(GetModuleHandleW(nullptr), nullptr, szFrom), E_POINTER);
}

TEST(TypeLibRegistration, LibraryBesideTheModuleIsLoadedAndRegisteredFromThere)
{
    CTlbBesideProgram tlb;
    ASSERT_TRUE(tlb.Copied());
    ComPtr<ITypeLib> spLib;
    WCHAR szFrom[MAX_PATH] = {};
    ASSERT_EQ(LoadModuleTypeLib(GetModuleHandleW(nullptr), spLib.put(), szFrom), S_OK);
    EXPECT_EQ(std::wstring(szFrom), TlbBesideSelf());
    TLIBATTR* pAttr = nullptr;
    ASSERT_EQ(spLib->GetLibAttr(&pAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(pAttr->guid, kLibId));
    spLib->ReleaseTLibAttr(pAttr);
    spLib.reset();

    for (const bool bPerUser : {false, true})
    {
        SCOPED_TRACE(bPerUser);
        ASSERT_EQ(RegisterModuleTypeLib(GetModuleHandleW(nullptr), bPerUser), S_OK);
        BSTR bstrPath = nullptr;
        ASSERT_EQ(QueryPathOfRegTypeLib(kLibId, 1, 0, 0, &bstrPath), S_OK);
        EXPECT_STREQ(bstrPath, TlbBesideSelf().c_str());
        SysFreeString(bstrPath);
        EXPECT_EQ(UnregisterModuleTypeLib(GetModuleHandleW(nullptr), bPerUser), S_OK);
        EXPECT_TRUE(FAILED(QueryPathOfRegTypeLib(kLibId, 1, 0, 0, &bstrPath)));
    }
}

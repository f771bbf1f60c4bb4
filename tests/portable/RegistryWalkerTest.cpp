#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "com/RegistryWalker.h"
#include "tests/portable/InMemoryRegistry.h"
#include "tests/portable/RegistryScriptFiles.h"

namespace
{
using Rows = std::vector<std::string>;

constexpr char16_t kModulePath[] = u"C:\\Plugins\\Ferrowind.dll";
constexpr int32_t kHrAccessDenied = static_cast<int32_t>(0x80070005);

// The variables as the module defines them: APPID, Module and Module_Raw,
// and for the AppID script its own APPID ahead of the common one.
ReplacementList Variables(bool bAppIdScript)
{
    ReplacementList list;
    if (bAppIdScript)
        list.Add(u"APPID", kAppIdText);
    list.Add(u"APPID", kAppIdText);
    list.Add(u"Module", kModulePath);
    list.Add(u"Module_Raw", kModulePath);
    return list;
}

int32_t RunAppId(CInMemoryRegistry& reg, bool bRegister, bool bPerUser)
{
    static const std::u16string s_strScript = ReadScriptText("AppID.rgs");
    return RunRegistryScriptText(s_strScript, Variables(true), bRegister, bPerUser, reg);
}

int32_t RunClass(CInMemoryRegistry& reg, bool bRegister, bool bPerUser)
{
    static const std::u16string s_strScript = ReadScriptText("SMPTEFrameDraw.rgs");
    return RunRegistryScriptText(s_strScript, Variables(false), bRegister, bPerUser, reg);
}

// A script of the test's own, with the class script's variables.
int32_t RunText(CInMemoryRegistry& reg, std::u16string_view strScript, bool bRegister, bool bPerUser = false)
{
    return RunRegistryScriptText(strScript, Variables(false), bRegister, bPerUser, reg);
}

int32_t RegisterBoth(CInMemoryRegistry& reg, bool bPerUser = false)
{
    const int32_t hr = RunAppId(reg, true, bPerUser);
    return HrFailed(hr) ? hr : RunClass(reg, true, bPerUser);
}

// The module unregisters the class first, then the AppID.
int32_t UnregisterBoth(CInMemoryRegistry& reg, bool bPerUser = false)
{
    const int32_t hr = RunClass(reg, false, bPerUser);
    return HrFailed(hr) ? hr : RunAppId(reg, false, bPerUser);
}

Rows Sorted(Rows rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

Rows Plus(Rows a, const Rows& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return Sorted(std::move(a));
}

// Rows 2 to 8 and 10 to 17 of the entry table with their values, under root.
Rows EntryRows(const std::string& root)
{
    const std::string appId = root + "\\AppID\\{7DC31AD9-C10D-44A6-A01D-559A1539D177}";
    const std::string appIdDll = root + "\\AppID\\Ferrowind.DLL";
    const std::string progId = root + "\\Ferrowind.SMPTE.1";
    const std::string viProgId = root + "\\Ferrowind.SMPTEFr";
    const std::string cls = root + "\\CLSID\\{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}";
    return Sorted({
        appId,
        appId + " @=\"Ferrowind\"",
        appIdDll,
        appIdDll + " [AppID]=\"{7DC31AD9-C10D-44A6-A01D-559A1539D177}\"",
        progId,
        progId + " @=\"SMPTEFrameDraw Class\"",
        progId + "\\CLSID",
        progId + "\\CLSID @=\"{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}\"",
        viProgId,
        viProgId + " @=\"SMPTEFrameDraw Class\"",
        viProgId + "\\CLSID",
        viProgId + "\\CLSID @=\"{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}\"",
        viProgId + "\\CurVer",
        viProgId + "\\CurVer @=\"Ferrowind.SMPTE.1\"",
        cls,
        cls + " @=\"SMPTEFrameDraw Class\"",
        cls + "\\ProgID",
        cls + "\\ProgID @=\"Ferrowind.SMPTE.1\"",
        cls + "\\VersionIndependentProgID",
        cls + "\\VersionIndependentProgID @=\"Ferrowind.SMPTEFr\"",
        cls + "\\InprocServer32",
        cls + "\\InprocServer32 @=\"C:\\Plugins\\Ferrowind.dll\"",
        cls + "\\InprocServer32 [ThreadingModel]=\"Apartment\"",
        cls + "\\TypeLib",
        cls + "\\TypeLib @=\"{6E7FDFA9-9415-40DC-98FB-264BF98E9627}\"",
        cls + "\\Implemented Categories",
        cls + "\\Implemented Categories\\{5a245b48-94a3-4a37-9468-57f3807348e6}",
    });
}

// A machine whose AppID and CLSID keys, machine-wide and for the user,
// already hold other servers' entries.
void AddMachineBaseline(CInMemoryRegistry& reg)
{
    reg.SetString(RegRoot::ClassesRoot, u"AppID\\{00000000-1111-2222-3333-444444444444}", u"", u"Other");
    reg.SetString(RegRoot::ClassesRoot, u"CLSID\\{00000000-5555-6666-7777-888888888888}", u"", u"Other");
    reg.SetString(RegRoot::CurrentUser, u"Software\\Vendor", u"Setting", u"1");
    reg.AddKey(RegRoot::CurrentUser, u"Software\\Classes\\AppID\\{00000000-1111-2222-3333-444444444444}");
    reg.AddKey(RegRoot::CurrentUser, u"Software\\Classes\\CLSID\\{00000000-5555-6666-7777-888888888888}");
}

class RegistryWalk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AddMachineBaseline(m_reg);
        m_baseline = m_reg.Rows();
    }
    void TearDown() override { EXPECT_EQ(m_reg.OpenHandleCount(), 0u) << "a key was left open"; }

    CInMemoryRegistry m_reg;
    Rows m_baseline;
};
} // namespace

TEST_F(RegistryWalk, RegisterWritesExactlyTheEntryTable)
{
    ASSERT_EQ(RegisterBoth(m_reg), kHrOk);
    EXPECT_EQ(m_reg.Rows(), Plus(m_baseline, EntryRows("HKCR")));
}

TEST_F(RegistryWalk, RegisterOnAnEmptyRegistryCreatesAppIdAndClsid)
{
    CInMemoryRegistry reg;
    ASSERT_EQ(RegisterBoth(reg), kHrOk);
    EXPECT_EQ(reg.Rows(), Plus({"HKCR\\AppID", "HKCR\\CLSID"}, EntryRows("HKCR")));
    ASSERT_EQ(UnregisterBoth(reg), kHrOk);
    EXPECT_EQ(reg.Rows(), Rows({"HKCR\\AppID", "HKCR\\CLSID"}));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryWalk, RegisterTwiceRebuildsTheClassKeyButKeepsProgIdAdditions)
{
    ASSERT_EQ(RegisterBoth(m_reg), kHrOk);
    const std::u16string strClassKey = std::u16string(u"CLSID\\") + kClsidText;
    m_reg.SetString(RegRoot::ClassesRoot, strClassKey, u"Extra", u"by hand");
    m_reg.SetString(RegRoot::ClassesRoot, strClassKey + u"\\Foreign\\Deeper", u"", u"by hand");
    m_reg.SetString(RegRoot::ClassesRoot, strClassKey + u"\\Implemented Categories\\{0}", u"", u"x");
    m_reg.SetString(RegRoot::ClassesRoot, u"Ferrowind.SMPTE.1\\Foreign", u"Kept", u"yes");

    ASSERT_EQ(RegisterBoth(m_reg), kHrOk);
    EXPECT_EQ(m_reg.Rows(), Plus(Plus(m_baseline, EntryRows("HKCR")),
                                 {"HKCR\\Ferrowind.SMPTE.1\\Foreign", "HKCR\\Ferrowind.SMPTE.1\\Foreign [Kept]=\"yes\""}));
}

TEST_F(RegistryWalk, UnregisterLeavesAppIdAndClsidOnly)
{
    ASSERT_EQ(RegisterBoth(m_reg), kHrOk);
    ASSERT_EQ(UnregisterBoth(m_reg), kHrOk);
    EXPECT_EQ(m_reg.Rows(), m_baseline);
}

TEST_F(RegistryWalk, UnregisterKeepsAProgIdWithAForeignSubkey)
{
    ASSERT_EQ(RegisterBoth(m_reg), kHrOk);
    m_reg.AddKey(RegRoot::ClassesRoot, u"Ferrowind.SMPTE.1\\Foreign");
    ASSERT_EQ(UnregisterBoth(m_reg), kHrOk);
    // The listed CLSID subkey is gone; the key keeps its default value, which
    // is never deleted on its own.
    EXPECT_EQ(m_reg.Rows(), Plus(m_baseline, {"HKCR\\Ferrowind.SMPTE.1",
                                              "HKCR\\Ferrowind.SMPTE.1 @=\"SMPTEFrameDraw Class\"",
                                              "HKCR\\Ferrowind.SMPTE.1\\Foreign"}));
}

TEST_F(RegistryWalk, UnregisterWithNothingRegisteredSucceeds)
{
    EXPECT_EQ(UnregisterBoth(m_reg), kHrOk);
    EXPECT_EQ(m_reg.Rows(), m_baseline);
}

TEST_F(RegistryWalk, PerUserRunsLandUnderCurrentUserClasses)
{
    ASSERT_EQ(RegisterBoth(m_reg, true), kHrOk);
    EXPECT_EQ(m_reg.Rows(), Plus(m_baseline, EntryRows("HKCU\\Software\\Classes")));
    ASSERT_EQ(UnregisterBoth(m_reg, true), kHrOk);
    EXPECT_EQ(m_reg.Rows(), m_baseline);
}

TEST_F(RegistryWalk, PerUserUnregisterNeverRemovesSoftwareOrClasses)
{
    CInMemoryRegistry reg;
    ASSERT_EQ(RunText(reg, u"HKCR { Ferrowind.X = s 'x' }", true, true), kHrOk);
    EXPECT_EQ(reg.Rows(), Rows({"HKCU\\Software", "HKCU\\Software\\Classes", "HKCU\\Software\\Classes\\Ferrowind.X",
                                "HKCU\\Software\\Classes\\Ferrowind.X @=\"x\""}));
    ASSERT_EQ(RunText(reg, u"HKCR { Ferrowind.X = s 'x' }", false, true), kHrOk);
    EXPECT_EQ(reg.Rows(), Rows({"HKCU\\Software", "HKCU\\Software\\Classes"}));

    reg.AddKey(RegRoot::CurrentUser, u"Software\\Classes\\.txt");
    ASSERT_EQ(RunText(reg, u"HKCR { Ferrowind.X }", true, true), kHrOk);
    ASSERT_EQ(RunText(reg, u"HKCR { Ferrowind.X }", false, true), kHrOk);
    EXPECT_EQ(reg.Rows(), Rows({"HKCU\\Software", "HKCU\\Software\\Classes", "HKCU\\Software\\Classes\\.txt"}));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryWalk, ForceRemoveSparesProtectedNames)
{
    m_reg.SetString(RegRoot::ClassesRoot, u"Plain\\Old", u"", u"old");
    const Rows before = m_reg.Rows();
    ASSERT_EQ(RunText(m_reg, u"HKCR { ForceRemove clsid { New } ForceRemove APPID ForceRemove Plain { New } }", true),
              kHrOk);
    Rows expected = before;
    expected.erase(std::find(expected.begin(), expected.end(), "HKCR\\Plain\\Old"));
    expected.erase(std::find(expected.begin(), expected.end(), "HKCR\\Plain\\Old @=\"old\""));
    EXPECT_EQ(m_reg.Rows(), Plus(expected, {"HKCR\\CLSID\\New", "HKCR\\Plain\\New"}));
}

TEST_F(RegistryWalk, NoRemoveKeepsKeysAndValues)
{
    const std::u16string_view strScript = u"HKCR { NoRemove Keep { NoRemove val Stay = s '1' val Go = s '2' } Drop }";
    ASSERT_EQ(RunText(m_reg, strScript, true), kHrOk);
    ASSERT_EQ(RunText(m_reg, strScript, false), kHrOk);
    EXPECT_EQ(m_reg.Rows(), Plus(m_baseline, {"HKCR\\Keep", "HKCR\\Keep [Stay]=\"1\""}));
}

TEST_F(RegistryWalk, ValuesAreStringsWithTheTerminatorCounted)
{
    ASSERT_EQ(RunText(m_reg, u"HKCR { K = s '' { val V = s 'ab' } }", true), kHrOk);
    // Rows() shows "text" only for a REG_SZ whose stored size counts one
    // terminator; anything else would show as "<type ...>".
    EXPECT_EQ(m_reg.Rows(), Plus(m_baseline, {"HKCR\\K", "HKCR\\K @=\"\"", "HKCR\\K [V]=\"ab\""}));
}

TEST_F(RegistryWalk, ScriptErrorsWriteNothing)
{
    const struct
    {
        std::u16string_view strScript;
        int32_t hrExpected;
    } kCases[] = {
        {u"HKCR { A } HKCR { B = }", kHrDispException},
        {u"HKCR { A = s '%Undefined%' }", kHrDispException},
        {u"HKCR { A = s '%Module' }", kHrDispException},
        {u"HKCR { A = s '%ABCDEFGHIJKLMNOPQRSTUVWXYZ012345%' }", kHrFail},
    };
    for (const auto& c : kCases)
    {
        for (bool bRegister : {true, false})
            EXPECT_EQ(RunText(m_reg, c.strScript, bRegister), c.hrExpected);
        EXPECT_EQ(m_reg.OperationCount(), 0u);
    }
}

TEST_F(RegistryWalk, ReadOnlyKeyIsOpenedForReadingThenItsWriteFailsAndRollsBack)
{
    m_reg.SetString(RegRoot::ClassesRoot, u"Ferrowind.SMPTEFr", u"", u"locked");
    m_reg.DenyWrite(RegRoot::ClassesRoot, u"Ferrowind.SMPTEFr");
    const Rows before = m_reg.Rows();
    EXPECT_EQ(RunClass(m_reg, true, false), kHrAccessDenied);
    // Ferrowind.SMPTE.1 was written and removed again; the locked key cannot
    // be deleted and the rollback ignores that.
    EXPECT_EQ(m_reg.Rows(), before);
}

TEST_F(RegistryWalk, KeyThatRefusesWritingIsOpenedForReadingAndItsSubkeysWritten)
{
    m_reg.AddKey(RegRoot::ClassesRoot, u"Locked\\Child");
    m_reg.DenyWrite(RegRoot::ClassesRoot, u"Locked");
    const Rows before = m_reg.Rows();
    ASSERT_EQ(RunText(m_reg, u"HKCR { NoRemove Locked { Child { val v = s '1' } } }", true), kHrOk);
    EXPECT_EQ(m_reg.Rows(), Plus(before, {"HKCR\\Locked\\Child [v]=\"1\""}));
}

TEST_F(RegistryWalk, LaterRootBlocksDoNotRunAfterAFailure)
{
    m_reg.DenyWrite(RegRoot::LocalMachine, u"Locked");
    const std::u16string_view strScript = u"HKCU { First } HKLM { Locked { Child } } HKCU { Third }";
    EXPECT_EQ(RunText(m_reg, strScript, true), kHrAccessDenied);
    // The first block succeeded and stays; the failing block is rolled back.
    EXPECT_TRUE(m_reg.HasKey(RegRoot::CurrentUser, u"First"));
    EXPECT_TRUE(m_reg.HasKey(RegRoot::LocalMachine, u"Locked"));
    EXPECT_FALSE(m_reg.HasKey(RegRoot::LocalMachine, u"Locked\\Child"));
    EXPECT_FALSE(m_reg.HasKey(RegRoot::CurrentUser, u"Third"));
}

TEST_F(RegistryWalk, BackwardStopsAtAnErrorButSkipsMissingKeys)
{
    m_reg.SetString(RegRoot::ClassesRoot, u"A\\Locked", u"v", u"1");
    m_reg.DenyWrite(RegRoot::ClassesRoot, u"A\\Locked");
    m_reg.AddKey(RegRoot::ClassesRoot, u"C");
    const std::u16string_view strScript = u"HKCR { Missing { Deeper } A { Locked { val v = s '1' } } C }";
    EXPECT_EQ(RunText(m_reg, strScript, false), kHrAccessDenied);
    EXPECT_TRUE(m_reg.HasKey(RegRoot::ClassesRoot, u"C")) << "the run ended at the locked key";
}

TEST(DeleteKeyTree, RemovesEverySubkeyAndSkipsOnesThatStay)
{
    CInMemoryRegistry reg;
    reg.SetString(RegRoot::ClassesRoot, u"T\\A\\A1", u"", u"x");
    reg.AddKey(RegRoot::ClassesRoot, u"T\\A\\A2\\A21");
    reg.AddKey(RegRoot::ClassesRoot, u"T\\B");
    reg.AddKey(RegRoot::ClassesRoot, u"T\\C");
    EXPECT_EQ(DeleteKeyTree(reg, reg.RootKey(RegRoot::ClassesRoot), u"t"), kWin32Success);
    EXPECT_TRUE(reg.Rows().empty());

    reg.AddKey(RegRoot::ClassesRoot, u"T\\A\\A1");
    reg.DenyWrite(RegRoot::ClassesRoot, u"T\\B");
    reg.AddKey(RegRoot::ClassesRoot, u"T\\C\\C1");
    EXPECT_EQ(DeleteKeyTree(reg, reg.RootKey(RegRoot::ClassesRoot), u"T"), kWin32AccessDenied);
    EXPECT_EQ(reg.Rows(), Rows({"HKCR\\T", "HKCR\\T\\B"}));
    EXPECT_EQ(DeleteKeyTree(reg, reg.RootKey(RegRoot::ClassesRoot), u"Missing"), kWin32FileNotFound);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

namespace
{
struct InjectionCase
{
    const char* pszName;
    bool bClassScript;
    bool bPerUser;
};

const InjectionCase kInjectionCases[] = {
    {"AppID script", false, false},
    {"class script", true, false},
    {"AppID script per user", false, true},
    {"class script per user", true, true},
};

int32_t RunCase(const InjectionCase& c, CInMemoryRegistry& reg, bool bRegister)
{
    return c.bClassScript ? RunClass(reg, bRegister, c.bPerUser) : RunAppId(reg, bRegister, c.bPerUser);
}
} // namespace

// Every operation of a registration fails once. The answer is either the
// failure (and the rollback has left the registry as it was) or S_OK (the
// failure hit a step whose errors do not count, and everything is written).
TEST(RegistryWalkFailures, EveryRegisterStepFailsCleanly)
{
    for (const InjectionCase& c : kInjectionCases)
    {
        SCOPED_TRACE(c.pszName);
        CInMemoryRegistry clean;
        AddMachineBaseline(clean);
        const Rows baseline = clean.Rows();
        ASSERT_EQ(RunCase(c, clean, true), kHrOk);
        const Rows registered = clean.Rows();
        const size_t cOps = clean.OperationCount();
        ASSERT_GT(cOps, 5u);

        size_t cFailures = 0;
        for (size_t nOp = 0; nOp < cOps; ++nOp)
        {
            SCOPED_TRACE("failing operation " + std::to_string(nOp));
            CInMemoryRegistry reg;
            AddMachineBaseline(reg);
            reg.FailAt(nOp, kWin32AccessDenied);
            const int32_t hr = RunCase(c, reg, true);
            const CInMemoryRegistry::Op op = clean.OperationAt(nOp);
            if (op == CInMemoryRegistry::Op::CreateKey || op == CInMemoryRegistry::Op::SetValue)
            {
                EXPECT_EQ(hr, kHrAccessDenied);
            }
            if (hr == kHrOk)
            {
                EXPECT_EQ(reg.Rows(), registered);
            }
            else
            {
                ++cFailures;
                EXPECT_EQ(hr, kHrAccessDenied);
                EXPECT_EQ(reg.Rows(), baseline) << "the rollback left something behind";
            }
            EXPECT_EQ(reg.OpenHandleCount(), 0u);
        }
        EXPECT_GT(cFailures, 0u);
    }
}

// A second registration over entries with additions by hand: any failure
// leaves the registry as an unregistration would (the rollback walks the
// script backward), never half rebuilt.
TEST(RegistryWalkFailures, EveryStepOfASecondRegistrationFailsCleanly)
{
    auto Prepare = [](CInMemoryRegistry& reg) {
        AddMachineBaseline(reg);
        EXPECT_EQ(RegisterBoth(reg), kHrOk);
        const std::u16string strClassKey = std::u16string(u"CLSID\\") + kClsidText;
        reg.SetString(RegRoot::ClassesRoot, strClassKey + u"\\Foreign\\Deeper", u"", u"by hand");
        reg.AddKey(RegRoot::ClassesRoot, u"Ferrowind.SMPTE.1\\Foreign");
        reg.ClearLog();
    };
    CInMemoryRegistry clean;
    Prepare(clean);
    ASSERT_EQ(RunClass(clean, true, false), kHrOk);
    const size_t cOps = clean.OperationCount();

    // A failure before the class key was rebuilt leaves it with the foreign
    // subkey; one after that leaves none of it.
    CInMemoryRegistry unregistered;
    Prepare(unregistered);
    ASSERT_EQ(RunClass(unregistered, false, false), kHrOk);
    const Rows rowsUnregistered = unregistered.Rows();
    CInMemoryRegistry rebuilt;
    Prepare(rebuilt);
    RegKey clsid = 0;
    ASSERT_EQ(rebuilt.OpenKey(rebuilt.RootKey(RegRoot::ClassesRoot), u"CLSID", RegAccess::Read, &clsid),
              kWin32Success);
    ASSERT_EQ(DeleteKeyTree(rebuilt, clsid, kClsidText), kWin32Success);
    rebuilt.CloseKey(clsid);
    ASSERT_EQ(RunClass(rebuilt, false, false), kHrOk);
    const Rows rowsRebuiltUnregistered = rebuilt.Rows();
    ASSERT_NE(rowsUnregistered, rowsRebuiltUnregistered);

    size_t cBeforeRebuild = 0;
    size_t cAfterRebuild = 0;
    for (size_t nOp = 0; nOp < cOps; ++nOp)
    {
        SCOPED_TRACE("failing operation " + std::to_string(nOp));
        CInMemoryRegistry reg;
        Prepare(reg);
        reg.FailAt(nOp, kWin32AccessDenied);
        const int32_t hr = RunClass(reg, true, false);
        if (hr != kHrOk)
        {
            EXPECT_EQ(hr, kHrAccessDenied);
            const Rows after = reg.Rows();
            EXPECT_TRUE(after == rowsUnregistered || after == rowsRebuiltUnregistered);
            ++(after == rowsUnregistered ? cBeforeRebuild : cAfterRebuild);
        }
        EXPECT_EQ(reg.OpenHandleCount(), 0u);
    }
    EXPECT_GT(cBeforeRebuild, 0u);
    EXPECT_GT(cAfterRebuild, 0u);
}

// Every operation of an unregistration fails once: the run ends with that
// error, whatever was removed so far stays removed, and a later clean
// unregistration finishes the job.
TEST(RegistryWalkFailures, EveryUnregisterStepEndsTheRun)
{
    for (const InjectionCase& c : kInjectionCases)
    {
        SCOPED_TRACE(c.pszName);
        CInMemoryRegistry clean;
        AddMachineBaseline(clean);
        ASSERT_EQ(RegisterBoth(clean, c.bPerUser), kHrOk);
        const Rows registered = clean.Rows();
        clean.ClearLog();
        ASSERT_EQ(RunCase(c, clean, false), kHrOk);
        const Rows unregistered = clean.Rows();
        const size_t cOps = clean.OperationCount();
        ASSERT_GT(cOps, 3u);

        for (size_t nOp = 0; nOp < cOps; ++nOp)
        {
            SCOPED_TRACE("failing operation " + std::to_string(nOp));
            CInMemoryRegistry reg;
            AddMachineBaseline(reg);
            ASSERT_EQ(RegisterBoth(reg, c.bPerUser), kHrOk);
            reg.ClearLog();
            reg.FailAt(nOp, kWin32AccessDenied);
            EXPECT_EQ(RunCase(c, reg, false), kHrAccessDenied);
            const Rows after = reg.Rows();
            EXPECT_TRUE(std::includes(registered.begin(), registered.end(), after.begin(), after.end()));
            EXPECT_TRUE(std::includes(after.begin(), after.end(), unregistered.begin(), unregistered.end()));
            EXPECT_EQ(reg.OpenHandleCount(), 0u);

            reg.ClearFailure();
            EXPECT_EQ(RunCase(c, reg, false), kHrOk);
            EXPECT_EQ(reg.Rows(), unregistered);
        }
    }
}

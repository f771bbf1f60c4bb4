#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/RegistryScript.h"
#include "tests/portable/InMemoryRegistry.h"
#include "tests/portable/RegistryScriptFiles.h"

using namespace std::literals;

namespace
{
std::string Narrow(std::u16string_view s)
{
    return CInMemoryRegistry::RowText(s);
}

ReplacementList ModuleVariables()
{
    ReplacementList list;
    list.Add(u"APPID", kAppIdText);
    list.Add(u"APPID", kAppIdText);
    list.Add(u"Module", u"C:\\Plugins\\Ferrowind.dll");
    list.Add(u"Module_Raw", u"C:\\Plugins\\Ferrowind.dll");
    return list;
}

RegScript ParseOk(std::u16string_view strText)
{
    RegScript script;
    EXPECT_EQ(ParseRegistryScript(strText, script), kHrOk) << Narrow(strText);
    return script;
}
} // namespace

TEST(RegistryScriptFile, AppIdScriptIsStoredByteForByte)
{
    const std::string strExpected =
        "\t\tHKCR\r\n"
        "{\r\n"
        "\tNoRemove AppID\r\n"
        "\t{\r\n"
        "\t\t'%APPID%' = s 'Ferrowind'\r\n"
        "\t\t'Ferrowind.DLL'\r\n"
        "\t\t{\r\n"
        "\t\t\tval AppID = s '%APPID%'\r\n"
        "\t\t}\r\n"
        "\t}\r\n"
        "}\r\n";
    EXPECT_EQ(ReadScriptBytes("AppID.rgs"), strExpected);
}

TEST(RegistryScriptFile, ClassScriptIsStoredByteForByte)
{
    const std::string strExpected =
        "HKCR\r\n"
        "{\r\n"
        "\tFerrowind.SMPTE.1 = s 'SMPTEFrameDraw Class'\r\n"
        "\t{\r\n"
        "\t\tCLSID = s '{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}'\r\n"
        "\t}\r\n"
        "\tFerrowind.SMPTEFr = s 'SMPTEFrameDraw Class'\r\n"
        "\t{\r\n"
        "\t\tCLSID = s '{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}'\r\n"
        "\t\tCurVer = s 'Ferrowind.SMPTE.1'\r\n"
        "\t}\r\n"
        "\tNoRemove CLSID\r\n"
        "\t{\r\n"
        "\t\tForceRemove {7755CDB1-91E2-41c5-9B9C-1F669CE36F30} = s 'SMPTEFrameDraw Class'\r\n"
        "\t\t{\r\n"
        "\t\t\tProgID = s 'Ferrowind.SMPTE.1'\r\n"
        "\t\t\tVersionIndependentProgID = s 'Ferrowind.SMPTEFr'\r\n"
        "\t\t\tInprocServer32 = s '%MODULE%'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n"
        "\t\t\t}\r\n"
        "\t\t\t'TypeLib' = s '{6E7FDFA9-9415-40DC-98FB-264BF98E9627}'\r\n"
        "\t\t\tForceRemove 'Implemented Categories'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tForceRemove {5a245b48-94a3-4a37-9468-57f3807348e6}\r\n"
        "\t\t\t}\r\n"
        "\t\t}\r\n"
        "\t}\r\n"
        "}\r\n";
    EXPECT_EQ(ReadScriptBytes("SMPTEFrameDraw.rgs"), strExpected);
}

TEST(ReplacementList, HoldsEightDefinitionsFirstOneWins)
{
    ReplacementList list;
    EXPECT_EQ(list.Find(u"x"), nullptr);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(list.Add(i % 2 == 0 ? u"Name" : u"NAME", i % 2 == 0 ? u"first" : u"second"));
    EXPECT_FALSE(list.Add(u"Other", u"x"));
    EXPECT_EQ(list.Count(), 8u);
    ASSERT_NE(list.Find(u"name"), nullptr);
    EXPECT_EQ(*list.Find(u"nAmE"), u"first");
    EXPECT_EQ(list.Find(u"Other"), nullptr);
}

TEST(SubstituteVariables, RefusesBadReferencesAndKeepsTheOutputUntouched)
{
    ReplacementList list = ModuleVariables();
    const std::u16string strLong32(32, u'N');
    list.Add(strLong32, u"defined");
    const struct
    {
        std::u16string_view strIn;
        int32_t hrExpected;
    } kCases[] = {
        {u"%", kHrDispException},
        {u"abc%", kHrDispException},
        {u"abc %APPID", kHrDispException},
        {u"%APPID% and %MODULE", kHrDispException},
        {u"%NotDefined%", kHrDispException},
        {u"%APPID %", kHrDispException},
        {u"%NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN%", kHrFail},      // 32 units, though defined
        {u"%NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN%", kHrFail}, // longer, undefined
    };
    for (const auto& c : kCases)
    {
        std::u16string strOut = u"untouched";
        EXPECT_EQ(SubstituteVariables(c.strIn, list, strOut), c.hrExpected) << Narrow(c.strIn);
        EXPECT_EQ(strOut, u"untouched");
    }
}

TEST(SubstituteVariables, ReplacesNamesWithoutRegardToCase)
{
    ReplacementList list = ModuleVariables();
    const std::u16string strName31(31, u'v');
    list.Add(strName31, u"thirty-one");
    list.Add(u"Pct", u"%APPID%");
    const struct
    {
        std::u16string_view strIn;
        std::u16string_view strExpected;
    } kCases[] = {
        {u"", u""},
        {u"no variables", u"no variables"},
        {u"'%APPID%'", u"'{7DC31AD9-C10D-44A6-A01D-559A1539D177}'"},
        {u"%appid%%Module%", u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}C:\\Plugins\\Ferrowind.dll"},
        {u"%MODULE_RAW%", u"C:\\Plugins\\Ferrowind.dll"},
        {u"100%%", u"100%"},
        {u"%%%%", u"%%"},
        {u"%%%APPID%%%", u"%{7DC31AD9-C10D-44A6-A01D-559A1539D177}%"},
        {u"%vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv%", u"thirty-one"},
        // A value is inserted as it is, never substituted again.
        {u"%pct%", u"%APPID%"},
    };
    for (const auto& c : kCases)
    {
        std::u16string strOut = u"stale";
        EXPECT_EQ(SubstituteVariables(c.strIn, list, strOut), kHrOk) << Narrow(c.strIn);
        EXPECT_EQ(strOut, c.strExpected) << Narrow(c.strIn);
    }
}

TEST(SubstituteVariables, FirstDefinitionWins)
{
    ReplacementList list;
    list.Add(u"APPID", u"own");
    list.Add(u"appid", u"common");
    std::u16string strOut;
    ASSERT_EQ(SubstituteVariables(u"%APPID%", list, strOut), kHrOk);
    EXPECT_EQ(strOut, u"own");
}

TEST(ParseRegistryScript, RefusesMalformedScripts)
{
    const std::u16string_view kCases[] = {
        u"HKXX { }",
        u"'HKCR' { }",
        u"HKCR",
        u"HKCR {",
        u"HKCR{ }",
        u"HKCR X { }",
        u"HKCR { X",
        u"HKCR { X { }",
        u"HKCR { } }",
        u"HKCR { X = }",
        u"HKCR { X = s }",
        u"HKCR { X = d '1' }",
        u"HKCR { X = 's' 'a' }",
        u"HKCR { X = s { }",
        u"HKCR { X =s 'a' }",
        u"HKCR { val }",
        u"HKCR { val X }",
        u"HKCR { val X s 'a' }",
        u"HKCR { val X = s }",
        u"HKCR { val { = s 'a' }",
        u"HKCR { ForceRemove val X = s 'a' }",
        u"HKCR { NoRemove }",
        u"HKCR { 'unclosed }",
        u"HKCR { X = s 'unclosed }",
        u"HKCR { '' }",
        u"HKCR { 'a\\b' }",
        u"HKCR { a\\b }",
        u"HKCR { =X }",
        u"HKCR { }X }",
        u"HKCR { 'nul\u0000name' }"sv,
    };
    for (const std::u16string_view& strCase : kCases)
    {
        RegScript script;
        script.vecRoots.resize(3);
        EXPECT_EQ(ParseRegistryScript(strCase, script), kHrDispException) << Narrow(strCase);
        EXPECT_EQ(script.vecRoots.size(), 3u) << "a failed parse leaves the tree alone";
    }
}

TEST(ParseRegistryScript, NestingIsBounded)
{
    auto Nested = [](unsigned nKeys) {
        std::u16string s = u"HKCR {";
        for (unsigned i = 0; i < nKeys; ++i)
            s += u" K {";
        for (unsigned i = 0; i <= nKeys; ++i)
            s += u" }";
        return s;
    };
    RegScript script;
    EXPECT_EQ(ParseRegistryScript(Nested(kMaxScriptDepth - 1), script), kHrOk);
    EXPECT_EQ(ParseRegistryScript(Nested(kMaxScriptDepth), script), kHrDispException);
}

TEST(ParseRegistryScript, EmptyTextHasNoRoots)
{
    EXPECT_TRUE(ParseOk(u"").vecRoots.empty());
    EXPECT_TRUE(ParseOk(u" \t\r\n ").vecRoots.empty());
}

TEST(ParseRegistryScript, RootNamesAndKeywordsIgnoreCase)
{
    const RegScript script = ParseOk(u"hkcr { noremove A { VAL v = S x } FORCEREMOVE B }\r\n"
                                     u"HKEY_LOCAL_MACHINE { } HKCU { } HKU { } hkey_current_config { }");
    ASSERT_EQ(script.vecRoots.size(), 5u);
    EXPECT_EQ(script.vecRoots[0].root, RegRoot::ClassesRoot);
    EXPECT_EQ(script.vecRoots[1].root, RegRoot::LocalMachine);
    EXPECT_EQ(script.vecRoots[2].root, RegRoot::CurrentUser);
    EXPECT_EQ(script.vecRoots[3].root, RegRoot::Users);
    EXPECT_EQ(script.vecRoots[4].root, RegRoot::CurrentConfig);

    const auto& vecKeys = script.vecRoots[0].vecChildren;
    ASSERT_EQ(vecKeys.size(), 2u);
    EXPECT_EQ(vecKeys[0].strName, u"A");
    EXPECT_TRUE(vecKeys[0].bNoRemove);
    EXPECT_FALSE(vecKeys[0].bForceRemove);
    ASSERT_EQ(vecKeys[0].vecChildren.size(), 1u);
    EXPECT_TRUE(vecKeys[0].vecChildren[0].bIsValue);
    EXPECT_EQ(vecKeys[0].vecChildren[0].strName, u"v");
    EXPECT_EQ(vecKeys[0].vecChildren[0].strData, u"x");
    EXPECT_EQ(vecKeys[1].strName, u"B");
    EXPECT_TRUE(vecKeys[1].bForceRemove);
    EXPECT_FALSE(vecKeys[1].bHasData);
}

TEST(ParseRegistryScript, QuotedNamesKeepDoubledQuotesAndKeywords)
{
    const RegScript script =
        ParseOk(u"HKCR { 'it''s' = s 'a''b''' { val '''' = s '' } 'NoRemove' 'val' = s 'x y' '{' }");
    ASSERT_EQ(script.vecRoots.size(), 1u);
    const auto& vecKeys = script.vecRoots[0].vecChildren;
    ASSERT_EQ(vecKeys.size(), 4u);
    EXPECT_EQ(vecKeys[0].strName, u"it's");
    EXPECT_TRUE(vecKeys[0].bHasData);
    EXPECT_EQ(vecKeys[0].strData, u"a'b'");
    ASSERT_EQ(vecKeys[0].vecChildren.size(), 1u);
    EXPECT_EQ(vecKeys[0].vecChildren[0].strName, u"'");
    EXPECT_EQ(vecKeys[0].vecChildren[0].strData, u"");
    EXPECT_EQ(vecKeys[1].strName, u"NoRemove");
    EXPECT_FALSE(vecKeys[1].bNoRemove);
    EXPECT_EQ(vecKeys[2].strName, u"val");
    EXPECT_FALSE(vecKeys[2].bIsValue);
    EXPECT_EQ(vecKeys[2].strData, u"x y");
    EXPECT_EQ(vecKeys[3].strName, u"{");
}

TEST(ParseRegistryScript, NoRemoveValueAndStackedQualifiers)
{
    const RegScript script = ParseOk(u"HKCR { NoRemove val V = s d ForceRemove NoRemove K }");
    const auto& vecNodes = script.vecRoots.at(0).vecChildren;
    ASSERT_EQ(vecNodes.size(), 2u);
    EXPECT_TRUE(vecNodes[0].bIsValue);
    EXPECT_TRUE(vecNodes[0].bNoRemove);
    EXPECT_TRUE(vecNodes[1].bNoRemove);
    EXPECT_TRUE(vecNodes[1].bForceRemove);
}

TEST(ParseRegistryScript, StoredScriptsGiveTheEntryTree)
{
    const ReplacementList list = ModuleVariables();
    std::u16string strAppId;
    ASSERT_EQ(SubstituteVariables(ReadScriptText("AppID.rgs"), list, strAppId), kHrOk);
    const RegScript appId = ParseOk(strAppId);
    ASSERT_EQ(appId.vecRoots.size(), 1u);
    EXPECT_EQ(appId.vecRoots[0].root, RegRoot::ClassesRoot);
    ASSERT_EQ(appId.vecRoots[0].vecChildren.size(), 1u);
    const RegScriptNode& appIdKey = appId.vecRoots[0].vecChildren[0];
    EXPECT_EQ(appIdKey.strName, u"AppID");
    EXPECT_TRUE(appIdKey.bNoRemove);
    ASSERT_EQ(appIdKey.vecChildren.size(), 2u);
    EXPECT_EQ(appIdKey.vecChildren[0].strName, kAppIdText);
    EXPECT_EQ(appIdKey.vecChildren[0].strData, u"Ferrowind");
    EXPECT_EQ(appIdKey.vecChildren[1].strName, u"Ferrowind.DLL");
    ASSERT_EQ(appIdKey.vecChildren[1].vecChildren.size(), 1u);
    EXPECT_TRUE(appIdKey.vecChildren[1].vecChildren[0].bIsValue);
    EXPECT_EQ(appIdKey.vecChildren[1].vecChildren[0].strData, kAppIdText);

    std::u16string strClass;
    ASSERT_EQ(SubstituteVariables(ReadScriptText("SMPTEFrameDraw.rgs"), list, strClass), kHrOk);
    const RegScript cls = ParseOk(strClass);
    ASSERT_EQ(cls.vecRoots.size(), 1u);
    const auto& vecTop = cls.vecRoots[0].vecChildren;
    ASSERT_EQ(vecTop.size(), 3u);
    EXPECT_EQ(vecTop[0].strName, u"Ferrowind.SMPTE.1");
    EXPECT_EQ(vecTop[1].strName, u"Ferrowind.SMPTEFr");
    EXPECT_EQ(vecTop[2].strName, u"CLSID");
    EXPECT_TRUE(vecTop[2].bNoRemove);
    ASSERT_EQ(vecTop[2].vecChildren.size(), 1u);
    const RegScriptNode& classKey = vecTop[2].vecChildren[0];
    EXPECT_EQ(classKey.strName, kClsidText);
    EXPECT_TRUE(classKey.bForceRemove);
    ASSERT_EQ(classKey.vecChildren.size(), 5u);
    EXPECT_EQ(classKey.vecChildren[2].strName, u"InprocServer32");
    EXPECT_EQ(classKey.vecChildren[2].strData, u"C:\\Plugins\\Ferrowind.dll");
    EXPECT_EQ(classKey.vecChildren[3].strName, u"TypeLib");
    EXPECT_EQ(classKey.vecChildren[4].strName, u"Implemented Categories");
    EXPECT_TRUE(classKey.vecChildren[4].bForceRemove);
    ASSERT_EQ(classKey.vecChildren[4].vecChildren.size(), 1u);
    EXPECT_TRUE(classKey.vecChildren[4].vecChildren[0].bForceRemove);
}

TEST(RewriteForPerUser, MovesOnlyTheClassRootUnderSoftwareClasses)
{
    RegScript script = ParseOk(u"HKCR { NoRemove A = s 'x' } HKLM { B } HKEY_CLASSES_ROOT { C }");
    ASSERT_EQ(RewriteForPerUser(script), kHrOk);
    ASSERT_EQ(script.vecRoots.size(), 3u);
    for (size_t i : {size_t(0), size_t(2)})
    {
        const RegScriptRootBlock& block = script.vecRoots[i];
        EXPECT_EQ(block.root, RegRoot::CurrentUser);
        ASSERT_EQ(block.vecChildren.size(), 1u);
        const RegScriptNode& software = block.vecChildren[0];
        EXPECT_EQ(software.strName, u"Software");
        EXPECT_TRUE(software.bNoRemove);
        EXPECT_FALSE(software.bForceRemove || software.bHasData || software.bIsValue);
        ASSERT_EQ(software.vecChildren.size(), 1u);
        const RegScriptNode& classes = software.vecChildren[0];
        EXPECT_EQ(classes.strName, u"Classes");
        EXPECT_TRUE(classes.bNoRemove);
        EXPECT_FALSE(classes.bForceRemove || classes.bHasData || classes.bIsValue);
        ASSERT_EQ(classes.vecChildren.size(), 1u);
    }
    EXPECT_EQ(script.vecRoots[0].vecChildren[0].vecChildren[0].vecChildren[0].strName, u"A");
    EXPECT_TRUE(script.vecRoots[0].vecChildren[0].vecChildren[0].vecChildren[0].bNoRemove);
    EXPECT_EQ(script.vecRoots[1].root, RegRoot::LocalMachine);
    EXPECT_EQ(script.vecRoots[1].vecChildren.at(0).strName, u"B");
}

TEST(IsProtectedKeyName, TwelveNamesWithoutRegardToCase)
{
    for (std::u16string_view strName :
         {u"AppID", u"clsid", u"COMPONENT CATEGORIES", u"FileType", u"interface", u"Hardware", u"MIME", u"sam",
          u"Security", u"system", u"SOFTWARE", u"typelib"})
        EXPECT_TRUE(IsProtectedKeyName(strName)) << Narrow(strName);
    for (std::u16string_view strName : {u"", u"AppIDs", u"CLSID ", u"Component", u"Classes", u"Implemented Categories"})
        EXPECT_FALSE(IsProtectedKeyName(strName)) << Narrow(strName);
}

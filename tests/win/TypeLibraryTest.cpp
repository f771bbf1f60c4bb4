// The type library inside the built Ferrowind.dll, read back through the
// platform's type-library service: the library's attributes, the coclass and
// every host interface with its methods in slot order.

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "Ferrowind.h"
#include "ServerTestSupport.h"
#include "com/ComPtr.h"

namespace
{
const GUID kLibId = {0x6E7FDFA9, 0x9415, 0x40DC, {0x98, 0xFB, 0x26, 0x4B, 0xF9, 0x8E, 0x96, 0x27}};
const CLSID kClsid = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};

struct InterfaceTable
{
    const wchar_t* pszName;
    const IID* piid;
    const IID* piidBase;
    // Its own methods, from the first slot after its base's, in slot order.
    std::vector<const wchar_t*> methods;
};

const std::vector<InterfaceTable>& InterfaceTables()
{
    static const std::vector<InterfaceTable> tables = {
        {L"IWendleVideoDraw", &IID_IWendleVideoDraw, &IID_IUnknown,
         {L"GetName", L"GetDescription", L"HasSetupDialog", L"ShowSetupDialog", L"SetRecording", L"SetProject",
          L"GiveUpcomingFrame", L"GetDrawSetupParameters", L"SetDrawSetupParameters"}},
        {L"IWendleRecording", &IID_IWendleRecording, &IID_IUnknown,
         {L"GetName", L"GetDescription", L"GetRecordingUUID", L"GetDataStream", L"GetAppTags", L"GetAppName",
          L"GetFrameDuration", L"GetRemoteViewerName", L"GetChatUserName", L"GetTreeviewStreamFolders",
          L"AddTreeviewStreamFolder", L"GetRecordingLength", L"WndClassNameToTag", L"WndClassTagToName"}},
        {L"IWendleEventStream", &IID_IWendleEventStream, &IID_IUnknown,
         {L"EnumEvents", L"GetEventCount", L"GetEventStreamID", L"SetRecording", L"SetProject", L"ReadEventFile",
          L"GetStreamName", L"SetTempDirectory", L"SetStartTime"}},
        {L"IEnumWendleBase", &IID_IEnumWendleBase, &IID_IUnknown, {L"Skip", L"Reset"}},
        {L"IEnumWendleEvent", &IID_IEnumWendleEvent, &IID_IEnumWendleBase, {L"Next", L"Clone"}},
        {L"IWendleEvent", &IID_IWendleEvent, &IID_IUnknown,
         {L"GetTime", L"GetTimeRange", L"GetAppTag", L"GetWndClassTag", L"GetHWND", L"GetEventTypeID"}},
        {L"IWendleProject", &IID_IWendleProject, &IID_IUnknown,
         {L"GetRecording", L"GetAllAppNames", L"EnumRecordings", L"GetMarkerStrings", L"GetMarkerScores",
          L"GetMarkerScoreString", L"GetTaskIDs", L"GetTaskDefinition", L"GetTaskScores", L"GetTaskScoreString",
          L"GetSurveyQuestions", L"GetSurveyQuestionStyles", L"GetSurveyQuestionChoices", L"GetSurveyQuestionCount",
          L"GetSurveyChoiceCounts", L"GetSurveyStyle", L"GetSurveyName", L"GetSurveyIDs"}},
        {L"IEnumWendleRecording", &IID_IEnumWendleRecording, &IID_IEnumWendleBase, {L"Next", L"Clone"}},
    };
    return tables;
}

std::wstring Take(BSTR bstr)
{
    std::wstring str = bstr != nullptr ? std::wstring(bstr, SysStringLen(bstr)) : std::wstring(L"<null>");
    SysFreeString(bstr);
    return str;
}

std::string Narrow(const std::wstring& str)
{
    return std::string(str.begin(), str.end());
}

class TypeLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(LoadTypeLibEx(BuiltModulePath().c_str(), REGKIND_NONE, m_spLib.put()), S_OK);
    }

    ComPtr<ITypeInfo> Info(REFGUID guid)
    {
        ComPtr<ITypeInfo> spInfo;
        EXPECT_EQ(m_spLib->GetTypeInfoOfGuid(guid, spInfo.put()), S_OK);
        return spInfo;
    }

    ComPtr<ITypeLib> m_spLib;
};

class CTypeAttr
{
public:
    explicit CTypeAttr(ITypeInfo* pInfo) : m_pInfo(pInfo) { m_hr = pInfo->GetTypeAttr(&m_pAttr); }
    ~CTypeAttr()
    {
        if (m_pAttr != nullptr)
            m_pInfo->ReleaseTypeAttr(m_pAttr);
    }
    CTypeAttr(const CTypeAttr&) = delete;
    CTypeAttr& operator=(const CTypeAttr&) = delete;
    HRESULT Result() const { return m_hr; }
    const TYPEATTR* operator->() const { return m_pAttr; }

private:
    ITypeInfo* m_pInfo;
    TYPEATTR* m_pAttr = nullptr;
    HRESULT m_hr;
};
} // namespace

TEST_F(TypeLibrary, LibraryAttributes)
{
    TLIBATTR* pAttr = nullptr;
    ASSERT_EQ(m_spLib->GetLibAttr(&pAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(pAttr->guid, kLibId));
    EXPECT_EQ(pAttr->wMajorVerNum, 1);
    EXPECT_EQ(pAttr->wMinorVerNum, 0);
    EXPECT_EQ(pAttr->syskind, kOwnSysKind);
    m_spLib->ReleaseTLibAttr(pAttr);

    BSTR bstrName = nullptr;
    BSTR bstrDoc = nullptr;
    BSTR bstrHelpFile = nullptr;
    ASSERT_EQ(m_spLib->GetDocumentation(-1, &bstrName, &bstrDoc, nullptr, &bstrHelpFile), S_OK);
    EXPECT_EQ(Take(bstrName), L"FerrowindLib");
    EXPECT_EQ(Take(bstrDoc), L"Ferrowind 1.0 Type Library");
    EXPECT_EQ(Take(bstrHelpFile), L"<null>");

    // stdole2 is imported, so IUnknown resolves into it rather than into a
    // copy of its own.
    ComPtr<ITypeInfo> spDraw = Info(IID_IWendleVideoDraw);
    ASSERT_TRUE(spDraw);
    HREFTYPE hRef = 0;
    ASSERT_EQ(spDraw->GetRefTypeOfImplType(0, &hRef), S_OK);
    ComPtr<ITypeInfo> spBase;
    ASSERT_EQ(spDraw->GetRefTypeInfo(hRef, spBase.put()), S_OK);
    ComPtr<ITypeLib> spBaseLib;
    UINT nIndex = 0;
    ASSERT_EQ(spBase->GetContainingTypeLib(spBaseLib.put(), &nIndex), S_OK);
    BSTR bstrBaseLib = nullptr;
    ASSERT_EQ(spBaseLib->GetDocumentation(-1, &bstrBaseLib, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(bstrBaseLib), L"stdole");
}

TEST_F(TypeLibrary, CoclassIsCreatableWithIWendleVideoDrawAsDefault)
{
    ComPtr<ITypeInfo> spClass = Info(kClsid);
    ASSERT_TRUE(spClass);
    CTypeAttr attr(spClass.get());
    ASSERT_EQ(attr.Result(), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    ASSERT_EQ(attr->cImplTypes, 1);

    BSTR bstrName = nullptr;
    BSTR bstrDoc = nullptr;
    ASSERT_EQ(spClass->GetDocumentation(MEMBERID_NIL, &bstrName, &bstrDoc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Take(bstrName), L"SMPTEFrameDraw");
    EXPECT_EQ(Take(bstrDoc), L"SMPTEFrameDraw Class");

    INT nFlags = 0;
    ASSERT_EQ(spClass->GetImplTypeFlags(0, &nFlags), S_OK);
    EXPECT_EQ(nFlags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE hRef = 0;
    ASSERT_EQ(spClass->GetRefTypeOfImplType(0, &hRef), S_OK);
    ComPtr<ITypeInfo> spDefault;
    ASSERT_EQ(spClass->GetRefTypeInfo(hRef, spDefault.put()), S_OK);
    CTypeAttr defaultAttr(spDefault.get());
    ASSERT_EQ(defaultAttr.Result(), S_OK);
    EXPECT_TRUE(IsEqualIID(defaultAttr->guid, IID_IWendleVideoDraw));
}

TEST_F(TypeLibrary, EveryHostInterfaceWithItsMethodsInSlotOrder)
{
    for (const InterfaceTable& table : InterfaceTables())
    {
        SCOPED_TRACE(Narrow(table.pszName));
        ComPtr<ITypeInfo> spInfo = Info(*table.piid);
        ASSERT_TRUE(spInfo);
        BSTR bstrName = nullptr;
        ASSERT_EQ(spInfo->GetDocumentation(MEMBERID_NIL, &bstrName, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Take(bstrName), table.pszName);

        CTypeAttr attr(spInfo.get());
        ASSERT_EQ(attr.Result(), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
        ASSERT_EQ(attr->cFuncs, table.methods.size());
        ASSERT_EQ(attr->cImplTypes, 1);

        HREFTYPE hRef = 0;
        ASSERT_EQ(spInfo->GetRefTypeOfImplType(0, &hRef), S_OK);
        ComPtr<ITypeInfo> spBase;
        ASSERT_EQ(spInfo->GetRefTypeInfo(hRef, spBase.put()), S_OK);
        CTypeAttr baseAttr(spBase.get());
        ASSERT_EQ(baseAttr.Result(), S_OK);
        EXPECT_TRUE(IsEqualIID(baseAttr->guid, *table.piidBase));
        // The first own slot follows the base's last.
        const SHORT cbFirst = static_cast<SHORT>(baseAttr->cbSizeVft);
        EXPECT_EQ(attr->cbSizeVft, cbFirst + table.methods.size() * sizeof(void*));

        for (UINT i = 0; i < table.methods.size(); ++i)
        {
            FUNCDESC* pFunc = nullptr;
            ASSERT_EQ(spInfo->GetFuncDesc(i, &pFunc), S_OK);
            BSTR bstrMethod = nullptr;
            spInfo->GetDocumentation(pFunc->memid, &bstrMethod, nullptr, nullptr, nullptr);
            EXPECT_EQ(Take(bstrMethod), table.methods[i]);
            EXPECT_EQ(pFunc->oVft, static_cast<SHORT>(cbFirst + i * sizeof(void*))) << Narrow(table.methods[i]);
            EXPECT_EQ(pFunc->elemdescFunc.tdesc.vt, VT_HRESULT) << Narrow(table.methods[i]);
            spInfo->ReleaseFuncDesc(pFunc);
        }
    }
}

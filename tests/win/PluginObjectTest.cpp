// The plug-in object as the host sees it: creation, identity, reference
// counts, the module lock, the trivial slots, the host-object reference rules
// and the first frame of a new object.

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <oleauto.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "Ferrowind.h"
#include "com/ComPtr.h"
#include "com/FerrowindModule.h"
#include "com/ModuleGlobals.h"
#include "com/SMPTEFrameDraw.h"
#include "settings/BlobBuffer.h"
#include "settings/CurrentSettings.h"

namespace
{
IWendleVideoDraw* NewPlugin()
{
    IWendleVideoDraw* p = nullptr;
    EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

// The reference count as AddRef and Release answer it, leaving it unchanged.
ULONG RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

void* const kSentinel = reinterpret_cast<void*>(static_cast<uintptr_t>(0xA5A5A5A5));

// Reference counting shared by the fake host objects. Any call beyond the
// IUnknown methods is counted: the plug-in must make none.
template <typename TInterface>
class CFakeHostObject : public TInterface
{
public:
    LONG m_cRef = 1;
    int m_cOtherCalls = 0;
    // The module's lock count at the last Release, to see the teardown order.
    LONG m_nLocksAtRelease = -1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(TInterface)))
        {
            *ppv = static_cast<TInterface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        m_nLocksAtRelease = g_pModule->GetLockCount();
        return static_cast<ULONG>(--m_cRef);
    }

protected:
    HRESULT Other()
    {
        ++m_cOtherCalls;
        return E_NOTIMPL;
    }
};

class CFakeRecording final : public CFakeHostObject<IWendleRecording>
{
public:
    STDMETHODIMP GetName(BSTR*) override { return Other(); }
    STDMETHODIMP GetDescription(BSTR*) override { return Other(); }
    STDMETHODIMP GetRecordingUUID(GUID*) override { return Other(); }
    STDMETHODIMP GetDataStream(GUID*, IWendleEventStream**) override { return Other(); }
    STDMETHODIMP GetAppTags(BSTR, VARIANT_BOOL, VARIANT*) override { return Other(); }
    STDMETHODIMP GetAppName(int, BSTR*, BSTR*) override { return Other(); }
    STDMETHODIMP GetFrameDuration(VARIANT*) override { return Other(); }
    STDMETHODIMP GetRemoteViewerName(int, BSTR*) override { return Other(); }
    STDMETHODIMP GetChatUserName(int, BSTR*) override { return Other(); }
    STDMETHODIMP GetTreeviewStreamFolders(GUID*, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP AddTreeviewStreamFolder(GUID*, BSTR) override { return Other(); }
    STDMETHODIMP GetRecordingLength(VARIANT*) override { return Other(); }
    STDMETHODIMP WndClassNameToTag(BSTR, int*) override { return Other(); }
    STDMETHODIMP WndClassTagToName(int, ULONG, VARIANT_BOOL, BSTR*) override { return Other(); }
};

class CFakeProject final : public CFakeHostObject<IWendleProject>
{
public:
    STDMETHODIMP GetRecording(GUID*, IWendleRecording**) override { return Other(); }
    STDMETHODIMP GetAllAppNames(VARIANT*) override { return Other(); }
    STDMETHODIMP EnumRecordings(IEnumWendleRecording**) override { return Other(); }
    STDMETHODIMP GetMarkerStrings(ULONG, int, BSTR*, BSTR*) override { return Other(); }
    STDMETHODIMP GetMarkerScores(int, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetMarkerScoreString(int, int, BSTR*) override { return Other(); }
    STDMETHODIMP GetTaskIDs(SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetTaskDefinition(UINT, BSTR*, BSTR*) override { return Other(); }
    STDMETHODIMP GetTaskScores(UINT, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetTaskScoreString(UINT, int, BSTR*) override { return Other(); }
    STDMETHODIMP GetSurveyQuestions(GUID*, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetSurveyQuestionStyles(GUID*, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetSurveyQuestionChoices(GUID*, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetSurveyQuestionCount(GUID*, ULONG*) override { return Other(); }
    STDMETHODIMP GetSurveyChoiceCounts(GUID*, SAFEARRAY**) override { return Other(); }
    STDMETHODIMP GetSurveyStyle(GUID*, int*) override { return Other(); }
    STDMETHODIMP GetSurveyName(GUID*, BSTR*) override { return Other(); }
    STDMETHODIMP GetSurveyIDs(SAFEARRAY**) override { return Other(); }
};

class PluginObject : public ::testing::Test
{
protected:
    // Every test has an object of its own to call, holding one module lock
    // throughout; the counts below are taken with it alive.
    void SetUp() override
    {
        g_hInstance = GetModuleHandleW(nullptr);
        m_nLocksBefore = g_pModule->GetLockCount();
        m_plugin = NewPlugin();
        ASSERT_NE(m_plugin, nullptr);
        m_nBaseLocks = g_pModule->GetLockCount();
    }
    void TearDown() override
    {
        g_hInstance = GetModuleHandleW(nullptr);
        if (m_plugin != nullptr)
        {
            EXPECT_EQ(ReleasePlugin(), 0u);
        }
        EXPECT_EQ(g_pModule->GetLockCount(), m_nLocksBefore);
    }

    ULONG ReleasePlugin() { return std::exchange(m_plugin, nullptr)->Release(); }

    IWendleVideoDraw* m_plugin = nullptr;
    LONG m_nLocksBefore = 0;
    LONG m_nBaseLocks = 0;
};
} // namespace

TEST_F(PluginObject, CreationRefusesNullOutPointerAndAggregation)
{
    CFakeRecording outer;
    EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, IID_IWendleVideoDraw, nullptr), E_POINTER);
    EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);

    void* pv = kSentinel;
    EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(&outer, IID_IUnknown, &pv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(outer.m_cRef, 1);
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks);
}

TEST_F(PluginObject, CreationForAForeignInterfaceLeavesNothingBehind)
{
    for (REFIID riid : {IID_IDispatch, IID_IClassFactory, IID_IWendleRecording})
    {
        void* pv = kSentinel;
        EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, riid, &pv), E_NOINTERFACE);
        EXPECT_EQ(pv, nullptr);
        EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks);
    }
}

TEST_F(PluginObject, ANewObjectHasOneReferenceAndOneModuleLock)
{
    for (REFIID riid : {IID_IUnknown, IID_IWendleVideoDraw})
    {
        IUnknown* p = nullptr;
        ASSERT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, riid, reinterpret_cast<void**>(&p)), S_OK);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks + 1);
        EXPECT_EQ(p->AddRef(), 2u);
        EXPECT_EQ(p->Release(), 1u);
        EXPECT_EQ(p->Release(), 0u);
        EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks);
    }
}

TEST_F(PluginObject, QueryInterfaceGivesOneIdentityAndCountsEachReference)
{

    IUnknown* pUnknown = nullptr;
    ASSERT_EQ(m_plugin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(pUnknown), static_cast<void*>(m_plugin));
    EXPECT_EQ(RefCount(m_plugin), 2u);

    IWendleVideoDraw* pDraw = nullptr;
    ASSERT_EQ(pUnknown->QueryInterface(IID_IWendleVideoDraw, reinterpret_cast<void**>(&pDraw)), S_OK);
    EXPECT_EQ(pDraw, m_plugin);
    EXPECT_EQ(RefCount(m_plugin), 3u);

    EXPECT_EQ(pDraw->Release(), 2u);
    EXPECT_EQ(pUnknown->Release(), 1u);
    EXPECT_EQ(ReleasePlugin(), 0u);
}

TEST_F(PluginObject, QueryInterfaceRefusesOtherIdsAndNullOutPointers)
{
    for (REFIID riid : {IID_IDispatch, IID_IClassFactory, IID_IWendleRecording, IID_IWendleProject,
                        IID_IEnumWendleBase, IID_IMarshal})
    {
        void* pv = kSentinel;
        EXPECT_EQ(m_plugin->QueryInterface(riid, &pv), E_NOINTERFACE);
        EXPECT_EQ(pv, nullptr);
    }
    EXPECT_EQ(m_plugin->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(m_plugin->QueryInterface(IID_IWendleVideoDraw, nullptr), E_POINTER);
    EXPECT_EQ(RefCount(m_plugin), 1u);
    EXPECT_EQ(ReleasePlugin(), 0u);
}

TEST_F(PluginObject, ModuleLockCountFollowsObjectLifetimes)
{
    IWendleVideoDraw* first = NewPlugin();
    IWendleVideoDraw* second = NewPlugin();
    IWendleVideoDraw* third = NewPlugin();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks + 3);

    second->AddRef();
    EXPECT_EQ(second->Release(), 1u);
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks + 3);

    second->Release();
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks + 2);
    first->Release();
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks + 1);
    third->Release();
    EXPECT_EQ(g_pModule->GetLockCount(), m_nBaseLocks);
}

TEST_F(PluginObject, GetNameAnswersTheDisplayNameForAnyLocale)
{
    for (LONG nLocaleID : {0L, 1033L, 1031L, 1041L, -1L})
    {
        BSTR bstr = nullptr;
        ASSERT_EQ(m_plugin->GetName(&bstr, nLocaleID), S_OK) << nLocaleID;
        ASSERT_NE(bstr, nullptr);
        EXPECT_STREQ(bstr, L"Ferrowind");
        EXPECT_EQ(SysStringLen(bstr), 9u);
        SysFreeString(bstr);
    }
}

TEST_F(PluginObject, GetNameRefusesNullAndUnwritableOutPointers)
{
    EXPECT_EQ(m_plugin->GetName(nullptr, 1033), E_POINTER);

    void* pPage = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    ASSERT_NE(pPage, nullptr);
    EXPECT_EQ(m_plugin->GetName(static_cast<BSTR*>(pPage), 1033), E_POINTER);
    EXPECT_EQ(*static_cast<BSTR*>(pPage), nullptr);
    VirtualFree(pPage, 0, MEM_RELEASE);
}

TEST_F(PluginObject, GetNameWithoutTheStringIsFalseAndLeavesTheOutPointer)
{
    // A module with resources but no string 101 of ours.
    HMODULE hOther = GetModuleHandleW(L"kernel32.dll");
    ASSERT_NE(hOther, nullptr);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(LoadStringW(hOther, 101, reinterpret_cast<LPWSTR>(&psz), 0), 0);

    g_hInstance = hOther;
    BSTR bstr = static_cast<BSTR>(kSentinel);
    EXPECT_EQ(m_plugin->GetName(&bstr, 1033), S_FALSE);
    EXPECT_EQ(bstr, static_cast<BSTR>(kSentinel));
}

TEST_F(PluginObject, GetDescriptionIsNotImplementedAndTouchesNothing)
{
    BSTR bstr = static_cast<BSTR>(kSentinel);
    EXPECT_EQ(m_plugin->GetDescription(&bstr, 1033), E_NOTIMPL);
    EXPECT_EQ(bstr, static_cast<BSTR>(kSentinel));
    EXPECT_EQ(m_plugin->GetDescription(nullptr, 0), E_NOTIMPL);
}

TEST_F(PluginObject, HasSetupDialogWritesAllSixteenBits)
{
    VARIANT_BOOL b = 0x1234;
    EXPECT_EQ(m_plugin->HasSetupDialog(&b), S_OK);
    EXPECT_EQ(static_cast<USHORT>(b), 0xFFFFu);
    EXPECT_EQ(m_plugin->HasSetupDialog(nullptr), E_POINTER);
}

TEST_F(PluginObject, SetProjectTakesNoReference)
{
    CFakeProject project;
    EXPECT_EQ(m_plugin->SetProject(&project), S_OK);
    EXPECT_EQ(project.m_cRef, 1);
    EXPECT_EQ(m_plugin->SetProject(nullptr), S_OK);
    EXPECT_EQ(ReleasePlugin(), 0u);
    EXPECT_EQ(project.m_cRef, 1);
    EXPECT_EQ(project.m_cOtherCalls, 0);
}

TEST_F(PluginObject, SetRecordingHoldsExactlyTheLastRecording)
{
    CFakeRecording first;
    CFakeRecording second;

    EXPECT_EQ(m_plugin->SetRecording(&first), S_OK);
    EXPECT_EQ(first.m_cRef, 2);

    EXPECT_EQ(m_plugin->SetRecording(&second), S_OK);
    EXPECT_EQ(first.m_cRef, 1);
    EXPECT_EQ(second.m_cRef, 2);

    EXPECT_EQ(m_plugin->SetRecording(&second), S_OK);
    EXPECT_EQ(second.m_cRef, 2);

    EXPECT_EQ(m_plugin->SetRecording(nullptr), S_OK);
    EXPECT_EQ(second.m_cRef, 1);
    EXPECT_EQ(m_plugin->SetRecording(nullptr), S_OK);
    EXPECT_EQ(second.m_cRef, 1);

    EXPECT_EQ(ReleasePlugin(), 0u);
    EXPECT_EQ(first.m_cRef, 1);
    EXPECT_EQ(second.m_cRef, 1);
    EXPECT_EQ(first.m_cOtherCalls + second.m_cOtherCalls, 0);
}

TEST_F(PluginObject, DestructionReleasesTheRecordingAfterTheModuleLock)
{
    CFakeRecording recording;
    ASSERT_EQ(m_plugin->SetRecording(&recording), S_OK);
    ASSERT_EQ(recording.m_cRef, 2);

    EXPECT_EQ(ReleasePlugin(), 0u);
    EXPECT_EQ(recording.m_cRef, 1);
    EXPECT_EQ(recording.m_nLocksAtRelease, m_nLocksBefore);
    EXPECT_EQ(recording.m_cOtherCalls, 0);
}

namespace
{
// A black 32-bit bottom-up frame as a host hands it over.
class CBlackFrame
{
public:
    CBlackFrame(LONG cx, LONG cy) : m_cx(cx), m_cy(cy), m_pixels(static_cast<size_t>(cx) * cy * 4, 0)
    {
        std::memset(&m_bmi, 0, sizeof(m_bmi));
        m_bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        m_bmi.bmiHeader.biWidth = cx;
        m_bmi.bmiHeader.biHeight = cy;
        m_bmi.bmiHeader.biPlanes = 1;
        m_bmi.bmiHeader.biBitCount = 32;
        m_bmi.bmiHeader.biCompression = BI_RGB;
        m_info.cbSize = sizeof(m_bmi);
        m_info.pData = reinterpret_cast<BYTE*>(&m_bmi);
        m_bytes.cbSize = static_cast<ULONG>(m_pixels.size());
        m_bytes.pData = m_pixels.data();
    }

    HRESULT DrawWith(IWendleVideoDraw* plugin, int nOriginX = 0, int nOriginY = 0, double dblScaleX = 1.0,
                     double dblScaleY = 1.0)
    {
        return plugin->GiveUpcomingFrame(&m_info, &m_bytes, 0, 666667, nOriginX, nOriginY, dblScaleX, dblScaleY, 0);
    }

    const std::vector<BYTE>& Pixels() const { return m_pixels; }

    // Pixel (x, y), y from the top, as 0x00RRGGBB.
    DWORD Rgb(LONG x, LONG y) const
    {
        const size_t row = static_cast<size_t>(m_cy - 1 - y);
        DWORD v;
        std::memcpy(&v, &m_pixels[(row * m_cx + x) * 4], 4);
        return v & 0x00FFFFFFu;
    }

    LONG m_cx;
    LONG m_cy;

private:
    BITMAPINFO m_bmi;
    std::vector<BYTE> m_pixels;
    BSTRBLOB m_info = {};
    BSTRBLOB m_bytes = {};
};

struct LitPixels
{
    int count = 0;
    LONG left = LONG_MAX;
    LONG top = LONG_MAX;
    LONG right = -1;
    LONG bottom = -1;
    bool onlyGrey = true;
    bool onlyRed = true;
};

LitPixels Survey(const CBlackFrame& frame)
{
    LitPixels lit;
    for (LONG y = 0; y < frame.m_cy; ++y)
        for (LONG x = 0; x < frame.m_cx; ++x)
        {
            const DWORD rgb = frame.Rgb(x, y);
            if (rgb == 0)
                continue;
            ++lit.count;
            lit.left = std::min(lit.left, x);
            lit.top = std::min(lit.top, y);
            lit.right = std::max(lit.right, x);
            lit.bottom = std::max(lit.bottom, y);
            const BYTE r = GetBValue(rgb); // 0x00RRGGBB read as a COLORREF
            const BYTE g = GetGValue(rgb);
            const BYTE b = GetRValue(rgb);
            lit.onlyGrey = lit.onlyGrey && r == g && g == b;
            lit.onlyRed = lit.onlyRed && g == 0 && b == 0;
        }
    return lit;
}

class PluginObjectFrame : public PluginObject
{
protected:
    void SetUp() override
    {
        PluginObject::SetUp();
        SnapshotSettings(g_currentSettings, m_saved);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override
    {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        ReplaceSettings(g_currentSettings, m_saved);
        PluginObject::TearDown();
    }

    ULONG_PTR m_gdiplusToken = 0;
    SMPTEDrawSettings m_saved;
};
} // namespace

TEST_F(PluginObjectFrame, ANewObjectDrawsItsFirstFrameWithDefaultSettings)
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    IWendleVideoDraw* plugin = NewPlugin();
    ASSERT_NE(plugin, nullptr);
    CBlackFrame frame(640, 480);
    EXPECT_EQ(frame.DrawWith(plugin), S_OK);
    plugin->Release();

    const LitPixels lit = Survey(frame);
    ASSERT_GT(lit.count, 100);
    EXPECT_TRUE(lit.onlyGrey);
    EXPECT_LT(lit.top, 60);
    EXPECT_LT(lit.left, 60);
    EXPECT_LT(lit.bottom, 240);
}

TEST_F(PluginObjectFrame, ANewObjectDrawsItsFirstFrameWithTheCurrentSettings)
{
    // Another object draws first with the defaults, then the settings change
    // through a blob; the new object must not start from anything but them.
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    CBlackFrame warmUp(640, 480);
    ASSERT_EQ(warmUp.DrawWith(m_plugin), S_OK);

    SMPTEDrawSettings red;
    red.argbColor = 0xFFFF0000u;
    red.dwPosition = PackPosition(100, 100);
    CSerializedBlob blob;
    ASSERT_TRUE(red.Serialize(blob));
    SAFEARRAYBOUND bound = {blob.cbBlob, 0};
    SAFEARRAY* psa = SafeArrayCreate(VT_UI1, 1, &bound);
    ASSERT_NE(psa, nullptr);
    std::memcpy(psa->pvData, blob.pbBlob, blob.cbBlob);
    ASSERT_EQ(m_plugin->SetDrawSetupParameters(psa), S_OK);
    SafeArrayDestroy(psa);

    IWendleVideoDraw* plugin = NewPlugin();
    ASSERT_NE(plugin, nullptr);
    CBlackFrame frame(640, 480);
    EXPECT_EQ(frame.DrawWith(plugin), S_OK);

    const LitPixels lit = Survey(frame);
    ASSERT_GT(lit.count, 100);
    EXPECT_TRUE(lit.onlyRed);
    EXPECT_GT(lit.top, 240);
    EXPECT_GT(lit.bottom, 480 - 40);
    EXPECT_GT(lit.right, 640 - 40);

    plugin->Release();
}

TEST_F(PluginObjectFrame, OriginAndScaleArgumentsChangeNoPixel)
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    CBlackFrame reference(640, 480);
    ASSERT_EQ(reference.DrawWith(m_plugin), S_OK);
    ASSERT_GT(Survey(reference).count, 100);
    const struct
    {
        int nOriginX, nOriginY;
        double dblScaleX, dblScaleY;
    } kArguments[] = {{100, -50, 1.0, 1.0}, {0, 0, 0.5, 2.0}, {INT_MIN, INT_MAX, -1.0, 0.0}, {7, 7, 1e300, -1e-300}};
    for (const auto& a : kArguments)
    {
        CBlackFrame frame(640, 480);
        EXPECT_EQ(frame.DrawWith(m_plugin, a.nOriginX, a.nOriginY, a.dblScaleX, a.dblScaleY), S_OK);
        EXPECT_TRUE(frame.Pixels() == reference.Pixels()) << a.nOriginX << " " << a.dblScaleX;
    }
}

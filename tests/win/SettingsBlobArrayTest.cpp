// GetDrawSetupParameters and SetDrawSetupParameters on real SAFEARRAYs,
// through real plug-in objects, reading g_currentSettings back byte for byte.

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <functional>
#include <new>
#include <ostream>
#include <vector>

#include "Ferrowind.h"
#include "com/ComPtr.h"
#include "com/SMPTEFrameDraw.h"
#include "settings/CurrentSettings.h"
#include "tests/portable/SettingsBytes.h"

namespace
{
// Switched on by a test to make the blob's working buffer unobtainable.
bool g_bFailNothrowArrayNew = false;
} // namespace

// The blob's working buffer comes from the nothrow array form of new.
void* operator new[](std::size_t cb, const std::nothrow_t&) noexcept
{
    if (g_bFailNothrowArrayNew)
        return nullptr;
    try
    {
        return ::operator new[](cb);
    }
    catch (...)
    {
        return nullptr;
    }
}

namespace
{
using Bytes = std::vector<BYTE>;

// A record unlike the defaults everywhere; the shared settings hold it while
// refusals are tried, so that any partial write would show.
SMPTEDrawSettings DistinctSettings()
{
    SMPTEDrawSettings s;
    s.lfFont.lfHeight = -33;
    s.lfFont.lfWeight = 700;
    s.lfFont.lfItalic = 1;
    const wchar_t face[] = L"Liberation Sans";
    std::memcpy(s.lfFont.lfFaceName, face, sizeof(face));
    s.lfFont.lfFaceName[30] = 0x7777;
    s.argbColor = 0x40102030u;
    s.dwPosition = PackPosition(61, 17);
    return s;
}

ComPtr<IWendleVideoDraw> NewPlugin()
{
    ComPtr<IWendleVideoDraw> p;
    EXPECT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(p.put())),
              S_OK);
    return p;
}

class CSafeArrayPtr
{
public:
    explicit CSafeArrayPtr(SAFEARRAY* psa = nullptr) : m_psa(psa) {}
    ~CSafeArrayPtr()
    {
        if (m_psa != nullptr)
            SafeArrayDestroy(m_psa);
    }
    CSafeArrayPtr(const CSafeArrayPtr&) = delete;
    CSafeArrayPtr& operator=(const CSafeArrayPtr&) = delete;
    SAFEARRAY* get() const { return m_psa; }
    SAFEARRAY** put() { return &m_psa; }

private:
    SAFEARRAY* m_psa;
};

// A one-dimensional array of the given type holding the bytes.
SAFEARRAY* MakeArray(const Bytes& bytes, LONG lLower = 0, VARTYPE vt = VT_UI1)
{
    SAFEARRAYBOUND bound = {static_cast<ULONG>(bytes.size()), lLower};
    SAFEARRAY* psa = SafeArrayCreate(vt, 1, &bound);
    if (psa == nullptr || bytes.empty())
        return psa;
    void* pv = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(psa, &pv)))
    {
        std::memcpy(pv, bytes.data(), bytes.size());
        SafeArrayUnaccessData(psa);
    }
    return psa;
}

Bytes ArrayBytes(SAFEARRAY* psa)
{
    LONG lLower = 0;
    LONG lUpper = -1;
    SafeArrayGetLBound(psa, 1, &lLower);
    SafeArrayGetUBound(psa, 1, &lUpper);
    void* pv = nullptr;
    if (FAILED(SafeArrayAccessData(psa, &pv)))
        return {};
    const BYTE* p = static_cast<const BYTE*>(pv);
    Bytes b(p, p + (lUpper - lLower + 1));
    SafeArrayUnaccessData(psa);
    return b;
}

Bytes WithPosition(WORD h, WORD v)
{
    Bytes b = DefaultBlobBytes();
    b[100] = LOBYTE(h);
    b[101] = HIBYTE(h);
    b[102] = LOBYTE(v);
    b[103] = HIBYTE(v);
    return b;
}

// Counts the task allocator's blocks and can make one chosen allocation fail.
class CCountingMallocSpy final : public IMallocSpy
{
public:
    LONG m_cLive = 0;
    int m_nAllocs = 0;
    int m_nFailAt = 0; // 1-based; 0 fails none

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy))
        {
            *ppv = static_cast<IMallocSpy*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T cbRequest) override
    {
        ++m_nAllocs;
        // A zero answer for a non-zero request makes the allocator fail.
        return m_nAllocs == m_nFailAt ? 0 : cbRequest;
    }
    STDMETHODIMP_(void*) PostAlloc(void* pActual) override
    {
        if (pActual != nullptr)
            ++m_cLive;
        return pActual;
    }
    STDMETHODIMP_(void*) PreFree(void* pRequest, BOOL fSpyed) override
    {
        if (pRequest != nullptr && fSpyed)
            --m_cLive;
        return pRequest;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    STDMETHODIMP_(void*) PostRealloc(void* pActual, BOOL) override { return pActual; }
    STDMETHODIMP_(void*) PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
};

// Starts from the defaults with a plug-in object to call.
class SettingsBlobArray : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SnapshotSettings(g_currentSettings, m_saved);
        ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
        m_plugin = NewPlugin();
        ASSERT_TRUE(m_plugin);
    }
    void TearDown() override
    {
        m_plugin.reset();
        ReplaceSettings(g_currentSettings, m_saved);
    }

    SMPTEDrawSettings m_saved;
    ComPtr<IWendleVideoDraw> m_plugin;
};

SAFEARRAY* const kUntouched = reinterpret_cast<SAFEARRAY*>(static_cast<uintptr_t>(0x5A5A5A5A));
} // namespace

TEST_F(SettingsBlobArray, GetWithNullPointerIsInvalidArg)
{
    EXPECT_EQ(m_plugin->GetDrawSetupParameters(nullptr), E_INVALIDARG);
}

TEST_F(SettingsBlobArray, SetWithNullArrayIsPointerError)
{
    ReplaceSettings(g_currentSettings, DistinctSettings());
    EXPECT_EQ(m_plugin->SetDrawSetupParameters(nullptr), E_POINTER);
    EXPECT_TRUE(SameBytes(CurrentSettings(), DistinctSettings()));
}

TEST_F(SettingsBlobArray, DefaultSettingsGiveTheDocumentedArray)
{
    CSafeArrayPtr array;
    ASSERT_EQ(m_plugin->GetDrawSetupParameters(array.put()), S_OK);
    ASSERT_NE(array.get(), nullptr);

    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array.get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    EXPECT_EQ(SafeArrayGetDim(array.get()), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(array.get()), 1u);
    LONG lLower = -1;
    LONG lUpper = -1;
    EXPECT_EQ(SafeArrayGetLBound(array.get(), 1, &lLower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array.get(), 1, &lUpper), S_OK);
    EXPECT_EQ(lLower, 0);
    EXPECT_EQ(lUpper, 103);
    EXPECT_EQ(array.get()->cLocks, 0u);
    EXPECT_EQ(ArrayBytes(array.get()), DefaultBlobBytes());
}

TEST_F(SettingsBlobArray, GetThenSetRoundTripsTheSettings)
{
    ReplaceSettings(g_currentSettings, DistinctSettings());
    CSafeArrayPtr array;
    ASSERT_EQ(m_plugin->GetDrawSetupParameters(array.put()), S_OK);
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());

    EXPECT_EQ(m_plugin->SetDrawSetupParameters(array.get()), S_OK);
    EXPECT_TRUE(SameBytes(CurrentSettings(), DistinctSettings()));
    EXPECT_EQ(array.get()->cLocks, 0u);

    // The array stays the caller's: it can be handed in again.
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    EXPECT_EQ(m_plugin->SetDrawSetupParameters(array.get()), S_OK);
    EXPECT_TRUE(SameBytes(CurrentSettings(), DistinctSettings()));
}

TEST_F(SettingsBlobArray, ABlobSetThroughOneObjectIsReadThroughAnother)
{
    ComPtr<IWendleVideoDraw> second = NewPlugin();
    ASSERT_TRUE(second);

    Bytes blob = WithPosition(100, 0);
    blob[96] = 0x11; // blue
    blob[99] = 0x7F; // alpha
    CSafeArrayPtr in(MakeArray(blob));
    ASSERT_EQ(m_plugin->SetDrawSetupParameters(in.get()), S_OK);

    CSafeArrayPtr out;
    ASSERT_EQ(second->GetDrawSetupParameters(out.put()), S_OK);
    EXPECT_EQ(ArrayBytes(out.get()), blob);
    EXPECT_EQ(CurrentSettings().argbColor, 0x7FFFFF11u);
    EXPECT_EQ(CurrentSettings().dwPosition, PackPosition(100, 0));
}

TEST_F(SettingsBlobArray, LowerBoundOneIsAcceptedLikeZero)
{
    Bytes blob = WithPosition(42, 58);
    CSafeArrayPtr in(MakeArray(blob, 1));
    ASSERT_EQ(m_plugin->SetDrawSetupParameters(in.get()), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, PackPosition(42, 58));

    CSafeArrayPtr negative(MakeArray(WithPosition(7, 9), -50));
    ASSERT_EQ(m_plugin->SetDrawSetupParameters(negative.get()), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, PackPosition(7, 9));
}

TEST_F(SettingsBlobArray, TransparentBlackIsAccepted)
{
    Bytes blob = DefaultBlobBytes();
    std::memset(blob.data() + 96, 0, 4);
    CSafeArrayPtr in(MakeArray(blob));
    ASSERT_EQ(m_plugin->SetDrawSetupParameters(in.get()), S_OK);
    EXPECT_EQ(CurrentSettings().argbColor, 0u);
}

namespace
{
struct Refusal
{
    const char* name;
    std::function<SAFEARRAY*()> make;
    HRESULT hrExpected;
};

void PrintTo(const Refusal& r, std::ostream* os)
{
    *os << r.name;
}

SAFEARRAY* TwoDimensional()
{
    SAFEARRAYBOUND bounds[2] = {{52, 0}, {2, 0}};
    SAFEARRAY* psa = SafeArrayCreate(VT_UI1, 2, bounds);
    const Bytes blob = DefaultBlobBytes();
    void* pv = nullptr;
    if (psa != nullptr && SUCCEEDED(SafeArrayAccessData(psa, &pv)))
    {
        std::memcpy(pv, blob.data(), blob.size());
        SafeArrayUnaccessData(psa);
    }
    return psa;
}

// A descriptor without a recorded element type.
SAFEARRAY* WithoutVartype()
{
    SAFEARRAY* psa = nullptr;
    if (FAILED(SafeArrayAllocDescriptor(1, &psa)))
        return nullptr;
    psa->cbElements = 1;
    psa->rgsabound[0].cElements = 104;
    psa->rgsabound[0].lLbound = 0;
    if (FAILED(SafeArrayAllocData(psa)))
    {
        SafeArrayDestroy(psa);
        return nullptr;
    }
    std::memcpy(psa->pvData, DefaultBlobBytes().data(), 104);
    return psa;
}

// Says VT_UI1 and 104 elements but was given a zero element size: it owns no
// bytes at all, although a valid blob lies behind its data pointer.
SAFEARRAY* ZeroElementSize()
{
    static BYTE s_blob[104];
    std::memcpy(s_blob, DefaultBlobBytes().data(), sizeof(s_blob));
    SAFEARRAY* psa = nullptr;
    if (FAILED(SafeArrayAllocDescriptorEx(VT_UI1, 1, &psa)))
        return nullptr;
    psa->fFeatures |= FADF_STATIC;
    psa->cbElements = 0;
    psa->rgsabound[0].cElements = 104;
    psa->rgsabound[0].lLbound = 0;
    psa->pvData = s_blob;
    return psa;
}

Bytes Resized(size_t n)
{
    Bytes b = DefaultBlobBytes();
    b.resize(n);
    return b;
}

Bytes WithHead(BYTE b0, BYTE b1, BYTE b2, BYTE b3)
{
    Bytes b = DefaultBlobBytes();
    b[0] = b0;
    b[1] = b1;
    b[2] = b2;
    b[3] = b3;
    return b;
}

std::vector<Refusal> Refusals()
{
    return {
        {"ElementTypeI1", [] { return MakeArray(DefaultBlobBytes(), 0, VT_I1); }, E_INVALIDARG},
        {"ElementTypeI2", [] { return MakeArray(DefaultBlobBytes(), 0, VT_I2); }, E_INVALIDARG},
        {"NoElementType", WithoutVartype, E_INVALIDARG},
        {"ZeroElementSize", ZeroElementSize, E_INVALIDARG},
        {"TwoDimensions", TwoDimensional, E_INVALIDARG},
        {"NoElements", [] { return MakeArray(Bytes()); }, E_INVALIDARG},
        {"ThreeElements", [] { return MakeArray(Resized(3)); }, E_INVALIDARG},
        {"VersionWordOnly", [] { return MakeArray(Resized(4)); }, E_INVALIDARG},
        {"Bytes103", [] { return MakeArray(Resized(103)); }, E_INVALIDARG},
        {"Bytes105", [] { return MakeArray(Resized(105)); }, E_INVALIDARG},
        {"VersionOne", [] { return MakeArray(WithHead(0x01, 0x00, 0x00, 0x00)); }, E_INVALIDARG},
        {"VersionZero", [] { return MakeArray(WithHead(0x00, 0x00, 0x00, 0x00)); }, E_INVALIDARG},
        {"Horizontal101", [] { return MakeArray(WithPosition(101, 3)); }, E_INVALIDARG},
        {"Vertical101", [] { return MakeArray(WithPosition(3, 101)); }, E_INVALIDARG},
        {"InvalidMarker", [] { return MakeArray(WithPosition(101, 101)); }, E_INVALIDARG},
        {"Horizontal101LowerBoundOne", [] { return MakeArray(WithPosition(101, 0), 1); }, E_INVALIDARG},
    };
}

class SettingsBlobArrayRefusal : public SettingsBlobArray, public ::testing::WithParamInterface<Refusal>
{
protected:
    void SetUp() override
    {
        SettingsBlobArray::SetUp();
        ReplaceSettings(g_currentSettings, DistinctSettings());
    }
};
} // namespace

TEST_P(SettingsBlobArrayRefusal, AnswersItsCodeAndLeavesTheSettingsAlone)
{
    CSafeArrayPtr array(GetParam().make());
    ASSERT_NE(array.get(), nullptr);
    EXPECT_EQ(m_plugin->SetDrawSetupParameters(array.get()), GetParam().hrExpected);
    EXPECT_TRUE(SameBytes(CurrentSettings(), DistinctSettings()));
    EXPECT_EQ(array.get()->cLocks, 0u);
}

INSTANTIATE_TEST_SUITE_P(SettingsBlobArray, SettingsBlobArrayRefusal, ::testing::ValuesIn(Refusals()),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(SettingsBlobArray, UnreadableDataIsPointerErrorAndTheAccessIsGivenUp)
{
    ReplaceSettings(g_currentSettings, DistinctSettings());

    void* pNoAccess = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(pNoAccess, nullptr);
    SAFEARRAY* psa = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_UI1, 1, &psa), S_OK);
    psa->cbElements = 1;
    psa->rgsabound[0].cElements = 104;
    psa->rgsabound[0].lLbound = 0;
    psa->pvData = pNoAccess;

    EXPECT_EQ(m_plugin->SetDrawSetupParameters(psa), E_POINTER);
    EXPECT_EQ(psa->cLocks, 0u);
    EXPECT_TRUE(SameBytes(CurrentSettings(), DistinctSettings()));

    psa->pvData = nullptr;
    SafeArrayDestroyDescriptor(psa);
    VirtualFree(pNoAccess, 0, MEM_RELEASE);
}

TEST_F(SettingsBlobArray, LockedArrayIsStillReadAndLeftLocked)
{
    CSafeArrayPtr in(MakeArray(WithPosition(11, 22)));
    ASSERT_EQ(SafeArrayLock(in.get()), S_OK);
    EXPECT_EQ(m_plugin->SetDrawSetupParameters(in.get()), S_OK);
    EXPECT_EQ(in.get()->cLocks, 1u);
    EXPECT_EQ(SafeArrayUnlock(in.get()), S_OK);
    EXPECT_EQ(CurrentSettings().dwPosition, PackPosition(11, 22));
}

class SettingsBlobArrayOutOfMemory : public SettingsBlobArray
{
protected:
    void SetUp() override
    {
        SettingsBlobArray::SetUp();
        m_spy.m_cLive = 0;
        ASSERT_EQ(CoRegisterMallocSpy(&m_spy), S_OK);
    }
    void TearDown() override
    {
        g_bFailNothrowArrayNew = false;
        EXPECT_EQ(CoRevokeMallocSpy(), S_OK);
        m_plugin.reset();
        SettingsBlobArray::TearDown();
    }

    // Runs one GetDrawSetupParameters with the given allocation failing.
    HRESULT GetWithFailure(int nFailAt, SAFEARRAY** ppParams)
    {
        m_spy.m_nAllocs = 0;
        m_spy.m_nFailAt = nFailAt;
        const HRESULT hr = m_plugin->GetDrawSetupParameters(ppParams);
        m_spy.m_nFailAt = 0;
        return hr;
    }

    // Lives as long as the process: when a leak keeps the allocator from
    // revoking it, the allocator may still call it.
    static CCountingMallocSpy m_spy;
};

CCountingMallocSpy SettingsBlobArrayOutOfMemory::m_spy;

TEST_F(SettingsBlobArrayOutOfMemory, AnArrayThatCannotBeMadeIsOutOfMemoryAndLeavesNothing)
{
    SAFEARRAY* psa = kUntouched;
    ASSERT_EQ(GetWithFailure(0, &psa), S_OK);
    EXPECT_GE(m_spy.m_nAllocs, 2);
    const int nAllocs = m_spy.m_nAllocs;
    EXPECT_EQ(m_spy.m_cLive, nAllocs);
    SafeArrayDestroy(psa);
    EXPECT_EQ(m_spy.m_cLive, 0);

    // Descriptor, then data: each failure answers the same and frees what was
    // already made.
    for (int nFailAt = 1; nFailAt <= nAllocs; ++nFailAt)
    {
        psa = kUntouched;
        EXPECT_EQ(GetWithFailure(nFailAt, &psa), E_OUTOFMEMORY) << nFailAt;
        EXPECT_EQ(psa, kUntouched) << nFailAt;
        EXPECT_EQ(m_spy.m_cLive, 0) << nFailAt;
    }
}

TEST_F(SettingsBlobArrayOutOfMemory, AWorkingBufferThatCannotBeMadeIsOutOfMemory)
{
    SAFEARRAY* psa = kUntouched;
    g_bFailNothrowArrayNew = true;
    EXPECT_EQ(m_plugin->GetDrawSetupParameters(&psa), E_OUTOFMEMORY);
    g_bFailNothrowArrayNew = false;
    EXPECT_EQ(psa, kUntouched);
    EXPECT_EQ(m_spy.m_cLive, 0);

    ASSERT_EQ(m_plugin->GetDrawSetupParameters(&psa), S_OK);
    EXPECT_EQ(ArrayBytes(psa), DefaultBlobBytes());
    SafeArrayDestroy(psa);
}

// The class object and the module's unload answer, through the exports of
// the real Ferrowind.dll. Every test loads the module afresh and checks that
// it leaves the process again, so each starts with no cached class object
// and a lock count of 0.

#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Ferrowind.h"
#include "ServerTestSupport.h"

namespace
{
const CLSID kClsid = {0x7755CDB1, 0x91E2, 0x41C5, {0x9B, 0x9C, 0x1F, 0x66, 0x9C, 0xE3, 0x6F, 0x30}};
void* const kSentinel = reinterpret_cast<void*>(static_cast<uintptr_t>(0xA5A5A5A5));

// An outer object for aggregation attempts; nothing may call it.
class CFakeOuter : public IUnknown
{
public:
    int m_cCalls = 0;
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        ++m_cCalls;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        ++m_cCalls;
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        ++m_cCalls;
        return 1;
    }
};

class ClassObject : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Loaded()); }
    void TearDown() override
    {
        EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK) << "a lock or a reference was left behind";
        EXPECT_TRUE(m_server.Unload());
    }

    IClassFactory* Factory()
    {
        IClassFactory* pFactory = nullptr;
        EXPECT_EQ(m_server.DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)), S_OK);
        return pFactory;
    }

    CLoadedServer m_server;
};
} // namespace

TEST_F(ClassObject, GetClassObjectRefusesBadArguments)
{
    EXPECT_EQ(m_server.DllGetClassObject(kClsid, IID_IClassFactory, nullptr), E_POINTER);

    CLSID other = kClsid;
    other.Data4[7] ^= 0x01;
    const CLSID* const rgOthers[] = {&other, &CLSID_NULL, &IID_IWendleVideoDraw, &IID_IClassFactory};
    for (const CLSID* pclsid : rgOthers)
    {
        void* pv = kSentinel;
        EXPECT_EQ(m_server.DllGetClassObject(*pclsid, IID_IClassFactory, &pv), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(pv, nullptr);
    }

    const IID* const rgForeign[] = {&IID_IDispatch, &IID_IClassFactory2, &IID_IWendleVideoDraw, &IID_IPersist};
    for (const IID* piid : rgForeign)
    {
        void* pv = kSentinel;
        EXPECT_EQ(m_server.DllGetClassObject(kClsid, *piid, &pv), E_NOINTERFACE);
        EXPECT_EQ(pv, nullptr);
        EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
    }
}

TEST_F(ClassObject, IsMadeOnceAndCached)
{
    IClassFactory* pFirst = Factory();
    ASSERT_NE(pFirst, nullptr);
    IClassFactory* pSecond = Factory();
    EXPECT_EQ(pFirst, pSecond);
    IUnknown* pUnknown = nullptr;
    ASSERT_EQ(m_server.DllGetClassObject(kClsid, IID_IUnknown, reinterpret_cast<void**>(&pUnknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(pUnknown), static_cast<void*>(pFirst));
    pUnknown->Release();
    pSecond->Release();
    pFirst->Release();

    // Released by every client, it stays in the cache: the next request gets
    // the same object again.
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
    IClassFactory* pAgain = Factory();
    EXPECT_EQ(pAgain, pFirst);
    pAgain->Release();
}

TEST_F(ClassObject, ClientReferenceLocksTheModule)
{
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
    IClassFactory* pFactory = Factory();
    ASSERT_NE(pFactory, nullptr);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);

    // The cache's reference is the first: one client makes 2.
    EXPECT_EQ(pFactory->AddRef(), 3u);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->Release(), 2u);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->Release(), 1u);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassObject, QueryInterfaceAnswersIUnknownAndIClassFactoryOnly)
{
    IClassFactory* pFactory = Factory();
    ASSERT_NE(pFactory, nullptr);
    EXPECT_EQ(pFactory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    void* pv = kSentinel;
    EXPECT_EQ(pFactory->QueryInterface(IID_IClassFactory2, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    pv = kSentinel;
    EXPECT_EQ(pFactory->QueryInterface(IID_IWendleVideoDraw, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    for (const IID* piid : {&IID_IUnknown, &IID_IClassFactory})
    {
        void* pSame = nullptr;
        ASSERT_EQ(pFactory->QueryInterface(*piid, &pSame), S_OK);
        EXPECT_EQ(pSame, static_cast<void*>(pFactory));
        EXPECT_EQ(static_cast<IUnknown*>(pSame)->Release(), 2u);
    }
    EXPECT_EQ(pFactory->Release(), 1u);
}

TEST_F(ClassObject, CreateInstanceRefusesAggregationInEveryCase)
{
    IClassFactory* pFactory = Factory();
    ASSERT_NE(pFactory, nullptr);
    CFakeOuter outer;

    EXPECT_EQ(pFactory->CreateInstance(nullptr, IID_IWendleVideoDraw, nullptr), E_POINTER);
    EXPECT_EQ(pFactory->CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);
    for (const IID* piid : {&IID_IUnknown, &IID_IWendleVideoDraw, &IID_IDispatch})
    {
        void* pv = kSentinel;
        EXPECT_EQ(pFactory->CreateInstance(&outer, *piid, &pv), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(pv, nullptr);
    }
    EXPECT_EQ(outer.m_cCalls, 0);
    pFactory->Release();
}

TEST_F(ClassObject, CreateInstanceMakesPlugInObjectsThatLockTheModule)
{
    IClassFactory* pFactory = Factory();
    ASSERT_NE(pFactory, nullptr);

    void* pv = kSentinel;
    EXPECT_EQ(pFactory->CreateInstance(nullptr, IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    IWendleVideoDraw* pDraw = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IWendleVideoDraw, reinterpret_cast<void**>(&pDraw)), S_OK);
    ASSERT_NE(pDraw, nullptr);
    IWendleVideoDraw* pSecond = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pSecond)), S_OK);
    EXPECT_NE(pSecond, pDraw);
    pFactory->Release();

    // The name comes from the module's own string table, found through the
    // handle that process attach recorded.
    BSTR bstrName = nullptr;
    ASSERT_EQ(pDraw->GetName(&bstrName, 0x0409), S_OK);
    EXPECT_STREQ(bstrName, L"Ferrowind");
    SysFreeString(bstrName);

    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pDraw->Release(), 0u);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pSecond->Release(), 0u);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassObject, LockServerCountsWithoutAFloor)
{
    IClassFactory* pFactory = Factory();
    ASSERT_NE(pFactory, nullptr);
    // The cache keeps the class object alive without locking the module, so
    // from here on only the server locks count.
    EXPECT_EQ(pFactory->Release(), 1u);
    ASSERT_EQ(m_server.DllCanUnloadNow(), S_OK);

    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);

    // Unmatched: the count goes to -1, which is not 0.
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_server.DllCanUnloadNow(), S_OK);
}

TEST_F(ClassObject, ConcurrentFirstRequestsMakeOneClassObject)
{
    constexpr int kThreads = 8;
    std::vector<IClassFactory*> results(kThreads, nullptr);
    std::vector<HRESULT> answers(kThreads, E_FAIL);
    std::atomic<int> nWaiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
    {
        threads.emplace_back([&, i] {
            // Start together, as far as the scheduler lets them.
            --nWaiting;
            while (nWaiting.load() > 0)
                std::this_thread::yield();
            answers[i] = m_server.DllGetClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&results[i]));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < kThreads; ++i)
    {
        EXPECT_EQ(answers[i], S_OK);
        EXPECT_EQ(results[i], results[0]);
    }
    ASSERT_NE(results[0], nullptr);
    // One object: the cache's reference and one per thread.
    EXPECT_EQ(results[0]->AddRef(), static_cast<ULONG>(kThreads + 2));
    results[0]->Release();
    for (IClassFactory* pFactory : results)
        pFactory->Release();
}

#include "FrameTestSupport.h"

#include <climits>
#include <cstring>
#include <functional>

#include "engine/FrameDrawEngine.h"

namespace
{
class FrameRefusal : public FrameTest
{
};

struct RefusalCase
{
    const char* name;
    std::function<void(TestFrame&, BSTRBLOB*&, BSTRBLOB*&)> spoil;
};

void ExpectRefusedUntouched(CFrameDrawEngine& engine, TestFrame& frame, BSTRBLOB* info, BSTRBLOB* bytes)
{
    const std::vector<BYTE> before = frame.pixels;
    const std::vector<BYTE> headerBefore = frame.header;
    EXPECT_EQ(engine.DrawFrame(info, bytes, kStart, kEnd, 1), S_FALSE);
    EXPECT_EQ(frame.pixels, before);
    EXPECT_EQ(frame.header, headerBefore);
}

// A frame whose buffer ends where an inaccessible page begins.
class GuardedPixels
{
public:
    explicit GuardedPixels(size_t cbPixels)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        const size_t cbData = (cbPixels + page - 1) / page * page;
        m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, cbData + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (m_base == nullptr)
            return;
        DWORD old = 0;
        m_guarded = VirtualProtect(m_base + cbData, page, PAGE_NOACCESS, &old) != FALSE;
        pixels = m_base + cbData - cbPixels;
    }
    ~GuardedPixels()
    {
        if (m_base != nullptr)
            VirtualFree(m_base, 0, MEM_RELEASE);
    }
    bool Ready() const { return m_base != nullptr && m_guarded; }

    BYTE* pixels = nullptr;

private:
    BYTE* m_base = nullptr;
    bool m_guarded = false;
};
} // namespace

TEST_F(FrameRefusal, InvalidBlobsLeaveTheFrameUntouched)
{
    const RefusalCase cases[] = {
        {"null header blob", [](TestFrame&, BSTRBLOB*& info, BSTRBLOB*&) { info = nullptr; }},
        {"null header data", [](TestFrame&, BSTRBLOB*& info, BSTRBLOB*&) { info->pData = nullptr; }},
        {"43-byte header", [](TestFrame&, BSTRBLOB*& info, BSTRBLOB*&) { info->cbSize = 43; }},
        {"empty header", [](TestFrame&, BSTRBLOB*& info, BSTRBLOB*&) { info->cbSize = 0; }},
        {"null pixel blob", [](TestFrame&, BSTRBLOB*&, BSTRBLOB*& bytes) { bytes = nullptr; }},
        {"null pixel data", [](TestFrame&, BSTRBLOB*&, BSTRBLOB*& bytes) { bytes->pData = nullptr; }},
        {"pixel blob one byte short", [](TestFrame&, BSTRBLOB*&, BSTRBLOB*& bytes) { bytes->cbSize -= 1; }},
        {"pixel blob one row short",
         [](TestFrame& f, BSTRBLOB*&, BSTRBLOB*& bytes) { bytes->cbSize -= f.Stride(); }},
        {"empty pixel blob", [](TestFrame&, BSTRBLOB*&, BSTRBLOB*& bytes) { bytes->cbSize = 0; }},
        {"height of INT_MIN",
         [](TestFrame& f, BSTRBLOB*&, BSTRBLOB*&) {
             const int32_t h = INT_MIN;
             std::memcpy(f.header.data() + 8, &h, 4);
         }},
        {"size that wraps in 32 bits",
         [](TestFrame& f, BSTRBLOB*&, BSTRBLOB*&) {
             // 65536 x 65536 x 4 bytes is 2^34, 0 modulo 2^32
             const int32_t side = 65536;
             std::memcpy(f.header.data() + 4, &side, 4);
             std::memcpy(f.header.data() + 8, &side, 4);
         }},
        {"top-down frame with more rows than its buffer",
         [](TestFrame& f, BSTRBLOB*&, BSTRBLOB*&) {
             const int32_t h = -481;
             std::memcpy(f.header.data() + 8, &h, 4);
         }},
    };
    for (const RefusalCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Once on a fresh object and once after the font is realised.
        for (int realised = 0; realised < 2; ++realised)
        {
            CFrameDrawEngine engine;
            if (realised)
            {
                TestFrame warm(640, 480);
                ASSERT_EQ(engine.DrawFrame(warm.Info(), warm.Bytes(), 0, 0, 1), S_OK);
            }
            const uint32_t measures = engine.m_cLayoutMeasures;
            TestFrame frame(640, 480);
            frame.FillPattern();
            BSTRBLOB* info = frame.Info();
            BSTRBLOB* bytes = frame.Bytes();
            c.spoil(frame, info, bytes);
            ExpectRefusedUntouched(engine, frame, info, bytes);
            EXPECT_EQ(engine.m_pFont != nullptr, realised == 1);
            EXPECT_EQ(engine.m_cLayoutMeasures, measures);
        }
    }
}

TEST_F(FrameRefusal, HeaderOfExactly44BytesIsDrawn)
{
    CFrameDrawEngine engine;
    TestFrame frame(640, 480);
    frame.FillPattern();
    const std::vector<BYTE> before = frame.pixels;
    ASSERT_EQ(frame.Info()->cbSize, 44u);
    EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_GT(frame.ChangedPixels(before), 100u);
}

TEST_F(FrameRefusal, FirstTinyFrameThenARealOne)
{
    CFrameDrawEngine engine;
    TestFrame tiny(8, 8);
    tiny.FillPattern();
    ExpectRefusedUntouched(engine, tiny, tiny.Info(), tiny.Bytes());
    EXPECT_EQ(engine.m_pFont, nullptr);
    EXPECT_EQ(engine.m_settingsApplied.dwPosition, SMPTEDrawSettings::kInvalidPosition);

    TestFrame frame(640, 480);
    frame.FillPattern();
    const std::vector<BYTE> before = frame.pixels;
    EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_NE(engine.m_pFont, nullptr);
    EXPECT_GT(frame.ChangedPixels(before), 100u);
}

TEST_F(FrameRefusal, FontThatCannotBeAllocatedIsTriedAgainNextFrame)
{
    CFrameEngineSeam seam;
    seam.pfnNewFontAndBrush = []() -> CFontAndBrush* { return nullptr; };
    CFrameDrawEngine engine(&seam);
    TestFrame frame(640, 480);
    frame.FillPattern();
    ExpectRefusedUntouched(engine, frame, frame.Info(), frame.Bytes());
    EXPECT_EQ(engine.m_pFont, nullptr);
    EXPECT_TRUE(engine.m_settingsApplied.IsEqual(SMPTEDrawSettings())) << "recorded as applied all the same";

    seam.pfnNewFontAndBrush = nullptr;
    const std::vector<BYTE> before = frame.pixels;
    EXPECT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_GT(frame.ChangedPixels(before), 100u);
}

TEST_F(FrameRefusal, TinyFrameAfterASettingsChangeKeepsTheOldFont)
{
    CFrameDrawEngine engine;
    TestFrame frame(640, 480);
    ASSERT_EQ(engine.DrawFrame(frame.Info(), frame.Bytes(), kStart, kEnd, 1), S_OK);
    const CFontAndBrush* font = engine.m_pFont.get();
    const SMPTEDrawSettings applied = engine.m_settingsApplied;

    UseSettings(MakeSettings(L"DejaVu Sans", 40, 700, 0xFFFF0000, PackPosition(50, 50)));
    TestFrame tiny(10, 10);
    tiny.FillPattern();
    ExpectRefusedUntouched(engine, tiny, tiny.Info(), tiny.Bytes());
    EXPECT_EQ(engine.m_pFont.get(), font);
    EXPECT_TRUE(engine.m_settingsApplied.IsEqual(applied));
    EXPECT_EQ(engine.m_cxLayout, 640);
    EXPECT_EQ(engine.m_cyLayout, 480);

    // One dimension above 10 is enough.
    TestFrame narrow(11, 5);
    EXPECT_EQ(engine.DrawFrame(narrow.Info(), narrow.Bytes(), kStart, kEnd, 1), S_OK);
    EXPECT_TRUE(engine.m_settingsApplied.IsEqual(MakeSettings(L"DejaVu Sans", 40, 700, 0xFFFF0000,
                                                              PackPosition(50, 50))));
}

TEST_F(FrameRefusal, BufferEndingAtAnInaccessiblePage)
{
    // 400 x 100 at 32 bits: the buffer holds exactly 100 rows.
    const uint32_t stride = 1600;
    const uint32_t cbPixels = stride * 100;
    for (const int32_t height : {100, -100})
    {
        SCOPED_TRACE(height);
        GuardedPixels guarded(cbPixels);
        ASSERT_TRUE(guarded.Ready());
        std::memset(guarded.pixels, 0x40, cbPixels);

        CFrameDrawEngine engine;
        TestFrame header(400, height > 0 ? 101 : -101);
        BSTRBLOB bytes = {cbPixels, guarded.pixels};
        // The header claims one row more than the buffer holds.
        EXPECT_EQ(engine.DrawFrame(header.Info(), &bytes, kStart, kEnd, 1), S_FALSE);
        for (uint32_t i = 0; i < cbPixels; ++i)
            ASSERT_EQ(guarded.pixels[i], 0x40) << i;

        // A header that matches the buffer is drawn, with the text in the
        // rows next to the page (the top rows of a bottom-up frame come last).
        UseSettings(MakeSettings(L"Arial", 64, 0, 0xFFFFFFFF, PackPosition(100, height > 0 ? 0 : 100)));
        TestFrame exact(400, height);
        EXPECT_EQ(engine.DrawFrame(exact.Info(), &bytes, kStart, kEnd, 1), S_OK);
        size_t changed = 0;
        for (uint32_t i = 0; i < cbPixels; ++i)
            changed += guarded.pixels[i] != 0x40;
        EXPECT_GT(changed, 100u);
    }
}

// Generated frames of every shape through the drawing entry, over buffers that
// sit between inaccessible pages. A read or write past either end faults and
// ends the program (the fault filter names the case first); a write into the
// slack around a buffer, or into the bytes of a buffer outside the image its
// header describes, fails the test; so does any answer other than S_OK or
// S_FALSE, and an S_FALSE that changed a byte.
//
// FERROWIND_FRAME_CASES and FERROWIND_FRAME_SEED run it longer or differently
// by hand.

#include "FrameTestSupport.h"
#include "RobustnessSupport.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/FrameDrawEngine.h"
#include "settings/CurrentSettings.h"

namespace
{
constexpr uint32_t kDefaultCases = 12000;
constexpr uint64_t kDefaultSeed = 0x46657272'6F77696Eull;

// Most buffers are at most this large; a few frames of real sizes (up to
// 3840 x 2160 at 32 bits) get a buffer of their own.
constexpr uint32_t kSmallBufferBytes = 256u * 1024u;
constexpr uint32_t kLargeBufferBytes = 34u * 1024u * 1024u;
constexpr uint32_t kLargeBuffers = 12;
// A BITMAPINFO with a full colour table; longer header claims get this many
// real bytes.
constexpr uint32_t kLargestHeaderBytes = 1064;

constexpr BYTE kSlackByte = 0xA5;

// Committed pages between two PAGE_NOACCESS pages. A buffer placed in it
// either ends right before the upper page or starts right after the lower
// one; the rest of the committed pages is slack filled with a known byte.
class GuardedRegion
{
public:
    explicit GuardedRegion(size_t pages)
    {
        const size_t page = PageSize();
        m_cbData = pages * page;
        m_base = static_cast<BYTE*>(
            VirtualAlloc(nullptr, m_cbData + 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (m_base == nullptr)
            return;
        DWORD old = 0;
        m_guarded = VirtualProtect(m_base, page, PAGE_NOACCESS, &old) != FALSE &&
                    VirtualProtect(m_base + page + m_cbData, page, PAGE_NOACCESS, &old) != FALSE;
        m_data = m_base + page;
    }
    ~GuardedRegion()
    {
        if (m_base != nullptr)
            VirtualFree(m_base, 0, MEM_RELEASE);
    }
    GuardedRegion(const GuardedRegion&) = delete;
    GuardedRegion& operator=(const GuardedRegion&) = delete;

    bool Ready() const { return m_base != nullptr && m_guarded; }

    // cbBuffer must need exactly the region's pages.
    void Place(uint32_t cbBuffer, bool startAligned)
    {
        std::memset(m_data, kSlackByte, m_cbData);
        data = startAligned ? m_data : m_data + m_cbData - cbBuffer;
        cb = cbBuffer;
    }

    // Offset of the first slack byte that changed, or -1.
    ptrdiff_t ChangedSlack() const
    {
        for (BYTE* p = m_data; p < data; ++p)
            if (*p != kSlackByte)
                return p - m_data;
        for (BYTE* p = data + cb; p < m_data + m_cbData; ++p)
            if (*p != kSlackByte)
                return p - m_data;
        return -1;
    }

    BYTE* data = nullptr;
    uint32_t cb = 0;

private:
    BYTE* m_base = nullptr;
    BYTE* m_data = nullptr;
    size_t m_cbData = 0;
    bool m_guarded = false;
};

// Regions kept for reuse, one per page count: most buffers are small, and
// mapping fresh pages for every case would cost more than the cases.
class RegionPool
{
public:
    GuardedRegion* Take(uint32_t cbBuffer, bool startAligned)
    {
        const size_t page = PageSize();
        const size_t pages = (static_cast<size_t>(cbBuffer) + page - 1) / page;
        std::unique_ptr<GuardedRegion>& slot = pages <= kKeptPages ? m_kept[pages] : m_passing;
        if (!slot)
            slot.reset(new GuardedRegion(pages));
        if (!slot->Ready())
        {
            slot.reset();
            return nullptr;
        }
        slot->Place(cbBuffer, startAligned);
        return slot.get();
    }
    // Gives back a region too large to keep.
    void Return() { m_passing.reset(); }

private:
    static constexpr size_t kKeptPages = 64;
    std::unique_ptr<GuardedRegion> m_kept[kKeptPages + 1];
    std::unique_ptr<GuardedRegion> m_passing;
};

struct FrameCase
{
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSize;
    uint32_t masks[3];

    bool bNullInfoBlob;
    bool bNullInfoData;
    uint32_t cbInfoClaim;
    uint32_t cbInfo; // bytes really there
    bool bInfoStartAligned;

    bool bNullBytesBlob;
    bool bNullBytesData;
    uint32_t cbBytesClaim;
    uint32_t cbBytes; // bytes really there
    bool bBytesStartAligned;

    ULONGLONG rtStart;
    ULONGLONG rtEnd;
    ULONG uRenderingHints;

    // The image the header describes, when it has a row layout: its row
    // size and its bytes (64 bits, so a size past 4 GiB is kept as such).
    bool bHasRows;
    uint64_t cbRow;
    uint64_t cbImage;
};

int32_t GenerateDimension(Random& random)
{
    static const int32_t kSpecial[] = {0,          1,         -1,        2,          10,       11,
                                       INT32_MIN,  INT32_MAX, -INT32_MAX, 32767,     32768,    65535,
                                       65536,      65537,     46341,     1 << 20,    1 << 24,  1 << 28,
                                       1 << 30,    -(1 << 30), 0x20000000, 0x3FFFFFFF, 536870913, 3840};
    switch (random.Below(20))
    {
    case 0:
        return random.Pick(kSpecial);
    case 1:
        return -static_cast<int32_t>(random.Between(1, 5000));
    case 2:
        return static_cast<int32_t>(random.Next());
    case 3:
        return static_cast<int32_t>(random.Between(2000, 70000));
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
        return static_cast<int32_t>(random.Between(12, 700));
    default:
        return static_cast<int32_t>(random.Between(1, 64));
    }
}

uint16_t GenerateBitCount(Random& random)
{
    static const uint16_t kCommon[] = {16, 24, 32};
    static const uint16_t kOther[] = {0, 1, 2, 3, 4, 7, 8, 15, 31, 33, 48, 64, 128, 0xFFFF};
    switch (random.Below(8))
    {
    case 0:
        return random.Pick(kOther);
    case 1:
        return static_cast<uint16_t>(random.Next());
    default:
        return random.Pick(kCommon);
    }
}

uint32_t GenerateCompression(Random& random)
{
    static const uint32_t kOther[] = {BI_RLE8, BI_RLE4, BI_JPEG, BI_PNG, 6 /* BI_ALPHABITFIELDS */,
                                      0x32595559 /* YUY2 */, 0x80000000u, 0xFFFFFFFFu};
    const uint32_t pick = random.Below(10);
    if (pick < 5)
        return BI_RGB;
    if (pick < 7)
        return BI_BITFIELDS;
    if (pick < 9)
        return random.Pick(kOther);
    return static_cast<uint32_t>(random.Next());
}

void GenerateMasks(Random& random, uint32_t (&masks)[3])
{
    static const uint32_t kMasks[][3] = {
        {0xF800, 0x07E0, 0x001F},          {0x7C00, 0x03E0, 0x001F},         {0x00FF0000, 0x0000FF00, 0x000000FF},
        {0x000000FF, 0x0000FF00, 0x00FF0000}, {0, 0, 0},                     {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    if (random.OneIn(5))
    {
        for (uint32_t& m : masks)
            m = static_cast<uint32_t>(random.Next());
        return;
    }
    std::memcpy(masks, kMasks[random.Below(6)], sizeof(masks));
}

uint32_t GenerateInfoClaim(Random& random)
{
    static const uint32_t kSizes[] = {40, 43, 44, 45, 48, 51, 52, 53, 56, 64, 108, 124, 1064};
    static const uint32_t kHuge[] = {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 65536};
    switch (random.Below(10))
    {
    case 0:
        return random.Below(40);
    case 1:
    case 2:
        return 44;
    case 3:
    case 4:
        return 52;
    case 5:
    case 6:
        return random.Pick(kSizes);
    case 7:
        return random.Between(44, 300);
    case 8:
        return random.Below(4097);
    default:
        return random.OneIn(2) ? random.Pick(kHuge) : random.Between(4097, 0xFFFFFFFFu);
    }
}

uint32_t GenerateBytesClaim(Random& random, const FrameCase& c)
{
    static const uint32_t kHuge[] = {0xFFFFFFFFu, 0xFFFFFFFEu, 0x80000000u, 0x7FFFFFFFu};
    const uint32_t pick = random.Below(20);
    if (c.bHasRows && c.cbImage <= 0xFFFFFFFFull)
    {
        const uint32_t image = static_cast<uint32_t>(c.cbImage);
        switch (pick)
        {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return image;
        case 6:
        case 7:
            return image == 0 ? 0 : image - 1;
        case 8:
            return image >= c.cbRow ? static_cast<uint32_t>(image - c.cbRow) : 0;
        case 9:
        case 10:
            return image + random.Below(std::min<uint32_t>(4096, 0xFFFFFFFFu - image) + 1);
        case 11:
            return 0;
        case 12:
        case 13:
            return random.Below(image);
        case 14:
        case 15:
            return random.Pick(kHuge);
        default:
            break;
        }
    }
    if (pick < 10)
        return random.Below(65537);
    if (pick < 15)
        return random.Pick(kHuge);
    return static_cast<uint32_t>(random.Next());
}

ULONGLONG GenerateTime(Random& random, uint32_t index)
{
    static const ULONGLONG kSpecial[] = {0, 1, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull,
                                         359999999999ull, 360000000000ull * 24};
    if (random.OneIn(8))
        return random.Pick(kSpecial);
    if (random.OneIn(8))
        return random.Next();
    return static_cast<ULONGLONG>(index) * 333667;
}

// Picks the real buffer sizes. A frame that the engine may draw on gets at
// least the bytes of its image; one that it must leave alone may get fewer
// bytes than it claims, since nothing of it may be touched.
void ChooseBuffers(Random& random, FrameCase& c, uint32_t& largeLeft)
{
    c.cbInfo = c.cbInfoClaim <= 4096 ? c.cbInfoClaim : kLargestHeaderBytes;

    const bool drawable = c.bHasRows && c.cbImage <= c.cbBytesClaim;
    if (c.cbBytesClaim <= kSmallBufferBytes)
    {
        c.cbBytes = c.cbBytesClaim;
        return;
    }
    if (!drawable)
    {
        c.cbBytes = random.Below(kSmallBufferBytes + 1);
        return;
    }
    if (c.cbImage <= kSmallBufferBytes)
    {
        c.cbBytes = static_cast<uint32_t>(c.cbImage);
        return;
    }
    if (largeLeft > 0 && c.cbImage <= kLargeBufferBytes)
    {
        --largeLeft;
        c.cbBytes = c.cbBytesClaim <= kLargeBufferBytes ? c.cbBytesClaim : static_cast<uint32_t>(c.cbImage);
        return;
    }
    // Too large to afford once more: claim a little less than the image,
    // which must be refused.
    c.cbBytesClaim = static_cast<uint32_t>(c.cbImage - 1 - random.Below(static_cast<uint32_t>(
                                                               std::min<uint64_t>(c.cbImage - 1, 4096))));
    c.cbBytes = random.Below(kSmallBufferBytes + 1);
}

FrameCase GenerateCase(Random& random, uint32_t index, const FrameCase& previous, uint32_t& largeLeft)
{
    FrameCase c = {};
    // Hosts hand over runs of frames of one size; the engine measures the
    // text again only when the size changes.
    if (index > 0 && random.OneIn(2))
    {
        c.biWidth = previous.biWidth;
        c.biHeight = previous.biHeight;
    }
    else
    {
        c.biWidth = GenerateDimension(random);
        c.biHeight = GenerateDimension(random);
        if (c.biHeight != INT32_MIN && random.OneIn(3))
            c.biHeight = -c.biHeight;
    }
    c.biBitCount = GenerateBitCount(random);
    c.biCompression = GenerateCompression(random);
    static const uint32_t kHeaderSizes[] = {40, 40, 40, 108, 124, 12, 0};
    c.biSize = random.OneIn(8) ? static_cast<uint32_t>(random.Next()) : random.Pick(kHeaderSizes);
    GenerateMasks(random, c.masks);

    c.bNullInfoBlob = random.OneIn(200);
    c.bNullInfoData = random.OneIn(200);
    c.cbInfoClaim = GenerateInfoClaim(random);
    c.bInfoStartAligned = random.OneIn(2);

    if ((c.biCompression == BI_RGB || c.biCompression == BI_BITFIELDS) && c.biWidth > 0 && c.biHeight != 0 &&
        c.biBitCount != 0)
    {
        c.bHasRows = true;
        c.cbRow = (static_cast<uint64_t>(c.biWidth) * c.biBitCount + 31) / 32 * 4;
        const int64_t height = c.biHeight;
        c.cbImage = c.cbRow * static_cast<uint64_t>(height < 0 ? -height : height);
    }
    c.bNullBytesBlob = random.OneIn(200);
    c.bNullBytesData = random.OneIn(200);
    c.cbBytesClaim = GenerateBytesClaim(random, c);
    c.bBytesStartAligned = random.OneIn(2);
    ChooseBuffers(random, c, largeLeft);

    c.rtStart = GenerateTime(random, index);
    c.rtEnd = random.OneIn(6) ? GenerateTime(random, index + 1) : c.rtStart + 333667;
    static const ULONG kHints[] = {1, 1, 1, 0, 2, 0xFFFFFFFFu};
    c.uRenderingHints = random.Pick(kHints);
    return c;
}

void Describe(const FrameCase& c, uint32_t index, char* text, size_t cch)
{
    std::snprintf(text, cch,
                  "case %u: %ld x %ld, %u bits, compression 0x%lX, masks %08lX/%08lX/%08lX, header %s%lu bytes "
                  "(%lu real), pixels %s%lu bytes (%lu real, %s), times %llu..%llu, hints %lu",
                  index, static_cast<long>(c.biWidth), static_cast<long>(c.biHeight), c.biBitCount,
                  static_cast<unsigned long>(c.biCompression), static_cast<unsigned long>(c.masks[0]),
                  static_cast<unsigned long>(c.masks[1]), static_cast<unsigned long>(c.masks[2]),
                  c.bNullInfoBlob ? "null blob, " : (c.bNullInfoData ? "null data, " : ""),
                  static_cast<unsigned long>(c.cbInfoClaim), static_cast<unsigned long>(c.cbInfo),
                  c.bNullBytesBlob ? "null blob, " : (c.bNullBytesData ? "null data, " : ""),
                  static_cast<unsigned long>(c.cbBytesClaim), static_cast<unsigned long>(c.cbBytes),
                  c.bBytesStartAligned ? "from a guard page" : "up to a guard page", c.rtStart, c.rtEnd,
                  static_cast<unsigned long>(c.uRenderingHints));
}

// Random bytes; a large buffer repeats its first 64 KiB, which is enough to
// tell any write from the bytes that were there.
void FillRandom(BYTE* p, uint32_t cb, Random& random)
{
    constexpr uint32_t kBlock = 64 * 1024;
    const uint32_t cbRandom = std::min(cb, kBlock);
    for (uint32_t i = 0; i < cbRandom; i += 8)
    {
        const uint64_t word = random.Next();
        std::memcpy(p + i, &word, std::min<uint32_t>(8, cbRandom - i));
    }
    for (uint32_t i = cbRandom; i < cb; i += kBlock)
        std::memcpy(p + i, p, std::min(kBlock, cb - i));
}

void WriteHeader(const FrameCase& c, BYTE* pInfo, uint32_t cbInfo, Random& random)
{
    BYTE header[52];
    const uint32_t fields[] = {c.biSize,
                               static_cast<uint32_t>(c.biWidth),
                               static_cast<uint32_t>(c.biHeight),
                               1u | (static_cast<uint32_t>(c.biBitCount) << 16),
                               c.biCompression,
                               static_cast<uint32_t>(c.cbImage),
                               2835,
                               2835,
                               0,
                               0,
                               c.masks[0],
                               c.masks[1],
                               c.masks[2]};
    std::memcpy(header, fields, sizeof(header));
    for (uint32_t i = 0; i < cbInfo; ++i)
        pInfo[i] = i < sizeof(header) ? header[i] : static_cast<BYTE>(random.Next());
}

// A frame the engine must refuse: the blobs are unusable, or the pixel blob
// is shorter than the image its header describes.
bool MustRefuse(const FrameCase& c)
{
    if (c.bNullInfoBlob || c.bNullInfoData || c.cbInfoClaim < CFrameDrawEngine::kMinBitmapInfoBytes)
        return true;
    if (c.bNullBytesBlob || c.bNullBytesData)
        return true;
    return c.bHasRows && c.cbImage > c.cbBytesClaim;
}

// Settings the frames are drawn with, changed now and then: the default, text
// at the far corner, text far larger than most frames, a tiny one, an unknown
// face, an invisible colour and a font without a size.
SMPTEDrawSettings SettingsVariant(uint32_t n)
{
    const struct
    {
        const wchar_t* pszFace;
        int32_t lHeight;
        int32_t lWeight;
        uint32_t argb;
        uint32_t dwPosition;
    } kVariants[] = {
        {L"DejaVu Sans", -150, 700, 0xFF00FF00, PackPosition(100, 100)},
        {L"Liberation Sans", 8, 400, 0x80FF0000, PackPosition(50, 50)},
        {L"No Such Face", 64, 400, 0xFFFFFFFF, PackPosition(0, 0)},
        {L"Arial", 64, 400, 0x00FFFFFF, PackPosition(100, 0)},
        {L"Arial", 0, 400, 0xFFFFFFFF, PackPosition(0, 100)},
        {L"Liberation Sans", 400, 900, 0xFF0000FF, PackPosition(100, 100)},
        {L"Arial", 64, 400, 0xFFFFFFFF, PackPosition(100, 100)},
        {L"DejaVu Sans", 24, 400, 0xC0FFFF00, PackPosition(100, 50)},
        {L"Liberation Sans", 32, 700, 0xFFFFFFFF, PackPosition(0, 100)},
    };
    // Two in every eleven are the defaults.
    const uint32_t nVariant = n % 11;
    if (nVariant == 0 || nVariant > std::size(kVariants))
        return SMPTEDrawSettings();
    const auto& v = kVariants[nVariant - 1];
    return MakeSettings(v.pszFace, v.lHeight, v.lWeight, v.argb, v.dwPosition);
}

struct Tally
{
    uint32_t cases = 0;
    uint32_t ok = 0;
    uint32_t refused = 0;
    uint32_t drawn = 0;
    uint32_t large = 0;
    uint32_t failures = 0;
};

class FrameRobustness : public FrameTest
{
};

// Runs one case on engine and checks everything that can be read back.
void RunCase(CFrameDrawEngine& engine, const FrameCase& c, Random& random, RegionPool& infoPool,
             RegionPool& bytesPool, Tally& tally)
{
    GuardedRegion* pInfo = infoPool.Take(c.cbInfo, c.bInfoStartAligned);
    GuardedRegion* pBytes = bytesPool.Take(c.cbBytes, c.bBytesStartAligned);
    ASSERT_TRUE(pInfo != nullptr && pBytes != nullptr) << g_szCase;
    GuardedRegion& info = *pInfo;
    GuardedRegion& bytes = *pBytes;
    WriteHeader(c, info.data, info.cb, random);
    FillRandom(bytes.data, bytes.cb, random);
    const std::vector<BYTE> infoBefore(info.data, info.data + info.cb);
    const std::vector<BYTE> bytesBefore(bytes.data, bytes.data + bytes.cb);

    BSTRBLOB infoBlob = {c.cbInfoClaim, c.bNullInfoData ? nullptr : info.data};
    BSTRBLOB bytesBlob = {c.cbBytesClaim, c.bNullBytesData ? nullptr : bytes.data};
    const HRESULT hr = engine.DrawFrame(c.bNullInfoBlob ? nullptr : &infoBlob, c.bNullBytesBlob ? nullptr : &bytesBlob,
                                        c.rtStart, c.rtEnd, c.uRenderingHints);

    ++tally.cases;
    tally.large += c.cbBytes > kSmallBufferBytes;
    const int failuresBefore = RecordedFailures();

    EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << "0x" << std::hex << hr << " for " << g_szCase;
    if (MustRefuse(c))
    {
        EXPECT_EQ(hr, S_FALSE) << g_szCase;
    }
    EXPECT_EQ(infoBlob.cbSize, c.cbInfoClaim) << g_szCase;
    EXPECT_EQ(bytesBlob.cbSize, c.cbBytesClaim) << g_szCase;
    EXPECT_EQ(info.ChangedSlack(), -1) << g_szCase;
    EXPECT_EQ(bytes.ChangedSlack(), -1) << g_szCase;
    EXPECT_EQ(std::memcmp(info.data, infoBefore.data(), info.cb), 0) << "header written, " << g_szCase;

    // Only the image's pixels may change, and only when the frame was taken:
    // never the bytes past the image, nor the padding at the end of a row.
    uint64_t cbMayChange = 0;
    if (hr == S_OK && c.bHasRows && c.cbImage <= c.cbBytesClaim)
        cbMayChange = std::min<uint64_t>(c.cbImage, bytes.cb);
    const bool changed = std::memcmp(bytes.data, bytesBefore.data(), bytes.cb) != 0;
    if (hr == S_FALSE)
    {
        EXPECT_FALSE(changed) << "refused frame changed, " << g_szCase;
    }
    if (changed)
    {
        ++tally.drawn;
        EXPECT_EQ(std::memcmp(bytes.data + cbMayChange, bytesBefore.data() + cbMayChange,
                              bytes.cb - static_cast<size_t>(cbMayChange)),
                  0)
            << "written past the image, " << g_szCase;
        if (cbMayChange > 0 && c.biBitCount % 8 == 0)
        {
            const uint64_t cbUsed = static_cast<uint64_t>(c.biWidth) * (c.biBitCount / 8);
            for (uint64_t row = 0; row + c.cbRow <= cbMayChange; row += c.cbRow)
            {
                if (std::memcmp(bytes.data + row + cbUsed, bytesBefore.data() + row + cbUsed,
                                static_cast<size_t>(c.cbRow - cbUsed)) != 0)
                {
                    ADD_FAILURE() << "row padding written at " << row << ", " << g_szCase;
                    break;
                }
            }
        }
    }
    hr == S_OK ? ++tally.ok : ++tally.refused;
    tally.failures += RecordedFailures() != failuresBefore;
}
} // namespace

TEST_F(FrameRobustness, GeneratedFramesStayInsideTheirBuffers)
{
    const auto cases = static_cast<uint32_t>(EnvNumber("FERROWIND_FRAME_CASES", kDefaultCases));
    const uint64_t seed = EnvNumber("FERROWIND_FRAME_SEED", kDefaultSeed);
    SetUnhandledExceptionFilter(ReportFault);

    Random random(seed);
    Tally tally;
    RegionPool infoPool;
    RegionPool bytesPool;
    uint32_t largeLeft = kLargeBuffers;
    std::unique_ptr<CFrameDrawEngine> engine;
    uint32_t settingsVariant = 0;
    FrameCase c = {};
    for (uint32_t index = 0; index < cases; ++index)
    {
        // Fresh objects now and then, so that first frames (no font yet) come
        // in every shape too; settings changes make the next frame realise.
        if (index % 601 == 0)
            engine = std::make_unique<CFrameDrawEngine>();
        if (index % 257 == 0)
            UseSettings(SettingsVariant(settingsVariant++));

        c = GenerateCase(random, index, c, largeLeft);
        Describe(c, index, g_szCase, sizeof(g_szCase));
        RunCase(*engine, c, random, infoPool, bytesPool, tally);
        bytesPool.Return();
        if (tally.failures > 20)
        {
            ADD_FAILURE() << "stopped after 20 failing cases";
            break;
        }
    }
    std::snprintf(g_szCase, sizeof(g_szCase), "no case");

    std::printf("frame robustness: %u cases (seed 0x%llX): %u S_OK (%u drawn), %u S_FALSE, %u large buffers, "
                "%u failing, faults: none\n",
                tally.cases, static_cast<unsigned long long>(seed), tally.ok, tally.drawn, tally.refused, tally.large,
                tally.failures);
    RecordProperty("cases", static_cast<int>(tally.cases));
    EXPECT_EQ(tally.cases, cases);
    // The generator must reach the drawing itself, not only the refusals.
    EXPECT_GT(tally.drawn, cases / 20);
    EXPECT_GT(tally.refused, cases / 5);
    EXPECT_GT(tally.large, 0u);
}


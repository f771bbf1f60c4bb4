// SetDrawSetupParameters with generated arrays of every shape, each made with
// the real OLE Automation calls: element types, dimensions, lower bounds and
// element counts; descriptors altered by hand where a host could alter them
// (features, element size, lock count, dimensions, data pointer); data that
// ends at an inaccessible page; contents from random bytes to valid blobs.
//
// Each answer is compared with one worked out from the array alone, in the
// order the checks run. A refusal must leave the current settings byte for
// byte as they were; an acceptance must hold exactly the blob's fields and read
// back through GetDrawSetupParameters as the same 104 bytes. The array must
// come back with its descriptor and data unchanged, no lock and no reference
// kept, and SafeArrayDestroy must take it. A read past the data faults and ends
// the program (the fault filter names the case first).
//
// FERROWIND_BLOB_CASES and FERROWIND_BLOB_SEED run it longer or differently
// by hand.

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Ferrowind.h"
#include "RobustnessSupport.h"
#include "com/ComPtr.h"
#include "com/SMPTEFrameDraw.h"
#include "settings/CurrentSettings.h"
#include "tests/portable/SettingsBytes.h"

namespace
{
constexpr uint32_t kDefaultCases = 120000;
constexpr uint64_t kDefaultSeed = 0x426C6F62'41727261ull;

constexpr ULONG kBlobBytes = 104;
// SafeArrayLock refuses to raise the lock count above this.
constexpr ULONG kMaxLocks = 0xFFFF;
// Arrays whose data is at most this long may be moved against the
// inaccessible page.
constexpr size_t kGuardedBytes = 64 * 1024;
// The descriptor keeps its element type (or interface id) in the 16 bytes
// before the header; they are compared along with it.
constexpr size_t kHiddenBytes = 16;

// Readable pages followed by one inaccessible page: bytes placed against End()
// can be read up to the last one and not one further.
class CGuardedRegion
{
public:
    explicit CGuardedRegion(size_t cbReadable)
    {
        const size_t cbPage = PageSize();
        m_cbReadable = (cbReadable + cbPage - 1) / cbPage * cbPage;
        m_pBase = static_cast<BYTE*>(
            VirtualAlloc(nullptr, m_cbReadable + cbPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        if (m_pBase != nullptr && !VirtualProtect(m_pBase + m_cbReadable, cbPage, PAGE_NOACCESS, &dwOld))
        {
            VirtualFree(m_pBase, 0, MEM_RELEASE);
            m_pBase = nullptr;
        }
    }
    ~CGuardedRegion()
    {
        if (m_pBase != nullptr)
            VirtualFree(m_pBase, 0, MEM_RELEASE);
    }
    CGuardedRegion(const CGuardedRegion&) = delete;
    CGuardedRegion& operator=(const CGuardedRegion&) = delete;

    bool IsValid() const { return m_pBase != nullptr; }
    // The first inaccessible byte.
    BYTE* End() const { return m_pBase + m_cbReadable; }
    size_t Capacity() const { return m_cbReadable; }

private:
    BYTE* m_pBase = nullptr;
    size_t m_cbReadable = 0;
};

// An object that array elements hold references on; the count shows whether
// anyone kept or dropped one.
class CCountingUnknown final : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown))
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_cRef); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_cRef); }

    LONG m_cRef = 1;
};

CCountingUnknown g_element;

enum class Making
{
    Null,               // no array at all
    Create,             // SafeArrayCreate
    CreateVector,       // SafeArrayCreateVector
    DescriptorEx,       // SafeArrayAllocDescriptorEx, bounds, SafeArrayAllocData
    DescriptorExNoData, // SafeArrayAllocDescriptorEx and bounds only
    Descriptor,         // SafeArrayAllocDescriptor, element size, bounds, SafeArrayAllocData
};

const char* MakingName(Making making)
{
    switch (making)
    {
    case Making::Null:
        return "null";
    case Making::Create:
        return "Create";
    case Making::CreateVector:
        return "CreateVector";
    case Making::DescriptorEx:
        return "DescriptorEx";
    case Making::DescriptorExNoData:
        return "DescriptorEx-nodata";
    case Making::Descriptor:
        return "Descriptor";
    }
    return "?";
}

enum class Placing
{
    Own,          // the data the array was made with
    Guarded,      // a copy of all of it, ending at an inaccessible page
    GuardedShort, // fewer bytes than the elements claim, ending at that page
    Inaccessible, // the data pointer points at the inaccessible page itself
    NoData,       // no data pointer
};

const char* PlacingName(Placing placing)
{
    switch (placing)
    {
    case Placing::Own:
        return "own";
    case Placing::Guarded:
        return "guarded";
    case Placing::GuardedShort:
        return "guarded-short";
    case Placing::Inaccessible:
        return "inaccessible";
    case Placing::NoData:
        return "no-data";
    }
    return "?";
}

// One generated array: what was asked of the platform, what was changed by
// hand afterwards, and what is needed to undo those changes before it is
// destroyed.
struct GeneratedArray
{
    SAFEARRAY* psa = nullptr;
    Making making = Making::Null;
    VARTYPE vt = VT_EMPTY;
    // The descriptor records vt itself (a typed call for a type that is not an
    // interface), as opposed to an interface id or nothing.
    bool bRecordsVt = false;
    UINT cDimsMade = 0;

    // The header as the platform made it, restored before destruction.
    USHORT cDimsOriginal = 0;
    USHORT fFeaturesOriginal = 0;
    ULONG cbElementsOriginal = 0;
    void* pvDataOriginal = nullptr;
    ULONG cApiLocks = 0;

    Placing placing = Placing::Own;
    // Bytes the array owns, and the bytes readable from its data pointer as
    // placed.
    size_t cbOwned = 0;
    size_t cbReadable = 0;
    // The data as written, for arrays whose elements are plain values.
    std::vector<BYTE> bytes;
    bool bPlainElements = true;
    LONG cElementRefs = 0;

    char szContent[24] = "none";
    char szTweaks[96] = "";
};

// What SetDrawSetupParameters has to answer for an array, and which check
// decides it (0 when it is accepted), worked out from the array's descriptor
// as handed in and from the bytes the generator put behind it. The blob check
// is told apart by what it refused: length, version word or percentages.
enum : int
{
    kBlobLength = 9,
    kBlobVersion = 10,
    kBlobPosition = 11,
};

struct Prediction
{
    HRESULT hr;
    int nStep;
};

// The element type as SafeArrayGetVartype reads it: a record flag first, then
// an interface id, then the recorded type; none of these, no type.
bool ReadsAsBytes(const GeneratedArray& a)
{
    const USHORT fFeatures = a.psa->fFeatures;
    if ((fFeatures & (FADF_RECORD | FADF_HAVEIID)) != 0)
        return false;
    if ((fFeatures & FADF_HAVEVARTYPE) == 0)
        return false;
    return a.bRecordsVt && a.vt == VT_UI1;
}

Prediction Predict(const GeneratedArray& a)
{
    if (a.psa == nullptr)
        return {E_POINTER, 1};
    const SAFEARRAY& sa = *a.psa;
    // A byte array given another element size does not hold one byte per
    // element; it is refused along with the other types.
    if (!ReadsAsBytes(a) || sa.cbElements != 1)
        return {E_INVALIDARG, 2};
    if (sa.cDims != 1)
        return {E_INVALIDARG, 3};
    // The bounds of a one-dimensional array can always be read (checks 4 and
    // 5); upper minus lower plus one is the element count, whatever they are.
    const ULONG cElements = sa.rgsabound[0].cElements;
    if (cElements < 4)
        return {E_INVALIDARG, 6};
    if (sa.cLocks >= kMaxLocks)
        return {E_INVALIDARG, 7};
    if (cElements > a.cbReadable)
        return {E_POINTER, 8};
    if (cElements != kBlobBytes)
        return {E_INVALIDARG, kBlobLength};
    const BYTE* b = a.bytes.data();
    if (b[0] != 0x00 || b[1] != 0x00 || b[2] != 0x00 || b[3] != 0x01)
        return {E_INVALIDARG, kBlobVersion};
    const unsigned h = b[100] | (b[101] << 8);
    const unsigned v = b[102] | (b[103] << 8);
    if (h > 100 || v > 100)
        return {E_INVALIDARG, kBlobPosition};
    return {S_OK, 0};
}

uint32_t Le32(const BYTE* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void PutLe32(BYTE* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

// The blob of a record, laid out by hand: version word, the LOGFONTW as it
// lies in memory (little-endian, as the blob is), colour, position.
std::vector<BYTE> BlobOf(const SMPTEDrawSettings& s)
{
    std::vector<BYTE> b(kBlobBytes, 0);
    b[3] = 0x01;
    std::memcpy(b.data() + 4, &s.lfFont, sizeof(s.lfFont));
    PutLe32(b.data() + 96, s.argbColor);
    PutLe32(b.data() + 100, s.dwPosition);
    return b;
}

uint16_t PickPercent(Random& r)
{
    static const uint16_t kEdges[] = {0, 1, 99, 100, 100, 101, 101, 102};
    static const uint16_t kFar[] = {255, 256, 0x0164, 0x6400, 0x6464, 0x7FFF, 0x8000, 0xFFFF, 0x0165};
    const uint32_t n = r.Below(100);
    if (n < 60)
        return static_cast<uint16_t>(r.Between(0, 100));
    if (n < 82)
        return r.Pick(kEdges);
    if (n < 92)
        return r.Pick(kFar);
    return static_cast<uint16_t>(r.Next());
}

// Bytes for an array of cb bytes: a blob-like start (when there is room) and
// random bytes after it.
void MakeContent(Random& r, std::vector<BYTE>& bytes, size_t cb, char (&szKind)[24])
{
    bytes.assign(cb < kBlobBytes ? kBlobBytes : cb, 0);
    const uint32_t n = r.Below(100);
    if (n < 15)
    {
        r.Fill(bytes.data(), bytes.size());
        std::snprintf(szKind, sizeof(szKind), "random");
    }
    else if (n < 85)
    {
        if (n < 60)
        {
            r.Fill(bytes.data(), bytes.size());
            std::snprintf(szKind, sizeof(szKind), "blob+random");
        }
        else if (n < 72)
        {
            const std::vector<BYTE> current = BlobOf(CurrentSettings());
            std::memcpy(bytes.data(), current.data(), kBlobBytes);
            for (uint32_t i = r.Below(4); i > 0; --i)
            {
                if (r.OneIn(2))
                    bytes[r.Below(kBlobBytes)] ^= static_cast<BYTE>(1u << r.Below(8));
                else
                    bytes[r.Below(kBlobBytes)] = static_cast<BYTE>(r.Next());
            }
            std::snprintf(szKind, sizeof(szKind), "current-mutated");
        }
        else
        {
            std::snprintf(szKind, sizeof(szKind), "blob+zero");
        }
        if (n < 60 || n >= 72)
        {
            bytes[0] = 0x00;
            bytes[1] = 0x00;
            bytes[2] = 0x00;
            bytes[3] = 0x01;
            const uint16_t h = PickPercent(r);
            const uint16_t v = PickPercent(r);
            PutLe32(bytes.data() + 100, (static_cast<uint32_t>(v) << 16) | h);
        }
    }
    else if (n < 95)
    {
        // Little-endian values: 01 00 00 00, 00 00 00 00, 00 00 01 00, ...
        static const uint32_t kWrongVersions[] = {0x00000001, 0x00000000, 0x00010000, 0x02000000,
                                                  0x81000000, 0x01000001, 0x01000100, 0xFFFFFFFF};
        r.Fill(bytes.data(), bytes.size());
        PutLe32(bytes.data(), r.Pick(kWrongVersions));
        PutLe32(bytes.data() + 100, (static_cast<uint32_t>(r.Between(0, 100)) << 16) | r.Between(0, 100));
        std::snprintf(szKind, sizeof(szKind), "wrong-version");
    }
    else
    {
        std::memset(bytes.data(), r.OneIn(2) ? 0xFF : 0x00, bytes.size());
        std::snprintf(szKind, sizeof(szKind), "uniform");
    }
    bytes.resize(cb);
}

ULONG PickCount(Random& r, bool bHugeAllowed)
{
    static const ULONG kNear[] = {103, 105};
    static const ULONG kMiddle[] = {52, 100, 106, 208, 255, 256, 1000, 4096};
    static const ULONG kHuge[] = {0x7FFFFFFF, 0x80000000, 0x80000068, 0xFFFFFFFE, 0xFFFFFFFF, 0x10000068};
    const uint32_t n = r.Below(1000);
    if (n < 600)
        return kBlobBytes;
    if (n < 680)
        return r.Pick(kNear);
    if (n < 780)
        return r.Between(0, 5);
    if (n < 900)
        return r.Between(6, 300);
    if (n < 960)
        return r.Pick(kMiddle);
    if (n < 970)
        return 64 * 1024;
    if (n < 971)
        return 1024 * 1024;
    return bHugeAllowed ? r.Pick(kHuge) : kBlobBytes;
}

LONG PickLowerBound(Random& r)
{
    static const LONG kEdges[] = {LONG_MIN, LONG_MIN + 1, -104, -103, -1, 2, 103, 104, 0x7FFFFF98,
                                  0x7FFFFF99, LONG_MAX - 1, LONG_MAX};
    const uint32_t n = r.Below(100);
    if (n < 40)
        return 0;
    if (n < 60)
        return 1;
    if (n < 80)
        return static_cast<LONG>(r.Between(0, 2000)) - 1000;
    if (n < 90)
        return r.Pick(kEdges);
    return static_cast<LONG>(r.Next());
}

VARTYPE PickType(Random& r)
{
    static const VARTYPE kOthers[] = {VT_I1,   VT_UI2,     VT_I2,      VT_UI4,  VT_I4,     VT_R4,
                                      VT_R8,   VT_CY,      VT_DATE,    VT_BOOL, VT_ERROR,  VT_DECIMAL,
                                      VT_I8,   VT_UI8,     VT_INT,     VT_UINT, VT_BSTR,   VT_VARIANT,
                                      VT_UNKNOWN, VT_DISPATCH, VT_EMPTY, VT_NULL, VT_I1, VT_BSTR};
    return r.Below(100) < 78 ? static_cast<VARTYPE>(VT_UI1) : r.Pick(kOthers);
}

// Types the platform stores an interface id for instead of the type.
bool IsInterfaceType(VARTYPE vt)
{
    return vt == VT_UNKNOWN || vt == VT_DISPATCH;
}

// Types the array calls make: the plain values, strings, variants, interfaces.
bool IsCreatable(VARTYPE vt)
{
    return vt != VT_EMPTY && vt != VT_NULL;
}

size_t CellCount(const SAFEARRAYBOUND* bounds, UINT cDims)
{
    size_t cCells = 1;
    for (UINT i = 0; i < cDims; ++i)
        cCells *= bounds[i].cElements;
    return cCells;
}

// Puts a few real elements into an array whose elements the platform frees
// (strings, variants, interfaces), so that destroying it has work to do and a
// reference kept or dropped by anyone shows in the counting object.
void PutOwnedElements(Random& r, GeneratedArray& a, size_t cCells)
{
    const USHORT fFeatures = a.psa->fFeatures;
    const size_t cPut = cCells < 3 ? cCells : 3;
    if (cPut == 0)
        return;
    void* pv = nullptr;
    if (FAILED(SafeArrayAccessData(a.psa, &pv)))
        return;
    for (size_t i = 0; i < cPut; ++i)
    {
        if ((fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0)
        {
            g_element.AddRef();
            static_cast<IUnknown**>(pv)[i] = &g_element;
            ++a.cElementRefs;
        }
        else if ((fFeatures & FADF_BSTR) != 0)
        {
            // A string that holds a whole valid blob.
            const std::vector<BYTE> blob = BlobOf(CurrentSettings());
            static_cast<BSTR*>(pv)[i] =
                SysAllocStringByteLen(reinterpret_cast<const char*>(blob.data()), static_cast<UINT>(blob.size()));
        }
        else if ((fFeatures & FADF_VARIANT) != 0)
        {
            VARIANT& var = static_cast<VARIANT*>(pv)[i];
            if (r.OneIn(2))
            {
                g_element.AddRef();
                V_VT(&var) = VT_UNKNOWN;
                V_UNKNOWN(&var) = &g_element;
                ++a.cElementRefs;
            }
            else
            {
                V_VT(&var) = VT_UI1;
                V_UI1(&var) = static_cast<BYTE>(r.Next());
            }
        }
    }
    SafeArrayUnaccessData(a.psa);
}

// Makes the array through the platform's calls. Answers false only when the
// platform could not make it.
bool MakeArray(Random& r, GeneratedArray& a)
{
    a.vt = PickType(r);
    const uint32_t nDims = r.Below(100);
    a.cDimsMade = nDims < 88 ? 1 : (nDims < 95 ? 2 : 3);

    const uint32_t nMaking = r.Below(100);
    if (a.cDimsMade == 1 && nMaking < 25)
        a.making = Making::CreateVector;
    else if (nMaking < 60)
        a.making = Making::Create;
    else if (nMaking < 78)
        a.making = Making::DescriptorEx;
    else if (nMaking < 92)
        a.making = Making::DescriptorExNoData;
    else
        a.making = Making::Descriptor;
    if (!IsCreatable(a.vt) && (a.making == Making::Create || a.making == Making::CreateVector))
        a.making = Making::DescriptorEx;

    // Bounds in the order the caller names the dimensions.
    SAFEARRAYBOUND bounds[3] = {};
    if (a.cDimsMade == 1)
    {
        bounds[0].cElements = PickCount(r, a.making == Making::DescriptorExNoData);
        bounds[0].lLbound = PickLowerBound(r);
    }
    else
    {
        static const ULONG kSides[] = {0, 1, 1, 2, 3, 4, 8, 13, 26, 52, 104};
        for (UINT i = 0; i < a.cDimsMade; ++i)
        {
            bounds[i].cElements = r.Pick(kSides);
            bounds[i].lLbound = PickLowerBound(r);
        }
        // Now and then a shape whose cells hold exactly one blob.
        if (r.OneIn(3))
        {
            static const ULONG kPairs[][2] = {{104, 1}, {1, 104}, {52, 2}, {8, 13}};
            const ULONG(&pair)[2] = kPairs[r.Below(4)];
            bounds[0].cElements = pair[0];
            bounds[1].cElements = pair[1];
            bounds[2].cElements = 1;
        }
        if (CellCount(bounds, a.cDimsMade) > 20000)
            bounds[a.cDimsMade - 1].cElements = 1;
    }
    a.bRecordsVt = a.making != Making::Descriptor && !IsInterfaceType(a.vt);

    switch (a.making)
    {
    case Making::Null:
        return true;
    case Making::Create:
        a.psa = SafeArrayCreate(a.vt, a.cDimsMade, bounds);
        break;
    case Making::CreateVector:
        a.psa = SafeArrayCreateVector(a.vt, bounds[0].lLbound, bounds[0].cElements);
        break;
    case Making::DescriptorEx:
    case Making::DescriptorExNoData:
    case Making::Descriptor:
    {
        const HRESULT hr = a.making == Making::Descriptor ? SafeArrayAllocDescriptor(a.cDimsMade, &a.psa)
                                                          : SafeArrayAllocDescriptorEx(a.vt, a.cDimsMade, &a.psa);
        if (FAILED(hr))
            return false;
        // The descriptor keeps the last named dimension first.
        for (UINT i = 0; i < a.cDimsMade; ++i)
            a.psa->rgsabound[i] = bounds[a.cDimsMade - 1 - i];
        static const ULONG kSizes[] = {1, 1, 1, 2, 4, 16};
        if (a.making == Making::Descriptor || a.psa->cbElements == 0)
            a.psa->cbElements = r.Pick(kSizes);
        else if (r.OneIn(10))
            a.psa->cbElements = r.Pick(kSizes);
        if (a.making != Making::DescriptorExNoData && FAILED(SafeArrayAllocData(a.psa)))
        {
            SafeArrayDestroyDescriptor(a.psa);
            a.psa = nullptr;
            return false;
        }
        break;
    }
    }
    if (a.psa == nullptr)
        return false;

    a.cDimsOriginal = a.psa->cDims;
    a.fFeaturesOriginal = a.psa->fFeatures;
    a.cbElementsOriginal = a.psa->cbElements;
    a.pvDataOriginal = a.psa->pvData;
    const size_t cCells = CellCount(bounds, a.cDimsMade);
    a.cbOwned = a.psa->pvData != nullptr ? cCells * a.psa->cbElements : 0;
    a.bPlainElements = (a.psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT)) == 0;

    if (!a.bPlainElements)
    {
        PutOwnedElements(r, a, cCells);
        std::snprintf(a.szContent, sizeof(a.szContent), "elements");
    }
    else if (a.cbOwned > 0)
    {
        MakeContent(r, a.bytes, a.cbOwned, a.szContent);
        std::memcpy(a.psa->pvData, a.bytes.data(), a.cbOwned);
    }
    else if (a.making == Making::DescriptorExNoData)
    {
        // Bytes for a data pointer that the descriptor is given by hand.
        const ULONG cElements = a.psa->rgsabound[0].cElements;
        const size_t cb = cElements * static_cast<size_t>(a.psa->cbElements);
        if (cb <= kGuardedBytes && cElements <= kGuardedBytes)
            MakeContent(r, a.bytes, cb, a.szContent);
    }
    return true;
}

void AppendTweak(GeneratedArray& a, const char* szName, unsigned long value)
{
    const size_t cchUsed = std::strlen(a.szTweaks);
    std::snprintf(a.szTweaks + cchUsed, sizeof(a.szTweaks) - cchUsed, " %s 0x%lx", szName, value);
}

// Changes to the descriptor that a careless host could make to a real array.
void TweakDescriptor(Random& r, GeneratedArray& a)
{
    SAFEARRAY& sa = *a.psa;
    if (r.OneIn(25))
    {
        sa.fFeatures &= static_cast<USHORT>(~FADF_HAVEVARTYPE);
        AppendTweak(a, "features", sa.fFeatures);
    }
    if (r.OneIn(25))
    {
        static const USHORT kFlags[] = {FADF_RECORD, FADF_HAVEIID, FADF_HAVEIID | FADF_DISPATCH,
                                        FADF_BSTR,   FADF_UNKNOWN, FADF_DISPATCH,
                                        FADF_VARIANT, FADF_STATIC, FADF_AUTO,
                                        FADF_EMBEDDED, FADF_FIXEDSIZE};
        const USHORT fAdd = r.Pick(kFlags);
        sa.fFeatures |= fAdd;
        AppendTweak(a, "features", sa.fFeatures);
    }
    if (r.OneIn(25))
    {
        static const ULONG kSizes[] = {0, 1, 2, 4, 8, 0x10000, 0xFFFFFFFF};
        sa.cbElements = r.Pick(kSizes);
        AppendTweak(a, "element-size", sa.cbElements);
    }
    if (sa.cDims == 1 && r.OneIn(40))
    {
        sa.cDims = 0;
        AppendTweak(a, "dims", 0);
    }
    else if (sa.cDims > 1 && r.OneIn(3) && CellCount(sa.rgsabound, sa.cDims) > 0)
    {
        // Fewer dimensions than made: the data is still at least as long as
        // the one dimension left claims.
        sa.cDims = 1;
        AppendTweak(a, "dims", 1);
    }
    if (r.OneIn(30))
    {
        a.cApiLocks = r.Between(1, 3);
        for (ULONG i = 0; i < a.cApiLocks; ++i)
            EXPECT_EQ(SafeArrayLock(a.psa), S_OK);
        AppendTweak(a, "locked", a.cApiLocks);
    }
    else if (r.OneIn(40))
    {
        static const ULONG kLocks[] = {kMaxLocks - 1, kMaxLocks, kMaxLocks + 1, 0x12345678, 0x7FFFFFFF, 0x80000000};
        sa.cLocks = r.Pick(kLocks);
        AppendTweak(a, "lock-count", sa.cLocks);
    }
}

// Where the data pointer points when the call is made.
void PlaceData(Random& r, GeneratedArray& a, const CGuardedRegion& guard)
{
    SAFEARRAY& sa = *a.psa;
    const ULONG cElements = sa.rgsabound[0].cElements;
    a.placing = a.psa->pvData != nullptr ? Placing::Own : Placing::NoData;
    a.cbReadable = a.cbOwned;
    const uint32_t n = r.Below(100);
    if (a.making == Making::DescriptorExNoData)
    {
        // The descriptor owns no data; it is given a pointer by hand.
        if (n < 60 && !a.bytes.empty() && a.bytes.size() <= guard.Capacity())
        {
            a.placing = Placing::Guarded;
            a.cbReadable = a.bytes.size();
        }
        else if (n < 75 && cElements > 0)
        {
            a.placing = Placing::GuardedShort;
            a.cbReadable = r.Below(cElements < guard.Capacity() ? cElements : static_cast<ULONG>(guard.Capacity()));
        }
        else if (n < 85)
        {
            a.placing = Placing::Inaccessible;
            a.cbReadable = 0;
        }
        else
        {
            a.cbReadable = 0;
        }
    }
    else if (a.placing == Placing::Own && a.bPlainElements)
    {
        if (n < 12 && a.cbOwned > 0 && a.cbOwned <= guard.Capacity())
        {
            a.placing = Placing::Guarded;
        }
        else if (n < 16 && cElements > 0)
        {
            a.placing = Placing::GuardedShort;
            const size_t cbMost = a.cbOwned < cElements ? a.cbOwned : cElements;
            a.cbReadable = r.Below(static_cast<uint32_t>(cbMost < guard.Capacity() ? cbMost : guard.Capacity()));
        }
        else if (n < 18)
        {
            a.placing = Placing::Inaccessible;
            a.cbReadable = 0;
        }
    }

    if (a.placing != Placing::Own && a.bytes.size() < a.cbReadable)
    {
        const size_t cbHad = a.bytes.size();
        a.bytes.resize(a.cbReadable);
        r.Fill(a.bytes.data() + cbHad, a.cbReadable - cbHad);
    }
    switch (a.placing)
    {
    case Placing::Own:
    case Placing::NoData:
        break;
    case Placing::Guarded:
    case Placing::GuardedShort:
    {
        BYTE* pb = guard.End() - a.cbReadable;
        std::memcpy(pb, a.bytes.data(), a.cbReadable);
        sa.pvData = pb;
        break;
    }
    case Placing::Inaccessible:
        sa.pvData = guard.End();
        break;
    }
    // What is left readable is what the oracle may rely on.
    if (a.placing != Placing::Own)
        a.bytes.resize(a.cbReadable < a.bytes.size() ? a.cbReadable : a.bytes.size());
}

void Describe(const GeneratedArray& a, uint32_t index, char* szOut, size_t cch)
{
    if (a.psa == nullptr)
    {
        std::snprintf(szOut, cch, "case %u: null array", index);
        return;
    }
    const SAFEARRAY& sa = *a.psa;
    std::snprintf(szOut, cch,
                  "case %u: %s vt %u dims %u (made %u) lower %ld count %lu element-size %lu features 0x%x "
                  "locks %lu data %s (%lu readable) content %s%s",
                  index, MakingName(a.making), static_cast<unsigned>(a.vt), static_cast<unsigned>(sa.cDims),
                  a.cDimsMade, static_cast<long>(sa.rgsabound[0].lLbound),
                  static_cast<unsigned long>(sa.rgsabound[0].cElements), static_cast<unsigned long>(sa.cbElements),
                  static_cast<unsigned>(sa.fFeatures), static_cast<unsigned long>(sa.cLocks), PlacingName(a.placing),
                  static_cast<unsigned long>(a.cbReadable), a.szContent, a.szTweaks);
}

// The descriptor's bytes with the hidden part before it, as allocated.
std::vector<BYTE> DescriptorBytes(const GeneratedArray& a)
{
    const BYTE* pb = reinterpret_cast<const BYTE*>(a.psa) - kHiddenBytes;
    const size_t cb = kHiddenBytes + sizeof(SAFEARRAY) + (a.cDimsMade - 1) * sizeof(SAFEARRAYBOUND);
    return std::vector<BYTE>(pb, pb + cb);
}

std::vector<BYTE> DataBytes(const GeneratedArray& a)
{
    if (a.psa->pvData == nullptr || a.cbReadable == 0)
        return {};
    const BYTE* pb = static_cast<const BYTE*>(a.psa->pvData);
    return std::vector<BYTE>(pb, pb + a.cbReadable);
}

// Undoes the hand-made changes, gives back the locks taken through the
// platform and destroys the array, which must then be possible.
void Dispose(GeneratedArray& a)
{
    if (a.psa == nullptr)
        return;
    a.psa->cDims = a.cDimsOriginal;
    a.psa->fFeatures = a.fFeaturesOriginal;
    a.psa->cbElements = a.cbElementsOriginal;
    a.psa->pvData = a.pvDataOriginal;
    a.psa->cLocks = a.cApiLocks;
    for (ULONG i = 0; i < a.cApiLocks; ++i)
        EXPECT_EQ(SafeArrayUnlock(a.psa), S_OK) << g_szCase;
    // Destroying it releases exactly the references its elements held.
    const LONG cRefs = g_element.m_cRef;
    EXPECT_EQ(SafeArrayDestroy(a.psa), S_OK) << g_szCase;
    EXPECT_EQ(g_element.m_cRef, cRefs - a.cElementRefs) << g_szCase;
    a.psa = nullptr;
}

// A record of random content, usually valid; it becomes the current settings
// now and then, so that refusals are tried over many different ones.
SMPTEDrawSettings RandomSettings(Random& r)
{
    SMPTEDrawSettings s;
    r.Fill(reinterpret_cast<BYTE*>(&s.lfFont), sizeof(s.lfFont));
    s.argbColor = static_cast<uint32_t>(r.Next());
    if (r.OneIn(8))
        s.Invalidate();
    else
        s.dwPosition = PackPosition(static_cast<uint16_t>(r.Between(0, 100)), static_cast<uint16_t>(r.Between(0, 100)));
    return s;
}

struct Tally
{
    uint32_t cases = 0;
    uint32_t ok = 0;
    uint32_t invalidArg = 0;
    uint32_t pointer = 0;
    uint32_t other = 0;
    uint32_t byStep[12] = {};
    uint32_t unmade = 0;
    uint32_t guarded = 0;
    uint32_t changedSettings = 0;
    uint32_t failures = 0;
};

// An acceptance: the current settings hold the blob's fields, and the blob
// reads back the same through GetDrawSetupParameters, in a fresh array.
void CheckAccepted(IWendleVideoDraw* pPlugin, const GeneratedArray& a, const SMPTEDrawSettings& after)
{
    const BYTE* b = a.bytes.data();
    EXPECT_EQ(std::memcmp(&after.lfFont, b + 4, sizeof(after.lfFont)), 0) << "font, " << g_szCase;
    EXPECT_EQ(after.argbColor, Le32(b + 96)) << g_szCase;
    EXPECT_EQ(after.dwPosition, Le32(b + 100)) << g_szCase;

    SAFEARRAY* psaOut = nullptr;
    ASSERT_EQ(pPlugin->GetDrawSetupParameters(&psaOut), S_OK) << g_szCase;
    ASSERT_NE(psaOut, nullptr) << g_szCase;
    VARTYPE vt = VT_EMPTY;
    LONG lLower = -1;
    LONG lUpper = -1;
    EXPECT_EQ(SafeArrayGetVartype(psaOut, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    EXPECT_EQ(SafeArrayGetDim(psaOut), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psaOut), 1u);
    EXPECT_EQ(SafeArrayGetLBound(psaOut, 1, &lLower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psaOut, 1, &lUpper), S_OK);
    EXPECT_EQ(lLower, 0);
    EXPECT_EQ(lUpper, static_cast<LONG>(kBlobBytes) - 1);
    EXPECT_EQ(psaOut->cLocks, 0u);
    if (lLower == 0 && lUpper == static_cast<LONG>(kBlobBytes) - 1)
    {
        EXPECT_EQ(std::memcmp(psaOut->pvData, b, kBlobBytes), 0) << "read back differs, " << g_szCase;
    }
    EXPECT_EQ(SafeArrayDestroy(psaOut), S_OK);
}

void RunCase(IWendleVideoDraw* pPlugin, GeneratedArray& a, Tally& tally)
{
    const Prediction expected = Predict(a);
    const SMPTEDrawSettings before = CurrentSettings();
    const LONG cRefsBefore = g_element.m_cRef;
    std::vector<BYTE> descriptorBefore;
    std::vector<BYTE> dataBefore;
    if (a.psa != nullptr)
    {
        descriptorBefore = DescriptorBytes(a);
        dataBefore = DataBytes(a);
    }

    const HRESULT hr = pPlugin->SetDrawSetupParameters(a.psa);

    ++tally.cases;
    const int failuresBefore = RecordedFailures();
    const SMPTEDrawSettings after = CurrentSettings();

    EXPECT_TRUE(hr == S_OK || hr == E_INVALIDARG || hr == E_POINTER) << "0x" << std::hex << hr << " for " << g_szCase;
    EXPECT_EQ(hr, expected.hr) << "the check deciding should be step " << expected.nStep << ", " << g_szCase;
    if (hr == S_OK)
    {
        if (a.bytes.size() >= kBlobBytes)
            CheckAccepted(pPlugin, a, after);
        tally.changedSettings += std::memcmp(&before, &after, sizeof(before)) != 0;
    }
    else
    {
        EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0) << "refusal changed the settings, " << g_szCase;
    }

    if (a.psa != nullptr)
    {
        EXPECT_TRUE(DescriptorBytes(a) == descriptorBefore) << "descriptor changed, " << g_szCase;
        EXPECT_TRUE(DataBytes(a) == dataBefore) << "data changed, " << g_szCase;
    }
    EXPECT_EQ(g_element.m_cRef, cRefsBefore) << g_szCase;

    switch (hr)
    {
    case S_OK:
        ++tally.ok;
        break;
    case E_INVALIDARG:
        ++tally.invalidArg;
        break;
    case E_POINTER:
        ++tally.pointer;
        break;
    default:
        ++tally.other;
        break;
    }
    ++tally.byStep[expected.nStep];
    tally.guarded += a.placing == Placing::Guarded || a.placing == Placing::GuardedShort;
    tally.failures += RecordedFailures() != failuresBefore;
}

class BlobArrayRobustness : public ::testing::Test
{
protected:
    void SetUp() override { SnapshotSettings(g_currentSettings, m_saved); }
    void TearDown() override { ReplaceSettings(g_currentSettings, m_saved); }

    SMPTEDrawSettings m_saved;
};
} // namespace

TEST_F(BlobArrayRobustness, GeneratedArraysGetTheAnswerTheirShapeAndBytesCallFor)
{
    const auto cases = static_cast<uint32_t>(EnvNumber("FERROWIND_BLOB_CASES", kDefaultCases));
    const uint64_t seed = EnvNumber("FERROWIND_BLOB_SEED", kDefaultSeed);
    SetUnhandledExceptionFilter(ReportFault);

    CGuardedRegion guard(kGuardedBytes);
    ASSERT_TRUE(guard.IsValid());
    const LONG cElementRefsAtStart = g_element.m_cRef;

    Random random(seed);
    Tally tally;
    ComPtr<IWendleVideoDraw> plugin;
    for (uint32_t index = 0; index < cases; ++index)
    {
        // Fresh objects now and then: every object works on the same settings.
        if (index % 4999 == 0)
        {
            plugin.reset();
            ASSERT_EQ(CSMPTEFrameDraw::CreateInstance(nullptr, IID_IWendleVideoDraw,
                                                      reinterpret_cast<void**>(plugin.put())),
                      S_OK);
        }
        if (index % 1009 == 0)
            ReplaceSettings(g_currentSettings, RandomSettings(random));

        GeneratedArray a;
        if (!random.OneIn(100))
        {
            if (!MakeArray(random, a))
            {
                ++tally.unmade;
                continue;
            }
            TweakDescriptor(random, a);
            PlaceData(random, a, guard);
        }
        Describe(a, index, g_szCase, sizeof(g_szCase));
        RunCase(plugin.get(), a, tally);
        Dispose(a);
        if (tally.failures > 20)
        {
            ADD_FAILURE() << "stopped after 20 failing cases";
            break;
        }
    }
    plugin.reset();
    std::snprintf(g_szCase, sizeof(g_szCase), "no case");
    EXPECT_EQ(g_element.m_cRef, cElementRefsAtStart) << "element references left behind";

    std::printf("blob array robustness: %u cases (seed 0x%llX): %u S_OK (%u changed the settings), "
                "%u E_INVALIDARG, %u E_POINTER, %u other; refused by check 1 (null): %u, 2 (type): %u, "
                "3 (dimensions): %u, 6 (count): %u, 7 (access): %u, 8 (readable): %u, 9 (blob): length %u, "
                "version %u, percentages %u; %u with data against an inaccessible page; %u not made; "
                "%u failing, faults: none\n",
                tally.cases, static_cast<unsigned long long>(seed), tally.ok, tally.changedSettings, tally.invalidArg,
                tally.pointer, tally.other, tally.byStep[1], tally.byStep[2], tally.byStep[3], tally.byStep[6],
                tally.byStep[7], tally.byStep[8], tally.byStep[kBlobLength], tally.byStep[kBlobVersion],
                tally.byStep[kBlobPosition], tally.guarded, tally.unmade, tally.failures);
    RecordProperty("cases", static_cast<int>(tally.cases));
    EXPECT_EQ(tally.cases + tally.unmade, cases);
    EXPECT_EQ(tally.other, 0u);
    // The generator must reach every check, and the acceptance, often.
    if (cases >= kDefaultCases)
    {
        EXPECT_GE(tally.cases, 100000u);
    }
    if (cases >= 10000)
    {
        EXPECT_GT(tally.ok, cases / 10);
        EXPECT_GT(tally.changedSettings, cases / 20);
        for (int nStep : {1, 2, 3, 6, 7, 8, int{kBlobLength}, int{kBlobVersion}, int{kBlobPosition}})
            EXPECT_GT(tally.byStep[nStep], cases / 1000) << "check " << nStep;
        EXPECT_GT(tally.guarded, cases / 20);
    }
}

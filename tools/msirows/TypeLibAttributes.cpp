#include "tools/msirows/TypeLibAttributes.h"

#include <cstdio>

namespace
{
constexpr uint32_t kMagic = 0x5446534D; // "MSFT"
constexpr uint32_t kHeaderSize = 0x54;
constexpr uint32_t kHelpDllFlag = 0x100; // varflags: a help DLL name follows the header
constexpr uint32_t kSegmentCount = 15;
constexpr uint32_t kSegmentSize = 16;
constexpr uint32_t kTypeInfoTable = 0;
constexpr uint32_t kGuidTable = 5;
constexpr uint32_t kStringTable = 8;
constexpr uint32_t kTypeInfoSize = 0x64;
constexpr uint32_t kTypeInfoFlags = 0x30;
constexpr uint32_t kMaxTypeInfos = 65536;

constexpr uint32_t kTkindInterface = 3;
constexpr uint32_t kTkindDispatch = 4;
constexpr uint32_t kTypeFlagDual = 0x40;
constexpr uint32_t kTypeFlagOleAutomation = 0x100;
// The service reports a library it loaded from a file as having a disk
// image, and writes that into FLAGS.
constexpr uint32_t kLibFlagHasDiskImage = 0x8;

struct Malformed
{
    std::string why;
};

class Reader
{
public:
    explicit Reader(const std::vector<uint8_t>& vecBytes) : m_bytes(vecBytes) {}

    uint32_t U16(uint64_t offset) const
    {
        if (offset > m_bytes.size() || m_bytes.size() - offset < 2)
            throw Malformed{"a field at offset " + std::to_string(offset) + " lies past the end of the library"};
        return static_cast<uint32_t>(m_bytes[offset]) | (static_cast<uint32_t>(m_bytes[offset + 1]) << 8);
    }
    uint32_t U32(uint64_t offset) const { return U16(offset) | (U16(offset + 2) << 16); }
    uint8_t U8(uint64_t offset) const { return static_cast<uint8_t>(U16(offset) & 0xFF); }

private:
    const std::vector<uint8_t>& m_bytes;
};

std::string GuidText(const Reader& r, uint64_t offset)
{
    char sz[40];
    std::snprintf(sz, sizeof sz, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", r.U32(offset),
                  r.U16(offset + 4), r.U16(offset + 6), r.U8(offset + 8), r.U8(offset + 9), r.U8(offset + 10),
                  r.U8(offset + 11), r.U8(offset + 12), r.U8(offset + 13), r.U8(offset + 14), r.U8(offset + 15));
    return sz;
}
} // namespace

bool ReadTypeLibAttributes(const std::vector<uint8_t>& vecBytes, TypeLibAttributes& attr, std::string& why)
{
    const Reader r(vecBytes);
    try
    {
        if (r.U32(0) != kMagic)
            throw Malformed{"not an MSFT type library"};
        const uint32_t nVarFlags = r.U32(0x14);
        const uint32_t nVersion = r.U32(0x18);
        const uint32_t cTypeInfos = r.U32(0x20);
        if (cTypeInfos > kMaxTypeInfos)
            throw Malformed{"implausible type count " + std::to_string(cTypeInfos)};
        const int32_t nHelpString = static_cast<int32_t>(r.U32(0x24));

        // The segment directory follows the header, the help DLL's name when
        // there is one, and one offset per type.
        const uint64_t segments = kHeaderSize + ((nVarFlags & kHelpDllFlag) != 0 ? 4 : 0) + 4ull * cTypeInfos;
        r.U32(segments + kSegmentCount * kSegmentSize - 4); // the whole directory is there
        auto segmentOffset = [&](uint32_t nSegment) { return r.U32(segments + nSegment * kSegmentSize); };

        attr.strLibId = GuidText(r, segmentOffset(kGuidTable) + r.U32(0x08));
        attr.nMajorVersion = static_cast<uint16_t>(nVersion & 0xFFFF);
        attr.nMinorVersion = static_cast<uint16_t>(nVersion >> 16);
        // The first locale field is the one the library was built with; the
        // library's own locale, which the service registers, is the second.
        attr.lcid = r.U32(0x10);
        attr.nSysKind = nVarFlags & 0xF;
        attr.nLibFlags = (r.U32(0x1C) & 0xFFFF) | kLibFlagHasDiskImage;
        attr.bHasHelpFile = static_cast<int32_t>(r.U32(0x3C)) >= 0;

        attr.strHelpString.clear();
        if (nHelpString >= 0)
        {
            const uint64_t at = segmentOffset(kStringTable) + static_cast<uint32_t>(nHelpString);
            const uint32_t cch = r.U16(at);
            for (uint32_t i = 0; i < cch; ++i)
                attr.strHelpString.push_back(static_cast<char>(r.U8(at + 2 + i)));
        }

        attr.bHasAutomationInterfaces = false;
        for (uint32_t i = 0; i < cTypeInfos; ++i)
        {
            const uint64_t at = segmentOffset(kTypeInfoTable) + uint64_t{i} * kTypeInfoSize;
            const uint32_t nKind = r.U32(at) & 0xF;
            const uint32_t nFlags = r.U32(at + kTypeInfoFlags);
            if (nKind == kTkindDispatch ||
                (nKind == kTkindInterface && (nFlags & (kTypeFlagDual | kTypeFlagOleAutomation)) != 0))
                attr.bHasAutomationInterfaces = true;
        }
        return true;
    }
    catch (const Malformed& e)
    {
        why = e.why;
        return false;
    }
}

std::string PlatformKeyName(uint32_t nSysKind)
{
    switch (nSysKind)
    {
    case 0:
        return "win16";
    case 1:
        return "win32";
    case 2:
        return "mac";
    case 3:
        return "win64";
    default:
        return "";
    }
}

#include "tools/dllcheck/PeImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace
{
constexpr uint32_t kDirExport = 0;
constexpr uint32_t kDirImport = 1;
constexpr uint32_t kDirResource = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// A crafted tree can point many entries at the same directories; a real
// module has a few dozen.
constexpr uint32_t kMaxResourceEntries = 65536;
constexpr size_t kMaxNameLength = 4096;

// Thrown by the bounded reads, caught at the public entry points.
struct Malformed
{
    std::string why;
};

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

template <typename F> bool Guard(std::string& why, F&& read)
{
    try
    {
        read();
        return true;
    }
    catch (const Malformed& e)
    {
        why = e.why;
        return false;
    }
}
} // namespace

uint32_t PeImage::U16(uint64_t offset) const
{
    if (offset > m_bytes.size() || m_bytes.size() - offset < 2)
        throw Malformed{"a field at offset " + Hex(offset) + " lies past the end of the file"};
    return static_cast<uint32_t>(m_bytes[offset]) | (static_cast<uint32_t>(m_bytes[offset + 1]) << 8);
}

uint32_t PeImage::U32(uint64_t offset) const
{
    return U16(offset) | (U16(offset + 2) << 16);
}

uint32_t PeImage::DirectoryRva(uint32_t index) const
{
    return index < m_directories.size() ? m_directories[index] : 0;
}

// The file offset of size bytes at rva, all within the file data of one
// section (or of the headers).
uint64_t PeImage::At(uint64_t rva, uint64_t size, const char* what) const
{
    if (rva + size <= m_sizeOfHeaders)
        return rva;
    for (const PeSection& s : m_sections)
    {
        const uint64_t backed = s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress + size <= backed)
            return s.rawOffset + (rva - s.virtualAddress);
    }
    throw Malformed{std::string(what) + " at RVA " + Hex(rva) + " (" + std::to_string(size) +
                    " bytes) is not within the file data of any section"};
}

std::string PeImage::CString(uint64_t rva, const char* what) const
{
    std::string text;
    for (uint64_t offset = At(rva, 1, what);; offset = At(rva + text.size(), 1, what))
    {
        if (m_bytes[offset] == 0)
            return text;
        if (text.size() == kMaxNameLength)
            throw Malformed{std::string(what) + " at RVA " + Hex(rva) + " is not terminated"};
        text += static_cast<char>(m_bytes[offset]);
    }
}

bool PeImage::Load(std::vector<uint8_t> bytes, std::string& why)
{
    m_bytes = std::move(bytes);
    m_directories.clear();
    m_sections.clear();
    return Guard(why, [&] {
        if (m_bytes.size() < 0x40 || m_bytes[0] != 'M' || m_bytes[1] != 'Z')
            throw Malformed{"no MZ header"};
        const uint64_t pe = U32(0x3C);
        if (U32(pe) != 0x00004550)
            throw Malformed{"no PE signature at offset " + Hex(pe)};
        m_machine = static_cast<uint16_t>(U16(pe + 4));
        const uint32_t sectionCount = U16(pe + 6);
        const uint32_t optionalSize = U16(pe + 20);
        m_characteristics = static_cast<uint16_t>(U16(pe + 22));

        // The layout follows the image's own magic: PE32+ widens the image
        // base and drops BaseOfData, which moves the directories by 16.
        const uint64_t opt = pe + 24;
        m_magic = static_cast<uint16_t>(U16(opt));
        if (m_magic != kPeMagic32 && m_magic != kPeMagic64)
            throw Malformed{"unknown optional header magic " + Hex(m_magic)};
        const uint32_t directoriesAt = m_magic == kPeMagic64 ? 112 : 96;
        if (optionalSize < directoriesAt)
            throw Malformed{"optional header of " + std::to_string(optionalSize) + " bytes is too short"};
        m_sizeOfHeaders = std::min<uint32_t>(U32(opt + 60), static_cast<uint32_t>(m_bytes.size()));
        const uint32_t directoryCount =
            std::min<uint32_t>(U32(opt + directoriesAt - 4), (optionalSize - directoriesAt) / 8);
        for (uint32_t i = 0; i < directoryCount; ++i)
            m_directories.push_back(U32(opt + directoriesAt + 8 * i));

        for (uint64_t s = opt + optionalSize; m_sections.size() < sectionCount; s += 40)
        {
            const PeSection section = {U32(s + 12), U32(s + 8), U32(s + 20), U32(s + 16)};
            if (static_cast<uint64_t>(section.rawOffset) + section.rawSize > m_bytes.size())
                throw Malformed{"section " + std::to_string(m_sections.size() + 1) + " runs past the end of the file"};
            m_sections.push_back(section);
        }
    });
}

bool PeImage::ReadExports(PeExports& exports, std::string& why) const
{
    exports = {};
    return Guard(why, [&] {
        const uint32_t rva = DirectoryRva(kDirExport);
        if (rva == 0)
            return;
        const uint64_t dir = At(rva, 40, "export directory");
        exports.functionCount = U32(dir + 20);
        const uint32_t nameCount = U32(dir + 24);
        At(U32(dir + 28), exports.functionCount * 4ull, "export address table");
        const uint64_t names = At(U32(dir + 32), nameCount * 4ull, "export name table");
        const uint64_t ordinals = At(U32(dir + 36), nameCount * 2ull, "export ordinal table");
        for (uint32_t i = 0; i < nameCount; ++i)
            exports.names.push_back(
                {CString(U32(names + 4 * i), "export name"), static_cast<uint16_t>(U16(ordinals + 2 * i))});
    });
}

bool PeImage::ReadImports(std::vector<std::string>& dlls, std::string& why) const
{
    dlls.clear();
    return Guard(why, [&] {
        const uint32_t rva = DirectoryRva(kDirImport);
        if (rva == 0)
            return;
        // Each step reads inside one section, so a missing terminator ends at
        // the section's end as a failure.
        for (uint64_t at = rva;; at += 20)
        {
            const uint32_t name = U32(At(at, 20, "import descriptor") + 12);
            if (name == 0)
                return;
            dlls.push_back(CString(name, "imported DLL name"));
        }
    });
}

struct PeImage::ResourceWalk
{
    std::vector<PeResource>& resources;
    PeResource path;
    uint32_t entriesSeen = 0;
    uint64_t bytesCopied = 0;
};

void PeImage::WalkResources(uint64_t base, uint32_t dirOffset, int level, ResourceWalk& walk) const
{
    const uint64_t dir = At(base + dirOffset, 16, "resource directory");
    const uint32_t count = U16(dir + 12) + U16(dir + 14);
    const uint64_t entries = At(base + dirOffset + 16, count * 8ull, "resource directory entries");
    for (uint32_t i = 0; i < count; ++i)
    {
        if (++walk.entriesSeen > kMaxResourceEntries)
            throw Malformed{"resource tree has more than " + std::to_string(kMaxResourceEntries) + " entries"};
        const uint32_t nameField = U32(entries + 8 * i);
        const uint32_t target = U32(entries + 8 * i + 4);
        PeResourceKey key;
        if (nameField & kHighBit)
        {
            const uint64_t rva = base + (nameField & ~kHighBit);
            const uint32_t length = U16(At(rva, 2, "resource name"));
            const uint64_t chars = At(rva + 2, length * 2ull, "resource name");
            for (uint32_t c = 0; c < length; ++c)
                key.name += static_cast<char>(U16(chars + 2 * c) < 0x80 ? U16(chars + 2 * c) : '?');
        }
        else
            key.id = static_cast<uint16_t>(nameField);

        const bool isDirectory = (target & kHighBit) != 0;
        if (isDirectory != (level < 2) || (level == 2 && !key.name.empty()))
            throw Malformed{"resource tree is not laid out as type, name, language"};
        if (level == 0)
            walk.path.type = key;
        if (level == 1)
            walk.path.name = key;
        if (level < 2)
        {
            WalkResources(base, target & ~kHighBit, level + 1, walk);
            continue;
        }
        const uint64_t entry = At(base + target, 16, "resource data entry");
        const uint32_t size = U32(entry + 4);
        const uint64_t data = At(U32(entry), size, "resource data");
        // Resources of a real module never share bytes; a tree that points
        // many leaves at one large block would otherwise copy it many times.
        walk.bytesCopied += size;
        if (walk.bytesCopied > m_bytes.size())
            throw Malformed{"resource data adds up to more than the file"};
        walk.path.language = key.id;
        walk.path.data.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(data),
                              m_bytes.begin() + static_cast<std::ptrdiff_t>(data + size));
        walk.resources.push_back(walk.path);
    }
}

bool PeImage::ReadResources(std::vector<PeResource>& resources, std::string& why) const
{
    resources.clear();
    return Guard(why, [&] {
        const uint32_t rva = DirectoryRva(kDirResource);
        if (rva == 0)
            return;
        ResourceWalk walk{resources, {}, 0, 0};
        WalkResources(rva, 0, 0, walk);
    });
}

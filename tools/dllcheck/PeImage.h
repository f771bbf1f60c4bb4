#pragma once
// The parts of a PE image (an .exe or .dll) that the DLL checker looks at,
// read from the file's bytes on any platform. Every field goes through a
// bounds-checked little-endian read, so a truncated or malformed file is
// refused with a reason instead of being read past its end.

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kPeMachineI386 = 0x014C;
constexpr uint16_t kPeMachineAmd64 = 0x8664;
constexpr uint16_t kPeMagic32 = 0x010B;     // PE32 optional header
constexpr uint16_t kPeMagic64 = 0x020B;     // PE32+ optional header
constexpr uint16_t kPeFileDll = 0x2000;     // IMAGE_FILE_DLL
constexpr uint16_t kPeResourceDialog = 5;   // RT_DIALOG
constexpr uint16_t kPeResourceString = 6;   // RT_STRING
constexpr uint16_t kPeResourceVersion = 16; // RT_VERSION
constexpr uint16_t kPeResourceManifest = 24;

struct PeSection
{
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct PeExportName
{
    std::string name;
    uint16_t functionIndex; // into the export address table
};

struct PeExports
{
    uint32_t functionCount = 0;
    std::vector<PeExportName> names;
};

// A resource type or name: a number, or a string when name is not empty.
struct PeResourceKey
{
    uint16_t id = 0;
    std::string name;
};

struct PeResource
{
    PeResourceKey type;
    PeResourceKey name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

class PeImage
{
public:
    // False, with the reason, when the DOS, PE or optional header or the
    // section table does not fit the file.
    bool Load(std::vector<uint8_t> bytes, std::string& why);

    uint16_t Machine() const { return m_machine; }
    uint16_t Characteristics() const { return m_characteristics; }
    uint16_t Magic() const { return m_magic; }

    // An image without the directory gives an empty result and true.
    bool ReadExports(PeExports& exports, std::string& why) const;
    // The DLL names of the import table.
    bool ReadImports(std::vector<std::string>& dlls, std::string& why) const;
    // Every leaf of the type, name, language tree.
    bool ReadResources(std::vector<PeResource>& resources, std::string& why) const;

private:
    uint32_t U16(uint64_t offset) const;
    uint32_t U32(uint64_t offset) const;
    uint32_t DirectoryRva(uint32_t index) const;
    uint64_t At(uint64_t rva, uint64_t size, const char* what) const;
    std::string CString(uint64_t rva, const char* what) const;
    struct ResourceWalk;
    void WalkResources(uint64_t base, uint32_t dirOffset, int level, ResourceWalk& walk) const;

    std::vector<uint8_t> m_bytes;
    uint16_t m_machine = 0;
    uint16_t m_characteristics = 0;
    uint16_t m_magic = 0;
    uint32_t m_sizeOfHeaders = 0;
    std::vector<uint32_t> m_directories; // RVAs of the data directories
    std::vector<PeSection> m_sections;
};

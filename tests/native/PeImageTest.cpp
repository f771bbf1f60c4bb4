#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tools/dllcheck/DllChecks.h"
#include "tools/dllcheck/PeImage.h"

namespace
{
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kHeaderBytes = 0x200;
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kHigh = 0x80000000u;

void Put(Bytes& b, size_t at, uint32_t value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Appends at a 4-byte boundary and returns where.
size_t Append(Bytes& b, const Bytes& tail)
{
    b.resize((b.size() + 3) & ~size_t{3});
    b.insert(b.end(), tail.begin(), tail.end());
    return b.size() - tail.size();
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// Terminated, or counted as in string tables and resource names.
Bytes Utf16(const std::string& text, bool counted = false)
{
    Bytes b;
    if (counted)
        b = {static_cast<uint8_t>(text.size()), 0};
    for (char c : text)
        b.insert(b.end(), {static_cast<uint8_t>(c), 0});
    if (!counted)
        b.insert(b.end(), {0, 0});
    return b;
}

// VS_FIXEDFILEINFO at offset 40 and the strings as key and value, each at a
// 4-byte boundary.
Bytes VersionResource(const std::string& originalFilename)
{
    Bytes b(40 + 52);
    const uint32_t fixed[] = {0xFEEF04BD, 0x10000, 0x10000, 1, 0x10000, 1, 0x3F, 0, 4, 2};
    for (size_t i = 0; i < std::size(fixed); ++i)
        Put(b, 40 + 4 * i, fixed[i]);
    for (std::string s : {"StringFileInfo", "040904e4", "FileVersion", "1.0.0.1", "OriginalFilename"})
        Append(b, Utf16(s));
    Append(b, Utf16(originalFilename));
    return b;
}

Bytes StringBlock(const std::string& s101)
{
    Bytes block;
    for (int i = 0; i < 16; ++i)
    {
        const Bytes entry = Utf16(i == 4 ? "Ferrowind" : i == 5 ? s101 : "", true);
        block.insert(block.end(), entry.begin(), entry.end());
    }
    return block;
}

struct TestResource
{
    PeResourceKey type;
    uint16_t name;
    uint16_t language;
    Bytes data;
    uint32_t sizeBeyondData = 0; // declared in the data entry past the real bytes
};

// An image that passes every check against kExpected; each case spoils it.
struct ImagePlan
{
    uint16_t machine = kPeMachineI386;
    uint16_t magic = kPeMagic32;
    uint16_t characteristics = 0x2102;
    std::vector<std::string> exports = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                        "DllUnregisterServer", "DllInstall"};
    std::vector<std::string> imports = {"KERNEL32.dll", "msvcrt.dll", "api-ms-win-crt-heap-l1-1-0.dll"};
    std::vector<TestResource> resources = {
        {{kPeResourceDialog, {}}, 201, 0x409, Bytes(40, 1)},
        {{kPeResourceString, {}}, 7, 0x409, StringBlock("Ferrowind")},
        {{0, "REGISTRY"}, 101, 0x409, Text("HKCR")},
        {{0, "REGISTRY"}, 102, 0x409, Text("NoRemove CLSID")},
        {{0, "TYPELIB"}, 1, 0x409, Text("MSFT\x02")},
        {{kPeResourceVersion, {}}, 1, 0x409, VersionResource("Ferrowind.dll")},
        {{kPeResourceManifest, {}}, 2, 0x409, Text("<x level=\"asInvoker\" uiAccess=\"false\"/>")},
    };
};

const DllExpectations kExpected = {32, Text("HKCR"), Text("NoRemove CLSID")};

// Headers, then one section at kSectionRva with the export, import and
// resource tables. Each resource has a type, name and language directory of
// its own.
Bytes BuildImage(const ImagePlan& plan)
{
    Bytes s;
    const auto rva = [](size_t at) { return static_cast<uint32_t>(kSectionRva + at); };
    const size_t count = plan.exports.size();
    const size_t exports = Append(s, Bytes(40 + 10 * count));
    const uint32_t exportFields[] = {static_cast<uint32_t>(count), static_cast<uint32_t>(count), rva(exports + 40),
                                     rva(exports + 40 + 4 * count), rva(exports + 40 + 8 * count)};
    for (size_t i = 0; i < std::size(exportFields); ++i)
        Put(s, exports + 20 + 4 * i, exportFields[i]);
    for (size_t i = 0; i < count; ++i)
    {
        Put(s, exports + 40 + 4 * i, kSectionRva);
        Put(s, exports + 40 + 4 * count + 4 * i, rva(Append(s, Text(plan.exports[i] + '\0'))));
        Put(s, exports + 40 + 8 * count + 2 * i, static_cast<uint32_t>(i), 2);
    }

    const size_t imports = Append(s, Bytes(20 * (plan.imports.size() + 1)));
    for (size_t i = 0; i < plan.imports.size(); ++i)
        Put(s, imports + 20 * i + 12, rva(Append(s, Text(plan.imports[i] + '\0'))));

    const size_t root = Append(s, Bytes(16 + 8 * plan.resources.size()));
    Put(s, root + 14, static_cast<uint32_t>(plan.resources.size()), 2);
    const auto directory = [&](uint32_t name, uint32_t target) {
        const size_t at = Append(s, Bytes(24));
        Put(s, at + 14, 1, 2);
        Put(s, at + 16, name);
        Put(s, at + 20, target);
        return static_cast<uint32_t>(at - root) | kHigh;
    };
    for (size_t i = 0; i < plan.resources.size(); ++i)
    {
        const TestResource& r = plan.resources[i];
        const size_t entry = Append(s, Bytes(16));
        Put(s, entry, rva(Append(s, r.data)));
        Put(s, entry + 4, static_cast<uint32_t>(r.data.size()) + r.sizeBeyondData);
        const uint32_t language = directory(r.language, static_cast<uint32_t>(entry - root));
        const uint32_t type =
            r.type.name.empty() ? r.type.id : static_cast<uint32_t>(Append(s, Utf16(r.type.name, true)) - root) | kHigh;
        Put(s, root + 16 + 8 * i, type);
        Put(s, root + 20 + 8 * i, directory(r.name, language));
    }

    Bytes image(kHeaderBytes);
    const uint32_t pe = 0x40, opt = pe + 24;
    const uint32_t directories = opt + (plan.magic == kPeMagic64 ? 112 : 96);
    const uint32_t section = directories + 16 * 8;
    const uint32_t fields[][3] = {{0, 'M' | ('Z' << 8), 2}, {0x3C, pe, 4}, {pe, 0x4550, 4}, {pe + 4, plan.machine, 2},
                                  {pe + 6, 1, 2}, {pe + 20, section - opt, 2},
                                  {pe + 22, plan.characteristics, 2}, {opt, plan.magic, 2}, {opt + 60, kHeaderBytes, 4},
                                  {directories - 4, 16, 4}, {directories, rva(exports), 4},
                                  {directories + 8, rva(imports), 4}, {directories + 16, rva(root), 4},
                                  {section + 8, static_cast<uint32_t>(s.size()), 4}, {section + 12, kSectionRva, 4},
                                  {section + 16, static_cast<uint32_t>(s.size()), 4}, {section + 20, kHeaderBytes, 4}};
    for (const auto& [at, value, width] : fields)
        Put(image, at, value, static_cast<int>(width));
    image.insert(image.end(), s.begin(), s.end());
    return image;
}

std::string Failures(const Bytes& image, int bits = 32)
{
    DllExpectations expected = kExpected;
    expected.bits = bits;
    const std::vector<DllCheckResult> results = RunDllChecks(image, expected);
    EXPECT_EQ(results.size(), 11u);
    std::string names;
    for (const DllCheckResult& r : results)
        if (!r.ok)
            names += (names.empty() ? "" : ", ") + r.name + (r.why.empty() ? " (no reason)" : "");
    return names;
}

const char* const kResourceChecks = "dialog, string table, registry scripts, type library, version, manifest";
const char* const kAllChecks = "machine, optional header, DLL flag, exports, dialog, string table, registry scripts, "
                               "type library, version, manifest, imports";
} // namespace

TEST(DllChecks, EachFaultFailsItsCheckAlone)
{
    const auto amd64 = [](ImagePlan& s) {
        s.machine = kPeMachineAmd64;
        s.magic = kPeMagic64;
    };
    const struct
    {
        const char* what;
        int bits;
        std::function<void(ImagePlan&)> spoil;
        const char* failing;
    } cases[] = {
        {"well-formed 32-bit", 32, [](ImagePlan&) {}, ""},
        {"well-formed 64-bit", 64, amd64, ""},
        {"64-bit image checked as 32-bit", 32, amd64, "machine, optional header"},
        {"PE32+ layout on an i386 image", 32, [](ImagePlan& s) { s.magic = kPeMagic64; }, "optional header"},
        {"no DLL flag", 32, [](ImagePlan& s) { s.characteristics = 0x0102; }, "DLL flag"},
        {"decorated export", 32, [](ImagePlan& s) { s.exports.back() = "DllInstall@8"; }, "exports"},
        {"extra export", 32, [](ImagePlan& s) { s.exports.push_back("DllMain"); }, "exports"},
        {"runtime DLL import", 32, [](ImagePlan& s) { s.imports.push_back("libstdc++-6.dll"); }, "imports"},
        {"dialog in German", 32, [](ImagePlan& s) { s.resources[0].language = 0x407; }, "dialog"},
        {"string 101 differs", 32, [](ImagePlan& s) { s.resources[1].data = StringBlock("Ferrowinx"); },
         "string table"},
        {"script under another type", 32, [](ImagePlan& s) { s.resources[2].type.name = "SCRIPT"; },
         "registry scripts"},
        {"script differs", 32, [](ImagePlan& s) { s.resources[3].data.back() = 'c'; }, "registry scripts"},
        {"no type library", 32, [](ImagePlan& s) { s.resources.erase(s.resources.begin() + 4); }, "type library"},
        {"wrong original name", 32, [](ImagePlan& s) { s.resources[5].data = VersionResource("F.dll"); }, "version"},
        {"manifest asks for admin", 32, [](ImagePlan& s) { s.resources[6].data = Text("level=\"highestAvailable\""); },
         "manifest"},
        {"resource data past the end", 32, [](ImagePlan& s) { s.resources[6].sizeBeyondData = 64; }, kResourceChecks},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ImagePlan plan;
        c.spoil(plan);
        EXPECT_EQ(Failures(BuildImage(plan), c.bits), c.failing);
    }
}

TEST(DllChecks, PointersOutsideTheFileFailCleanly)
{
    const size_t directories = 0x40 + 24 + 96;
    const struct
    {
        const char* what;
        size_t offset;
        uint32_t bytesBeforeEnd; // the RVA written is this far before the section's end
        const char* failing;
    } cases[] = {
        {"export directory past the end", directories, 0, "exports"},
        {"import descriptor across the end", directories + 8, 8, "imports"},
        {"resource directory across the end", directories + 16, 8, kResourceChecks},
        {"PE header past the end", 0x3C, 0, kAllChecks},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bytes image = BuildImage({});
        Put(image, c.offset, static_cast<uint32_t>(kSectionRva + image.size() - kHeaderBytes - c.bytesBeforeEnd));
        EXPECT_EQ(Failures(image), c.failing);
    }
}

TEST(DllChecks, EveryTruncationFailsEveryCheck)
{
    const Bytes image = BuildImage({});
    for (size_t size = 0; size < image.size(); ++size)
        ASSERT_EQ(Failures(Bytes(image.begin(), image.begin() + size)), kAllChecks) << size << " bytes";
}

#include "tools/dllcheck/DllChecks.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

#include "tools/dllcheck/PeImage.h"

namespace
{
constexpr uint16_t kUsEnglish = 0x409;
constexpr uint32_t kVersion1001Ms = 0x00010000; // 1.0
constexpr uint32_t kVersion1001Ls = 0x00000001; // 0.1

struct Parsed
{
    const DllExpectations& expected;
    PeImage image;
    PeExports exports;
    std::string exportsWhy;
    std::vector<std::string> imports;
    std::string importsWhy;
    std::vector<PeResource> resources;
    std::string resourcesWhy;
};

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

std::string Narrow(const std::u16string& text)
{
    std::string narrow;
    for (char16_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

uint32_t Le16(const std::vector<uint8_t>& d, size_t at)
{
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8);
}

uint32_t Le32(const std::vector<uint8_t>& d, size_t at)
{
    return Le16(d, at) | (Le16(d, at + 2) << 16);
}

// The US English resource, or why there is none.
const PeResource* FindResource(const Parsed& in, const PeResourceKey& type, uint16_t id, const std::string& label,
                               std::string& why)
{
    if (!in.resourcesWhy.empty())
    {
        why = in.resourcesWhy;
        return nullptr;
    }
    const PeResource* other = nullptr;
    for (const PeResource& r : in.resources)
    {
        // Named types match without regard to case, as Windows looks them up.
        if (Lower(r.type.name) != Lower(type.name) || r.type.id != type.id || !r.name.name.empty() || r.name.id != id)
            continue;
        if (r.language == kUsEnglish)
            return &r;
        other = &r;
    }
    why = other ? label + " is in language " + std::to_string(other->language) + ", not 1033" : label + " is missing";
    return nullptr;
}

std::string CheckMachine(const Parsed& in)
{
    const uint16_t want = in.expected.bits == 64 ? kPeMachineAmd64 : kPeMachineI386;
    if (in.image.Machine() != want)
        return "machine " + Hex(in.image.Machine()) + ", expected " + Hex(want);
    return {};
}

std::string CheckMagic(const Parsed& in)
{
    const uint16_t want = in.expected.bits == 64 ? kPeMagic64 : kPeMagic32;
    if (in.image.Magic() != want)
        return "optional header magic " + Hex(in.image.Magic()) + ", expected " + Hex(want);
    return {};
}

std::string CheckDllFlag(const Parsed& in)
{
    if ((in.image.Characteristics() & kPeFileDll) == 0)
        return "characteristics " + Hex(in.image.Characteristics()) + " lack IMAGE_FILE_DLL";
    return {};
}

std::string CheckExports(const Parsed& in)
{
    if (!in.exportsWhy.empty())
        return in.exportsWhy;
    static const std::set<std::string> kWanted = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                                  "DllUnregisterServer", "DllInstall"};
    std::set<std::string> names;
    std::set<uint16_t> functions;
    std::string listed;
    for (const PeExportName& e : in.exports.names)
    {
        names.insert(e.name);
        if (e.functionIndex < in.exports.functionCount)
            functions.insert(e.functionIndex);
        listed += (listed.empty() ? "" : ", ") + e.name;
    }
    // Five names for five distinct functions, and no function without one.
    if (names == kWanted && in.exports.names.size() == 5 && functions.size() == 5 && in.exports.functionCount == 5)
        return {};
    return std::to_string(in.exports.functionCount) + " functions exported as [" + listed +
           "], expected the five Dll* entry points by name, undecorated";
}

std::string CheckImports(const Parsed& in)
{
    if (!in.importsWhy.empty())
        return in.importsWhy;
    std::string why;
    for (const std::string& dll : in.imports)
        if (!IsAllowedImport(dll))
            why += (why.empty() ? "imports from " : ", ") + dll;
    return why;
}

std::string CheckDialog(const Parsed& in)
{
    std::string why;
    const PeResource* r = FindResource(in, {kPeResourceDialog, {}}, 201, "DIALOG 201", why);
    if (r != nullptr && r->data.empty())
        return "DIALOG 201 is empty";
    return why;
}

// Entry index of a string table block (16 strings, each a UTF-16 length and
// that many characters), or nothing when the block is cut short.
std::optional<std::u16string> StringTableEntry(const std::vector<uint8_t>& block, int index)
{
    size_t at = 0;
    for (int i = 0; at + 2 <= block.size(); ++i)
    {
        const size_t length = Le16(block, at);
        at += 2;
        if (length * 2 > block.size() - at)
            break;
        if (i == index)
        {
            std::u16string text;
            for (size_t c = 0; c < length; ++c)
                text += static_cast<char16_t>(Le16(block, at + 2 * c));
            return text;
        }
        at += length * 2;
    }
    return std::nullopt;
}

std::string CheckStrings(const Parsed& in)
{
    std::string why;
    const PeResource* r = FindResource(in, {kPeResourceString, {}}, 100 / 16 + 1, "string table block 7", why);
    if (r == nullptr)
        return why;
    for (int id : {100, 101})
    {
        const std::optional<std::u16string> text = StringTableEntry(r->data, id % 16);
        if (!text)
            return "string table block 7 is cut short before string " + std::to_string(id);
        if (*text != u"Ferrowind")
            return "string " + std::to_string(id) + " is \"" + Narrow(*text) + "\", not \"Ferrowind\"";
    }
    return {};
}

std::string CheckScripts(const Parsed& in)
{
    const std::pair<uint16_t, const std::vector<uint8_t>*> scripts[] = {{101, &in.expected.appIdScript},
                                                                         {102, &in.expected.frameDrawScript}};
    for (const auto& [id, expected] : scripts)
    {
        std::string why;
        const std::string label = "REGISTRY " + std::to_string(id);
        const PeResource* r = FindResource(in, {0, "REGISTRY"}, id, label, why);
        if (r == nullptr)
            return why;
        if (r->data != *expected)
            return label + " (" + std::to_string(r->data.size()) + " bytes) differs from its script (" +
                   std::to_string(expected->size()) + " bytes) in the source tree";
    }
    return {};
}

std::string CheckTypeLibrary(const Parsed& in)
{
    std::string why;
    const PeResource* r = FindResource(in, {0, "TYPELIB"}, 1, "TYPELIB 1", why);
    if (r == nullptr)
        return why;
    if (r->data.size() < 4 || std::string(r->data.begin(), r->data.begin() + 4) != "MSFT")
        return "TYPELIB 1 does not start with MSFT";
    return {};
}

// Where the text value of key starts in a version block, found by searching
// the block's UTF-16 text: the value follows the key's terminator at the
// next 4-byte boundary.
std::optional<std::u16string> VersionString(const std::u16string& block, const std::u16string& key, size_t from)
{
    const size_t at = block.find(key + u'\0', from);
    if (at == std::u16string::npos)
        return std::nullopt;
    const size_t value = (at + key.size() + 2) & ~static_cast<size_t>(1);
    const size_t end = block.find(u'\0', value);
    return value < block.size() ? block.substr(value, end - value) : u"";
}

std::string CheckVersion(const Parsed& in)
{
    std::string why;
    const PeResource* r = FindResource(in, {kPeResourceVersion, {}}, 1, "VERSION 1", why);
    if (r == nullptr)
        return why;
    // VS_VERSION_INFO: a 6-byte header and the 16-character key, then the
    // fixed file information at offset 40.
    const std::vector<uint8_t>& d = r->data;
    const size_t fixed = 40;
    if (d.size() < fixed + 52 || Le32(d, fixed) != 0xFEEF04BD)
        return "VERSION 1 does not hold VS_FIXEDFILEINFO";
    if (Le32(d, fixed + 8) != kVersion1001Ms || Le32(d, fixed + 12) != kVersion1001Ls)
        return "file version is not 1.0.0.1";
    if (Le32(d, fixed + 16) != kVersion1001Ms || Le32(d, fixed + 20) != kVersion1001Ls)
        return "product version is not 1.0.0.1";
    if (Le32(d, fixed + 32) != 4 || Le32(d, fixed + 36) != 2)
        return "file OS " + Hex(Le32(d, fixed + 32)) + " and type " + Hex(Le32(d, fixed + 36)) +
               ", expected 0x4 and 0x2";

    std::u16string block;
    for (size_t at = 0; at + 2 <= d.size(); at += 2)
        block += static_cast<char16_t>(Le16(d, at));
    const size_t info = block.find(u"StringFileInfo");
    const size_t table = block.find(u"040904e4", info == std::u16string::npos ? block.size() : info);
    if (table == std::u16string::npos)
        return "no StringFileInfo block 040904e4";
    const std::pair<std::u16string, std::u16string> strings[] = {{u"FileVersion", u"1.0.0.1"},
                                                                 {u"OriginalFilename", u"Ferrowind.dll"}};
    for (const auto& [key, expected] : strings)
    {
        const std::optional<std::u16string> value = VersionString(block, key, table);
        if (!value)
            return "no " + Narrow(key) + " string";
        if (*value != expected)
            return Narrow(key) + " is \"" + Narrow(*value) + "\", expected \"" + Narrow(expected) + "\"";
    }
    return {};
}

std::string CheckManifest(const Parsed& in)
{
    std::string why;
    const PeResource* r = FindResource(in, {kPeResourceManifest, {}}, 2, "manifest 2", why);
    if (r == nullptr)
        return why;
    const std::string text(r->data.begin(), r->data.end());
    for (const char* wanted : {"level=\"asInvoker\"", "uiAccess=\"false\""})
        if (text.find(wanted) == std::string::npos)
            return std::string("manifest 2 lacks ") + wanted;
    return {};
}

using Check = std::string (*)(const Parsed&);
const std::pair<const char*, Check> kChecks[] = {
    {"machine", CheckMachine},
    {"optional header", CheckMagic},
    {"DLL flag", CheckDllFlag},
    {"exports", CheckExports},
    {"dialog", CheckDialog},
    {"string table", CheckStrings},
    {"registry scripts", CheckScripts},
    {"type library", CheckTypeLibrary},
    {"version", CheckVersion},
    {"manifest", CheckManifest},
    {"imports", CheckImports},
};
} // namespace

bool IsAllowedImport(const std::string& dll)
{
    static const std::set<std::string> kSystem = {"kernel32", "user32",  "gdi32",    "advapi32", "ole32",
                                                  "oleaut32", "gdiplus", "comdlg32", "msvcrt"};
    std::string name = Lower(dll);
    if (name.starts_with("api-ms-win-"))
        return true;
    if (name.ends_with(".dll"))
        name.resize(name.size() - 4);
    return kSystem.contains(name);
}

std::vector<DllCheckResult> RunDllChecks(std::vector<uint8_t> image, const DllExpectations& expected)
{
    Parsed in{expected, {}, {}, {}, {}, {}, {}, {}};
    std::vector<DllCheckResult> results;
    std::string why;
    if (!in.image.Load(std::move(image), why))
    {
        for (const auto& [name, check] : kChecks)
            results.push_back({name, false, "not a PE image: " + why});
        return results;
    }
    in.image.ReadExports(in.exports, in.exportsWhy);
    in.image.ReadImports(in.imports, in.importsWhy);
    in.image.ReadResources(in.resources, in.resourcesWhy);
    for (const auto& [name, check] : kChecks)
    {
        why = check(in);
        results.push_back({name, why.empty(), why});
    }
    return results;
}

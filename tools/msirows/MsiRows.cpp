// ferrowind-msirows: the registry rows of Ferrowind.msi as WiX include files,
// generated from what the built DLLs carry: their registration scripts
// (REGISTRY 101 and 102, read by the module's own parser) and their type
// libraries (TYPELIB 1). Every row lies under HKMU\Software\Classes, which
// Windows Installer resolves to the machine's or the current user's class key
// by the installation context, as the module's machine-wide and per-user
// registrations do.
//
//   ferrowind-msirows classes DLL FILE_ID OUT
//       the DLL's CLSID key, for the component of the DLL's own
//       architecture, which writes it into that architecture's registry view
//   ferrowind-msirows typelib DLL FILE_ID OUT
//       the path of the DLL's type library for its platform, which the part
//       of the package that installs the DLL writes
//   ferrowind-msirows shared DLL64 FILE_ID64 HELPDIR DLL32 OUT
//       the AppID, the ProgIDs and the type library's version key, which
//       both views share and both parts of the package write
//   ferrowind-msirows version DLL
//       prints the DLL's file version and language ("1.0.0.1 1033") from its
//       version resource, for the package's File table
//
// FILE_ID is the DLL's File element in the package: the module path is
// written as "[#FILE_ID]", the path Windows Installer installed it to.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "com/ClassIdentity.h"
#include "com/RegistryScript.h"
#include "resources/resource.h"
#include "tools/dllcheck/PeImage.h"
#include "tools/msirows/TypeLibAttributes.h"

namespace
{
constexpr uint16_t kTypeLibResourceId = 1;
constexpr uint16_t kVersionResourceType = 16;
constexpr uint16_t kVersionResourceId = 1;

struct Failure
{
    std::string why;
};

// One row of the Registry table, relative to the class key. A row without a
// value name and data is a key of its own ("*": created on install, removed
// with everything beneath it on uninstall).
struct Row
{
    std::string strKey;
    bool bKeyOnly = false;
    std::string strName; // empty: the default value
    std::string strData;
};

std::string Narrow(std::u16string_view str)
{
    std::string strOut;
    for (char16_t c : str)
    {
        if (c >= 0x80)
            throw Failure{"a registry script holds text outside ASCII"};
        strOut.push_back(static_cast<char>(c));
    }
    return strOut;
}

class CModule
{
public:
    explicit CModule(const std::string& strPath) : m_strPath(strPath)
    {
        std::ifstream file(strPath, std::ios::binary);
        if (!file)
            throw Failure{"cannot read " + strPath};
        std::vector<uint8_t> vecBytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        PeImage image;
        std::string why;
        if (!image.Load(std::move(vecBytes), why) || !image.ReadResources(m_vecResources, why))
            throw Failure{strPath + ": " + why};
    }

    const std::vector<uint8_t>& Resource(const char* pszType, uint16_t nTypeId, uint16_t nId) const
    {
        for (const PeResource& res : m_vecResources)
        {
            const bool bTypeMatches = pszType != nullptr ? res.type.name == pszType : res.type.id == nTypeId;
            if (bTypeMatches && res.name.name.empty() && res.name.id == nId)
                return res.data;
        }
        throw Failure{m_strPath + " carries no resource " + std::to_string(nId) + " of type " +
                      (pszType != nullptr ? pszType : std::to_string(nTypeId))};
    }

    // A REGISTRY resource: 8-bit text, of which the scripts use ASCII only.
    std::u16string Script(uint16_t nId) const
    {
        std::u16string strText;
        for (uint8_t b : Resource("REGISTRY", 0, nId))
        {
            if (b >= 0x80)
                throw Failure{m_strPath + ": REGISTRY " + std::to_string(nId) + " holds text outside ASCII"};
            strText.push_back(b);
        }
        // Brackets would be read as properties by Windows Installer.
        if (strText.find_first_of(u"[]") != std::u16string::npos)
            throw Failure{m_strPath + ": REGISTRY " + std::to_string(nId) + " holds a bracket"};
        return strText;
    }

    TypeLibAttributes TypeLib() const
    {
        TypeLibAttributes attr;
        std::string why;
        if (!ReadTypeLibAttributes(Resource("TYPELIB", 0, kTypeLibResourceId), attr, why))
            throw Failure{m_strPath + ": TYPELIB 1: " + why};
        if (attr.bHasHelpFile || attr.bHasAutomationInterfaces || PlatformKeyName(attr.nSysKind).empty())
            throw Failure{m_strPath + ": the type library needs entries this tool does not write (a help file, "
                                      "Automation interfaces or an unknown platform)"};
        if (attr.strHelpString.find_first_of("[]") != std::string::npos)
            throw Failure{m_strPath + ": the type library's help string holds a bracket"};
        return attr;
    }

    // "1.0.0.1 1033": the fixed part's file version and the first
    // translation's language.
    std::string VersionAndLanguage() const
    {
        const std::vector<uint8_t>& d = Resource(nullptr, kVersionResourceType, kVersionResourceId);
        // VS_VERSION_INFO: a 6-byte header and the 16-character key, then
        // VS_FIXEDFILEINFO at offset 40, its file version at 48.
        const auto u16 = [&d](size_t at) { return static_cast<uint32_t>(d[at] | d[at + 1] << 8); };
        if (d.size() < 92 || u16(40) != 0x04BD || u16(42) != 0xFEEF)
            throw Failure{m_strPath + ": VERSION 1 does not hold VS_FIXEDFILEINFO"};
        const std::string strVersion = std::to_string(u16(50)) + "." + std::to_string(u16(48)) + "." +
                                       std::to_string(u16(54)) + "." + std::to_string(u16(52));
        // The Translation value follows its key's terminator at the next
        // 4-byte boundary: language, then code page.
        const std::u16string strKey = u"Translation";
        for (size_t at = 92; at + 2 * strKey.size() + 2 <= d.size(); at += 2)
        {
            size_t n = 0;
            while (n <= strKey.size() && u16(at + 2 * n) == (n < strKey.size() ? strKey[n] : 0u))
                ++n;
            const size_t value = (at + 2 * n + 3) & ~static_cast<size_t>(3);
            if (n > strKey.size() && value + 4 <= d.size())
                return strVersion + " " + std::to_string(u16(value));
        }
        throw Failure{m_strPath + ": VERSION 1 has no translation"};
    }

private:
    std::string m_strPath;
    std::vector<PeResource> m_vecResources;
};

void AppendNodeRows(const RegScriptNode& node, const std::string& strParent, std::vector<Row>& rows)
{
    if (node.bIsValue)
    {
        rows.push_back({strParent, false, Narrow(node.strName), Narrow(node.strData)});
        return;
    }
    const std::string strKey = strParent.empty() ? Narrow(node.strName) : strParent + "\\" + Narrow(node.strName);
    // A ForceRemove key is the module's alone: the registrar rebuilds it from
    // nothing. A NoRemove key (AppID, CLSID) is only a place; Windows
    // Installer removes no key that still holds anything.
    if (node.bForceRemove)
        rows.push_back({strKey, true, "", ""});
    else if (!node.bNoRemove && !node.bHasData && node.vecChildren.empty())
        throw Failure{"key " + strKey + " holds nothing, so an uninstall could not remove it"};
    if (node.bHasData)
        rows.push_back({strKey, false, "", Narrow(node.strData)});
    for (const RegScriptNode& child : node.vecChildren)
        AppendNodeRows(child, strKey, rows);
}

// The rows a script writes, its variables defined as a registration run
// defines them, the module being the package's file.
std::vector<Row> ScriptRows(const CModule& module, uint16_t nScriptId, const std::string& strFileId, RegScope scope)
{
    const std::u16string strModule = u"[#" + std::u16string(strFileId.begin(), strFileId.end()) + u"]";
    ReplacementList replacements;
    replacements.Add(u"APPID", kFerrowindAppIdText);
    replacements.Add(u"Module", strModule);
    replacements.Add(u"Module_Raw", strModule);
    std::u16string strText;
    RegScript script;
    if (HrFailed(SubstituteVariables(module.Script(nScriptId), replacements, strText)) ||
        HrFailed(ParseRegistryScript(strText, script)))
        throw Failure{"REGISTRY " + std::to_string(nScriptId) + " does not parse"};
    RestrictToScope(script, scope);

    std::vector<Row> rows;
    for (const RegScriptRootBlock& block : script.vecRoots)
    {
        if (block.root != RegRoot::ClassesRoot)
            throw Failure{"REGISTRY " + std::to_string(nScriptId) + " writes outside HKCR"};
        for (const RegScriptNode& node : block.vecChildren)
            AppendNodeRows(node, "", rows);
    }
    return rows;
}

std::string TypeLibVersionKey(const TypeLibAttributes& lib)
{
    char szVersion[16];
    std::snprintf(szVersion, sizeof szVersion, "%x.%x", lib.nMajorVersion, lib.nMinorVersion);
    return "TypeLib\\" + lib.strLibId + "\\" + szVersion;
}

// The type-library service's row for one module: its path under the
// platform's key.
std::vector<Row> TypeLibPathRows(const CModule& module, const std::string& strFileId)
{
    const TypeLibAttributes lib = module.TypeLib();
    char szLocale[16];
    std::snprintf(szLocale, sizeof szLocale, "%x", lib.lcid);
    return {{TypeLibVersionKey(lib) + "\\" + szLocale + "\\" + PlatformKeyName(lib.nSysKind), false, "",
             "[#" + strFileId + "]"}};
}

// The type-library service's rows that the library of both modules shares:
// the version key's help string, flags and help directory, which the
// package decides (the folder regsvr32 leaves: that of the first module
// registered).
std::vector<Row> TypeLibRows(const CModule& module64, const std::string& strHelpDir, const CModule& module32)
{
    const TypeLibAttributes lib64 = module64.TypeLib();
    const TypeLibAttributes lib32 = module32.TypeLib();
    if (lib64.strLibId != lib32.strLibId || lib64.nMajorVersion != lib32.nMajorVersion ||
        lib64.nMinorVersion != lib32.nMinorVersion || lib64.lcid != lib32.lcid ||
        lib64.nLibFlags != lib32.nLibFlags || lib64.strHelpString != lib32.strHelpString)
        throw Failure{"the two modules carry different type libraries"};
    if (lib64.nSysKind == lib32.nSysKind)
        throw Failure{"both type libraries are for " + PlatformKeyName(lib64.nSysKind)};

    const std::string strVersion = TypeLibVersionKey(lib64);
    std::vector<Row> rows;
    if (!lib64.strHelpString.empty())
        rows.push_back({strVersion, false, "", lib64.strHelpString});
    rows.push_back({strVersion + "\\FLAGS", false, "", std::to_string(lib64.nLibFlags)});
    rows.push_back({strVersion + "\\HELPDIR", false, "", strHelpDir});
    return rows;
}

std::string XmlEscaped(const std::string& str)
{
    std::string strOut;
    for (char c : str)
    {
        switch (c)
        {
        case '&':
            strOut += "&amp;";
            break;
        case '<':
            strOut += "&lt;";
            break;
        case '>':
            strOut += "&gt;";
            break;
        case '"':
            strOut += "&quot;";
            break;
        default:
            strOut.push_back(c);
        }
    }
    return strOut;
}

void WriteInclude(const std::string& strPath, const std::string& strFrom, const std::vector<Row>& rows)
{
    std::string strText = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<!-- Generated by ferrowind-msirows from " +
                          XmlEscaped(strFrom) + "; do not edit. -->\n<Include>\n";
    for (const Row& row : rows)
    {
        strText += "  <RegistryValue Root=\"HKMU\" Key=\"Software\\Classes\\" + XmlEscaped(row.strKey) + "\"";
        if (row.bKeyOnly)
            strText += " Name=\"*\"";
        else if (!row.strName.empty())
            strText += " Name=\"" + XmlEscaped(row.strName) + "\"";
        strText += " Type=\"string\" Value=\"" + XmlEscaped(row.strData) + "\"/>\n";
    }
    strText += "</Include>\n";
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    if (!(file << strText) || !file.flush())
        throw Failure{"cannot write " + strPath};
}

int Usage()
{
    std::fprintf(stderr, "usage: ferrowind-msirows classes DLL FILE_ID OUT\n"
                         "       ferrowind-msirows typelib DLL FILE_ID OUT\n"
                         "       ferrowind-msirows shared DLL64 FILE_ID64 HELPDIR DLL32 OUT\n"
                         "       ferrowind-msirows version DLL\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try
    {
        if (args.size() == 4 && args[0] == "classes")
        {
            const CModule module(args[1]);
            WriteInclude(args[3], args[1], ScriptRows(module, IDR_SMPTEFRAMEDRAW, args[2], RegScope::PerView));
            return 0;
        }
        if (args.size() == 4 && args[0] == "typelib")
        {
            const CModule module(args[1]);
            WriteInclude(args[3], args[1], TypeLibPathRows(module, args[2]));
            return 0;
        }
        if (args.size() == 2 && args[0] == "version")
        {
            std::printf("%s\n", CModule(args[1]).VersionAndLanguage().c_str());
            return 0;
        }
        if (args.size() == 6 && args[0] == "shared")
        {
            const CModule module64(args[1]);
            const CModule module32(args[4]);
            std::vector<Row> rows = ScriptRows(module64, IDR_FERROWIND, args[2], RegScope::Shared);
            const std::vector<Row> progIds = ScriptRows(module64, IDR_SMPTEFRAMEDRAW, args[2], RegScope::Shared);
            const std::vector<Row> typeLib = TypeLibRows(module64, args[3], module32);
            rows.insert(rows.end(), progIds.begin(), progIds.end());
            rows.insert(rows.end(), typeLib.begin(), typeLib.end());
            WriteInclude(args[5], args[1] + " and " + args[4], rows);
            return 0;
        }
        return Usage();
    }
    catch (const Failure& failure)
    {
        std::fprintf(stderr, "ferrowind-msirows: %s\n", failure.why.c_str());
        return 1;
    }
}

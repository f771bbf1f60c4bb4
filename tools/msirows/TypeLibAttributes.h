#pragma once
// What the platform's type-library service writes to the registry for a
// type library, read natively from the library's bytes (the MSFT format that
// widl -t writes and a module carries as TYPELIB 1).

#include <cstdint>
#include <string>
#include <vector>

struct TypeLibAttributes
{
    std::string strLibId; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    uint16_t nMajorVersion = 0;
    uint16_t nMinorVersion = 0;
    uint32_t lcid = 0;
    uint32_t nSysKind = 0; // SYS_WIN16, SYS_WIN32, SYS_MAC, SYS_WIN64
    uint32_t nLibFlags = 0;
    std::string strHelpString;
    bool bHasHelpFile = false;
    // Some type is a dispinterface or an OLE Automation interface, for which
    // the service also writes Interface keys.
    bool bHasAutomationInterfaces = false;
};

// False, with the reason, when the bytes are not a complete MSFT library.
bool ReadTypeLibAttributes(const std::vector<uint8_t>& vecBytes, TypeLibAttributes& attr, std::string& why);

// The platform key of a system kind ("win32", "win64", ...), or "" for an
// unknown one.
std::string PlatformKeyName(uint32_t nSysKind);

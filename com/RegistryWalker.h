#pragma once
// Runs a parsed registry script forward (register) or backward (unregister)
// over a small registry interface, so that the same walks run against the
// platform's registry and against an in-memory one in the tests.

#include <cstdint>
#include <string_view>

#include "com/RegistryScript.h"

// An open key as the registry implementation hands it out; 0 is never one.
using RegKey = uintptr_t;

enum class RegAccess : uint8_t
{
    Read,
    ReadWrite,
};

constexpr uint32_t kRegSz = 1;           // REG_SZ
constexpr uint32_t kMaxKeyNameUnits = 255;

// The registry operations the walks need. Every operation answers a Win32
// error code (0 on success). On failure an out-key is left 0. An empty name
// stands for the key itself (OpenKey) or for its default value (SetValue,
// DeleteValue).
class IRegistryOps
{
public:
    virtual RegKey RootKey(RegRoot root) noexcept = 0;
    virtual uint32_t OpenKey(RegKey parent, std::u16string_view strName, RegAccess access, RegKey* pKey) noexcept = 0;
    // Opens or creates a non-volatile key for reading and writing.
    virtual uint32_t CreateKey(RegKey parent, std::u16string_view strName, RegKey* pKey) noexcept = 0;
    virtual uint32_t SetValue(RegKey key, std::u16string_view strName, uint32_t dwType, const uint8_t* pbData,
                              uint32_t cbData) noexcept = 0;
    virtual uint32_t DeleteValue(RegKey key, std::u16string_view strName) noexcept = 0;
    // Deletes a subkey that has no subkeys of its own.
    virtual uint32_t DeleteKey(RegKey parent, std::u16string_view strName) noexcept = 0;
    virtual uint32_t CountSubkeys(RegKey key, uint32_t* pcSubkeys) noexcept = 0;
    // *pcchName: in, the buffer's capacity in units; out, the name's length
    // without its terminator. kWin32NoMoreItems past the last subkey.
    virtual uint32_t EnumSubkey(RegKey key, uint32_t nIndex, char16_t* pszName, uint32_t* pcchName) noexcept = 0;
    // Root keys are never closed.
    virtual void CloseKey(RegKey key) noexcept = 0;

protected:
    ~IRegistryOps() = default;
};

// Deletes a key with all its subkeys and values; answers the first error of
// deleting the key itself (subkeys that cannot be deleted are skipped).
uint32_t DeleteKeyTree(IRegistryOps& reg, RegKey parent, std::u16string_view strName) noexcept;

// Forward walk of every root block in order. A failure walks the failing root
// block backward, ignoring what that finds, and answers the failure as
// HRESULT_FROM_WIN32 of the registry's error; later root blocks are not run.
int32_t RegisterScript(IRegistryOps& reg, const RegScript& script) noexcept;

// Backward walk of every root block in order; a registry error other than
// "file not found" ends the run with HRESULT_FROM_WIN32 of its code.
int32_t UnregisterScript(IRegistryOps& reg, const RegScript& script) noexcept;

// The whole run of one script text: substitute the variables, parse, keep the
// class-root keys of the scope, move the class root under the current user
// when bPerUser, then walk. Nothing is written when substitution or parsing
// fails.
int32_t RunRegistryScriptText(std::u16string_view strText, const ReplacementList& replacements, bool bRegister,
                              bool bPerUser, IRegistryOps& reg, RegScope scope = RegScope::Whole) noexcept;

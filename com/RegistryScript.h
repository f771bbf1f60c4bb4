#pragma once
// The registry-script language of the module's REGISTRY resources: variable
// substitution, a parser that turns the text into a tree of keys and values,
// and the per-user rewrite of the class root. Platform-free: results are
// HRESULT values and Win32 error codes held as plain integers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int32_t kHrOk = 0;
constexpr int32_t kHrFail = static_cast<int32_t>(0x80004005);          // E_FAIL
constexpr int32_t kHrInvalidArg = static_cast<int32_t>(0x80070057);    // E_INVALIDARG
constexpr int32_t kHrOutOfMemory = static_cast<int32_t>(0x8007000E);   // E_OUTOFMEMORY
constexpr int32_t kHrDispException = static_cast<int32_t>(0x80020009); // DISP_E_EXCEPTION

constexpr uint32_t kWin32Success = 0;
constexpr uint32_t kWin32FileNotFound = 2;
constexpr uint32_t kWin32AccessDenied = 5;
constexpr uint32_t kWin32NotEnoughMemory = 8;
constexpr uint32_t kWin32InvalidParameter = 87;
constexpr uint32_t kWin32MoreData = 234;
constexpr uint32_t kWin32NoMoreItems = 259;
constexpr uint32_t kWin32KeyDeleted = 1018;

// Same mapping as the platform's HRESULT_FROM_WIN32: 0 stays 0, a value that
// already is an HRESULT passes through, anything else goes to FACILITY_WIN32.
constexpr int32_t HResultFromWin32(uint32_t dwError)
{
    return static_cast<int32_t>(dwError) <= 0 ? static_cast<int32_t>(dwError)
                                              : static_cast<int32_t>((dwError & 0xFFFFu) | 0x80070000u);
}

constexpr bool HrFailed(int32_t hr) { return hr < 0; }

// A variable name must be shorter than 32 units.
constexpr size_t kMaxVariableNameUnits = 31;

struct Replacement
{
    std::u16string_view strName;
    std::u16string_view strValue;
};

// The variables of one run in the order they were defined; names compare
// without regard to (ASCII) case and the first definition of a name wins.
// Holds views only, so building it never allocates: the texts must outlive
// the run.
class ReplacementList
{
public:
    static constexpr size_t kCapacity = 8;

    // False when the list is full.
    bool Add(std::u16string_view strName, std::u16string_view strValue) noexcept;
    // The value of the first definition of the name, or null.
    const std::u16string_view* Find(std::u16string_view strName) const noexcept;
    size_t Count() const noexcept { return m_cItems; }
    const Replacement& Item(size_t nIndex) const noexcept { return m_rgItems[nIndex]; }

private:
    Replacement m_rgItems[kCapacity] = {};
    size_t m_cItems = 0;
};

// Replaces every %NAME% by its value and "%%" by "%". Answers
// DISP_E_EXCEPTION for a '%' without a closing one or an undefined name,
// E_FAIL for a name of 32 units or more, E_OUTOFMEMORY when the text cannot
// be held. strOut holds the result only on success.
int32_t SubstituteVariables(std::u16string_view strScript, const ReplacementList& replacements,
                            std::u16string& strOut) noexcept;

enum class RegRoot : uint8_t
{
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
    CurrentConfig,
};

// One line of a key's block: a subkey (with its own block) or a `val` value.
struct RegScriptNode
{
    bool bIsValue = false;
    bool bNoRemove = false;
    bool bForceRemove = false;
    // A key's default value is given (`= s '...'`); always true for a value.
    bool bHasData = false;
    std::u16string strName;
    std::u16string strData;
    // A key's block, values and subkeys in text order.
    std::vector<RegScriptNode> vecChildren;
};

struct RegScriptRootBlock
{
    RegRoot root = RegRoot::ClassesRoot;
    std::vector<RegScriptNode> vecChildren;
};

struct RegScript
{
    std::vector<RegScriptRootBlock> vecRoots;
};

// Deepest nesting of blocks a script may have (the root block counts as 1).
// Bounds the recursion of the parser and of the walks.
constexpr unsigned kMaxScriptDepth = 64;

// Parses substituted text. Syntax: root blocks `HKCR { ... }` (HKCR, HKCU,
// HKLM, HKU, HKCC or their HKEY_ names), each holding lines
// `[NoRemove] [ForceRemove] name [= s text] [{ ... }]` and
// `[NoRemove] val name = s text`. Tokens are separated by white space; a name
// or text is a bare word or enclosed in single quotes, where '' stands for
// one quote. Keywords and the value type `s` compare without regard to case
// and count only unquoted. Key names are never empty and hold no '\' or
// null unit. Answers DISP_E_EXCEPTION for any syntax error (nothing is
// walked then), E_OUTOFMEMORY when the tree cannot be held.
int32_t ParseRegistryScript(std::u16string_view strText, RegScript& script) noexcept;

// Moves every class-root block under HKEY_CURRENT_USER, key Software, key
// Classes. The two added keys are NoRemove: they belong to the system.
int32_t RewriteForPerUser(RegScript& script) noexcept;

// The keys of a class root that a run touches. On a 64-bit system each
// architecture has its own view of CLSID, while the other keys (ProgIDs,
// AppID) may be one key seen from both views.
enum class RegScope : uint8_t
{
    Whole,
    PerView, // the CLSID key alone
    Shared,  // every key but CLSID
};

// Keeps in each class-root block only the top-level keys of the scope. Blocks
// of other roots count as shared.
void RestrictToScope(RegScript& script, RegScope scope) noexcept;

// Key names a ForceRemove never deletes.
bool IsProtectedKeyName(std::u16string_view strName) noexcept;

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept;

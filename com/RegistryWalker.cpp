#include "com/RegistryWalker.h"

#include <memory>
#include <new>

namespace
{
// The registry allows 512 levels; deeper trees are left for the caller's error.
constexpr unsigned kMaxDeleteDepth = 512;

class CScopedKey
{
public:
    explicit CScopedKey(IRegistryOps& reg) noexcept : m_reg(reg) {}
    ~CScopedKey() { Reset(); }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;

    RegKey Get() const noexcept { return m_key; }
    RegKey* Put() noexcept
    {
        Reset();
        return &m_key;
    }
    void Reset() noexcept
    {
        if (m_key != 0)
            m_reg.CloseKey(m_key);
        m_key = 0;
    }

private:
    IRegistryOps& m_reg;
    RegKey m_key = 0;
};

// REG_SZ with its terminator counted in the stored size.
uint32_t SetStringValue(IRegistryOps& reg, RegKey key, std::u16string_view strName, const std::u16string& strData)
{
    if (strData.size() >= UINT32_MAX / sizeof(char16_t))
        return kWin32InvalidParameter;
    const uint32_t cbData = static_cast<uint32_t>((strData.size() + 1) * sizeof(char16_t));
    return reg.SetValue(key, strName, kRegSz, reinterpret_cast<const uint8_t*>(strData.c_str()), cbData);
}

uint32_t DeleteKeyTreeAt(IRegistryOps& reg, RegKey parent, std::u16string_view strName, unsigned nDepth)
{
    if (nDepth >= kMaxDeleteDepth)
        return kWin32InvalidParameter;
    {
        CScopedKey key(reg);
        uint32_t dwError = reg.OpenKey(parent, strName, RegAccess::Read, key.Put());
        if (dwError != kWin32Success)
            return dwError;
        std::unique_ptr<char16_t[]> pszChild(new (std::nothrow) char16_t[kMaxKeyNameUnits + 1]);
        if (!pszChild)
            return kWin32NotEnoughMemory;
        // A subkey that cannot be deleted keeps its place; step over it.
        uint32_t nIndex = 0;
        for (;;)
        {
            uint32_t cchChild = kMaxKeyNameUnits + 1;
            dwError = reg.EnumSubkey(key.Get(), nIndex, pszChild.get(), &cchChild);
            if (dwError == kWin32NoMoreItems)
                break;
            if (dwError != kWin32Success)
                return dwError;
            if (cchChild > kMaxKeyNameUnits)
                return kWin32InvalidParameter;
            if (DeleteKeyTreeAt(reg, key.Get(), std::u16string_view(pszChild.get(), cchChild), nDepth + 1) !=
                kWin32Success)
                ++nIndex;
        }
    }
    return reg.DeleteKey(parent, strName);
}

int32_t WalkBackward(IRegistryOps& reg, RegKey parent, const std::vector<RegScriptNode>& vecNodes,
                     bool bIgnoreErrors);

int32_t WalkForward(IRegistryOps& reg, RegKey parent, const std::vector<RegScriptNode>& vecNodes)
{
    for (const RegScriptNode& node : vecNodes)
    {
        if (node.bIsValue)
        {
            const uint32_t dwError = SetStringValue(reg, parent, node.strName, node.strData);
            if (dwError != kWin32Success)
                return HResultFromWin32(dwError);
            continue;
        }
        if (node.bForceRemove && !IsProtectedKeyName(node.strName))
            DeleteKeyTree(reg, parent, node.strName);

        CScopedKey key(reg);
        uint32_t dwError = reg.OpenKey(parent, node.strName, RegAccess::ReadWrite, key.Put());
        if (dwError != kWin32Success)
            dwError = reg.OpenKey(parent, node.strName, RegAccess::Read, key.Put());
        if (dwError != kWin32Success)
            dwError = reg.CreateKey(parent, node.strName, key.Put());
        if (dwError != kWin32Success)
            return HResultFromWin32(dwError);
        if (node.bHasData)
        {
            dwError = SetStringValue(reg, key.Get(), std::u16string_view(), node.strData);
            if (dwError != kWin32Success)
                return HResultFromWin32(dwError);
        }
        const int32_t hr = WalkForward(reg, key.Get(), node.vecChildren);
        if (HrFailed(hr))
            return hr;
    }
    return kHrOk;
}

// True when the walk goes on after dwError; hr then stays S_OK.
bool ContinueAfter(uint32_t dwError, bool bIgnoreErrors, int32_t& hr)
{
    if (dwError == kWin32Success || dwError == kWin32FileNotFound || bIgnoreErrors)
        return true;
    hr = HResultFromWin32(dwError);
    return false;
}

int32_t WalkBackward(IRegistryOps& reg, RegKey parent, const std::vector<RegScriptNode>& vecNodes, bool bIgnoreErrors)
{
    int32_t hr = kHrOk;
    for (const RegScriptNode& node : vecNodes)
    {
        if (node.bIsValue)
        {
            if (node.bNoRemove)
                continue;
            // The parent may be open for reading only.
            CScopedKey writable(reg);
            uint32_t dwError = reg.OpenKey(parent, std::u16string_view(), RegAccess::ReadWrite, writable.Put());
            if (dwError == kWin32Success)
                dwError = reg.DeleteValue(writable.Get(), node.strName);
            if (!ContinueAfter(dwError, bIgnoreErrors, hr))
                return hr;
            continue;
        }

        CScopedKey key(reg);
        uint32_t dwError = reg.OpenKey(parent, node.strName, RegAccess::Read, key.Put());
        if (dwError != kWin32Success)
        {
            if (!ContinueAfter(dwError, bIgnoreErrors, hr))
                return hr;
            continue;
        }
        hr = WalkBackward(reg, key.Get(), node.vecChildren, bIgnoreErrors);
        if (HrFailed(hr))
            return hr;
        if (node.bNoRemove)
            continue;
        uint32_t cSubkeys = 0;
        dwError = reg.CountSubkeys(key.Get(), &cSubkeys);
        if (dwError != kWin32Success)
        {
            if (!ContinueAfter(dwError, bIgnoreErrors, hr))
                return hr;
            continue;
        }
        key.Reset();
        if (cSubkeys != 0)
            continue;
        dwError = reg.DeleteKey(parent, node.strName);
        if (!ContinueAfter(dwError, bIgnoreErrors, hr))
            return hr;
    }
    return kHrOk;
}
} // namespace

uint32_t DeleteKeyTree(IRegistryOps& reg, RegKey parent, std::u16string_view strName) noexcept
{
    return DeleteKeyTreeAt(reg, parent, strName, 0);
}

int32_t RegisterScript(IRegistryOps& reg, const RegScript& script) noexcept
{
    for (const RegScriptRootBlock& block : script.vecRoots)
    {
        const RegKey root = reg.RootKey(block.root);
        const int32_t hr = WalkForward(reg, root, block.vecChildren);
        if (HrFailed(hr))
        {
            WalkBackward(reg, root, block.vecChildren, true);
            return hr;
        }
    }
    return kHrOk;
}

int32_t UnregisterScript(IRegistryOps& reg, const RegScript& script) noexcept
{
    for (const RegScriptRootBlock& block : script.vecRoots)
    {
        const int32_t hr = WalkBackward(reg, reg.RootKey(block.root), block.vecChildren, false);
        if (HrFailed(hr))
            return hr;
    }
    return kHrOk;
}

int32_t RunRegistryScriptText(std::u16string_view strText, const ReplacementList& replacements, bool bRegister,
                              bool bPerUser, IRegistryOps& reg, RegScope scope) noexcept
{
    std::u16string strSubstituted;
    int32_t hr = SubstituteVariables(strText, replacements, strSubstituted);
    if (HrFailed(hr))
        return hr;
    RegScript script;
    hr = ParseRegistryScript(strSubstituted, script);
    if (HrFailed(hr))
        return hr;
    RestrictToScope(script, scope);
    if (bPerUser)
    {
        hr = RewriteForPerUser(script);
        if (HrFailed(hr))
            return hr;
    }
    return bRegister ? RegisterScript(reg, script) : UnregisterScript(reg, script);
}

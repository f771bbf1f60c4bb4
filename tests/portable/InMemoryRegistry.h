#pragma once
// A registry held in memory behind the walks' registry interface, with the
// platform's rules that matter to them: names compare without regard to case,
// a key with subkeys cannot be deleted, write access is checked per handle,
// a deleted key's handles answer "key deleted". Any one operation can be made
// to fail, and every handle must be closed again.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "com/RegistryWalker.h"

class CInMemoryRegistry final : public IRegistryOps
{
public:
    enum class Op
    {
        OpenKey,
        CreateKey,
        SetValue,
        DeleteValue,
        DeleteKey,
        CountSubkeys,
        EnumSubkey,
    };

    CInMemoryRegistry();
    CInMemoryRegistry(const CInMemoryRegistry&) = delete;
    CInMemoryRegistry& operator=(const CInMemoryRegistry&) = delete;

    // Test set-up; a path is a chain of key names separated by '\'.
    void AddKey(RegRoot root, std::u16string_view strPath);
    void SetString(RegRoot root, std::u16string_view strPath, std::u16string_view strName,
                   std::u16string_view strData);
    // The key refuses write access: open for writing, values, subkeys, deletion.
    void DenyWrite(RegRoot root, std::u16string_view strPath);
    bool HasKey(RegRoot root, std::u16string_view strPath) const;

    // One row per key ("HKCR\A\B") and per value ("HKCR\A\B @=text" for the
    // default value, "HKCR\A\B [name]=text" for a named one), sorted. A REG_SZ
    // is shown as "text" only when its stored size counts one terminator.
    std::vector<std::string> Rows() const;
    static std::string RowText(std::u16string_view s);

    // The operation with this index (counted from 0 by every call but RootKey
    // and CloseKey) answers dwError and does nothing.
    void FailAt(size_t nOp, uint32_t dwError);
    void ClearFailure();
    size_t OperationCount() const { return m_vecLog.size(); }
    Op OperationAt(size_t nOp) const { return m_vecLog[nOp]; }
    void ClearLog() { m_vecLog.clear(); }
    size_t OpenHandleCount() const { return m_mapHandles.size(); }

    RegKey RootKey(RegRoot root) noexcept override;
    uint32_t OpenKey(RegKey parent, std::u16string_view strName, RegAccess access, RegKey* pKey) noexcept override;
    uint32_t CreateKey(RegKey parent, std::u16string_view strName, RegKey* pKey) noexcept override;
    uint32_t SetValue(RegKey key, std::u16string_view strName, uint32_t dwType, const uint8_t* pbData,
                      uint32_t cbData) noexcept override;
    uint32_t DeleteValue(RegKey key, std::u16string_view strName) noexcept override;
    uint32_t DeleteKey(RegKey parent, std::u16string_view strName) noexcept override;
    uint32_t CountSubkeys(RegKey key, uint32_t* pcSubkeys) noexcept override;
    uint32_t EnumSubkey(RegKey key, uint32_t nIndex, char16_t* pszName, uint32_t* pcchName) noexcept override;
    void CloseKey(RegKey key) noexcept override;

private:
    struct Value
    {
        std::u16string strName;
        uint32_t dwType = 0;
        std::vector<uint8_t> vecData;
    };
    struct Node
    {
        std::u16string strName;
        std::vector<Value> vecValues;
        std::vector<std::shared_ptr<Node>> vecChildren;
        bool bDenyWrite = false;
        bool bDeleted = false;
    };
    struct Handle
    {
        std::shared_ptr<Node> pNode;
        RegAccess access = RegAccess::Read;
    };

    static constexpr size_t kRootCount = 5;
    static constexpr RegKey kFirstHandle = 0x1000;

    bool Record(Op op, uint32_t& dwError);
    template <typename Body>
    uint32_t Perform(Op op, RegKey key, Body body) noexcept;
    static std::vector<Value>::iterator FindValue(std::vector<Value>& vecValues, std::u16string_view strName);
    static bool Writable(const Handle& handle);
    uint32_t Resolve(RegKey key, Handle& handle) const;
    RegKey NewHandle(const std::shared_ptr<Node>& pNode, RegAccess access);
    static std::shared_ptr<Node> FindChild(const Node& node, std::u16string_view strName);
    std::shared_ptr<Node> WalkPath(RegRoot root, std::u16string_view strPath, bool bCreate) const;
    static void AppendRows(const Node& node, const std::string& strPath, std::vector<std::string>& vecRows);

    std::shared_ptr<Node> m_rgRoots[kRootCount];
    std::map<RegKey, Handle> m_mapHandles;
    RegKey m_nextHandle = kFirstHandle;
    std::vector<Op> m_vecLog;
    size_t m_nFailAt = SIZE_MAX;
    uint32_t m_dwFailError = 0;
};

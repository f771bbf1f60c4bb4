#include "tests/portable/InMemoryRegistry.h"

#include <algorithm>
#include <cstdio>

namespace
{
const char* const kRootNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKCC"};

size_t RootIndex(RegRoot root)
{
    return static_cast<size_t>(root);
}
} // namespace

CInMemoryRegistry::CInMemoryRegistry()
{
    for (auto& pRoot : m_rgRoots)
        pRoot = std::make_shared<Node>();
}

std::shared_ptr<CInMemoryRegistry::Node> CInMemoryRegistry::FindChild(const Node& node, std::u16string_view strName)
{
    for (const auto& pChild : node.vecChildren)
    {
        if (EqualsIgnoringAsciiCase(pChild->strName, strName))
            return pChild;
    }
    return nullptr;
}

std::vector<CInMemoryRegistry::Value>::iterator CInMemoryRegistry::FindValue(std::vector<Value>& vecValues,
                                                                              std::u16string_view strName)
{
    return std::find_if(vecValues.begin(), vecValues.end(),
                        [&](const Value& v) { return EqualsIgnoringAsciiCase(v.strName, strName); });
}

bool CInMemoryRegistry::Writable(const Handle& handle)
{
    return handle.access == RegAccess::ReadWrite && !handle.pNode->bDenyWrite;
}

std::shared_ptr<CInMemoryRegistry::Node> CInMemoryRegistry::WalkPath(RegRoot root, std::u16string_view strPath,
                                                                     bool bCreate) const
{
    std::shared_ptr<Node> pNode = m_rgRoots[RootIndex(root)];
    while (!strPath.empty())
    {
        const size_t nSep = strPath.find(u'\\');
        const std::u16string_view strName = strPath.substr(0, nSep);
        strPath = nSep == std::u16string_view::npos ? std::u16string_view() : strPath.substr(nSep + 1);
        std::shared_ptr<Node> pChild = FindChild(*pNode, strName);
        if (!pChild)
        {
            if (!bCreate)
                return nullptr;
            pChild = std::make_shared<Node>();
            pChild->strName.assign(strName);
            pNode->vecChildren.push_back(pChild);
        }
        pNode = pChild;
    }
    return pNode;
}

void CInMemoryRegistry::AddKey(RegRoot root, std::u16string_view strPath)
{
    WalkPath(root, strPath, true);
}

void CInMemoryRegistry::SetString(RegRoot root, std::u16string_view strPath, std::u16string_view strName,
                                  std::u16string_view strData)
{
    std::shared_ptr<Node> pNode = WalkPath(root, strPath, true);
    Value value;
    value.strName.assign(strName);
    value.dwType = kRegSz;
    const auto* pb = reinterpret_cast<const uint8_t*>(strData.data());
    value.vecData.assign(pb, pb + strData.size() * sizeof(char16_t));
    value.vecData.insert(value.vecData.end(), sizeof(char16_t), 0);
    const auto it = FindValue(pNode->vecValues, strName);
    if (it != pNode->vecValues.end())
        *it = std::move(value);
    else
        pNode->vecValues.push_back(std::move(value));
}

void CInMemoryRegistry::DenyWrite(RegRoot root, std::u16string_view strPath)
{
    WalkPath(root, strPath, true)->bDenyWrite = true;
}

bool CInMemoryRegistry::HasKey(RegRoot root, std::u16string_view strPath) const
{
    return WalkPath(root, strPath, false) != nullptr;
}

std::string CInMemoryRegistry::RowText(std::u16string_view s)
{
    std::string strOut;
    for (char16_t c : s)
    {
        if (c >= 0x20 && c < 0x7F)
        {
            strOut.push_back(static_cast<char>(c));
        }
        else
        {
            char szEscape[16];
            std::snprintf(szEscape, sizeof(szEscape), "\\x{%04X}", static_cast<unsigned>(c));
            strOut += szEscape;
        }
    }
    return strOut;
}

void CInMemoryRegistry::AppendRows(const Node& node, const std::string& strPath, std::vector<std::string>& vecRows)
{
    for (const Value& value : node.vecValues)
    {
        std::string strRow = strPath;
        if (value.strName.empty())
            strRow.append(" @=");
        else
            strRow.append(" [").append(RowText(value.strName)).append("]=");
        const size_t cUnits = value.vecData.size() / sizeof(char16_t);
        std::u16string strData(cUnits, u'\0');
        std::copy(value.vecData.begin(), value.vecData.begin() + cUnits * sizeof(char16_t),
                  reinterpret_cast<uint8_t*>(strData.data()));
        if (value.dwType == kRegSz && value.vecData.size() % sizeof(char16_t) == 0 && cUnits > 0 &&
            strData.back() == u'\0')
        {
            strData.pop_back();
            strRow.append("\"").append(RowText(strData)).append("\"");
        }
        else
        {
            strRow.append("<type ").append(std::to_string(value.dwType)).append(", ");
            strRow.append(std::to_string(value.vecData.size())).append(" bytes>");
        }
        vecRows.push_back(std::move(strRow));
    }
    for (const auto& pChild : node.vecChildren)
    {
        std::string strChildPath = strPath;
        strChildPath.append("\\").append(RowText(pChild->strName));
        vecRows.push_back(strChildPath);
        AppendRows(*pChild, strChildPath, vecRows);
    }
}

std::vector<std::string> CInMemoryRegistry::Rows() const
{
    std::vector<std::string> vecRows;
    for (size_t i = 0; i < kRootCount; ++i)
        AppendRows(*m_rgRoots[i], kRootNames[i], vecRows);
    std::sort(vecRows.begin(), vecRows.end());
    return vecRows;
}

void CInMemoryRegistry::FailAt(size_t nOp, uint32_t dwError)
{
    m_nFailAt = nOp;
    m_dwFailError = dwError;
}

void CInMemoryRegistry::ClearFailure()
{
    m_nFailAt = SIZE_MAX;
}

bool CInMemoryRegistry::Record(Op op, uint32_t& dwError)
{
    const size_t nIndex = m_vecLog.size();
    m_vecLog.push_back(op);
    if (nIndex != m_nFailAt)
        return false;
    dwError = m_dwFailError;
    return true;
}

uint32_t CInMemoryRegistry::Resolve(RegKey key, Handle& handle) const
{
    if (key >= 1 && key <= kRootCount)
    {
        handle.pNode = m_rgRoots[key - 1];
        handle.access = RegAccess::ReadWrite;
        return kWin32Success;
    }
    const auto it = m_mapHandles.find(key);
    if (it == m_mapHandles.end())
        return 6; // ERROR_INVALID_HANDLE
    if (it->second.pNode->bDeleted)
        return kWin32KeyDeleted;
    handle = it->second;
    return kWin32Success;
}

RegKey CInMemoryRegistry::NewHandle(const std::shared_ptr<Node>& pNode, RegAccess access)
{
    const RegKey key = m_nextHandle++;
    m_mapHandles[key] = Handle{pNode, access};
    return key;
}

RegKey CInMemoryRegistry::RootKey(RegRoot root) noexcept
{
    return static_cast<RegKey>(RootIndex(root) + 1);
}

// Every operation but RootKey and CloseKey: counted, failed when its index is
// the injected one, then run on the resolved handle; nothing escapes as an
// exception.
template <typename Body>
uint32_t CInMemoryRegistry::Perform(Op op, RegKey key, Body body) noexcept
{
    try
    {
        uint32_t dwError = kWin32Success;
        if (Record(op, dwError))
            return dwError;
        Handle handle;
        dwError = Resolve(key, handle);
        if (dwError != kWin32Success)
            return dwError;
        return body(handle);
    }
    catch (...)
    {
        return kWin32NotEnoughMemory;
    }
}

uint32_t CInMemoryRegistry::OpenKey(RegKey parent, std::u16string_view strName, RegAccess access,
                                    RegKey* pKey) noexcept
{
    *pKey = 0;
    return Perform(Op::OpenKey, parent, [&](Handle& handle) {
        std::shared_ptr<Node> pNode = strName.empty() ? handle.pNode : FindChild(*handle.pNode, strName);
        if (!pNode)
            return kWin32FileNotFound;
        if (access == RegAccess::ReadWrite && pNode->bDenyWrite)
            return kWin32AccessDenied;
        *pKey = NewHandle(pNode, access);
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::CreateKey(RegKey parent, std::u16string_view strName, RegKey* pKey) noexcept
{
    *pKey = 0;
    return Perform(Op::CreateKey, parent, [&](Handle& handle) {
        if (strName.empty() || strName.size() > kMaxKeyNameUnits || strName.find(u'\\') != strName.npos)
            return kWin32InvalidParameter;
        if (handle.access != RegAccess::ReadWrite)
            return kWin32AccessDenied;
        std::shared_ptr<Node> pNode = FindChild(*handle.pNode, strName);
        // An existing key is checked itself; a new one needs its parent writable.
        if ((pNode ? *pNode : *handle.pNode).bDenyWrite)
            return kWin32AccessDenied;
        if (!pNode)
        {
            pNode = std::make_shared<Node>();
            pNode->strName.assign(strName);
            handle.pNode->vecChildren.push_back(pNode);
        }
        *pKey = NewHandle(pNode, RegAccess::ReadWrite);
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::SetValue(RegKey key, std::u16string_view strName, uint32_t dwType, const uint8_t* pbData,
                                     uint32_t cbData) noexcept
{
    return Perform(Op::SetValue, key, [&](Handle& handle) {
        if (!Writable(handle))
            return kWin32AccessDenied;
        Value value;
        value.strName.assign(strName);
        value.dwType = dwType;
        value.vecData.assign(pbData, pbData + cbData);
        auto& vecValues = handle.pNode->vecValues;
        const auto it = FindValue(vecValues, strName);
        if (it == vecValues.end())
        {
            vecValues.push_back(std::move(value));
            return kWin32Success;
        }
        // The stored name keeps the case it was first written with.
        value.strName = it->strName;
        *it = std::move(value);
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::DeleteValue(RegKey key, std::u16string_view strName) noexcept
{
    return Perform(Op::DeleteValue, key, [&](Handle& handle) {
        if (!Writable(handle))
            return kWin32AccessDenied;
        auto& vecValues = handle.pNode->vecValues;
        const auto it = FindValue(vecValues, strName);
        if (it == vecValues.end())
            return kWin32FileNotFound;
        vecValues.erase(it);
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::DeleteKey(RegKey parent, std::u16string_view strName) noexcept
{
    return Perform(Op::DeleteKey, parent, [&](Handle& handle) {
        if (strName.empty())
            return kWin32InvalidParameter;
        auto& vecChildren = handle.pNode->vecChildren;
        auto it = std::find_if(vecChildren.begin(), vecChildren.end(), [&](const std::shared_ptr<Node>& p) {
            return EqualsIgnoringAsciiCase(p->strName, strName);
        });
        if (it == vecChildren.end())
            return kWin32FileNotFound;
        if (!(*it)->vecChildren.empty() || (*it)->bDenyWrite)
            return kWin32AccessDenied;
        (*it)->bDeleted = true;
        vecChildren.erase(it);
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::CountSubkeys(RegKey key, uint32_t* pcSubkeys) noexcept
{
    *pcSubkeys = 0;
    return Perform(Op::CountSubkeys, key, [&](Handle& handle) {
        *pcSubkeys = static_cast<uint32_t>(handle.pNode->vecChildren.size());
        return kWin32Success;
    });
}

uint32_t CInMemoryRegistry::EnumSubkey(RegKey key, uint32_t nIndex, char16_t* pszName, uint32_t* pcchName) noexcept
{
    return Perform(Op::EnumSubkey, key, [&](Handle& handle) {
        if (nIndex >= handle.pNode->vecChildren.size())
            return kWin32NoMoreItems;
        const std::u16string& strName = handle.pNode->vecChildren[nIndex]->strName;
        if (strName.size() + 1 > *pcchName)
            return kWin32MoreData;
        std::copy(strName.begin(), strName.end(), pszName);
        pszName[strName.size()] = u'\0';
        *pcchName = static_cast<uint32_t>(strName.size());
        return kWin32Success;
    });
}

void CInMemoryRegistry::CloseKey(RegKey key) noexcept
{
    m_mapHandles.erase(key);
}

#include "com/RegistryScript.h"

#include <algorithm>

#include <utility>

namespace
{
char16_t FoldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsScriptSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

struct Token
{
    enum class Kind
    {
        End,
        Word,
        Quoted,
    };
    Kind kind = Kind::End;
    std::u16string strText;

    bool IsWord(std::u16string_view s) const { return kind == Kind::Word && strText == s; }
    bool IsKeyword(std::u16string_view s) const
    {
        return kind == Kind::Word && EqualsIgnoringAsciiCase(strText, s);
    }
};

class CScriptParser
{
public:
    explicit CScriptParser(std::u16string_view strText) : m_strText(strText) {}

    int32_t ParseScript(RegScript& script);

private:
    int32_t Advance();
    int32_t ParseBlock(std::vector<RegScriptNode>& vecChildren, unsigned nDepth);
    int32_t ParseTypedData(std::u16string& strData);
    static bool ParseRoot(const Token& tok, RegRoot& root);
    static bool IsUsableName(const Token& tok, bool bKeyName);

    std::u16string_view m_strText;
    size_t m_nPos = 0;
    Token m_tok;
};

int32_t CScriptParser::Advance()
{
    while (m_nPos < m_strText.size() && IsScriptSpace(m_strText[m_nPos]))
        ++m_nPos;
    m_tok.strText.clear();
    if (m_nPos == m_strText.size())
    {
        m_tok.kind = Token::Kind::End;
        return kHrOk;
    }
    if (m_strText[m_nPos] == u'\'')
    {
        m_tok.kind = Token::Kind::Quoted;
        ++m_nPos;
        for (;;)
        {
            if (m_nPos == m_strText.size())
                return kHrDispException;
            const char16_t c = m_strText[m_nPos++];
            if (c != u'\'')
            {
                m_tok.strText.push_back(c);
                continue;
            }
            if (m_nPos < m_strText.size() && m_strText[m_nPos] == u'\'')
            {
                m_tok.strText.push_back(u'\'');
                ++m_nPos;
                continue;
            }
            return kHrOk;
        }
    }
    m_tok.kind = Token::Kind::Word;
    const size_t nStart = m_nPos;
    while (m_nPos < m_strText.size() && !IsScriptSpace(m_strText[m_nPos]))
        ++m_nPos;
    m_tok.strText.assign(m_strText.substr(nStart, m_nPos - nStart));
    return kHrOk;
}

bool CScriptParser::ParseRoot(const Token& tok, RegRoot& root)
{
    static const struct
    {
        std::u16string_view strName;
        RegRoot root;
    } kRoots[] = {
        {u"HKCR", RegRoot::ClassesRoot},           {u"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
        {u"HKCU", RegRoot::CurrentUser},           {u"HKEY_CURRENT_USER", RegRoot::CurrentUser},
        {u"HKLM", RegRoot::LocalMachine},          {u"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
        {u"HKU", RegRoot::Users},                  {u"HKEY_USERS", RegRoot::Users},
        {u"HKCC", RegRoot::CurrentConfig},         {u"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig},
    };
    if (tok.kind != Token::Kind::Word)
        return false;
    for (const auto& entry : kRoots)
    {
        if (EqualsIgnoringAsciiCase(tok.strText, entry.strName))
        {
            root = entry.root;
            return true;
        }
    }
    return false;
}

// A bare word that starts with '=' or '}' is a mistyped separator, never a
// name; '{' may start one, as in the class ids.
bool CScriptParser::IsUsableName(const Token& tok, bool bKeyName)
{
    if (tok.kind == Token::Kind::End)
        return false;
    if (tok.kind == Token::Kind::Word)
    {
        const char16_t c = tok.strText[0];
        if (c == u'=' || c == u'}' || tok.strText == u"{")
            return false;
    }
    if (tok.strText.find(u'\0') != std::u16string::npos)
        return false;
    if (bKeyName && (tok.strText.empty() || tok.strText.find(u'\\') != std::u16string::npos))
        return false;
    return true;
}

int32_t CScriptParser::ParseTypedData(std::u16string& strData)
{
    int32_t hr = Advance();
    if (HrFailed(hr))
        return hr;
    if (!m_tok.IsKeyword(u"s"))
        return kHrDispException;
    hr = Advance();
    if (HrFailed(hr))
        return hr;
    if (m_tok.kind == Token::Kind::End ||
        (m_tok.kind == Token::Kind::Word && (m_tok.strText == u"{" || m_tok.strText == u"}" || m_tok.strText == u"=")))
        return kHrDispException;
    strData = std::move(m_tok.strText);
    return kHrOk;
}

// Parses the lines of a block up to and including its closing brace. On entry
// the opening brace has been consumed.
int32_t CScriptParser::ParseBlock(std::vector<RegScriptNode>& vecChildren, unsigned nDepth)
{
    if (nDepth > kMaxScriptDepth)
        return kHrDispException;
    int32_t hr = Advance();
    for (;;)
    {
        if (HrFailed(hr))
            return hr;
        if (m_tok.kind == Token::Kind::End)
            return kHrDispException;
        if (m_tok.IsWord(u"}"))
            return kHrOk;

        RegScriptNode node;
        for (;;)
        {
            if (m_tok.IsKeyword(u"NoRemove"))
                node.bNoRemove = true;
            else if (m_tok.IsKeyword(u"ForceRemove"))
                node.bForceRemove = true;
            else
                break;
            hr = Advance();
            if (HrFailed(hr))
                return hr;
        }

        if (m_tok.IsKeyword(u"val"))
        {
            if (node.bForceRemove)
                return kHrDispException;
            hr = Advance();
            if (HrFailed(hr))
                return hr;
            if (!IsUsableName(m_tok, false))
                return kHrDispException;
            node.bIsValue = true;
            node.bHasData = true;
            node.strName = std::move(m_tok.strText);
            hr = Advance();
            if (HrFailed(hr))
                return hr;
            if (!m_tok.IsWord(u"="))
                return kHrDispException;
            hr = ParseTypedData(node.strData);
            if (HrFailed(hr))
                return hr;
            vecChildren.push_back(std::move(node));
            hr = Advance();
            continue;
        }

        if (!IsUsableName(m_tok, true))
            return kHrDispException;
        node.strName = std::move(m_tok.strText);
        hr = Advance();
        if (HrFailed(hr))
            return hr;
        if (m_tok.IsWord(u"="))
        {
            node.bHasData = true;
            hr = ParseTypedData(node.strData);
            if (HrFailed(hr))
                return hr;
            hr = Advance();
            if (HrFailed(hr))
                return hr;
        }
        if (m_tok.IsWord(u"{"))
        {
            hr = ParseBlock(node.vecChildren, nDepth + 1);
            if (HrFailed(hr))
                return hr;
            hr = Advance();
        }
        vecChildren.push_back(std::move(node));
    }
}

int32_t CScriptParser::ParseScript(RegScript& script)
{
    int32_t hr = Advance();
    for (;;)
    {
        if (HrFailed(hr))
            return hr;
        if (m_tok.kind == Token::Kind::End)
            return kHrOk;
        RegScriptRootBlock block;
        if (!ParseRoot(m_tok, block.root))
            return kHrDispException;
        hr = Advance();
        if (HrFailed(hr))
            return hr;
        if (!m_tok.IsWord(u"{"))
            return kHrDispException;
        hr = ParseBlock(block.vecChildren, 1);
        if (HrFailed(hr))
            return hr;
        script.vecRoots.push_back(std::move(block));
        hr = Advance();
    }
}
} // namespace

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

bool ReplacementList::Add(std::u16string_view strName, std::u16string_view strValue) noexcept
{
    if (m_cItems == kCapacity)
        return false;
    m_rgItems[m_cItems++] = Replacement{strName, strValue};
    return true;
}

const std::u16string_view* ReplacementList::Find(std::u16string_view strName) const noexcept
{
    for (size_t i = 0; i < m_cItems; ++i)
    {
        if (EqualsIgnoringAsciiCase(m_rgItems[i].strName, strName))
            return &m_rgItems[i].strValue;
    }
    return nullptr;
}

int32_t SubstituteVariables(std::u16string_view strScript, const ReplacementList& replacements,
                            std::u16string& strOut) noexcept
{
    try
    {
        std::u16string strResult;
        strResult.reserve(strScript.size());
        size_t nPos = 0;
        while (nPos < strScript.size())
        {
            const size_t nPercent = strScript.find(u'%', nPos);
            if (nPercent == std::u16string_view::npos)
            {
                strResult.append(strScript.substr(nPos));
                break;
            }
            strResult.append(strScript.substr(nPos, nPercent - nPos));
            const size_t nNameStart = nPercent + 1;
            if (nNameStart < strScript.size() && strScript[nNameStart] == u'%')
            {
                strResult.push_back(u'%');
                nPos = nNameStart + 1;
                continue;
            }
            const size_t nClose = strScript.find(u'%', nNameStart);
            if (nClose == std::u16string_view::npos)
                return kHrDispException;
            const std::u16string_view strName = strScript.substr(nNameStart, nClose - nNameStart);
            if (strName.size() > kMaxVariableNameUnits)
                return kHrFail;
            const std::u16string_view* pValue = replacements.Find(strName);
            if (pValue == nullptr)
                return kHrDispException;
            strResult.append(*pValue);
            nPos = nClose + 1;
        }
        strOut = std::move(strResult);
        return kHrOk;
    }
    catch (...)
    {
        return kHrOutOfMemory;
    }
}

int32_t ParseRegistryScript(std::u16string_view strText, RegScript& script) noexcept
{
    try
    {
        RegScript parsed;
        CScriptParser parser(strText);
        const int32_t hr = parser.ParseScript(parsed);
        if (HrFailed(hr))
            return hr;
        script = std::move(parsed);
        return kHrOk;
    }
    catch (...)
    {
        return kHrOutOfMemory;
    }
}

int32_t RewriteForPerUser(RegScript& script) noexcept
{
    try
    {
        RegScript rewritten = script;
        for (RegScriptRootBlock& block : rewritten.vecRoots)
        {
            if (block.root != RegRoot::ClassesRoot)
                continue;
            RegScriptNode classes;
            classes.bNoRemove = true;
            classes.strName = u"Classes";
            classes.vecChildren = std::move(block.vecChildren);
            RegScriptNode software;
            software.bNoRemove = true;
            software.strName = u"Software";
            software.vecChildren.push_back(std::move(classes));
            block.vecChildren.clear();
            block.vecChildren.push_back(std::move(software));
            block.root = RegRoot::CurrentUser;
        }
        script = std::move(rewritten);
        return kHrOk;
    }
    catch (...)
    {
        return kHrOutOfMemory;
    }
}

void RestrictToScope(RegScript& script, RegScope scope) noexcept
{
    if (scope == RegScope::Whole)
        return;
    const bool bKeepPerView = scope == RegScope::PerView;
    for (RegScriptRootBlock& block : script.vecRoots)
    {
        std::vector<RegScriptNode>& nodes = block.vecChildren;
        if (block.root != RegRoot::ClassesRoot)
        {
            if (bKeepPerView)
                nodes.clear();
            continue;
        }
        const auto itEnd = std::remove_if(nodes.begin(), nodes.end(), [&](const RegScriptNode& node) {
            return EqualsIgnoringAsciiCase(node.strName, u"CLSID") != bKeepPerView;
        });
        nodes.erase(itEnd, nodes.end());
    }
}

bool IsProtectedKeyName(std::u16string_view strName) noexcept
{
    static constexpr std::u16string_view kProtected[] = {
        u"AppID", u"CLSID",    u"Component Categories", u"FileType", u"Interface", u"Hardware",
        u"Mime",  u"SAM",      u"SECURITY",             u"SYSTEM",   u"Software",  u"TypeLib",
    };
    for (const std::u16string_view& strProtected : kProtected)
    {
        if (EqualsIgnoringAsciiCase(strName, strProtected))
            return true;
    }
    return false;
}

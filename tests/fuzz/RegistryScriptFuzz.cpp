// Fuzzes the registry-script language end to end: substitution, parsing, the
// per-user rewrite and both walks over the in-memory registry, with and
// without a failing registry operation.
//
// Input: the script text, then two control bytes. The last byte holds flags
// (0x01 per user, 0x10 text as UTF-16LE pairs instead of 8-bit units); the one
// before it is the index of the registry operation that fails in the second
// run. A stored script ending in CR LF thus runs machine-wide from 8-bit text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "com/RegistryWalker.h"
#include "tests/portable/InMemoryRegistry.h"

namespace
{
constexpr int32_t kHrAccessDenied = HResultFromWin32(kWin32AccessDenied);
constexpr int32_t kHrInvalidParameter = HResultFromWin32(kWin32InvalidParameter);

void Require(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "registry script fuzz: %s\n", pszWhat);
        std::abort();
    }
}

bool IsScriptAnswer(int32_t hr)
{
    return hr == kHrOk || hr == kHrDispException || hr == kHrFail || hr == kHrOutOfMemory ||
           hr == kHrInvalidParameter;
}

void AddBaseline(CInMemoryRegistry& reg)
{
    reg.SetString(RegRoot::ClassesRoot, u"AppID\\{00000000-1111-2222-3333-444444444444}", u"", u"Other");
    reg.SetString(RegRoot::ClassesRoot, u"CLSID\\{00000000-5555-6666-7777-888888888888}", u"", u"Other");
    reg.SetString(RegRoot::CurrentUser, u"Software\\Vendor", u"Setting", u"1");
    reg.AddKey(RegRoot::LocalMachine, u"Software\\Classes");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t cbData)
{
    if (cbData < 2)
        return 0;
    const uint8_t bFlags = pbData[cbData - 1];
    const size_t nFailAt = pbData[cbData - 2];
    const size_t cbText = cbData - 2;
    const bool bPerUser = (bFlags & 0x01) != 0;

    std::u16string strText;
    if ((bFlags & 0x10) != 0)
    {
        for (size_t i = 0; i + 1 < cbText; i += 2)
            strText.push_back(static_cast<char16_t>(pbData[i] | (pbData[i + 1] << 8)));
    }
    else
    {
        for (size_t i = 0; i < cbText; ++i)
            strText.push_back(static_cast<char16_t>(pbData[i]));
    }

    ReplacementList replacements;
    replacements.Add(u"APPID", u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}");
    replacements.Add(u"APPID", u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}");
    replacements.Add(u"Module", u"C:\\It''s here\\Ferrowind.dll");
    replacements.Add(u"Module_Raw", u"C:\\It''s here\\Ferrowind.dll");

    CInMemoryRegistry reg;
    AddBaseline(reg);
    const int32_t hr = RunRegistryScriptText(strText, replacements, true, bPerUser, reg);
    Require(IsScriptAnswer(hr), "unexpected answer from a registration");
    Require(reg.OpenHandleCount() == 0, "a key was left open by a registration");
    // Refused before the walk, or nothing to walk: a failing operation would
    // change nothing.
    if (reg.OperationCount() == 0)
        return 0;

    // The walk ran, so the text substitutes and parses; the later runs reuse
    // the tree.
    std::u16string strSubstituted;
    RegScript script;
    Require(SubstituteVariables(strText, replacements, strSubstituted) == kHrOk, "substitution is not repeatable");
    Require(ParseRegistryScript(strSubstituted, script) == kHrOk, "parsing is not repeatable");
    if (bPerUser)
        Require(RewriteForPerUser(script) == kHrOk, "the per-user rewrite failed");

    if (hr == kHrOk)
    {
        // Registering again changes nothing. Unregistering never fails on a
        // registry without refusals and never adds anything; a second pass may
        // remove more (a key listed twice, once NoRemove, empties only after
        // the first pass).
        const std::vector<std::string> vecRegistered = reg.Rows();
        Require(RegisterScript(reg, script) == kHrOk, "a second registration failed");
        Require(reg.Rows() == vecRegistered, "a second registration changed the registry");
        Require(UnregisterScript(reg, script) == kHrOk, "an unregistration failed");
        const std::vector<std::string> vecUnregistered = reg.Rows();
        Require(std::includes(vecRegistered.begin(), vecRegistered.end(), vecUnregistered.begin(),
                              vecUnregistered.end()),
                "an unregistration added to the registry");
        Require(UnregisterScript(reg, script) == kHrOk, "a second unregistration failed");
        const std::vector<std::string> vecAgain = reg.Rows();
        Require(std::includes(vecUnregistered.begin(), vecUnregistered.end(), vecAgain.begin(), vecAgain.end()),
                "a second unregistration added to the registry");
        Require(reg.OpenHandleCount() == 0, "a key was left open by an unregistration");
    }

    CInMemoryRegistry refusing;
    AddBaseline(refusing);
    refusing.FailAt(nFailAt, kWin32AccessDenied);
    const int32_t hrRefused = RegisterScript(refusing, script);
    Require(hrRefused == kHrOk || hrRefused == kHrAccessDenied || hrRefused == kHrInvalidParameter,
            "unexpected answer with a refused operation");
    Require(refusing.OpenHandleCount() == 0, "a key was left open after a refused operation");
    refusing.ClearFailure();
    Require(UnregisterScript(refusing, script) == kHrOk, "unregistering after a refused operation failed");
    Require(refusing.OpenHandleCount() == 0, "a key was left open by an unregistration");
    return 0;
}

#pragma once
// The module's stored registry scripts as the tests read them: the bytes of
// resources/*.rgs, and their text widened unit for unit (they are ASCII).

#include <fstream>
#include <iterator>
#include <string>

#ifndef FERROWIND_SOURCE_DIR
#error "FERROWIND_SOURCE_DIR must name the source tree"
#endif

inline std::string ReadScriptBytes(const char* pszFileName)
{
    std::ifstream file(std::string(FERROWIND_SOURCE_DIR) + "/resources/" + pszFileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline std::u16string ReadScriptText(const char* pszFileName)
{
    const std::string strBytes = ReadScriptBytes(pszFileName);
    std::u16string strText;
    for (unsigned char c : strBytes)
        strText.push_back(static_cast<char16_t>(c));
    return strText;
}

inline constexpr char16_t kAppIdText[] = u"{7DC31AD9-C10D-44A6-A01D-559A1539D177}";
inline constexpr char16_t kClsidText[] = u"{7755CDB1-91E2-41c5-9B9C-1F669CE36F30}";

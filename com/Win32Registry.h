#pragma once
// The walks' registry interface over the platform's registry (advapi32).

#include <windows.h>

#include "com/RegistryWalker.h"

class CWin32Registry final : public IRegistryOps
{
public:
    // samView (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY) is the registry view
    // every key is opened in and deleted from.
    explicit CWin32Registry(REGSAM samView = 0) noexcept;

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

    // Whether RegDeleteKeyExW was found (older systems only have RegDeleteKeyW).
    bool HasDeleteKeyEx() const noexcept { return m_pfnRegDeleteKeyExW != nullptr; }

private:
    typedef LONG(WINAPI* PFN_REGDELETEKEYEXW)(HKEY, LPCWSTR, REGSAM, DWORD);

    REGSAM m_samView;
    PFN_REGDELETEKEYEXW m_pfnRegDeleteKeyExW = nullptr;
};

#include "SettingsFile.h"

#include <oleauto.h>

#include <vector>

namespace
{
// Far above any blob: a larger file is not a settings file.
constexpr DWORD kMaxFileBytes = 1 << 20;

class CFile
{
public:
    explicit CFile(HANDLE hFile) : m_hFile(hFile) {}
    ~CFile()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    HANDLE get() const { return m_hFile; }
    bool Valid() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFile;
};

class CSafeArray
{
public:
    CSafeArray() = default;
    explicit CSafeArray(SAFEARRAY* psa) : m_psa(psa) {}
    ~CSafeArray()
    {
        if (m_psa != nullptr)
            SafeArrayDestroy(m_psa);
    }
    CSafeArray(const CSafeArray&) = delete;
    CSafeArray& operator=(const CSafeArray&) = delete;
    SAFEARRAY* get() const { return m_psa; }
    SAFEARRAY** put() { return &m_psa; }

private:
    SAFEARRAY* m_psa = nullptr;
};

// The array's bytes, when it is a one-dimensional array of VT_UI1.
bool BytesOf(SAFEARRAY* psa, std::vector<BYTE>& bytes)
{
    VARTYPE vt = VT_EMPTY;
    LONG lLower = 0;
    LONG lUpper = -1;
    if (psa == nullptr || FAILED(SafeArrayGetVartype(psa, &vt)) || vt != VT_UI1 || SafeArrayGetDim(psa) != 1 ||
        FAILED(SafeArrayGetLBound(psa, 1, &lLower)) || FAILED(SafeArrayGetUBound(psa, 1, &lUpper)) ||
        lUpper < lLower || static_cast<DWORD>(lUpper - lLower) >= kMaxFileBytes)
        return false;
    void* pvData = nullptr;
    if (FAILED(SafeArrayAccessData(psa, &pvData)))
        return false;
    const BYTE* pb = static_cast<const BYTE*>(pvData);
    bytes.assign(pb, pb + (static_cast<DWORD>(lUpper - lLower) + 1));
    SafeArrayUnaccessData(psa);
    return true;
}
} // namespace

bool SaveSettingsFile(IWendleVideoDraw* pPlugin, const std::wstring& strPath, HRESULT& hrCall, ULONG& cbWritten)
{
    cbWritten = 0;
    CSafeArray array;
    hrCall = pPlugin->GetDrawSetupParameters(array.put());
    std::vector<BYTE> bytes;
    if (hrCall != S_OK || !BytesOf(array.get(), bytes))
        return false;
    CFile file(CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD cbDone = 0;
    if (!file.Valid() || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &cbDone, nullptr) ||
        cbDone != bytes.size())
        return false;
    cbWritten = cbDone;
    return true;
}

bool LoadSettingsFile(IWendleVideoDraw* pPlugin, const std::wstring& strPath, HRESULT& hrCall, ULONG& cbRead)
{
    cbRead = 0;
    hrCall = E_FAIL;
    CFile file(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileBytes)
        return false;
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    DWORD cbDone = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &cbDone, nullptr) ||
                           cbDone != bytes.size()))
        return false;
    cbRead = static_cast<ULONG>(bytes.size());

    // An empty file still makes a (zero-element) array, so the plug-in decides.
    CSafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
    if (array.get() == nullptr)
        return false;
    if (!bytes.empty())
    {
        void* pvData = nullptr;
        if (FAILED(SafeArrayAccessData(array.get(), &pvData)))
            return false;
        memcpy(pvData, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array.get());
    }
    hrCall = pPlugin->SetDrawSetupParameters(array.get());
    return true;
}

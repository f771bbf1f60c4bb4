#include "com/SettingsBlobArray.h"

#include <cstring>

#include "com/SafeArray.h"
#include "settings/BlobBuffer.h"
#include "settings/CurrentSettings.h"

namespace
{
// The blob needs at least its version word before it is worth reading.
constexpr ULONG kMinElements = 4;
} // namespace

HRESULT GetSettingsBlobArray(const SMPTEDrawSettings* pSettings, SAFEARRAY** ppParams)
{
    if (ppParams == nullptr || pSettings == nullptr)
        return E_INVALIDARG;

    SMPTEDrawSettings current;
    SnapshotSettings(*pSettings, current);
    CSerializedBlob blob;
    if (!current.Serialize(blob))
        return E_OUTOFMEMORY;

    CSafeArrayOwner array;
    if (FAILED(SafeArrayAllocDescriptorEx(VT_UI1, 1, array.put())))
        return E_OUTOFMEMORY;
    array.get()->cbElements = 1;
    array.get()->rgsabound[0].lLbound = 0;
    array.get()->rgsabound[0].cElements = blob.cbBlob;
    if (FAILED(SafeArrayAllocData(array.get())))
        return E_OUTOFMEMORY;

    {
        CSafeArrayAccess access(array.get());
        if (!access.IsHeld())
            return E_OUTOFMEMORY;
        std::memcpy(access.Data(), blob.pbBlob, blob.cbBlob);
    }

    *ppParams = array.detach();
    return S_OK;
}

HRESULT SetSettingsBlobArray(SMPTEDrawSettings* pSettings, SAFEARRAY* pParams)
{
    if (pParams == nullptr)
        return E_POINTER;
    if (pSettings == nullptr)
        return E_INVALIDARG;

    // The element count stands for the byte count below, so a descriptor that
    // says VT_UI1 but was given another element size is refused with the type.
    VARTYPE vt = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(pParams, &vt)) || vt != VT_UI1 || SafeArrayGetElemsize(pParams) != 1)
        return E_INVALIDARG;
    if (SafeArrayGetDim(pParams) != 1)
        return E_INVALIDARG;
    LONG lLower = 0;
    LONG lUpper = 0;
    if (FAILED(SafeArrayGetLBound(pParams, 1, &lLower)))
        return E_INVALIDARG;
    if (FAILED(SafeArrayGetUBound(pParams, 1, &lUpper)))
        return E_INVALIDARG;
    const ULONG cElements = static_cast<ULONG>(lUpper) - static_cast<ULONG>(lLower) + 1u;
    if (cElements < kMinElements)
        return E_INVALIDARG;

    CSafeArrayAccess access(pParams);
    if (!access.IsHeld())
        return E_INVALIDARG;
    if (IsBadReadPtr(access.Data(), cElements))
        return E_POINTER;

    BlobBuffer blob;
    blob.cbBlob = cElements;
    blob.pbBlob = static_cast<uint8_t*>(access.Data());
    SMPTEDrawSettings incoming;
    if (!incoming.Deserialize(blob))
        return E_INVALIDARG;
    ReplaceSettings(*pSettings, incoming);
    return S_OK;
}

#include "Discovery.h"

#include <comcat.h>
#include <gdiplus.h>

#include <cstdio>

CGdiplusSession::CGdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    m_bStarted = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

CGdiplusSession::~CGdiplusSession()
{
    if (m_bStarted)
        Gdiplus::GdiplusShutdown(m_token);
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t sz[40] = {};
    StringFromGUID2(guid, sz, 40);
    return sz;
}

std::vector<CLSID> ClassesOfCategory(const CATID& catid)
{
    std::vector<CLSID> classes;
    ComPtr<ICatInformation> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                                reinterpret_cast<void**>(categories.put()))))
        return classes;
    ComPtr<IEnumCLSID> found;
    CATID implemented[] = {catid};
    if (FAILED(categories->EnumClassesOfCategories(1, implemented, 0, nullptr, found.put())))
        return classes;
    CLSID clsid;
    ULONG fetched = 0;
    while (found->Next(1, &clsid, &fetched) == S_OK && fetched == 1)
        classes.push_back(clsid);
    return classes;
}

ComPtr<IWendleVideoDraw> CreateFirstPlugin(const std::vector<CLSID>& classes, CLSID& clsidCreated)
{
    ComPtr<IWendleVideoDraw> plugin;
    for (const CLSID& candidate : classes)
    {
        const HRESULT hr = CoCreateInstance(candidate, nullptr, CLSCTX_INPROC_SERVER, IID_IWendleVideoDraw,
                                            reinterpret_cast<void**>(plugin.put()));
        if (SUCCEEDED(hr) && plugin)
        {
            clsidCreated = candidate;
            return plugin;
        }
        std::fprintf(stderr, "ferrowind-host: %ls cannot be created (0x%08lx)\n", GuidText(candidate).c_str(),
                     static_cast<unsigned long>(hr));
    }
    return ComPtr<IWendleVideoDraw>();
}

HMODULE ModuleOf(IUnknown* pObject)
{
    HMODULE hModule = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(pObject), &hModule);
    return hModule;
}

std::wstring PathOf(HMODULE hModule)
{
    wchar_t sz[MAX_PATH] = {};
    GetModuleFileNameW(hModule, sz, MAX_PATH);
    return sz;
}

HRESULT AskCanUnloadNow(HMODULE hModule)
{
    using PFN_DLLCANUNLOADNOW = HRESULT(WINAPI*)();
    const auto pfnCanUnloadNow = reinterpret_cast<PFN_DLLCANUNLOADNOW>(
        reinterpret_cast<void (*)()>(GetProcAddress(hModule, "DllCanUnloadNow")));
    return pfnCanUnloadNow != nullptr ? pfnCanUnloadNow() : E_NOINTERFACE;
}

#pragma once
// Finding and creating the plug-in as the host does: through the component
// category of video-draw plug-ins and CoCreateInstance, nothing else.

#include <windows.h>
#include <objidl.h>
#include <comcat.h>

#include <string>
#include <vector>

#include "Ferrowind.h"
#include "com/ComPtr.h"

// The host's category of video-draw plug-ins.
constexpr CATID kCatIdWendleVideoDraw = {0x5a245b48, 0x94a3, 0x4a37, {0x94, 0x68, 0x57, 0xf3, 0x80, 0x73, 0x48, 0xe6}};

class CComApartment
{
public:
    CComApartment() : m_bStarted(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~CComApartment()
    {
        if (m_bStarted)
            CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;
    bool Started() const { return m_bStarted; }

private:
    bool m_bStarted;
};

// The plug-in draws with GDI+ but never starts it: the host does.
class CGdiplusSession
{
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    bool Started() const { return m_bStarted; }

private:
    ULONG_PTR m_token = 0;
    bool m_bStarted = false;
};

std::wstring GuidText(const GUID& guid);

// The classes registered under the category, in the order COM lists them.
std::vector<CLSID> ClassesOfCategory(const CATID& catid);

// Creates the first class of the list that yields IWendleVideoDraw; reports
// the others that failed on the error stream.
ComPtr<IWendleVideoDraw> CreateFirstPlugin(const std::vector<CLSID>& classes, CLSID& clsidCreated);

// The module that implements an object: the one its first vtable lies in.
HMODULE ModuleOf(IUnknown* pObject);
std::wstring PathOf(HMODULE hModule);

// DllCanUnloadNow of a loaded module, or E_NOINTERFACE when it exports none.
HRESULT AskCanUnloadNow(HMODULE hModule);

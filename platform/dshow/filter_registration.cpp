// Self-registration: the COM server entries of every template and the filter entries of those with
// setup data, through the filter mapper. There is no IFilterMapper on this platform, so there is no
// fallback when the filter mapper cannot be created: its code is returned.
#include <string>

#include <objbase.h>
#include <uuids.h>
#include <windows.h>

#include "platform/dshow/factory_template.h"
#include "platform/win32/debug.h"

namespace {

std::wstring clsidKey(REFCLSID clsid) {
    WCHAR text[40];
    StringFromGUID2(clsid, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

HRESULT setString(HKEY key, LPCWSTR name, LPCWSTR text) {
    std::wstring value = text ? text : L"";
    LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    return HRESULT_FROM_WIN32(status);
}

HRESULT registerFilters(IFilterMapper2* mapper, bool bRegister) {
    for (int i = 0; i < g_cTemplates; ++i) {
        const CFactoryTemplate& t = g_Templates[i];
        const AMOVIESETUP_FILTER* setup = t.m_pAMovieSetup_Filter;
        if (!setup) continue;
        HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *setup->clsID);
        if (!bRegister) {
            if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return hr;
            continue;
        }
        REGFILTER2 rf2{};
        rf2.dwVersion = 1;
        rf2.dwMerit = setup->dwMerit;
        rf2.cPins = setup->nPins;
        rf2.rgPins = setup->lpPin;
        if (FAILED(
                hr = mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr, nullptr, nullptr, &rf2)))
            return hr;
    }
    return S_OK;
}

bool anySetupData() {
    for (int i = 0; i < g_cTemplates; ++i)
        if (g_Templates[i].m_pAMovieSetup_Filter) return true;
    return false;
}

} // namespace

STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                 LPCWSTR szThreadingModel, LPCWSTR szServerType) {
    HKEY key = nullptr, server = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, clsidKey(clsServer).c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    HRESULT hr = setString(key, nullptr, szDescription);
    if (SUCCEEDED(hr)) {
        status = RegCreateKeyExW(key, szServerType, 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr);
        hr = HRESULT_FROM_WIN32(status);
    }
    if (SUCCEEDED(hr)) hr = setString(server, nullptr, szFileName);
    if (SUCCEEDED(hr)) hr = setString(server, L"ThreadingModel", szThreadingModel);
    if (server) RegCloseKey(server);
    RegCloseKey(key);
    return hr;
}

STDAPI AMovieSetupUnregisterServer(CLSID clsServer) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey(clsServer).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

STDAPI AMovieDllRegisterServer2(BOOL bRegister) {
    WCHAR path[4096];
    if (!GetModuleFileNameW(g_hInst, path, 4096)) return HRESULT_FROM_WIN32(GetLastError());
    // A thread already in the multithreaded apartment keeps it.
    HRESULT init = CoInitialize(nullptr);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) return init;
    HRESULT hr = S_OK;
    if (bRegister) {
        for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i)
            hr = AMovieSetupRegisterServer(*g_Templates[i].m_ClsID, g_Templates[i].m_Name, path);
    }
    if (SUCCEEDED(hr) && anySetupData()) {
        IFilterMapper2* mapper = nullptr;
        hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper));
        if (SUCCEEDED(hr)) {
            hr = registerFilters(mapper, bRegister != FALSE);
            mapper->Release();
        }
    }
    if (!bRegister) {
        for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i)
            hr = AMovieSetupUnregisterServer(*g_Templates[i].m_ClsID);
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(init)) CoUninitialize();
    return hr;
}

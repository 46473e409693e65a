// The server support of a COM module: its table of factory templates, the generic class factory over
// one template, and the registration helpers.
//
// A module defines its table once:
//     const CFactoryTemplate g_Templates[] = {{L"Name", &CLSID_Thing, CThing::CreateInstance, nullptr,
//     &setup}}; const int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
// and exports DllRegisterServer / DllUnregisterServer as AMovieDllRegisterServer2(TRUE / FALSE);
// DllGetClassObject and DllCanUnloadNow come from the base classes.
#pragma once

#include <atomic>

#include <objbase.h>

#include "platform/com/unknown.h"
#include "platform/dshow/filter_setup.h"

typedef CUnknown*(CALLBACK* LPFNNewCOMObject)(LPUNKNOWN pUnkOuter, HRESULT* phr);
typedef void(CALLBACK* LPFNInitRoutine)(BOOL bLoading, const CLSID* rclsid);

class CFactoryTemplate {
public:
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID rclsid) const { return *m_ClsID == rclsid; }
    CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) const { return m_lpfnNew(pUnk, phr); }
};

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;
// This module's handle (its load base).
extern HINSTANCE g_hInst;

class CClassFactory : public CUnknown, public IClassFactory {
public:
    explicit CClassFactory(const CFactoryTemplate* pTemplate);
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    // True while a client holds the server locked.
    static BOOL IsLocked() { return m_cLocked.load() > 0; }

private:
    const CFactoryTemplate* m_pTemplate;
    static std::atomic<int> m_cLocked;
};

// The combined registration of every template: COM server entries, then filter entries through the
// filter mapper (unregistering: filter entries first, server entries last).
STDAPI AMovieDllRegisterServer2(BOOL bRegister);
// HKEY_CLASSES_ROOT\CLSID\{clsid} = description, InprocServer32 = file name, ThreadingModel.
STDAPI AMovieSetupRegisterServer(CLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                 LPCWSTR szThreadingModel = L"Both",
                                 LPCWSTR szServerType = L"InprocServer32");
STDAPI AMovieSetupUnregisterServer(CLSID clsServer);

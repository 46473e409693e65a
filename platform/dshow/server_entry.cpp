// DllGetClassObject and DllCanUnloadNow over the module's template table.
// Fault injection: "DllGetClassObject" stands for the factory allocation failing.
#include <new>

#include "platform/dshow/factory_template.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        const CFactoryTemplate* t = &g_Templates[i];
        if (!t->IsClassID(rclsid)) continue;
        if (FAILED(platform::InjectedFault("DllGetClassObject"))) return E_OUTOFMEMORY;
        auto* factory = new (std::nothrow) CClassFactory(t);
        if (!factory) return E_OUTOFMEMORY;
        return factory->NonDelegatingQueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return CClassFactory::IsLocked() || CUnknown::ObjectsActive() > 0 ? S_FALSE : S_OK;
}

#include "platform/dshow/factory_template.h"

#include <new>

std::atomic<int> CClassFactory::m_cLocked{0};

CClassFactory::CClassFactory(const CFactoryTemplate* pTemplate)
    : CUnknown(L"Class factory", nullptr), m_pTemplate(pTemplate) {}

STDMETHODIMP CClassFactory::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IClassFactory) return GetInterface(static_cast<IClassFactory*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) {
    if (!pv) return E_POINTER;
    *pv = nullptr;
    // An aggregating outer object must ask for the inner unknown.
    if (pUnkOuter && riid != IID_IUnknown) return E_NOINTERFACE;
    HRESULT hr = S_OK;
    CUnknown* object = m_pTemplate->CreateInstance(pUnkOuter, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, pv);
    object->NonDelegatingRelease(); // deletes it when the interface was not there
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        ++m_cLocked;
    else if (m_cLocked.load() > 0)
        --m_cLocked;
    return S_OK;
}

#include "platform/com/unknown.h"

namespace {
std::atomic<LONG> liveObjects{0};
}

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk) : CUnknown(pName, pUnk, nullptr) {}

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, LPUNKNOWN pLifetime)
    : m_pName(pName), m_pUnknown(pUnk ? pUnk : static_cast<IUnknown*>(&m_inner)), m_pLifetime(pLifetime) {
    liveObjects.fetch_add(1, std::memory_order_relaxed);
}

CUnknown::~CUnknown() {
    liveObjects.fetch_sub(1, std::memory_order_relaxed);
}

LONG CUnknown::ObjectsActive() {
    return liveObjects.load();
}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) return GetInterface(&m_inner, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() {
    if (m_pLifetime) return m_pLifetime->AddRef();
    return static_cast<ULONG>(++m_cRef);
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
    if (m_pLifetime) return m_pLifetime->Release();
    LONG count = --m_cRef;
    if (count == 0) LastRelease();
    return static_cast<ULONG>(count < 0 ? 0 : count);
}

void CUnknown::LastRelease() {
    // Keeps a Release made during destruction from deleting the object twice.
    m_cRef = 1;
    delete this;
}

HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}

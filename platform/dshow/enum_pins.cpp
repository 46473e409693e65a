#include "platform/dshow/enum_pins.h"

#include <new>

#include <vfwmsgs.h>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/media_type.h"

CEnumPins::CEnumPins(CBaseFilter* pFilter, const CEnumPins* pEnumPins)
    : CUnknown(L"CEnumPins", nullptr), m_pFilter(pFilter), m_Position(pEnumPins ? pEnumPins->m_Position : 0),
      m_Version(pEnumPins ? pEnumPins->m_Version : pFilter->GetPinVersion()) {
    m_pFilter->AddRef();
}

CEnumPins::~CEnumPins() {
    m_pFilter->Release();
}

STDMETHODIMP CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ppPins || (cPins > 1 && !pcFetched)) return E_POINTER;
    if (pcFetched) *pcFetched = 0;
    if (m_Version != m_pFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cPins && m_Position < m_pFilter->GetPinCount()) {
        CBasePin* pin = m_pFilter->GetPin(m_Position++);
        if (!pin) continue;
        pin->AddRef();
        ppPins[fetched++] = pin;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins) {
    if (m_Version != m_pFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG left = static_cast<ULONG>(m_pFilter->GetPinCount() - m_Position);
    if (cPins > left) return S_FALSE;
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
    m_Version = m_pFilter->GetPinVersion();
    m_Position = 0;
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    if (m_Version != m_pFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    auto* e = new (std::nothrow) CEnumPins(m_pFilter, this);
    if (!e) return E_OUTOFMEMORY;
    return e->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(ppEnum));
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, const CEnumMediaTypes* pEnum)
    : CUnknown(L"CEnumMediaTypes", nullptr), m_pPin(pPin), m_Position(pEnum ? pEnum->m_Position : 0),
      m_Version(pEnum ? pEnum->m_Version : pPin->GetMediaTypeVersion()) {
    m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() {
    m_pPin->Release();
}

STDMETHODIMP CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    if (!ppMediaTypes || (cMediaTypes > 1 && !pcFetched)) return E_POINTER;
    if (pcFetched) *pcFetched = 0;
    if (m_Version != m_pPin->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG fetched = 0;
    while (fetched < cMediaTypes) {
        CMediaType mt;
        if (m_pPin->GetMediaType(m_Position, &mt) != S_OK) break;
        AM_MEDIA_TYPE* copy = CreateMediaType(&mt);
        if (!copy) break;
        ++m_Position;
        ppMediaTypes[fetched++] = copy;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    if (m_Version != m_pPin->GetMediaTypeVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    for (; cMediaTypes > 0; --cMediaTypes) {
        CMediaType mt;
        if (m_pPin->GetMediaType(m_Position, &mt) != S_OK) return S_FALSE;
        ++m_Position;
    }
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
    m_Version = m_pPin->GetMediaTypeVersion();
    m_Position = 0;
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    auto* e = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    if (!e) return E_OUTOFMEMORY;
    return e->NonDelegatingQueryInterface(IID_IEnumMediaTypes, reinterpret_cast<void**>(ppEnum));
}

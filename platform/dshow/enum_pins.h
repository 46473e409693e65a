// Enumerators over a filter's pins and over a pin's preferred media types. Each holds a reference on
// its filter or pin and answers VFW_E_ENUM_OUT_OF_SYNC once the pins or types changed until Reset.
#pragma once

#include <strmif.h>

#include "platform/com/unknown.h"

class CBaseFilter;
class CBasePin;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    CEnumPins(CBaseFilter* pFilter, const CEnumPins* pEnumPins);
    ~CEnumPins() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    CBaseFilter* m_pFilter;
    int m_Position;
    LONG m_Version;
};

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    CEnumMediaTypes(CBasePin* pPin, const CEnumMediaTypes* pEnumMediaTypes);
    ~CEnumMediaTypes() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    CBasePin* m_pPin;
    int m_Position;
    LONG m_Version;
};

#include "platform/dshow/media_type.h"

#include <cstring>

#include <objbase.h>

void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource) {
    if (!pmtTarget || !pmtSource) return E_POINTER;
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat) {
        pmtTarget->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(pmtSource->cbFormat));
        if (!pmtTarget->pbFormat) {
            pmtTarget->cbFormat = 0;
            pmtTarget->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
    } else {
        pmtTarget->pbFormat = nullptr;
    }
    if (pmtTarget->pUnk) pmtTarget->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc) {
    auto* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!pmt) return nullptr;
    if (FAILED(CopyMediaType(pmt, pSrc))) {
        CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

CMediaType::CMediaType() {
    InitMediaType();
}

CMediaType::CMediaType(const GUID* type) {
    InitMediaType();
    majortype = *type;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& rt) {
    InitMediaType();
    Set(rt);
}

CMediaType::CMediaType(const CMediaType& rt) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(rt)) {}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& rt) {
    Set(rt);
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& rt) {
    Set(rt);
    return *this;
}

HRESULT CMediaType::Set(const CMediaType& rt) {
    return Set(static_cast<const AM_MEDIA_TYPE&>(rt));
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& rt) {
    if (&rt == this) return S_OK;
    FreeMediaType(*this);
    HRESULT hr = CopyMediaType(this, &rt);
    if (FAILED(hr)) InitMediaType();
    return hr;
}

bool CMediaType::operator==(const CMediaType& rt) const {
    return majortype == rt.majortype && subtype == rt.subtype && formattype == rt.formattype &&
           cbFormat == rt.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, rt.pbFormat, cbFormat) == 0);
}

void CMediaType::SetSampleSize(ULONG sz) {
    if (sz == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = sz;
    }
}

BOOL CMediaType::SetFormat(const BYTE* pformat, ULONG length) {
    if (!AllocFormatBuffer(length) && length) return FALSE;
    if (length) std::memcpy(pbFormat, pformat, length);
    return TRUE;
}

void CMediaType::ResetFormatBuffer() {
    if (cbFormat) CoTaskMemFree(pbFormat);
    cbFormat = 0;
    pbFormat = nullptr;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    ResetFormatBuffer();
    if (!length) return nullptr;
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!pbFormat) return nullptr;
    std::memset(pbFormat, 0, length);
    cbFormat = length;
    return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
    if (length == cbFormat) return pbFormat;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length ? length : 1));
    if (!block) return nullptr;
    std::memset(block, 0, length);
    if (cbFormat) std::memcpy(block, pbFormat, cbFormat < length ? cbFormat : length);
    ResetFormatBuffer();
    pbFormat = block;
    cbFormat = length;
    return pbFormat;
}

void CMediaType::InitMediaType() {
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
    lSampleSize = 1;
    bFixedSizeSamples = TRUE;
}

BOOL CMediaType::IsPartiallySpecified() const {
    return majortype == GUID_NULL || formattype == GUID_NULL;
}

BOOL CMediaType::MatchesPartial(const CMediaType* p) const {
    if (p->majortype != GUID_NULL && p->majortype != majortype) return FALSE;
    if (p->subtype != GUID_NULL && p->subtype != subtype) return FALSE;
    if (p->formattype != GUID_NULL) {
        if (p->formattype != formattype) return FALSE;
        if (p->cbFormat != cbFormat) return FALSE;
        if (cbFormat && std::memcmp(pbFormat, p->pbFormat, cbFormat) != 0) return FALSE;
    }
    return TRUE;
}

#include "platform/dshow/source.h"

#include <new>

#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/dshow/source_stream.h"
#include "platform/win32/com_ptr.h"

CSource::CSource(LPCWSTR pName, LPUNKNOWN lpunk, CLSID clsid, HRESULT*)
    : CBaseFilter(pName, lpunk, &m_cStateLock, clsid) {}

CSource::CSource(LPCWSTR pName, LPUNKNOWN lpunk, CLSID clsid)
    : CBaseFilter(pName, lpunk, &m_cStateLock, clsid) {}

CSource::~CSource() {
    // Each pin's destructor takes it out of the array.
    while (m_iPins != 0) delete m_paStreams[m_iPins - 1];
    delete[] m_paStreams;
}

int CSource::GetPinCount() {
    CAutoLock lock(&m_cStateLock);
    return m_iPins;
}

CBasePin* CSource::GetPin(int n) {
    CAutoLock lock(&m_cStateLock);
    return n >= 0 && n < m_iPins ? m_paStreams[n] : nullptr;
}

HRESULT CSource::AddPin(CSourceStream* pStream) {
    CAutoLock lock(&m_cStateLock);
    auto** streams = new (std::nothrow) CSourceStream*[m_iPins + 1];
    if (!streams) return E_OUTOFMEMORY;
    for (int i = 0; i < m_iPins; ++i) streams[i] = m_paStreams[i];
    streams[m_iPins] = pStream;
    delete[] m_paStreams;
    m_paStreams = streams;
    ++m_iPins;
    IncrementPinVersion();
    return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pStream) {
    CAutoLock lock(&m_cStateLock);
    for (int i = 0; i < m_iPins; ++i) {
        if (m_paStreams[i] != pStream) continue;
        for (int j = i + 1; j < m_iPins; ++j) m_paStreams[j - 1] = m_paStreams[j];
        if (--m_iPins == 0) {
            delete[] m_paStreams;
            m_paStreams = nullptr;
        }
        IncrementPinVersion();
        return S_OK;
    }
    return S_FALSE;
}

int CSource::FindPinNumber(IPin* iPin) {
    CAutoLock lock(&m_cStateLock);
    for (int i = 0; i < m_iPins; ++i)
        if (static_cast<IPin*>(m_paStreams[i]) == iPin) return i;
    return -1;
}

BOOL CSource::IsLiveSource() {
    CAutoLock lock(&m_cStateLock);
    for (int i = 0; i < m_iPins; ++i) {
        platform::ComPtr<IKsPropertySet> properties;
        if (FAILED(m_paStreams[i]->QueryInterface(IID_IKsPropertySet, properties.putVoid()))) continue;
        GUID category = GUID_NULL;
        DWORD returned = 0;
        if (properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category,
                            &returned) == S_OK &&
            category == PIN_CATEGORY_CAPTURE)
            return TRUE;
    }
    return FALSE;
}

HRESULT CSource::WaitForState(DWORD) {
    CAutoLock lock(&m_cStateLock);
    return m_State == State_Paused && IsLiveSource() ? VFW_S_CANT_CUE : S_OK;
}

#include "platform/dshow/source_stream.h"

#include <cwchar>

#include <evcode.h>
#include <vfwmsgs.h>

#include "platform/win32/debug.h"

CSourceStream::CSourceStream(LPCWSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName)
    : CAMThread(phr), CBaseOutputPin(pObjectName, pms, pms->pStateLock(), pName), m_pFilter(pms) {
    HRESULT hr = m_pFilter->AddPin(this);
    if (FAILED(hr) && phr) *phr = hr;
}

CSourceStream::~CSourceStream() {
    // A filter destroyed while active still has a worker: end it before the pin goes.
    if (ThreadExists()) {
        if (m_pAllocator) m_pAllocator->Decommit();
        PostRequest(CMD_STOP);
        Exit();
        Close();
    }
    m_pFilter->RemovePin(this);
}

STDMETHODIMP CSourceStream::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    size_t chars = std::wcslen(Name()) + 1;
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(chars * sizeof(WCHAR)));
    if (!*Id) return E_OUTOFMEMORY;
    std::wmemcpy(*Id, Name(), chars);
    return S_OK;
}

HRESULT CSourceStream::GetMediaType(int iPosition, CMediaType* pMediaType) {
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    CAutoLock lock(m_pFilter->pStateLock());
    return GetMediaType(pMediaType);
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* pMediaType) {
    CAutoLock lock(m_pFilter->pStateLock());
    CMediaType mine;
    if (FAILED(GetMediaType(&mine))) return E_FAIL;
    return mine == *pMediaType ? S_OK : E_FAIL;
}

HRESULT CSourceStream::Active() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected()) return S_OK;
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (ThreadExists()) return E_UNEXPECTED;
    if (!Create()) {
        CBaseOutputPin::Inactive();
        return E_FAIL;
    }
    hr = Init();
    if (FAILED(hr)) { // OnThreadCreate failed; the worker has ended
        Close();
        CBaseOutputPin::Inactive();
        return hr;
    }
    return Pause();
}

HRESULT CSourceStream::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected() || !ThreadExists()) return S_OK;
    m_tRunStart.store(tStart, std::memory_order_relaxed);
    return Run();
}

// Without waiting: the worker may be blocked delivering to a downstream filter that was paused first
// and holds the sample until it runs.
HRESULT CSourceStream::PauseFromRunning() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (ThreadExists()) PostRequest(CMD_PAUSE);
    return S_OK;
}

HRESULT CSourceStream::Inactive() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected()) return S_OK;
    if (!ThreadExists()) return CBaseOutputPin::Inactive();
    // Decommitting first wakes a worker waiting for a free buffer, which then waits for the stop
    // request; the allocator keeps its memory until the worker's sample comes back.
    HRESULT hr = CBaseOutputPin::Inactive();
    PostRequest(CMD_STOP);
    Exit();
    Close();
    return hr;
}

DWORD CSourceStream::ThreadProc() {
    Command com;
    while ((com = GetRequest()) != CMD_INIT) Reply(static_cast<DWORD>(E_UNEXPECTED));
    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        Reply(static_cast<DWORD>(hr));
        return 1;
    }
    Reply(S_OK);

    do {
        com = GetRequest();
        switch (com) {
        case CMD_RUN:
            Reply(S_OK);
            DoBufferProcessingLoop();
            break;
        case CMD_PAUSE:
        case CMD_STOP:
        case CMD_EXIT:
            Reply(S_OK);
            break;
        default:
            Reply(static_cast<DWORD>(E_NOTIMPL));
            break;
        }
    } while (com != CMD_EXIT);
    return FAILED(OnThreadDestroy()) ? 1 : 0;
}

// Delivers until a request arrives; a run request is answered on the spot, any other ends the loop
// unanswered so that ThreadProc takes it. A stream that ends (end of stream, an error, downstream
// refusing) leaves the loop too, and the worker waits for the next request.
HRESULT CSourceStream::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    Command com;
    for (;;) {
        while (!CheckRequest(&com)) {
            IMediaSample* sample = nullptr;
            HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
            if (FAILED(hr)) return S_OK; // decommitted: a stop request is on its way
            hr = FillBuffer(sample);
            if (hr == S_OK) {
                hr = Deliver(sample);
                sample->Release();
                if (hr != S_OK) {
                    TRACE("dshow", "downstream refused a sample (%#x): delivery ends",
                          static_cast<unsigned>(hr));
                    return S_OK;
                }
            } else if (hr == S_FALSE) {
                sample->Release();
                DeliverEndOfStream();
                return S_OK;
            } else {
                sample->Release();
                ERR("dshow", "FillBuffer failed (%#x): the stream ends", static_cast<unsigned>(hr));
                DeliverEndOfStream();
                m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
                return hr;
            }
        }
        if (com != CMD_RUN) return S_OK;
        Reply(S_OK);
    }
}

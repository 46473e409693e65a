// CSourceStream: an output pin of a CSource with its own worker thread, which fills samples and
// pushes them downstream while the filter runs.
//
// How to derive: implement FillBuffer (S_OK delivers the sample; S_FALSE ends the stream with end of
// stream; an error ends it with end of stream and EC_ERRORABORT carrying the error), DecideBufferSize,
// and either GetMediaType(CMediaType*) for a single type or GetMediaType(int, CMediaType*) and
// CheckMediaType for several. OnThreadCreate, OnThreadStartPlay and OnThreadDestroy run on the worker
// when it starts, each time it starts delivering, and when it ends. FillBuffer must not take the
// filter's state lock: the state changes hold it while they wait for the worker.
//
// The worker's life: Active (stopped -> paused) commits the allocator and starts the worker, which
// runs OnThreadCreate and waits; Run makes it deliver; leaving running makes it wait again after the
// sample in hand; Inactive (-> stopped) decommits the allocator (waking a worker waiting for a free
// buffer), stops the worker and joins it. A worker waits on the request's condition variable
// whenever it is not delivering, and blocks in the allocator when downstream holds every buffer.
//
// Locks: the filter's state lock, then the worker's request lock (CAMThread). The worker holds neither
// while it fills or delivers a sample.
#pragma once

#include <atomic>

#include "platform/dshow/am_thread.h"
#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/source.h"

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    CSourceStream(LPCWSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName);
    ~CSourceStream() override;

    enum Command { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };
    HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
    HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
    HRESULT Run() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
    HRESULT Pause() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
    HRESULT Stop() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }

    // Transitions of the filter (under the state lock).
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    HRESULT PauseFromRunning() override;

    STDMETHODIMP QueryId(LPWSTR* Id) override;

protected:
    // ---- must override ----
    virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;

    // ---- may override ----
    virtual HRESULT OnThreadCreate() { return NOERROR; }
    virtual HRESULT OnThreadDestroy() { return NOERROR; }
    virtual HRESULT OnThreadStartPlay() { return NOERROR; }
    virtual HRESULT DoBufferProcessingLoop();
    // Position 0 is the single type of GetMediaType(CMediaType*).
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    virtual HRESULT GetMediaType(CMediaType*) { return E_UNEXPECTED; }
    // S_OK for the single type of GetMediaType(CMediaType*), else E_FAIL.
    HRESULT CheckMediaType(const CMediaType* pMediaType) override;

    Command GetRequest() { return static_cast<Command>(CAMThread::GetRequest()); }
    BOOL CheckRequest(Command* pCom) {
        DWORD request;
        if (!CAMThread::CheckRequest(&request)) return FALSE;
        if (pCom) *pCom = static_cast<Command>(request);
        return TRUE;
    }

    // The reference time of stream time 0 given to the last Run (100 ns units). Read it on the worker
    // while delivering; it is set before the worker is told to deliver.
    REFERENCE_TIME RunStartTime() const { return m_tRunStart.load(std::memory_order_relaxed); }

    DWORD ThreadProc() override;

    CSource* m_pFilter;

private:
    std::atomic<REFERENCE_TIME> m_tRunStart{0};
};

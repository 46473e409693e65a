// CMediaSample and CMemAllocator: buffers in one block of memory, handed out as samples.
//
// A sample taken with GetBuffer holds a reference on its allocator; when its own last reference goes it
// returns to the allocator's free list (ReleaseBuffer) instead of being deleted. GetBuffer blocks until
// a buffer is free (AM_GBF_NOWAIT: VFW_E_TIMEOUT instead) and fails with VFW_E_NOT_COMMITTED once the
// allocator is decommitted. Decommit frees the memory when the last outstanding sample comes back.
// Fault injection: "IMemAllocator::Commit" makes Commit fail with the injected code.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <strmif.h>

#include "platform/com/unknown.h"

class CMemAllocator;

class CMediaSample : public CUnknown, public IMediaSample {
public:
    CMediaSample(LPCWSTR pName, CMemAllocator* pAllocator, BYTE* pBuffer, long length);
    ~CMediaSample() override;
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
    STDMETHODIMP_(long) GetSize() override { return m_cbBuffer; }
    STDMETHODIMP GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP IsSyncPoint() override { return m_bSyncPoint ? S_OK : S_FALSE; }
    STDMETHODIMP SetSyncPoint(BOOL bIsSyncPoint) override;
    STDMETHODIMP IsPreroll() override { return m_bPreroll ? S_OK : S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL bIsPreroll) override;
    STDMETHODIMP_(long) GetActualDataLength() override { return m_lActual; }
    STDMETHODIMP SetActualDataLength(long length) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    STDMETHODIMP IsDiscontinuity() override { return m_bDiscontinuity ? S_OK : S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL bDiscontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    // Clears times, flags and type and sets the full length, for the next use of the buffer.
    void Reset();

protected:
    void LastRelease() override;

private:
    CMemAllocator* m_pAllocator;
    BYTE* m_pBuffer;
    long m_cbBuffer;
    long m_lActual;
    REFERENCE_TIME m_Start = 0, m_End = 0;
    LONGLONG m_MediaStart = 0, m_MediaEnd = 0;
    bool m_bStartValid = false, m_bStopValid = false, m_bMediaTimeValid = false;
    bool m_bSyncPoint = false, m_bPreroll = false, m_bDiscontinuity = false;
    AM_MEDIA_TYPE* m_pMediaType = nullptr;
};

class CMemAllocator : public CUnknown, public IMemAllocator {
public:
    CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk);
    ~CMemAllocator() override;
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                           DWORD dwFlags) override;
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;

private:
    void freeMemory(); // with m_lock held and no sample outstanding

    std::mutex m_lock;
    std::condition_variable m_freed;
    ALLOCATOR_PROPERTIES m_props{0, 0, 1, 0};
    bool m_bCommitted = false;
    std::unique_ptr<BYTE[]> m_memory;
    std::vector<CMediaSample*> m_samples; // all of them
    std::vector<CMediaSample*> m_free;
    long m_outstanding = 0;
};

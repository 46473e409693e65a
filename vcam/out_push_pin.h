// COutPushPin: the virtual camera's only pin, "video". It offers one format, 1280 x 720 RGB24 at 30
// frames per second, announces itself as a capture pin (IKsPropertySet), lets the application choose
// the format (IAMStreamConfig), and on the base class's worker thread fills each sample with the
// latest frame of the private graph (CInternalGraph), grey while there is none. It never waits for a
// new frame: the delivered rate is set by the worker loop and by downstream.
#pragma once

#include <dshow.h>
#include <streams.h>

class CVCam;

class COutPushPin : public CSourceStream, public IAMStreamConfig, public IKsPropertySet {
public:
    COutPushPin(HRESULT* phr, CVCam* pParent);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // CSourceStream / CBaseOutputPin
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    HRESULT FillBuffer(IMediaSample* pSample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    HRESULT OnThreadStartPlay() override;
    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
    STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData) override;
    STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    static constexpr LONG kWidth = 1280, kHeight = 720;
    static constexpr REFERENCE_TIME kFrameDuration = 333333; // 100 ns: 30 frames per second

    // The offered format, built afresh.
    static CMediaType OfferedType();
    // The stream capabilities reported for it.
    static VIDEO_STREAM_CONFIG_CAPS OfferedCaps();

private:
    // The one type the pin offers and accepts: the offered format, or the application's choice
    // (SetFormat). Kept apart from the connection's type (the base's m_mt), which the base pin clears
    // whenever the pin disconnects, as it does while the graph reconnects it to a new format.
    CMediaType m_format; // under the filter's state lock
};

// The expansion filter "ZK900 4K Expander": a DirectShow transform filter that takes 32-bit RGB frames
// of the circular fisheye picture and delivers 1280 x 720 frames unfolded by the engine, and its two
// control interfaces. unfoldcam includes this header for IOrbExpFilter and its identifier.
#pragma once

#include <streams.h>

#include "filter/orb_source_view.h"

class COrbExpander;

// {6A3B0E52-7C1D-4F8A-9E25-3B7D51C2A901}
DEFINE_GUID(CLSID_ExpansionFilter, 0x6a3b0e52, 0x7c1d, 0x4f8a, 0x9e, 0x25, 0x3b, 0x7d, 0x51, 0xc2, 0xa9,
            0x01);
// {6A3B0E53-7C1D-4F8A-9E25-3B7D51C2A901}
DEFINE_GUID(CLSID_ORBE_GeneralProp, 0x6a3b0e53, 0x7c1d, 0x4f8a, 0x9e, 0x25, 0x3b, 0x7d, 0x51, 0xc2, 0xa9,
            0x01);
// {1C58D2E4-90AB-4C3E-8F61-27A4E9B0D314}
DEFINE_GUID(IID_IORBE_General, 0x1c58d2e4, 0x90ab, 0x4c3e, 0x8f, 0x61, 0x27, 0xa4, 0xe9, 0xb0, 0xd3, 0x14);
// {1C58D2E5-90AB-4C3E-8F61-27A4E9B0D314}
DEFINE_GUID(IID_IOrbExpFilter, 0x1c58d2e5, 0x90ab, 0x4c3e, 0x8f, 0x61, 0x27, 0xa4, 0xe9, 0xb0, 0xd3, 0x14);

// The general settings interface, used by the filter's property page. Unfold modes are spoken of by
// their index in the table of modes (modes/mode_table.h); view position and scale run from 0 to 100.
struct IORBE_General : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetUnfoldMode(int* pIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUnfoldMode(int index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetViewPos(float* pHorizontal, float* pVertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetViewPosABS(float horizontal, float vertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetScaleABS(float scale) = 0;
    // Lens direction: 1 upward-facing (both flip flags on), 0 downward; the low byte counts.
    virtual HRESULT STDMETHODCALLTYPE SetLensDirection(BOOL up) = 0;

protected:
    ~IORBE_General() = default;
};

// The interface the virtual camera steers the filter through, with its own mode indexes (the table of
// modes).
struct IOrbExpFilter : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetUnfoldMode(int index) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetViewPosABS(float horizontal, float vertical) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetScaleABS(float scale) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLensDirection(BOOL up) = 0;

protected:
    ~IOrbExpFilter() = default;
};

// The two interfaces' SetUnfoldMode methods have different mode tables; these give each a name of its
// own so that one class can implement both.
struct IORBE_GeneralModes : public IORBE_General {
    HRESULT STDMETHODCALLTYPE SetUnfoldMode(int index) final { return SetGeneralUnfoldMode(index); }
    virtual HRESULT SetGeneralUnfoldMode(int index) = 0;

protected:
    ~IORBE_GeneralModes() = default;
};

struct IOrbExpFilterModes : public IOrbExpFilter {
    HRESULT STDMETHODCALLTYPE SetUnfoldMode(int index) final { return SetFilterUnfoldMode(index); }
    virtual HRESULT SetFilterUnfoldMode(int index) = 0;

protected:
    ~IOrbExpFilterModes() = default;
};

class CExpansionFilter : public CTransformFilter,
                         public IORBE_GeneralModes,
                         public ISpecifyPropertyPages,
                         public IOrbExpFilterModes,
                         public IOrbSourceView {
public:
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    ~CExpansionFilter() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
    HRESULT CheckInputType(const CMediaType* mtIn) override;
    HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pReceivePin) override;

    // IORBE_General (SetViewPosABS, SetScaleABS and SetLensDirection serve IOrbExpFilter too)
    STDMETHODIMP GetUnfoldMode(int* pIndex) override;
    HRESULT SetGeneralUnfoldMode(int index) override;
    STDMETHODIMP GetViewPos(float* pHorizontal, float* pVertical) override;
    STDMETHODIMP SetViewPosABS(float horizontal, float vertical) override;
    STDMETHODIMP SetScaleABS(float scale) override;
    STDMETHODIMP SetLensDirection(BOOL up) override;
    // IOrbExpFilter
    HRESULT SetFilterUnfoldMode(int index) override;
    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pPages) override;
    // IOrbSourceView
    STDMETHODIMP DrawSourceView(LONG width, LONG height, BYTE* pPicture, LONG overviewWidth,
                                LONG overviewHeight, BYTE* pOverview) override;

    static constexpr LONG kOutWidth = 1280, kOutHeight = 720;
    static constexpr LONG kOutFrameBytes = kOutWidth * kOutHeight * 3; // 2,764,800
    static constexpr long kOutBuffers = 5;
    // A frame that follows the one before by more than the frame-interval limit is dropped. The limit
    // is 66 ms, or 1.5 frame durations of the connected input when that is longer: a camera at 15
    // frames per second delivers 66.7 ms apart, and a fixed 66 ms would drop every one of its frames.
    static constexpr REFERENCE_TIME kFrameInterval = 660000; // 66 ms, 100 ns units

private:
    CExpansionFilter(LPUNKNOWN pUnk, HRESULT* phr);
    bool createRenderWindow();
    // The frame-interval limit for an input of this frame duration (0 when the type declares none).
    static REFERENCE_TIME FrameIntervalLimit(REFERENCE_TIME avgTimePerFrame);

    HWND renderWindow = nullptr;
    COrbExpander* engine = nullptr;
    VIDEOINFOHEADER inputHeader{};
    // Taken after the base's receive lock; only the engine's settings lock is taken under it.
    CCritSec engineLock;
    IReferenceClock* referenceClock = nullptr;
    REFERENCE_TIME lastFrameTime = 0;
    REFERENCE_TIME frameIntervalLimit = kFrameInterval; // 100 ns; set when the input connects
    BOOL errorShown = FALSE;
    bool comInitialised = false; // CoUninitialize only what CoInitialize opened
};

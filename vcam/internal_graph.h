// CInternalGraph: the private DirectShow graph that produces the virtual camera's pictures,
//   camera "TELMAR ZK900 4K" (MJPG) -> MJPEG decompressor -> expansion filter "ZK900 4K Expander"
//   -> sample grabber (keeps the last frame) -> null renderer,
// and the road of the view settings to the expansion filter through IOrbExpFilter.
//
// States: -1 not built or failed, 0 built (CreateGraph), 1 running (StartGraph). A failure in either
// returns to -1; only a new CreateGraph leaves -1.
//
// Threads and locks. Application threads build, start and steer the graph; they are serialised by the
// build lock. The virtual camera pin's worker thread runs FillBuffer, which copies the grabber's last
// frame under the frame mutex; the teardown, and every change of what FillBuffer reads (grabber,
// frame buffer), happen under the same mutex, so a frame is never copied from a graph being released.
// Building and starting otherwise run without the mutex: FillBuffer meanwhile sees no grabber, or a
// grabber without a frame, and answers grey. Lock order: build lock, then frame mutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include <dshow.h>
#include <qedit.h>
#include <streams.h>

class CInternalGraph {
public:
    CInternalGraph();
    virtual ~CInternalGraph();
    CInternalGraph(const CInternalGraph&) = delete;
    CInternalGraph& operator=(const CInternalGraph&) = delete;

    // Tears down what there was and builds the graph afresh: finds the expansion filter and the camera
    // by their friendly names, creates the decompressor, grabber and renderer, adds them all, and
    // reads the camera's capabilities into the format list. Nothing is connected yet.
    HRESULT CreateGraph();
    // Sets the camera format (when given; else the camera keeps its own), connects the chain and runs
    // it until the first frame reaches the grabber. E_FAIL unless the graph is built and not running.
    HRESULT StartGraph(AM_MEDIA_TYPE* format);
    // Fills an application sample with the latest frame, or mid grey (every byte 128) while there is
    // none, and stamps it with the next 1/30 s slot.
    HRESULT FillBuffer(IMediaSample* sample);

    // View settings for the expansion filter; E_FAIL when there is none. Unfold modes are the virtual
    // camera's (orbe_src_gen.h).
    HRESULT SetUnfoldMode(int32_t mode);
    HRESULT SetViewPosABS(float horizontal, float vertical);
    HRESULT SetScaleABS(float scale);
    HRESULT SetLensDirection(int32_t flag);

    // The IOrbExpFilter index for a virtual-camera unfold mode.
    static int FilterModeIndex(int32_t mode);

    // One camera capability: its media type (owned) and its stream capabilities.
    struct FormatEntry {
        AM_MEDIA_TYPE* mediaType;
        VIDEO_STREAM_CONFIG_CAPS caps;
    };
    // Copies of the camera's capabilities' media types, in the camera's order.
    std::vector<CMediaType> Formats();
    int State();
    // The filter graph, with a reference, for diagnostics (a benchmark watches the grabber); E_FAIL
    // while there is none.
    HRESULT GetGraph(IGraphBuilder** graph);

private:
    void teardown();
    HRESULT connectFilters(IBaseFilter* source, IBaseFilter* destination);
    HRESULT findUnConnectedPin(IBaseFilter* filter, IPin** pin);
    HRESULT matchPin(IPin* pin, bool* matches);
    HRESULT findFilter(REFCLSID category, const wchar_t* name, IBaseFilter** filter);
    HRESULT runGB();
    void readFormats();
    // With the frame mutex held: the sample's bytes from the frame buffer, the rest grey.
    HRESULT copyFrame(BYTE* data, long size);

    int32_t m_state = -1;
    IGraphBuilder* m_graphBuilder = nullptr;
    ICaptureGraphBuilder2* m_captureBuilder = nullptr;
    IBaseFilter* m_camera = nullptr;
    IBaseFilter* m_decompressor = nullptr;
    IBaseFilter* m_expander = nullptr;
    IBaseFilter* m_grabberFilter = nullptr;
    IBaseFilter* m_nullRenderer = nullptr;
    ISampleGrabber* m_grabber = nullptr; // read by FillBuffer: changed only under the frame mutex
    CMediaType m_grabberType;
    IAMStreamConfig* m_streamConfig = nullptr;
    IMediaControl* m_mediaControl = nullptr;
    std::vector<BYTE> m_frameBuffer;         // the grabber's frame as last copied; under the frame mutex
    std::atomic<uint32_t> m_frameCounter{0}; // samples filled, by every camera of the process
    std::vector<FormatEntry> m_formats;
    HANDLE m_mutex = nullptr; // the frame mutex (unnamed)
    CCritSec m_buildLock;     // application threads: build, start, settings, formats
};

#include "vcam/internal_graph.h"

#include <cstring>
#include <cwchar>

#include <oleauto.h>
#include <strsafe.h>

#include "filter/expansion_filter.h"
#include "platform/win32/stage_times.h"
#include "vcam/vcam_exception.h"
#include "vcam/vcam_log.h"

namespace {

constexpr wchar_t kExpanderName[] = L"ZK900 4K Expander";
constexpr wchar_t kCameraName[] = L"TELMAR ZK900 4K";
constexpr DWORD kFrameMutexWait = 5000; // ms
constexpr int kRunAttempts = 10;
constexpr LONG kRunStateWait = 500; // ms
constexpr int kFirstFrameAttempts = 100;
constexpr DWORD kFirstFramePoll = 100;            // ms
constexpr REFERENCE_TIME kFrameDuration = 333333; // 100 ns: 30 frames per second
constexpr BYTE kGrey = 128;

// IOrbExpFilter index of each virtual-camera unfold mode 0 to 10; other modes give the inverted dome.
constexpr int kFilterModeIndex[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 6, 9};
constexpr int kInvertedDomeIndex = 6;

template <class T>
void SafeRelease(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Holds the frame mutex for a scope. The wait gives up after 5 s and the work goes on: a stuck
// holder must not stop the camera's samples for good.
class FrameMutexHold {
public:
    explicit FrameMutexHold(HANDLE mutex) : mutex_(mutex) {
        const DWORD result = WaitForSingleObject(mutex_, kFrameMutexWait);
        owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    ~FrameMutexHold() {
        if (owned_) ReleaseMutex(mutex_);
    }
    FrameMutexHold(const FrameMutexHold&) = delete;
    FrameMutexHold& operator=(const FrameMutexHold&) = delete;

private:
    HANDLE mutex_;
    bool owned_ = false;
};

} // namespace

CInternalGraph::CInternalGraph() {
    m_grabberType.SetType(&MEDIATYPE_Video);
    m_grabberType.SetSubtype(&MEDIASUBTYPE_RGB32);
    m_mutex = CreateMutexW(nullptr, FALSE, nullptr);
    VCamLog("CInternalGraph::CInternalGraph", 11, "constructed\n");
}

CInternalGraph::~CInternalGraph() {
    {
        CAutoLock lock(&m_buildLock);
        teardown();
    }
    if (m_mutex) CloseHandle(m_mutex);
    VCamLog("CInternalGraph::~CInternalGraph", 40, "destructed\n");
}

void CInternalGraph::teardown() {
    FrameMutexHold hold(m_mutex);
    if (m_mediaControl) m_mediaControl->Stop();
    SafeRelease(m_mediaControl);
    SafeRelease(m_nullRenderer);
    SafeRelease(m_grabber);
    SafeRelease(m_grabberFilter);
    SafeRelease(m_expander);
    SafeRelease(m_decompressor);
    SafeRelease(m_streamConfig);
    SafeRelease(m_camera);
    SafeRelease(m_captureBuilder);
    SafeRelease(m_graphBuilder);
    m_frameBuffer = std::vector<BYTE>();
    for (FormatEntry& entry : m_formats) DeleteMediaType(entry.mediaType);
    m_formats.clear();
}

HRESULT CInternalGraph::CreateGraph() {
    static constexpr char kTag[] = "CInternalGraph::CreateGraph";
    CAutoLock lock(&m_buildLock);
    VCamLog(kTag, 45, "called:0x%08X\n", unsigned(reinterpret_cast<uintptr_t>(this)));
    try {
        teardown();
        ThrowIfFailed(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                       reinterpret_cast<void**>(&m_graphBuilder)),
                      kTag, 50);
        ThrowIfFailed(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICaptureGraphBuilder2,
                                       reinterpret_cast<void**>(&m_captureBuilder)),
                      kTag, 51);
        ThrowIfFailed(m_captureBuilder->SetFiltergraph(m_graphBuilder), kTag, 52);
        ThrowIfFailed(findFilter(CLSID_LegacyAmFilterCategory, kExpanderName, &m_expander), kTag, 54);
        ThrowIfFailed(findFilter(CLSID_VideoInputDeviceCategory, kCameraName, &m_camera), kTag, 59);
        ThrowIfFailed(m_captureBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_camera,
                                                      IID_IAMStreamConfig,
                                                      reinterpret_cast<void**>(&m_streamConfig)),
                      kTag, 63);
        ThrowIfFailed(CoCreateInstance(CLSID_MjpegDec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       reinterpret_cast<void**>(&m_decompressor)),
                      kTag, 66);
        ThrowIfFailed(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       reinterpret_cast<void**>(&m_grabberFilter)),
                      kTag, 69);
        ISampleGrabber* grabber = nullptr;
        ThrowIfFailed(m_grabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grabber)),
                      kTag, 70);
        {
            FrameMutexHold hold(m_mutex);
            m_grabber = grabber;
        }
        ThrowIfFailed(m_grabber->SetOneShot(FALSE), kTag, 71);
        ThrowIfFailed(m_grabber->SetBufferSamples(TRUE), kTag, 72);
        FreeMediaType(m_grabberType); // the connected type of a graph built before, with its format
        m_grabberType.InitMediaType();
        m_grabberType.SetType(&MEDIATYPE_Video);
        m_grabberType.SetSubtype(&MEDIASUBTYPE_RGB32);
        ThrowIfFailed(m_grabber->SetMediaType(&m_grabberType), kTag, 76);
        ThrowIfFailed(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       reinterpret_cast<void**>(&m_nullRenderer)),
                      kTag, 79);
        ThrowIfFailed(m_graphBuilder->AddFilter(m_camera, L"CaptureDevice"), kTag, 82);
        ThrowIfFailed(m_graphBuilder->AddFilter(m_expander, L"ZK900 4K Expander"), kTag, 83);
        ThrowIfFailed(m_graphBuilder->AddFilter(m_decompressor, L"MJPGDecompressor"), kTag, 84);
        ThrowIfFailed(m_graphBuilder->AddFilter(m_grabberFilter, L"SampleGrabber"), kTag, 85);
        ThrowIfFailed(m_graphBuilder->AddFilter(m_nullRenderer, L"NullRenderer"), kTag, 86);
        readFormats();
        m_state = 0;
        return S_OK;
    } catch (const CVCamException& e) {
        e.Print();
        m_state = -1;
        teardown();
        return e.hr;
    }
}

void CInternalGraph::readFormats() {
    int count = 0, size = 0;
    ThrowIfFailed(m_streamConfig->GetNumberOfCapabilities(&count, &size), "CInternalGraph::CreateGraph", 90);
    if (size != int(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return;
    for (int i = 0; i < count; ++i) {
        FormatEntry entry{};
        // A capability the camera cannot describe is kept as an empty entry, so that indexes stay the
        // camera's own.
        if (FAILED(m_streamConfig->GetStreamCaps(i, &entry.mediaType, reinterpret_cast<BYTE*>(&entry.caps))))
            entry.mediaType = nullptr;
        m_formats.push_back(entry);
    }
}

HRESULT CInternalGraph::StartGraph(AM_MEDIA_TYPE* format) {
    static constexpr char kTag[] = "CInternalGraph::StartGraph";
    CAutoLock lock(&m_buildLock);
    if (m_state != 0) return E_FAIL;
    try {
        if (format) ThrowIfFailed(m_streamConfig->SetFormat(format), kTag, 122);
        ThrowIfFailed(connectFilters(m_camera, m_decompressor), kTag, 126);
        ThrowIfFailed(connectFilters(m_decompressor, m_expander), kTag, 127);
        ThrowIfFailed(connectFilters(m_expander, m_grabberFilter), kTag, 128);
        ThrowIfFailed(connectFilters(m_grabberFilter, m_nullRenderer), kTag, 129);
        ThrowIfFailed(runGB(), kTag, 131);
        m_state = 1;
        return S_OK;
    } catch (const CVCamException& e) {
        e.Print();
        m_state = -1;
        return e.hr;
    }
}

HRESULT CInternalGraph::runGB() {
    static constexpr char kTag[] = "CInternalGraph::runGB";
    try {
        if (m_mediaControl) m_mediaControl->Stop();
        SafeRelease(m_mediaControl);
        ThrowIfFailed(
            m_graphBuilder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_mediaControl)),
            kTag, 325);
        for (int attempt = 0; attempt < kRunAttempts; ++attempt) {
            const HRESULT hr = m_mediaControl->Run();
            ThrowIfFailed(hr, kTag, 341);
            if (hr == S_OK) break;
            OAFilterState state;
            m_mediaControl->GetState(kRunStateWait, &state);
        }
        long size = 0;
        HRESULT last = S_OK;
        bool framed = false;
        for (int attempt = 0; attempt < kFirstFrameAttempts && !framed; ++attempt) {
            Sleep(kFirstFramePoll);
            last = m_grabber->GetCurrentBuffer(&size, nullptr);
            framed = SUCCEEDED(last) && size > 0;
        }
        if (!framed) {
            ThrowIfFailed(last, kTag, 359);
            ThrowIfFailed(E_FAIL, kTag, 362);
        }
        FrameMutexHold hold(m_mutex);
        try {
            m_frameBuffer.assign(size_t(size), kGrey);
        } catch (const std::bad_alloc&) {
            ThrowIfFailed(E_OUTOFMEMORY, kTag, 367);
        }
        ThrowIfFailed(m_grabber->GetCurrentBuffer(&size, reinterpret_cast<long*>(m_frameBuffer.data())), kTag,
                      370);
        // The type read at an earlier start (before a resolution change) holds a format block of its own.
        FreeMediaType(m_grabberType);
        ThrowIfFailed(m_grabber->GetConnectedMediaType(&m_grabberType), kTag, 371);
        return S_OK;
    } catch (const CVCamException& e) {
        e.Print();
        return e.hr;
    }
}

HRESULT CInternalGraph::connectFilters(IBaseFilter* source, IBaseFilter* destination) {
    static constexpr char kTag[] = "CInternalGraph::connectFilters";
    try {
        if (!source || !destination) ThrowIfFailed(E_POINTER, kTag, 423);
        IEnumPins* pins = nullptr;
        ThrowIfFailed(source->EnumPins(&pins), kTag, 423);
        HRESULT hr = E_FAIL;
        IPin* out = nullptr;
        while (pins->Next(1, &out, nullptr) == S_OK) {
            IPin* in = nullptr;
            if (SUCCEEDED(findUnConnectedPin(destination, &in))) {
                hr = m_graphBuilder->Connect(out, in);
                in->Release();
            }
            out->Release();
            if (SUCCEEDED(hr)) break;
        }
        pins->Release();
        return hr;
    } catch (const CVCamException& e) {
        e.Print();
        return e.hr;
    }
}

HRESULT CInternalGraph::findUnConnectedPin(IBaseFilter* filter, IPin** found) {
    static constexpr char kTag[] = "CInternalGraph::findUnConnectedPin";
    *found = nullptr;
    IEnumPins* pins = nullptr;
    try {
        ThrowIfFailed(filter->EnumPins(&pins), kTag, 479);
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            bool matches = false;
            const HRESULT hr = matchPin(pin, &matches);
            if (FAILED(hr)) pin->Release();
            ThrowIfFailed(hr, kTag, 482);
            if (matches) {
                *found = pin;
                pins->Release();
                return S_OK;
            }
            pin->Release();
        }
        pins->Release();
        return VFW_E_NOT_FOUND;
    } catch (const CVCamException& e) {
        if (pins) pins->Release();
        e.Print();
        return e.hr;
    }
}

HRESULT CInternalGraph::matchPin(IPin* pin, bool* matches) {
    static constexpr char kTag[] = "CInternalGraph::matchPin";
    *matches = false;
    try {
        IPin* peer = nullptr;
        const HRESULT hr = pin->ConnectedTo(&peer);
        if (peer) peer->Release();
        if (hr == VFW_E_NOT_CONNECTED) {
            PIN_DIRECTION direction;
            ThrowIfFailed(pin->QueryDirection(&direction), kTag, 509);
            *matches = direction == PINDIR_INPUT;
        } else {
            ThrowIfFailed(hr, kTag, 507);
        }
        return S_OK;
    } catch (const CVCamException& e) {
        e.Print();
        return e.hr;
    }
}

HRESULT CInternalGraph::findFilter(REFCLSID category, const wchar_t* name, IBaseFilter** filter) {
    static constexpr char kTag[] = "CInternalGraph::findFilter";
    ICreateDevEnum* devices = nullptr;
    IEnumMoniker* monikers = nullptr;
    IMoniker* moniker = nullptr;
    IPropertyBag* bag = nullptr;
    VARIANT friendly;
    VariantInit(&friendly);
    auto release = [&] {
        VariantClear(&friendly);
        SafeRelease(bag);
        SafeRelease(moniker);
        SafeRelease(monikers);
        SafeRelease(devices);
    };
    try {
        ThrowIfFailed(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICreateDevEnum, reinterpret_cast<void**>(&devices)),
                      kTag, 554);
        ThrowIfFailed(devices->CreateClassEnumerator(category, &monikers, 0), kTag, 555);
        while (monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
            ThrowIfFailed(
                moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)),
                kTag, 561);
            ThrowIfFailed(bag->Read(L"FriendlyName", &friendly, nullptr), kTag, 563);
            wchar_t buffer[240];
            ThrowIfFailed(StringCchCopyW(buffer, 240, friendly.vt == VT_BSTR ? friendly.bstrVal : L""), kTag,
                          564);
            ThrowIfFailed(VariantClear(&friendly), kTag, 565);
            SafeRelease(bag);
            if (std::wcscmp(buffer, name) == 0) {
                ThrowIfFailed(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                    reinterpret_cast<void**>(filter)),
                              kTag, 568);
                break;
            }
            SafeRelease(moniker);
        }
        release();
        return S_OK;
    } catch (const CVCamException& e) {
        release();
        e.Print();
        return e.hr;
    }
}

HRESULT CInternalGraph::FillBuffer(IMediaSample* sample) {
    static constexpr char kTag[] = "CInternalGraph::FillBuffer";
    if (!sample) return E_POINTER;
    BYTE* data = nullptr;
    HRESULT result = sample->GetPointer(&data);
    const long size = sample->GetSize();
    if (SUCCEEDED(result) && data) {
        FrameMutexHold hold(m_mutex);
        platform::StageTimer timer(platform::Stage::Copy);
        long frameSize = 0;
        if (!m_grabber || FAILED(m_grabber->GetCurrentBuffer(&frameSize, nullptr))) {
            std::memset(data, kGrey, size_t(size));
        } else {
            try {
                // The buffer grows with the frame: a frame larger than the first is still copied whole.
                if (size_t(frameSize) > m_frameBuffer.size()) m_frameBuffer.resize(size_t(frameSize), kGrey);
                frameSize = long(m_frameBuffer.size());
                ThrowIfFailed(
                    m_grabber->GetCurrentBuffer(&frameSize, reinterpret_cast<long*>(m_frameBuffer.data())),
                    kTag, 166);
                result = copyFrame(data, size);
            } catch (const std::bad_alloc&) {
                CVCamException{kTag, 166, E_OUTOFMEMORY}.Print();
                std::memset(data, kGrey, size_t(size));
                result = E_OUTOFMEMORY;
            } catch (const CVCamException& e) {
                e.Print();
                std::memset(data, kGrey, size_t(size));
                result = e.hr;
            }
        }
    }
    REFERENCE_TIME start = REFERENCE_TIME(m_frameCounter.fetch_add(1)) * kFrameDuration;
    REFERENCE_TIME stop = start + kFrameDuration;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    return result;
}

HRESULT CInternalGraph::copyFrame(BYTE* data, long size) {
    const size_t wanted = size_t(size);
    const size_t copied = wanted < m_frameBuffer.size() ? wanted : m_frameBuffer.size();
    std::memcpy(data, m_frameBuffer.data(), copied);
    // A sample larger than the frame (an application's own format) is grey past the frame.
    std::memset(data + copied, kGrey, wanted - copied);
    return S_OK;
}

int CInternalGraph::FilterModeIndex(int32_t mode) {
    const uint32_t m = uint32_t(mode);
    return m < std::size(kFilterModeIndex) ? kFilterModeIndex[m] : kInvertedDomeIndex;
}

namespace {

// Runs one call on the expander's IOrbExpFilter; S_OK unless there is no expander.
template <class Call>
HRESULT WithOrbExpFilter(IBaseFilter* expander, const char* tag, int queryLine, int callLine, Call call) {
    if (!expander) return E_FAIL;
    IOrbExpFilter* control = nullptr;
    const HRESULT hr = expander->QueryInterface(IID_IOrbExpFilter, reinterpret_cast<void**>(&control));
    if (FAILED(hr)) {
        CVCamException{tag, queryLine, hr}.Print();
        return S_OK;
    }
    const HRESULT result = call(control);
    if (FAILED(result) && callLine) CVCamException{tag, callLine, result}.Print();
    control->Release();
    return S_OK;
}

} // namespace

HRESULT CInternalGraph::SetUnfoldMode(int32_t mode) {
    CAutoLock lock(&m_buildLock);
    return WithOrbExpFilter(m_expander, "CInternalGraph::SetUnfoldMode", 211, 0,
                            [&](IOrbExpFilter* f) { return f->SetUnfoldMode(FilterModeIndex(mode)); });
}

HRESULT CInternalGraph::SetViewPosABS(float horizontal, float vertical) {
    CAutoLock lock(&m_buildLock);
    return WithOrbExpFilter(m_expander, "CInternalGraph::SetViewPosABS", 266, 267,
                            [&](IOrbExpFilter* f) { return f->SetViewPosABS(horizontal, vertical); });
}

HRESULT CInternalGraph::SetScaleABS(float scale) {
    CAutoLock lock(&m_buildLock);
    return WithOrbExpFilter(m_expander, "CInternalGraph::SetScaleABS", 285, 286,
                            [&](IOrbExpFilter* f) { return f->SetScaleABS(scale); });
}

HRESULT CInternalGraph::SetLensDirection(int32_t flag) {
    CAutoLock lock(&m_buildLock);
    return WithOrbExpFilter(m_expander, "CInternalGraph::SetLensDirection", 304, 305,
                            [&](IOrbExpFilter* f) { return f->SetLensDirection(flag != 0 ? 1 : 0); });
}

std::vector<CMediaType> CInternalGraph::Formats() {
    CAutoLock lock(&m_buildLock);
    std::vector<CMediaType> formats;
    formats.reserve(m_formats.size());
    for (const FormatEntry& entry : m_formats) {
        if (entry.mediaType)
            formats.emplace_back(*entry.mediaType);
        else
            formats.emplace_back();
    }
    return formats;
}

int CInternalGraph::State() {
    CAutoLock lock(&m_buildLock);
    return m_state;
}

HRESULT CInternalGraph::GetGraph(IGraphBuilder** graph) {
    if (!graph) return E_POINTER;
    CAutoLock lock(&m_buildLock);
    *graph = m_graphBuilder;
    if (!m_graphBuilder) return E_FAIL;
    m_graphBuilder->AddRef();
    return S_OK;
}

// bench_decode [CLIP] [--frames N]: the MJPEG decompressor on a recorded clip (default: the sample
// camera's 1440 x 1440 clip), one core.
//
// A push source hands each JPEG frame of the clip to the system's MJPEG Decompressor, which decodes it
// into its RGB32 output sample and passes it to a null renderer with no clock. Each delivery is timed;
// the process is bound to one CPU first, so the figure is the decoder's cost on one core. Prints the
// median and the spread, then `decode_ms=<median>`.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dshow.h>
#include <mmsystem.h>
#include <qedit.h>
#include <streams.h>

#include "platform/dshow/camera/jpeg_clip.h"
#include "platform/win32/com_ptr.h"

namespace {

using platform::ComPtr;

// A filter with one output pin of a fixed MJPG type that delivers what it is given.
class PushSource final : public CBaseFilter {
public:
    class Pin final : public CBaseOutputPin {
    public:
        explicit Pin(PushSource* f) : CBaseOutputPin(L"push pin", f, &f->lock_, L"Out"), source_(f) {}
        HRESULT CheckMediaType(const CMediaType* pmt) override {
            return *pmt == source_->type_ ? S_OK : S_FALSE;
        }
        HRESULT GetMediaType(int i, CMediaType* pmt) override {
            if (i < 0) return E_INVALIDARG;
            if (i > 0) return VFW_S_NO_MORE_ITEMS;
            return pmt->Set(source_->type_);
        }
        HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
            ALLOCATOR_PROPERTIES want = *req, got{};
            want.cBuffers = 2;
            want.cbBuffer = long(source_->type_.GetSampleSize());
            return alloc->SetProperties(&want, &got);
        }

    private:
        PushSource* source_;
    };

    explicit PushSource(const CMediaType& type)
        : CBaseFilter(L"push source", nullptr, &lock_, GUID_NULL), type_(type), pin_(this) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    Pin& pin() { return pin_; }

    HRESULT Deliver(const uint8_t* bytes, size_t length) {
        IMediaSample* sample = nullptr;
        HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, bytes, length);
        sample->SetActualDataLength(long(length));
        sample->SetSyncPoint(TRUE);
        hr = pin_.Deliver(sample);
        sample->Release();
        return hr;
    }

private:
    CCritSec lock_;
    CMediaType type_;
    Pin pin_;
};

CMediaType MjpgType(uint32_t width, uint32_t height, size_t maxFrame) {
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_MJPG);
    mt.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    std::memset(vih, 0, sizeof *vih);
    vih->AvgTimePerFrame = 333333;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = LONG(width);
    vih->bmiHeader.biHeight = LONG(height);
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 24;
    vih->bmiHeader.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
    vih->bmiHeader.biSizeImage = DWORD(maxFrame);
    mt.SetSampleSize(ULONG(maxFrame));
    return mt;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> e;
    filter->EnumPins(e.put());
    IPin* pin;
    while (e->Next(1, &pin, nullptr) == S_OK) {
        auto p = ComPtr<IPin>::adopt(pin);
        PIN_DIRECTION dir;
        p->QueryDirection(&dir);
        if (dir == wanted) return p;
    }
    return nullptr;
}

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench_decode: %s (0x%08x)\n", what, unsigned(hr));
    return 1;
}

int Run(const std::string& path, int frames) {
    platform::camera::JpegClip clip;
    std::string error;
    if (!clip.Open(path, error)) {
        std::fprintf(stderr, "bench_decode: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::vector<uint8_t>> jpegs(clip.frameCount());
    for (size_t i = 0; i < jpegs.size(); ++i) {
        jpegs[i].resize(clip.maxFrameBytes());
        size_t length = 0;
        if (!clip.ReadFrame(i, jpegs[i].data(), jpegs[i].size(), length))
            return Fail("cannot read a frame", E_FAIL);
        jpegs[i].resize(length);
    }

    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> decoder, renderer;
    HRESULT hr;
    if (FAILED(hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     graph.putVoid())) ||
        FAILED(hr = CoCreateInstance(CLSID_MjpegDec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     decoder.putVoid())) ||
        FAILED(hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     renderer.putVoid())))
        return Fail("cannot create the graph's objects", hr);
    auto* source = new PushSource(MjpgType(clip.width(), clip.height(), clip.maxFrameBytes()));
    ComPtr<IBaseFilter> sourceFilter(static_cast<IBaseFilter*>(source));
    graph->AddFilter(sourceFilter.get(), L"source");
    graph->AddFilter(decoder.get(), L"MJPEG Decompressor");
    graph->AddFilter(renderer.get(), L"Null Renderer");
    if (FAILED(hr = graph->Connect(&source->pin(), PinOf(decoder.get(), PINDIR_INPUT).get())) ||
        FAILED(hr = graph->Connect(PinOf(decoder.get(), PINDIR_OUTPUT).get(),
                                   PinOf(renderer.get(), PINDIR_INPUT).get())))
        return Fail("cannot connect source -> decoder -> renderer", hr);
    ComPtr<IMediaFilter> mediaFilter;
    ComPtr<IMediaControl> control;
    graph.as(IID_IMediaFilter, mediaFilter);
    graph.as(IID_IMediaControl, control);
    mediaFilter->SetSyncSource(nullptr); // render on arrival
    if (FAILED(hr = control->Run())) return Fail("cannot run the graph", hr);

    // One loop of the clip to warm up, then the timed frames.
    for (const auto& jpeg : jpegs) source->Deliver(jpeg.data(), jpeg.size());
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        const auto& jpeg = jpegs[size_t(i) % jpegs.size()];
        auto start = std::chrono::steady_clock::now();
        hr = source->Deliver(jpeg.data(), jpeg.size());
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (hr != S_OK) return Fail("a delivery failed", hr);
    }
    control->Stop();
    graph = nullptr; // disconnects the filters before the source goes

    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("clip %s: %u x %u, %zu frames, %d timed on one core\n", path.c_str(), clip.width(),
                clip.height(), jpegs.size(), frames);
    std::printf("decode: median %.3f ms, 10%% %.3f ms, 90%% %.3f ms, %.1f frames per second\n", median,
                ms[ms.size() / 10], ms[ms.size() * 9 / 10], 1000.0 / median);
    std::printf("decode_ms=%.3f\n", median);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string path = UNFOLD_SAMPLE_CLIP;
    int frames = 300;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::max(1, std::atoi(argv[++i]));
        } else if (argv[i][0] != '-') {
            path = argv[i];
        } else {
            std::fprintf(stderr, "usage: bench_decode [CLIP] [--frames N]\n");
            return 2;
        }
    }
    // One core for the whole process, before COM starts any thread.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
    sched_setaffinity(0, sizeof one, &one);

    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return Fail("cannot start COM", E_FAIL);
    int code = Run(path, frames);
    CoUninitialize();
    return code;
}

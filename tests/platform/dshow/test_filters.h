// Test peers built on the base classes: a scripted video source, a push source with its own worker,
// a recording sink, a counting allocator, a pass-through transform that drops chosen frames, and an
// RGB24 to RGB32 converter (the test server module registers the converter). They record; the tests
// assert.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <streams.h>

namespace testfilters {

// {5A0B0C11-7E21-4C3D-8F40-1A2B3C4D5E01}
DEFINE_GUID(CLSID_TestConverter, 0x5a0b0c11, 0x7e21, 0x4c3d, 0x8f, 0x40, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x01);
inline const WCHAR kConverterName[] = L"Unfold Test Converter";

inline CMediaType VideoType(const GUID& subtype, LONG width, LONG height) {
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_VideoInfo);
    WORD bits = subtype == MEDIASUBTYPE_RGB24 ? 24 : 32;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = bits;
    vih->bmiHeader.biSizeImage = DIBSIZE(vih->bmiHeader);
    vih->AvgTimePerFrame = 333333;
    mt.SetSampleSize(vih->bmiHeader.biSizeImage);
    return mt;
}

// A camera's MJPG stream: frames of width x height every frameTime (100 ns units), each at most the
// size of the picture in 24-bit RGB.
inline CMediaType MjpgType(LONG width, LONG height, REFERENCE_TIME frameTime) {
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_MJPG);
    mt.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->AvgTimePerFrame = frameTime;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 24;
    vih->bmiHeader.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
    mt.SetSampleSize(static_cast<ULONG>(width * height * 3));
    return mt;
}

// Keeps a new filter alive for a test and releases it at the end.
template <class T>
struct Held {
    T* p;
    explicit Held(T* object) : p(object) { p->AddRef(); }
    ~Held() { p->Release(); }
    T* operator->() const { return p; }
    IBaseFilter* filter() const { return p; }
};

class CountingAllocator : public CMemAllocator {
public:
    CountingAllocator() : CMemAllocator(L"Counting allocator", nullptr) {}
    STDMETHODIMP GetBuffer(IMediaSample** pp, REFERENCE_TIME* start, REFERENCE_TIME* end,
                           DWORD flags) override {
        HRESULT hr = CMemAllocator::GetBuffer(pp, start, end, flags);
        if (SUCCEEDED(hr)) ++taken, ++outstanding;
        return hr;
    }
    STDMETHODIMP ReleaseBuffer(IMediaSample* sample) override {
        --outstanding;
        return CMemAllocator::ReleaseBuffer(sample);
    }
    int taken = 0;
    int outstanding = 0;
};

class TestSource : public CBaseFilter {
public:
    class Pin : public CBaseOutputPin {
    public:
        Pin(TestSource* f) : CBaseOutputPin(L"source pin", f, &f->lock_, L"Out"), source_(f) {}
        HRESULT CheckMediaType(const CMediaType* pmt) override {
            return *pmt == source_->type_ ? S_OK : S_FALSE;
        }
        HRESULT GetMediaType(int i, CMediaType* pmt) override {
            if (i < 0) return E_INVALIDARG;
            if (i > 0) return VFW_S_NO_MORE_ITEMS;
            return pmt->Set(source_->type_);
        }
        HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
            ALLOCATOR_PROPERTIES want = *req, got;
            want.cBuffers = 2;
            want.cbBuffer = static_cast<long>(source_->type_.GetSampleSize());
            return alloc->SetProperties(&want, &got);
        }

    private:
        TestSource* source_;
    };

    TestSource(const CMediaType& type)
        : CBaseFilter(L"Test source", nullptr, &lock_, GUID_NULL), type_(type), pin_(this) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    Pin& pin() { return pin_; }

    // Fills a buffer with `fill` (each byte plus its offset mod 251) and delivers it, as a streaming thread.
    HRESULT Deliver(BYTE fill, REFERENCE_TIME start) {
        IMediaSample* sample = nullptr;
        HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* data;
        sample->GetPointer(&data);
        long size = sample->GetSize();
        // One period of the pattern, then doubling copies of whole periods: a large frame is filled in
        // a few copies, so delivering it takes little time even in a sanitizer build.
        const long period = size < 251 ? size : 251;
        for (long i = 0; i < period; ++i) data[i] = static_cast<BYTE>(fill + i);
        for (long n = period; n < size; n *= 2) std::memcpy(data + n, data, size_t(std::min(n, size - n)));
        REFERENCE_TIME stop = start + 333333;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetActualDataLength(size);
        hr = pin_.Deliver(sample);
        sample->Release();
        return hr;
    }

    // Delivers these bytes as one sample (an MJPG frame, say).
    HRESULT DeliverBytes(const std::vector<uint8_t>& bytes, REFERENCE_TIME start) {
        IMediaSample* sample = nullptr;
        HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* data;
        sample->GetPointer(&data);
        std::memcpy(data, bytes.data(), std::min<size_t>(bytes.size(), sample->GetSize()));
        REFERENCE_TIME stop = start + 333333;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetActualDataLength(static_cast<long>(std::min<size_t>(bytes.size(), sample->GetSize())));
        hr = pin_.Deliver(sample);
        sample->Release();
        return hr;
    }

private:
    CCritSec lock_;
    CMediaType type_;
    Pin pin_;
};

// A CSource with one pin "Out" whose worker numbers its frames from 0 (every byte of frame n is n mod
// 256, stamped n x 333333 to (n + 1) x 333333), one every `interval`. A live source's pin is a capture
// pin (IKsPropertySet). FillBuffer answers `failCode` for frame `failAt`; OnThreadCreate answers
// `createCode`.
class TestPushSource : public CSource {
public:
    class Stream : public CSourceStream, public IKsPropertySet {
    public:
        Stream(TestPushSource* f, HRESULT* phr) : CSourceStream(L"push pin", phr, f, L"Out"), source_(f) {}
        DECLARE_IUNKNOWN
        STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
            if (riid == IID_IKsPropertySet && source_->live_)
                return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
            return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
        }
        STDMETHODIMP Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
        STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD size,
                         DWORD* returned) override {
            if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
            if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
            if (!data || size < sizeof(GUID)) return E_UNEXPECTED;
            *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
            if (returned) *returned = sizeof(GUID);
            return S_OK;
        }
        STDMETHODIMP QuerySupported(REFGUID, DWORD, DWORD*) override { return E_NOTIMPL; }

        HRESULT GetMediaType(CMediaType* pmt) override { return pmt->Set(source_->type_); }
        HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
            ALLOCATOR_PROPERTIES want = *req, got;
            want.cBuffers = 2;
            want.cbBuffer = static_cast<long>(source_->type_.GetSampleSize());
            return alloc->SetProperties(&want, &got);
        }
        HRESULT OnThreadCreate() override {
            ++source_->created;
            return source_->createCode;
        }
        HRESULT OnThreadDestroy() override {
            ++source_->destroyed;
            return S_OK;
        }
        HRESULT OnThreadStartPlay() override {
            ++source_->plays;
            return S_OK;
        }
        HRESULT FillBuffer(IMediaSample* sample) override {
            std::this_thread::sleep_for(source_->interval);
            long n = source_->filled++;
            if (n == source_->failAt) return source_->failCode;
            BYTE* data;
            sample->GetPointer(&data);
            std::memset(data, n & 0xFF, sample->GetSize());
            REFERENCE_TIME start = n * 333333, stop = start + 333333;
            sample->SetTime(&start, &stop);
            sample->SetActualDataLength(sample->GetSize());
            return S_OK;
        }

    private:
        TestPushSource* source_;
    };

    TestPushSource(const CMediaType& type, bool live)
        : CSource(L"Push source", nullptr, GUID_NULL), type_(type), live_(live) {
        HRESULT hr = S_OK;
        stream_ = new Stream(this, &hr);
    }
    Stream& pin() { return *stream_; }

    std::atomic<int> created{0}, destroyed{0}, plays{0};
    std::atomic<long> filled{0};
    long failAt = -1;
    HRESULT failCode = S_OK;
    HRESULT createCode = S_OK;
    std::chrono::milliseconds interval{1};

private:
    CMediaType type_;
    bool live_;
    Stream* stream_; // owned by CSource
};

class RecordingSink : public CBaseFilter {
public:
    struct Record {
        std::vector<BYTE> data;
        REFERENCE_TIME start = 0, stop = 0;
        bool discontinuity = false;
    };
    class Pin : public CBaseInputPin {
    public:
        Pin(RecordingSink* f) : CBaseInputPin(L"sink pin", f, &f->lock_, L"In"), sink_(f) {}
        HRESULT CheckMediaType(const CMediaType* pmt) override {
            return pmt->majortype == MEDIATYPE_Video && pmt->subtype == sink_->accepted_ ? S_OK : S_FALSE;
        }
        STDMETHODIMP GetAllocator(IMemAllocator** pp) override {
            if (!sink_->allocator_) return CBaseInputPin::GetAllocator(pp);
            *pp = sink_->allocator_;
            (*pp)->AddRef();
            return S_OK;
        }
        STDMETHODIMP Receive(IMediaSample* s) override {
            HRESULT hr = CBaseInputPin::Receive(s);
            if (hr != S_OK) return hr;
            Record r;
            BYTE* data;
            s->GetPointer(&data);
            r.data.assign(data, data + s->GetActualDataLength());
            s->GetTime(&r.start, &r.stop);
            r.discontinuity = s->IsDiscontinuity() == S_OK;
            std::lock_guard lock(sink_->recordLock_);
            sink_->samples.push_back(std::move(r));
            if (sink_->holdSamples) {
                s->AddRef();
                sink_->held_.push_back(s);
            }
            return S_OK;
        }
        STDMETHODIMP EndOfStream() override {
            ++sink_->endOfStreams;
            return S_OK;
        }
        STDMETHODIMP BeginFlush() override {
            ++sink_->flushes;
            return CBaseInputPin::BeginFlush();
        }
        HRESULT Inactive() override {
            sink_->releaseHeld();
            return CBaseInputPin::Inactive();
        }
        STDMETHODIMP NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double rate) override {
            ++sink_->segments;
            return CBasePin::NewSegment(a, b, rate);
        }

    private:
        RecordingSink* sink_;
    };

    explicit RecordingSink(const GUID& accepted, IMemAllocator* allocator = nullptr)
        : CBaseFilter(L"Recording sink", nullptr, &lock_, GUID_NULL), accepted_(accepted),
          allocator_(allocator), pin_(this) {}
    ~RecordingSink() override { releaseHeld(); }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    Pin& pin() { return pin_; }
    size_t count() {
        std::lock_guard lock(recordLock_);
        return samples.size();
    }
    void releaseHeld() {
        std::lock_guard lock(recordLock_);
        for (IMediaSample* s : held_) s->Release();
        held_.clear();
    }

    // Read them once the stream has stopped (or through count() while it runs).
    std::vector<Record> samples;
    std::atomic<int> endOfStreams{0}, flushes{0}, segments{0};
    // Keeps every sample until the sink stops, so the upstream allocator runs dry.
    bool holdSamples = false;

private:
    std::mutex recordLock_;
    std::vector<IMediaSample*> held_;
    CCritSec lock_;
    GUID accepted_;
    IMemAllocator* allocator_;
    Pin pin_;
};

// Copies RGB32 frames; answers S_FALSE for the frame numbers (from 0) in `drop`.
class PassThrough : public CTransformFilter {
public:
    PassThrough() : CTransformFilter(L"Pass-through", nullptr, GUID_NULL) {}
    HRESULT CheckInputType(const CMediaType* mt) override {
        return mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_RGB32 &&
                       mt->formattype == FORMAT_VideoInfo
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override {
        return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int i, CMediaType* mt) override {
        if (i < 0) return E_INVALIDARG;
        if (i > 0) return VFW_S_NO_MORE_ITEMS;
        return mt->Set(m_pInput->CurrentMediaType());
    }
    HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
        ALLOCATOR_PROPERTIES want = *req, got;
        want.cBuffers = 3;
        want.cbBuffer = static_cast<long>(m_pInput->CurrentMediaType().GetSampleSize());
        HRESULT hr = alloc->SetProperties(&want, &got);
        return FAILED(hr) ? hr : got.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        if (drop.count(frame++)) return S_FALSE;
        BYTE *src, *dst;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        std::memcpy(dst, src, in->GetActualDataLength());
        out->SetActualDataLength(in->GetActualDataLength());
        return S_OK;
    }
    std::set<int> drop;
    int frame = 0;
};

// RGB24 in, RGB32 out at the same size (blue, green, red, 0).
class Converter : public CTransformFilter {
public:
    explicit Converter(LPUNKNOWN pUnk) : CTransformFilter(kConverterName, pUnk, CLSID_TestConverter) {}
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
        auto* f = new (std::nothrow) Converter(pUnk);
        if (!f) *phr = E_OUTOFMEMORY;
        return f;
    }
    HRESULT CheckInputType(const CMediaType* mt) override {
        return mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_RGB24 &&
                       mt->formattype == FORMAT_VideoInfo
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override {
        if (out->subtype != MEDIASUBTYPE_RGB32 || out->formattype != FORMAT_VideoInfo)
            return VFW_E_TYPE_NOT_ACCEPTED;
        auto* a = reinterpret_cast<VIDEOINFOHEADER*>(in->Format());
        auto* b = reinterpret_cast<VIDEOINFOHEADER*>(out->Format());
        return a->bmiHeader.biWidth == b->bmiHeader.biWidth && a->bmiHeader.biHeight == b->bmiHeader.biHeight
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int i, CMediaType* mt) override {
        if (i < 0) return E_INVALIDARG;
        if (i > 0) return VFW_S_NO_MORE_ITEMS;
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(m_pInput->CurrentMediaType().Format());
        *mt = VideoType(MEDIASUBTYPE_RGB32, vih->bmiHeader.biWidth, vih->bmiHeader.biHeight);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* req) override {
        ALLOCATOR_PROPERTIES want = *req, got;
        want.cBuffers = 2;
        want.cbBuffer = static_cast<long>(m_pOutput->CurrentMediaType().GetSampleSize());
        return alloc->SetProperties(&want, &got);
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        BYTE *src, *dst;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        long pixels = in->GetActualDataLength() / 3;
        for (long p = 0; p < pixels; ++p) {
            std::memcpy(dst + 4 * p, src + 3 * p, 3);
            dst[4 * p + 3] = 0;
        }
        out->SetActualDataLength(pixels * 4);
        return S_OK;
    }
};

} // namespace testfilters

// Sample Grabber: passes each sample through unchanged (the same sample goes downstream) and keeps a
// copy of the last one when buffering is on.
//
// Choices where the documentation leaves room:
// - The input pin accepts the types that match the type given to SetMediaType (GUID_NULL fields
//   match anything) and that the downstream pin, when connected, accepts; it proposes no types. The
//   output pin proposes the input's connected type.
// - One-shot: after the first sample the grabber refuses later ones (S_FALSE to upstream), sends end
//   of stream downstream and EC_COMPLETE, so the graph stops delivering.
// - GetCurrentBuffer: E_POINTER for a null size; E_INVALIDARG when not buffering; VFW_E_WRONG_STATE
//   when nothing was buffered yet; with a null buffer it gives the size; E_OUTOFMEMORY when the
//   buffer given is too small.
// Locks: the filter lock, then the buffer lock; the streaming thread takes only the buffer lock.
#include <cstring>
#include <mutex>
#include <vector>

#include <evcode.h>
#include <qedit.h>
#include <vfwmsgs.h>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_input_pin.h"
#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/system_classes.h"
#include "platform/win32/debug.h"
#include "platform/win32/stage_times.h"

namespace platform::dshow {
namespace {

class CSampleGrabber;

class CGrabberInputPin final : public CBaseInputPin {
public:
    CGrabberInputPin(CSampleGrabber* grabber, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

private:
    CSampleGrabber* grabber_;
};

class CGrabberOutputPin final : public CBaseOutputPin {
public:
    CGrabberOutputPin(CSampleGrabber* grabber, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    // The samples that go out are the input's; this pin's allocator is never filled.
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override {
        ALLOCATOR_PROPERTIES request{1, 1, pProp->cbAlign ? pProp->cbAlign : 1, 0}, actual;
        return pAlloc->SetProperties(&request, &actual);
    }

private:
    CSampleGrabber* grabber_;
};

class CSampleGrabber final : public CBaseFilter, public ISampleGrabber {
public:
    explicit CSampleGrabber(LPUNKNOWN pUnk)
        : CBaseFilter(L"SampleGrabber", pUnk, &lock_, CLSID_SampleGrabber), input_(this, &lock_),
          output_(this, &lock_) {}
    ~CSampleGrabber() override {
        if (callback_) callback_->Release();
    }
    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ISampleGrabber) return GetInterface(static_cast<ISampleGrabber*>(this), ppv);
        return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
    }

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override {
        return n == 0 ? static_cast<CBasePin*>(&input_) : n == 1 ? &output_ : nullptr;
    }

    STDMETHODIMP SetOneShot(BOOL OneShot) override {
        std::lock_guard lock(buffer_);
        oneShot_ = OneShot != FALSE;
        return S_OK;
    }
    STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE* pType) override {
        CAutoLock lock(&lock_);
        if (!pType) {
            wanted_.InitMediaType();
            return S_OK;
        }
        return wanted_.Set(*pType);
    }
    STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE* pType) override {
        if (!pType) return E_POINTER;
        return input_.ConnectionMediaType(pType);
    }
    STDMETHODIMP SetBufferSamples(BOOL BufferThem) override {
        std::lock_guard lock(buffer_);
        buffering_ = BufferThem != FALSE;
        return S_OK;
    }
    STDMETHODIMP GetCurrentBuffer(long* pBufferSize, long* pBuffer) override {
        if (!pBufferSize) return E_POINTER;
        std::lock_guard lock(buffer_);
        if (!buffering_) return E_INVALIDARG;
        if (!hasSample_) return VFW_E_WRONG_STATE;
        long size = static_cast<long>(last_.size());
        if (!pBuffer) {
            *pBufferSize = size;
            return S_OK;
        }
        if (*pBufferSize < size) return E_OUTOFMEMORY;
        std::memcpy(pBuffer, last_.data(), last_.size());
        *pBufferSize = size;
        return S_OK;
    }
    STDMETHODIMP GetCurrentSample(IMediaSample** ppSample) override {
        if (ppSample) *ppSample = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetCallback(ISampleGrabberCB* pCallback, long WhichMethodToCallback) override {
        if (pCallback && WhichMethodToCallback != 0 && WhichMethodToCallback != 1) return E_INVALIDARG;
        std::lock_guard lock(buffer_);
        if (pCallback) pCallback->AddRef();
        if (callback_) callback_->Release();
        callback_ = pCallback;
        callbackMethod_ = WhichMethodToCallback;
        return S_OK;
    }

    const CMediaType& wanted() const { return wanted_; }
    CGrabberInputPin& input() { return input_; }
    CGrabberOutputPin& output() { return output_; }

    // On the streaming thread.
    HRESULT grab(IMediaSample* sample) {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        long length = sample->GetActualDataLength();
        ISampleGrabberCB* callback = nullptr;
        long method = 0;
        {
            std::lock_guard lock(buffer_);
            if (oneShot_ && shotTaken_) return S_FALSE;
            shotTaken_ = true;
            if (buffering_ && data && length >= 0) {
                platform::StageTimer timer(platform::Stage::Copy);
                last_.assign(data, data + length);
                hasSample_ = true;
            }
            if ((callback = callback_)) callback->AddRef();
            method = callbackMethod_;
        }
        if (callback) {
            REFERENCE_TIME start = 0, stop = 0;
            sample->GetTime(&start, &stop);
            double seconds = static_cast<double>(start) / 1e7;
            if (method == 0)
                callback->SampleCB(seconds, sample);
            else
                callback->BufferCB(seconds, data, length);
            callback->Release();
        }
        HRESULT hr = output_.IsConnected() ? output_.Deliver(sample) : S_OK;
        bool finished;
        {
            std::lock_guard lock(buffer_);
            finished = oneShot_;
        }
        if (finished) {
            if (output_.IsConnected()) output_.DeliverEndOfStream();
            NotifyEvent(EC_COMPLETE, S_OK, 0);
        }
        return hr;
    }
    void restartShot() {
        std::lock_guard lock(buffer_);
        shotTaken_ = false;
    }

protected:
    HRESULT StartStreaming() override {
        restartShot();
        return S_OK;
    }

private:
    CCritSec lock_;
    CGrabberInputPin input_;
    CGrabberOutputPin output_;
    CMediaType wanted_{&GUID_NULL};
    std::mutex buffer_;
    std::vector<BYTE> last_;
    bool hasSample_ = false;
    bool buffering_ = false;
    bool oneShot_ = false;
    bool shotTaken_ = false;
    ISampleGrabberCB* callback_ = nullptr;
    long callbackMethod_ = 0;
};

CGrabberInputPin::CGrabberInputPin(CSampleGrabber* grabber, CCritSec* lock)
    : CBaseInputPin(L"Grabber input pin", grabber, lock, L"Input"), grabber_(grabber) {}

HRESULT CGrabberInputPin::CheckMediaType(const CMediaType* pmt) {
    const CMediaType& wanted = grabber_->wanted();
    if (wanted.majortype != GUID_NULL && wanted.majortype != pmt->majortype) return VFW_E_TYPE_NOT_ACCEPTED;
    if (wanted.subtype != GUID_NULL && wanted.subtype != pmt->subtype) return VFW_E_TYPE_NOT_ACCEPTED;
    if (wanted.formattype != GUID_NULL && wanted.formattype != pmt->formattype)
        return VFW_E_TYPE_NOT_ACCEPTED;
    IPin* downstream = grabber_->output().GetConnected();
    if (downstream && downstream->QueryAccept(pmt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

STDMETHODIMP CGrabberInputPin::Receive(IMediaSample* pSample) {
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    return grabber_->grab(pSample);
}

STDMETHODIMP CGrabberInputPin::EndOfStream() {
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return grabber_->output().IsConnected() ? grabber_->output().DeliverEndOfStream() : S_OK;
}

STDMETHODIMP CGrabberInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    return grabber_->output().IsConnected() ? grabber_->output().DeliverBeginFlush() : S_OK;
}

STDMETHODIMP CGrabberInputPin::EndFlush() {
    CBaseInputPin::EndFlush();
    return grabber_->output().IsConnected() ? grabber_->output().DeliverEndFlush() : S_OK;
}

STDMETHODIMP CGrabberInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    CBasePin::NewSegment(tStart, tStop, dRate);
    return grabber_->output().IsConnected() ? grabber_->output().DeliverNewSegment(tStart, tStop, dRate)
                                            : S_OK;
}

CGrabberOutputPin::CGrabberOutputPin(CSampleGrabber* grabber, CCritSec* lock)
    : CBaseOutputPin(L"Grabber output pin", grabber, lock, L"Output"), grabber_(grabber) {}

HRESULT CGrabberOutputPin::CheckMediaType(const CMediaType* pmt) {
    CGrabberInputPin& in = grabber_->input();
    if (!in.IsConnected()) return grabber_->input().CheckMediaType(pmt);
    return *pmt == in.CurrentMediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CGrabberOutputPin::GetMediaType(int iPosition, CMediaType* pMediaType) {
    if (iPosition < 0) return E_INVALIDARG;
    CGrabberInputPin& in = grabber_->input();
    if (iPosition > 0 || !in.IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return pMediaType->Set(in.CurrentMediaType());
}

} // namespace

CUnknown* WINAPI CreateSampleGrabber(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CSampleGrabber>(phr, pUnk);
}

} // namespace platform::dshow

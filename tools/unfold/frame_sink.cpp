#include "tools/unfold/frame_sink.h"

#include <cstring>

#include <evcode.h>

#include "platform/win32/stage_times.h"

namespace tools::unfold {
namespace {

const VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& mt) {
    if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

} // namespace

class CFrameSink::SinkPin : public CBaseInputPin {
public:
    SinkPin(CFrameSink* sink) : CBaseInputPin(L"Frame sink input", sink, &sink->m_lock, L"In"), sink_(sink) {}

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        const VIDEOINFOHEADER* vih = VideoHeader(*pmt);
        if (pmt->majortype != MEDIATYPE_Video || !vih || vih->bmiHeader.biWidth <= 0 ||
            vih->bmiHeader.biHeight == 0)
            return VFW_E_TYPE_NOT_ACCEPTED;
        if (pmt->subtype == MEDIASUBTYPE_RGB24 && vih->bmiHeader.biBitCount == 24) return S_OK;
        if (pmt->subtype == MEDIASUBTYPE_RGB32 && vih->bmiHeader.biBitCount == 32) return S_OK;
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    STDMETHODIMP Receive(IMediaSample* sample) override {
        HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK) return hr;
        return sink_->render(sample);
    }
    STDMETHODIMP EndOfStream() override {
        if (HRESULT hr = CheckStreaming(); hr != S_OK) return hr;
        sink_->m_ended = true;
        sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }
    STDMETHODIMP BeginFlush() override {
        sink_->abortWaits(true);
        return CBaseInputPin::BeginFlush();
    }
    STDMETHODIMP EndFlush() override {
        HRESULT hr = CBaseInputPin::EndFlush();
        sink_->abortWaits(false);
        return hr;
    }
    HRESULT Active() override {
        sink_->abortWaits(false);
        return CBaseInputPin::Active();
    }
    HRESULT Inactive() override {
        sink_->abortWaits(true);
        return CBaseInputPin::Inactive();
    }

private:
    CFrameSink* sink_;
};

CFrameSink::CFrameSink(Consumer consumer)
    : CBaseFilter(L"Frame sink", nullptr, &m_lock, GUID_NULL), m_pin(new SinkPin(this)),
      m_consumer(std::move(consumer)) {
    m_due = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CFrameSink::~CFrameSink() {
    m_pin.reset();
    if (m_due) CloseHandle(m_due);
}

CBasePin* CFrameSink::GetPin(int n) {
    return n == 0 ? m_pin.get() : nullptr;
}

IPin* CFrameSink::InputPin() {
    return m_pin.get();
}

CFrameSink::Counts CFrameSink::counts() const {
    return {m_received.load(), m_late.load(), m_repeated.load(), m_ended.load()};
}

void CFrameSink::abortWaits(bool abort) {
    m_aborting = abort;
    if (abort) SetEvent(m_due);
}

bool CFrameSink::waitUntil(REFERENCE_TIME start) {
    IReferenceClock* clock = nullptr;
    REFERENCE_TIME base = 0;
    {
        CAutoLock lock(&m_lock);
        if (m_State != State_Running || !m_pClock) return true; // paused or no clock: at once
        clock = m_pClock;
        clock->AddRef();
        base = m_tStart;
    }
    REFERENCE_TIME now = 0;
    clock->GetTime(&now);
    if (now > base + start) ++m_late;
    // The event also wakes for an abort, or late from an earlier advise: the time is checked again.
    bool go = !m_aborting;
    while (go && now < base + start) {
        DWORD_PTR cookie = 0;
        if (FAILED(clock->AdviseTime(base, start, reinterpret_cast<HEVENT>(m_due), &cookie))) break;
        WaitForSingleObject(m_due, INFINITE);
        clock->Unadvise(cookie);
        go = !m_aborting;
        clock->GetTime(&now);
    }
    clock->Release();
    return go;
}

HRESULT CFrameSink::render(IMediaSample* sample) {
    ReceivedFrame frame;
    {
        CAutoLock lock(&m_lock);
        const VIDEOINFOHEADER* vih = VideoHeader(m_pin->CurrentMediaType());
        if (!vih) return VFW_E_INVALIDMEDIATYPE;
        frame.width = uint32_t(vih->bmiHeader.biWidth);
        frame.height = vih->bmiHeader.biHeight;
        frame.bitsPerPixel = vih->bmiHeader.biBitCount;
    }
    if (FAILED(sample->GetTime(&frame.start, &frame.stop))) frame.start = frame.stop = 0;
    if (!waitUntil(frame.start)) return S_FALSE; // stopping or flushing: the sample is not drawn
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return E_POINTER;
    const long length = sample->GetActualDataLength();
    {
        platform::StageTimer timer(platform::Stage::Copy);
        frame.bits.assign(data, data + (length > 0 ? length : 0));
        frame.repeated = !m_previous.empty() && m_previous == frame.bits;
        m_previous = frame.bits;
    }
    ++m_received;
    if (frame.repeated) ++m_repeated;
    if (m_consumer) m_consumer(std::move(frame));
    return S_OK;
}

} // namespace tools::unfold

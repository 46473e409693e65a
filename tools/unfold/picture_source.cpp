#include "tools/unfold/picture_source.h"

#include <uuids.h>

namespace tools::unfold {

class CPictureSource::Pin : public CBaseOutputPin {
public:
    Pin(CPictureSource* source, CCritSec* lock)
        : CBaseOutputPin(L"Picture", source, lock, L"Out"), m_source(source) {}

    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type == m_source->m_type ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        return type->Set(m_source->m_type);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        ALLOCATOR_PROPERTIES want = *request, got{};
        want.cBuffers = 1;
        want.cbBuffer = long(m_source->m_type.GetSampleSize());
        HRESULT hr = allocator->SetProperties(&want, &got);
        if (FAILED(hr)) return hr;
        return got.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
    }

private:
    CPictureSource* m_source;
};

CPictureSource::CPictureSource(uint32_t width, uint32_t height, int framesPerSecond)
    : CBaseFilter(L"Picture source", nullptr, &m_lock, GUID_NULL) {
    VIDEOINFOHEADER header{};
    header.AvgTimePerFrame = framesPerSecond > 0 ? 10000000 / framesPerSecond : 0;
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = LONG(width);
    header.bmiHeader.biHeight = LONG(height);
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    header.bmiHeader.biSizeImage = width * height * 4;
    m_type.SetType(&MEDIATYPE_Video);
    m_type.SetSubtype(&MEDIASUBTYPE_RGB32);
    m_type.SetFormatType(&FORMAT_VideoInfo);
    m_type.SetFormat(reinterpret_cast<BYTE*>(&header), sizeof header);
    m_type.SetSampleSize(header.bmiHeader.biSizeImage);
    m_type.SetTemporalCompression(FALSE);
    m_pin = new Pin(this, &m_lock);
}

CPictureSource::~CPictureSource() {
    delete m_pin;
}

CBasePin* CPictureSource::GetPin(int n) {
    return n == 0 ? m_pin : nullptr;
}

IPin* CPictureSource::OutputPin() {
    return m_pin;
}

HRESULT CPictureSource::Deliver(const image::Image& picture) {
    const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(m_type.Format());
    if (picture.width() != uint32_t(header->bmiHeader.biWidth) ||
        picture.height() != uint32_t(header->bmiHeader.biHeight))
        return E_INVALIDARG;
    if (!m_pin->IsConnected()) return VFW_E_NOT_CONNECTED;
    IMediaSample* sample = nullptr;
    HRESULT hr = m_pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const uint32_t width = picture.width(), height = picture.height();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = picture.row(height - 1 - y);
        BYTE* out = data + size_t(y) * width * 4;
        for (uint32_t x = 0; x < width; ++x) {
            out[4 * x] = in[4 * x + 2];
            out[4 * x + 1] = in[4 * x + 1];
            out[4 * x + 2] = in[4 * x];
            out[4 * x + 3] = 0;
        }
    }
    sample->SetActualDataLength(long(size_t(width) * height * 4));
    sample->SetSyncPoint(TRUE);
    hr = m_pin->Deliver(sample);
    sample->Release();
    return hr;
}

} // namespace tools::unfold

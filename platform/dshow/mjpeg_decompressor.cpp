// MJPEG Decompressor: MJPG video in, RGB32 out as Windows gives it (bytes blue, green, red, unused;
// bottom-up rows under a positive biHeight; biSizeImage = width x height x 4), decoded by libjpeg-turbo
// straight into the output sample.
//
// Choices where the documentation leaves room:
// - The output pin offers one type, RGB32 at the input's size, and accepts a top-down variant
//   (negative biHeight) as well when downstream asks for it.
// - A frame that does not decode cleanly (corrupt, truncated, or of another size than the connection)
//   is dropped with one warning on the "dshow" channel; the stream goes on with the next frame. A
//   libjpeg warning counts as a failure: a half-decoded picture is never delivered.
// - Frames without Huffman tables, as many USB cameras send them, decode with the standard tables of
//   the JPEG specification, which libjpeg-turbo supplies when a frame defines none.
// Fault injection: "MJPEG Decompressor.Start" makes starting the stream (creating the decoder) fail.
#include <climits>
#include <cstdlib>

#include <turbojpeg.h>

#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/dshow/system_classes.h"
#include "platform/dshow/transform_filter.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform::dshow {
namespace {

// Frames up to 16384 pixels a side, and RGB32 frames that fit a sample's LONG length.
constexpr LONG kMaxSide = 16384;

bool readVideoInfo(const CMediaType* mt, const VIDEOINFOHEADER*& vih) {
    if (mt->formattype != FORMAT_VideoInfo || !mt->Format() || mt->FormatLength() < sizeof(VIDEOINFOHEADER))
        return false;
    vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->Format());
    return true;
}

LONG rgb32Size(LONG width, LONG height) {
    return width * height * 4;
}

class CMjpegDecompressor final : public CTransformFilter {
public:
    explicit CMjpegDecompressor(LPUNKNOWN pUnk)
        : CTransformFilter(L"MJPEG Decompressor", pUnk, CLSID_MjpegDec) {}
    ~CMjpegDecompressor() override {
        if (decoder_) tjDestroy(decoder_);
    }

    HRESULT CheckInputType(const CMediaType* mtIn) override {
        const VIDEOINFOHEADER* vih = nullptr;
        if (mtIn->majortype != MEDIATYPE_Video || mtIn->subtype != MEDIASUBTYPE_MJPG ||
            !readVideoInfo(mtIn, vih))
            return VFW_E_TYPE_NOT_ACCEPTED;
        const BITMAPINFOHEADER& bmi = vih->bmiHeader;
        LONG height = std::labs(bmi.biHeight);
        if (bmi.biWidth <= 0 || bmi.biWidth > kMaxSide || height == 0 || height > kMaxSide ||
            bmi.biWidth > LONG_MAX / 4 / height)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }

    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
        const VIDEOINFOHEADER* in = nullptr;
        if (!readVideoInfo(&m_pInput->CurrentMediaType(), in)) return E_UNEXPECTED;
        LONG width = in->bmiHeader.biWidth, height = std::labs(in->bmiHeader.biHeight);
        pMediaType->InitMediaType();
        pMediaType->SetType(&MEDIATYPE_Video);
        pMediaType->SetSubtype(&MEDIASUBTYPE_RGB32);
        pMediaType->SetFormatType(&FORMAT_VideoInfo);
        pMediaType->SetTemporalCompression(FALSE);
        pMediaType->SetSampleSize(static_cast<ULONG>(rgb32Size(width, height)));
        auto* out =
            reinterpret_cast<VIDEOINFOHEADER*>(pMediaType->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!out) return E_OUTOFMEMORY;
        out->AvgTimePerFrame = in->AvgTimePerFrame;
        out->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        out->bmiHeader.biWidth = width;
        out->bmiHeader.biHeight = height;
        out->bmiHeader.biPlanes = 1;
        out->bmiHeader.biBitCount = 32;
        out->bmiHeader.biCompression = BI_RGB;
        out->bmiHeader.biSizeImage = static_cast<DWORD>(rgb32Size(width, height));
        out->dwBitRate = in->AvgTimePerFrame > 0
                             ? static_cast<DWORD>(std::min<LONGLONG>(LONGLONG(out->bmiHeader.biSizeImage) *
                                                                         8 * 10000000 / in->AvgTimePerFrame,
                                                                     0xFFFFFFFFLL))
                             : 0;
        return S_OK;
    }

    HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override {
        const VIDEOINFOHEADER *in = nullptr, *out = nullptr;
        if (!readVideoInfo(mtIn, in) || mtOut->majortype != MEDIATYPE_Video ||
            mtOut->subtype != MEDIASUBTYPE_RGB32 || !readVideoInfo(mtOut, out))
            return VFW_E_TYPE_NOT_ACCEPTED;
        const BITMAPINFOHEADER& bmi = out->bmiHeader;
        if (bmi.biWidth != in->bmiHeader.biWidth ||
            std::labs(bmi.biHeight) != std::labs(in->bmiHeader.biHeight) || bmi.biBitCount != 32 ||
            bmi.biCompression != BI_RGB)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pprop) override {
        const VIDEOINFOHEADER* out = nullptr;
        if (!readVideoInfo(&m_pOutput->CurrentMediaType(), out)) return E_UNEXPECTED;
        ALLOCATOR_PROPERTIES want = *pprop, got{};
        want.cBuffers = std::max(want.cBuffers, 2L);
        want.cbBuffer = rgb32Size(out->bmiHeader.biWidth, std::labs(out->bmiHeader.biHeight));
        HRESULT hr = pAllocator->SetProperties(&want, &got);
        if (FAILED(hr)) return hr;
        return got.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
    }

    HRESULT StartStreaming() override {
        if (HRESULT hr = InjectedFault("MJPEG Decompressor.Start"); FAILED(hr)) return hr;
        if (!decoder_ && !(decoder_ = tjInitDecompress())) return E_OUTOFMEMORY;
        return S_OK;
    }

    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override {
        const VIDEOINFOHEADER* out = nullptr;
        readVideoInfo(&m_pOutput->CurrentMediaType(), out);
        const LONG width = out->bmiHeader.biWidth, height = std::labs(out->bmiHeader.biHeight);
        BYTE *src = nullptr, *dst = nullptr;
        pIn->GetPointer(&src);
        pOut->GetPointer(&dst);
        const long length = pIn->GetActualDataLength();
        if (!src || !dst || length <= 0) return drop("an empty frame");
        if (pOut->GetSize() < rgb32Size(width, height)) return E_UNEXPECTED;

        if (!decoder_ && !(decoder_ = tjInitDecompress())) return drop("no memory for the decoder");
        int frameWidth = 0, frameHeight = 0, subsampling = 0, colorspace = 0;
        if (tjDecompressHeader3(decoder_, src, static_cast<unsigned long>(length), &frameWidth, &frameHeight,
                                &subsampling, &colorspace) != 0)
            return dropAndReset();
        if (frameWidth != width || frameHeight != height)
            return drop("a frame of another size than the stream's");
        int flags = TJFLAG_STOPONWARNING | (out->bmiHeader.biHeight > 0 ? TJFLAG_BOTTOMUP : 0);
        if (tjDecompress2(decoder_, src, static_cast<unsigned long>(length), dst, width, width * 4, height,
                          TJPF_BGRX, flags) != 0)
            return dropAndReset();
        pOut->SetActualDataLength(rgb32Size(width, height));
        pOut->SetSyncPoint(TRUE);
        return S_OK;
    }

private:
    // The channel is looked up on each drop (drops are rare), not once per process as WARN does, so
    // switching the channel on in a running process takes effect.
    HRESULT drop(const char* why) {
        if (TraceEnabled("dshow"))
            TraceWrite("warn", "dshow", "drop", "MJPEG Decompressor: dropped a corrupt frame (%s)", why);
        return S_FALSE;
    }

    // A TurboJPEG handle whose header read failed keeps a stale state and fails every later frame, so
    // the handle is replaced after any decoding error.
    HRESULT dropAndReset() {
        HRESULT hr = drop(tjGetErrorStr2(decoder_));
        tjDestroy(decoder_);
        decoder_ = tjInitDecompress(); // null when out of memory: the next frame tries again
        return hr;
    }

    tjhandle decoder_ = nullptr; // used on the streaming thread; made by StartStreaming
};

} // namespace

CUnknown* WINAPI CreateMjpegDecompressor(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CMjpegDecompressor>(phr, pUnk);
}

} // namespace platform::dshow

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
// - Each frame decodes as it would on its own. A decoder keeps the tables a frame loads for the frames
//   after it, so it is replaced before a frame that does not load again every table an earlier frame
//   loaded (a frame without Huffman tables after one with tables of its own must get the standard ones,
//   not the earlier frame's). A stream whose frames all carry no tables, or all the same set, keeps
//   one decoder.
// Fault injection: "MJPEG Decompressor.Start" makes starting the stream (creating the decoder) fail.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <turbojpeg.h>

#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "platform/dshow/system_classes.h"
#include "platform/dshow/transform_filter.h"
#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/stage_times.h"

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

// The tables a frame loads into a decoder, one bit each: DC Huffman tables 0-3 (bits 0-3), AC Huffman
// tables 0-3 (bits 4-7) and quantization tables 0-3 (bits 8-11).
constexpr unsigned kHuffmanTables = 0x0FF, kQuantizationTables = 0xF00;

struct FrameTables {
    unsigned beforeScan = 0; // loaded before the first scan, so in place before any data is decoded
    unsigned all = 0;        // loaded anywhere up to the end of the image
    bool progressive = false;
};

// The tables of one DHT segment's body; a malformed body counts as loading every Huffman table (the
// decoder may have loaded any of them before it failed).
unsigned huffmanTablesOf(const BYTE* body, size_t size) {
    unsigned loads = 0;
    for (size_t at = 0; at < size;) {
        if (size - at < 17) return kHuffmanTables;
        const BYTE index = body[at];
        if ((index & ~0x10u) >= 4) return kHuffmanTables;
        size_t codes = 0;
        for (size_t length = 1; length <= 16; ++length) codes += body[at + length];
        at += 17 + codes;
        if (at > size) return kHuffmanTables;
        loads |= 1u << ((index & 0x10 ? 4 : 0) + (index & 0x0F));
    }
    return loads;
}

// The tables of one DQT segment's body; a malformed body counts as loading every quantization table.
unsigned quantizationTablesOf(const BYTE* body, size_t size) {
    unsigned loads = 0;
    for (size_t at = 0; at < size;) {
        const BYTE index = body[at];
        if ((index & 0x0F) >= 4 || (index >> 4) > 1) return kQuantizationTables;
        at += 1 + (index >> 4 ? 128 : 64);
        if (at > size) return kQuantizationTables;
        loads |= 1u << (8 + (index & 0x0F));
    }
    return loads;
}

// Walks a frame's markers as a decoder reads them: segments by their length, entropy-coded data up to
// the next marker (0xFF followed by anything but a stuffed zero or a restart marker), up to the end of
// the image. Only the bytes equal to 0xFF are looked at in entropy-coded data.
FrameTables tablesOf(const BYTE* data, size_t length) {
    FrameTables tables;
    bool scanning = false;
    size_t at = 0;
    while (at < length) {
        const void* next = std::memchr(data + at, 0xFF, length - at);
        if (!next) break;
        at = size_t(static_cast<const BYTE*>(next) - data);
        while (at < length && data[at] == 0xFF) ++at; // fill bytes
        if (at == length) break;
        const BYTE marker = data[at++];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue; // no segment
        if (marker == 0xD9 || length - at < 2) break; // the end of the image: nothing after it is read
        const size_t size = size_t(data[at]) << 8 | data[at + 1];
        if (size < 2) {
            // An application, comment or line-count segment that short ends at its length field: the
            // decoder skips nothing and reads on. Any other segment that short makes it refuse the frame.
            if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE || marker == 0xDC) {
                at += 2;
                continue;
            }
            break;
        }
        const BYTE* body = data + at + 2;
        const size_t available = std::min(size - 2, length - at - 2);
        unsigned loads = 0;
        if (marker == 0xC4)
            loads = size - 2 > available ? kHuffmanTables : huffmanTablesOf(body, available);
        else if (marker == 0xDB)
            loads = size - 2 > available ? kQuantizationTables : quantizationTablesOf(body, available);
        else if (marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE)
            tables.progressive = true;
        tables.all |= loads;
        if (!scanning) tables.beforeScan |= loads;
        if (marker == 0xDA) scanning = true;
        at += size;
    }
    return tables;
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
        platform::StageTimer timer(platform::Stage::Decode);
        const VIDEOINFOHEADER* out = nullptr;
        readVideoInfo(&m_pOutput->CurrentMediaType(), out);
        const LONG width = out->bmiHeader.biWidth, height = std::labs(out->bmiHeader.biHeight);
        BYTE *src = nullptr, *dst = nullptr;
        pIn->GetPointer(&src);
        pOut->GetPointer(&dst);
        const long length = pIn->GetActualDataLength();
        if (!src || !dst || length <= 0) return drop("an empty frame");
        if (pOut->GetSize() < rgb32Size(width, height)) return E_UNEXPECTED;

        // The decoder is replaced when it holds a table an earlier frame loaded that this frame does not
        // load before its first scan. A progressive frame gets a fresh decoder too: only the sequential
        // decoding adds the standard Huffman tables, so a progressive frame without tables must find
        // none.
        const FrameTables tables = tablesOf(src, static_cast<size_t>(length));
        if (decoder_ && ((loaded_ & ~tables.beforeScan) || (tables.progressive && used_))) {
            tjDestroy(decoder_);
            decoder_ = nullptr;
        }
        if (!decoder_) {
            if (!(decoder_ = tjInitDecompress())) return drop("no memory for the decoder");
            loaded_ = 0;
            used_ = false;
        }
        loaded_ |= tables.all;
        used_ = true;
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
        loaded_ = 0;
        used_ = false;
        return hr;
    }

    // Used on the streaming thread; made by StartStreaming.
    tjhandle decoder_ = nullptr;
    unsigned loaded_ = 0; // the tables frames have loaded into decoder_ (bits as in FrameTables)
    bool used_ = false;   // decoder_ has read a frame, so it may hold the standard Huffman tables
};

} // namespace

CUnknown* WINAPI CreateMjpegDecompressor(LPUNKNOWN pUnk, HRESULT* phr) {
    return NewObject<CMjpegDecompressor>(phr, pUnk);
}

} // namespace platform::dshow

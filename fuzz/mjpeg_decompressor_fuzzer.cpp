// The MJPEG Decompressor's frame input: each input is one MJPG frame, delivered as a camera's frames
// arrive to a decompressor connected between a source and a recording sink. A frame the decompressor
// passes on must be whole and the same picture libjpeg-turbo decodes from the frame on its own.
//
// Input: 1 byte choosing the stream (16 x 16, 32 x 32 or 48 x 32, bottom-up), then the frame.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <turbojpeg.h>

#include "platform/dshow/system_classes.h"
#include "tests/platform/dshow/test_filters.h"

namespace {

using testfilters::Held;
using testfilters::RecordingSink;
using testfilters::TestSource;

constexpr ULONG kMaxFrame = 1 << 20;

struct Stream {
    LONG width, height;
    TestSource* source = nullptr;
    IBaseFilter* decoder = nullptr;
    RecordingSink* sink = nullptr;
};

IPin* pinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction == wanted) break;
        pin->Release();
        pin = nullptr;
    }
    pins->Release();
    return pin;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "mjpeg decompressor fuzzer: %s\n", what);
    std::abort();
}

// Source, decompressor and sink of one stream size, connected and paused: they live for the process.
Stream* openStream(LONG width, LONG height) {
    auto* s = new Stream{width, height};
    CMediaType mjpg = testfilters::MjpgType(width, height, 333333);
    mjpg.SetSampleSize(kMaxFrame); // the source's buffers: room for any frame the fuzzer sends
    s->source = new TestSource(mjpg);
    s->source->AddRef();
    s->sink = new RecordingSink(MEDIASUBTYPE_RGB32);
    s->sink->AddRef();
    HRESULT hr = S_OK;
    CUnknown* object = platform::dshow::CreateMjpegDecompressor(nullptr, &hr);
    if (!object || FAILED(hr)) fail("no decompressor");
    object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&s->decoder));
    IPin* in = pinOf(s->decoder, PINDIR_INPUT);
    IPin* out = pinOf(s->decoder, PINDIR_OUTPUT);
    if (!in || !out || s->source->pin().Connect(in, nullptr) != S_OK ||
        out->Connect(&s->sink->pin(), nullptr) != S_OK)
        fail("the stream does not connect");
    in->Release();
    out->Release();
    if (s->sink->Pause() != S_OK || s->decoder->Pause() != S_OK || s->source->Pause() != S_OK)
        fail("the stream does not pause");
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Stream* streams[] = {openStream(16, 16), openStream(32, 32), openStream(48, 32)};
    if (size < 1) return 0;
    Stream& s = *streams[data[0] % 3];
    const uint8_t* frame = data + 1;
    const size_t length = std::min<size_t>(size - 1, kMaxFrame);

    IMediaSample* sample = nullptr;
    if (s.source->pin().GetDeliveryBuffer(&sample, nullptr, nullptr, 0) != S_OK) fail("no buffer");
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (length) std::memcpy(buffer, frame, length);
    REFERENCE_TIME start = 0, stop = 333333;
    sample->SetTime(&start, &stop);
    sample->SetActualDataLength(static_cast<long>(length));
    HRESULT hr = s.source->pin().Deliver(sample);
    sample->Release();
    if (hr != S_OK) fail("a frame was not taken");

    if (s.sink->samples.empty()) return 0;
    const std::vector<BYTE> delivered = std::move(s.sink->samples.back().data);
    s.sink->samples.clear();
    const size_t whole = size_t(s.width) * size_t(s.height) * 4;
    if (delivered.size() != whole) fail("a delivered frame is not whole");
    // A handle of its own for each check: one that failed a frame may fail the next.
    std::vector<BYTE> expected(whole);
    tjhandle reference = tjInitDecompress();
    int refused =
        tjDecompress2(reference, frame, static_cast<unsigned long>(length), expected.data(), s.width,
                      s.width * 4, s.height, TJPF_BGRX, TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING);
    tjDestroy(reference);
    if (refused) fail("a frame libjpeg-turbo refuses was delivered");
    if (delivered != expected) fail("a delivered frame differs from libjpeg-turbo's decode");
    return 0;
}

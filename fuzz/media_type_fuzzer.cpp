// The expansion filter's handling of media types and format blocks: the input pin asked to accept a
// type (CheckInputType), a type set on it and read back, and CheckTransform of two types.
//
// Input: two media types, each as a 56-byte head followed by its format block:
//   3 x 1 byte  major, sub and format type: an index into kGuids, or a raw GUID (16 bytes) when >= 0x80
//   1 byte      fixed-size and temporal-compression flags
//   4 bytes     sample size
//   4 bytes     format block length L (taken modulo what is left)
//   L bytes     the format block
#include <cstdint>
#include <cstring>
#include <vector>

#include <dvdmedia.h>
#include <streams.h>
#include <uuids.h>

#include "filter/expansion_filter.h"

namespace {

const GUID kGuids[] = {GUID_NULL,         MEDIATYPE_Video,  MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24,
                       MEDIASUBTYPE_MJPG, FORMAT_VideoInfo, FORMAT_VideoInfo2};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(byte()) << (8 * i);
        return v;
    }
    GUID guid() {
        uint8_t selector = byte();
        if (selector < 0x80) return kGuids[selector % (sizeof kGuids / sizeof kGuids[0])];
        GUID g;
        uint8_t raw[16];
        for (auto& b : raw) b = byte();
        std::memcpy(&g, raw, sizeof g);
        return g;
    }
    std::vector<BYTE> block(uint32_t length) {
        size_t left = size_ - pos_;
        size_t n = left ? length % (left + 1) : 0;
        std::vector<BYTE> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

CMediaType readType(Reader& r) {
    CMediaType mt;
    mt.majortype = r.guid();
    mt.subtype = r.guid();
    mt.formattype = r.guid();
    uint8_t flags = r.byte();
    mt.bFixedSizeSamples = flags & 1;
    mt.bTemporalCompression = (flags >> 1) & 1;
    mt.lSampleSize = r.u32();
    std::vector<BYTE> format = r.block(r.u32());
    if (!format.empty()) {
        BYTE* block = mt.AllocFormatBuffer(ULONG(format.size()));
        if (block) std::memcpy(block, format.data(), format.size());
    }
    return mt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CExpansionFilter* filter = [] {
        HRESULT hr = S_OK;
        CUnknown* object = CExpansionFilter::CreateInstance(nullptr, &hr);
        object->NonDelegatingAddRef();
        return static_cast<CExpansionFilter*>(object);
    }();
    Reader r(data, size);
    CMediaType in = readType(r), out = readType(r);
    CBasePin* inputPin = filter->GetPin(0);
    inputPin->QueryAccept(&in);
    if (filter->CheckInputType(&in) == S_OK) {
        CMediaType copy;
        copy.Set(in);
        (void)(copy == in);
    }
    filter->CheckTransform(&in, &out);
    inputPin->QueryAccept(&out);
    return 0;
}

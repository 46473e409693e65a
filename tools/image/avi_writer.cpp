#include "tools/image/avi_writer.h"

#include <cstring>

#include "tools/image/image_limits.h"
#include "tools/image/jpeg_codec.h"

namespace tools::image {
namespace {

// Offsets of the header fields patched by Close.
constexpr uint32_t kRiffSize = 4;
constexpr uint32_t kAvihMaxBytesPerSec = 36;
constexpr uint32_t kAvihTotalFrames = 48;
constexpr uint32_t kAvihSuggestedBuffer = 60;
constexpr uint32_t kStrhLength = 140;
constexpr uint32_t kStrhSuggestedBuffer = 144;
constexpr uint32_t kMoviSize = 216;
constexpr uint32_t kMoviType = 220; // index offsets count from here
constexpr uint32_t kHeaderBytes = 224;
constexpr uint32_t kIndexEntryBytes = 16;
constexpr uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr uint32_t kHasIndex = 0x10;  // AVIF_HASINDEX
constexpr uint32_t kMustUseIndex = 0; // chunks are in play order

class Bytes {
public:
    void fourcc(const char* c) { out_.insert(out_.end(), c, c + 4); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(v >> (8 * i)));
    }
    void u16(uint16_t v) { out_.push_back(uint8_t(v)), out_.push_back(uint8_t(v >> 8)); }
    const std::vector<uint8_t>& bytes() const { return out_; }

private:
    std::vector<uint8_t> out_;
};

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

} // namespace

Status AviWriter::Open(const std::string& path, uint32_t width, uint32_t height, FrameRate rate) {
    index_.clear();
    largest_ = 0;
    if (!ImageSizeAllowed(width, height) || width > 0xFFFF || height > 0xFFFF)
        return Status::Error("cannot write '" + path + "': frame size " + std::to_string(width) + " x " +
                             std::to_string(height) + " is not allowed");
    if (rate.numerator == 0 || rate.denominator == 0)
        return Status::Error("cannot write '" + path + "': the frame rate must be positive");
    width_ = width, height_ = height, rate_ = rate;

    Bytes h;
    h.fourcc("RIFF"), h.u32(0), h.fourcc("AVI ");
    h.fourcc("LIST"), h.u32(192), h.fourcc("hdrl");
    h.fourcc("avih"), h.u32(56);
    h.u32(uint32_t(int64_t(1000000) * rate.denominator / rate.numerator)); // microseconds per frame
    h.u32(0);                                                              // max bytes per second
    h.u32(0);                                                              // padding granularity
    h.u32(kHasIndex | kMustUseIndex);
    h.u32(0); // total frames
    h.u32(0); // initial frames
    h.u32(1); // streams
    h.u32(0); // suggested buffer size
    h.u32(width), h.u32(height);
    for (int i = 0; i < 4; ++i) h.u32(0);
    h.fourcc("LIST"), h.u32(116), h.fourcc("strl");
    h.fourcc("strh"), h.u32(56);
    h.fourcc("vids"), h.fourcc("MJPG");
    h.u32(0);                                       // flags
    h.u16(0), h.u16(0);                             // priority, language
    h.u32(0);                                       // initial frames
    h.u32(rate.denominator), h.u32(rate.numerator); // scale, rate: rate / scale frames per second
    h.u32(0);                                       // start
    h.u32(0);                                       // length, in frames
    h.u32(0);                                       // suggested buffer size
    h.u32(0xFFFFFFFF);                              // quality: default
    h.u32(0);                                       // sample size: varies
    h.u16(0), h.u16(0), h.u16(uint16_t(width)), h.u16(uint16_t(height));
    h.fourcc("strf"), h.u32(40);
    h.u32(40), h.u32(width), h.u32(height);
    h.u16(1), h.u16(24);
    h.fourcc("MJPG");
    h.u32(width * height * 3);
    for (int i = 0; i < 4; ++i) h.u32(0);
    h.fourcc("LIST"), h.u32(0), h.fourcc("movi");
    if (h.bytes().size() != kHeaderBytes) return Status::Error("internal error: AVI header size");

    if (Status s = file_.Open(path); !s) return s;
    size_ = kHeaderBytes;
    return file_.Write(h.bytes().data(), h.bytes().size());
}

bool AviWriter::Full(size_t frameBytes) const {
    const uint64_t chunk = 8 + uint64_t(frameBytes) + (frameBytes & 1);
    const uint64_t index = 8 + uint64_t(index_.size() + 1) * kIndexEntryBytes;
    return size_ + chunk + index > kAviMaxBytes;
}

Status AviWriter::AddJpegFrame(const uint8_t* data, size_t size) {
    if (!file_.isOpen()) return Status::Error("cannot add a frame: the video is not open");
    const std::string what = "frame " + std::to_string(index_.size()) + " of " + file_.path();
    uint32_t w = 0, h = 0;
    if (Status s = ReadJpegSize(data, size, w, h, what); !s) return s;
    if (w != width_ || h != height_)
        return Status::Error("cannot write '" + file_.path() + "': " + what + " is " + std::to_string(w) +
                             " x " + std::to_string(h) + ", the video is " + std::to_string(width_) + " x " +
                             std::to_string(height_));
    if (Full(size)) return Status::Error("cannot write '" + file_.path() + "': the video would pass 1 GiB");
    uint8_t chunk[8] = {'0', '0', 'd', 'c'};
    PutU32(chunk + 4, uint32_t(size));
    const uint8_t pad = 0;
    Status s = file_.Write(chunk, sizeof chunk);
    if (s) s = file_.Write(data, size);
    if (s && (size & 1)) s = file_.Write(&pad, 1);
    if (!s) return s;
    index_.push_back({uint32_t(size_ - kMoviType), uint32_t(size)});
    size_ += 8 + size + (size & 1);
    if (size > largest_) largest_ = uint32_t(size);
    return Status::Ok();
}

void AviWriter::Discard() {
    file_.Discard();
    index_.clear();
}

Status AviWriter::Close() {
    if (!file_.isOpen()) return Status::Error("cannot close the video: it is not open");
    const uint32_t moviSize = uint32_t(size_ - kMoviType);
    Bytes idx;
    idx.fourcc("idx1"), idx.u32(uint32_t(index_.size() * kIndexEntryBytes));
    for (const IndexEntry& e : index_)
        idx.fourcc("00dc"), idx.u32(kKeyFrame), idx.u32(e.offset), idx.u32(e.size);
    Status s = file_.Write(idx.bytes().data(), idx.bytes().size());
    size_ += idx.bytes().size();

    uint8_t field[4];
    auto patch = [&](uint32_t offset, uint32_t value) {
        if (!s) return;
        PutU32(field, value);
        s = file_.WriteAt(offset, field, 4);
    };
    const uint32_t frames = uint32_t(index_.size());
    const uint32_t buffer = largest_ + 8;
    const uint64_t perSecond = uint64_t(largest_) * rate_.numerator / rate_.denominator + 1;
    patch(kRiffSize, uint32_t(size_ - 8));
    patch(kAvihMaxBytesPerSec, uint32_t(perSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : perSecond));
    patch(kAvihTotalFrames, frames);
    patch(kAvihSuggestedBuffer, buffer);
    patch(kStrhLength, frames);
    patch(kStrhSuggestedBuffer, buffer);
    patch(kMoviSize, moviSize);
    if (s) s = file_.Commit();
    if (!s) file_.Discard();
    return s;
}

} // namespace tools::image

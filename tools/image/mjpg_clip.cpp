#include "tools/image/mjpg_clip.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <numeric>

#include "tools/image/image_limits.h"

namespace tools::image {
namespace {

constexpr char kMagic[8] = {'M', 'J', 'P', 'G', 'C', 'L', 'I', 'P'};
constexpr uint32_t kFrameCountOffset = 28;

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

uint32_t GetU32(const uint8_t* p) {
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool FrameRate::FromDouble(double fps, FrameRate& rate) {
    if (!(fps > 0.0) || fps > 1000.0) return false;
    uint32_t n = uint32_t(std::lround(fps * 1000.0)), d = 1000;
    if (n == 0) return false;
    uint32_t g = std::gcd(n, d);
    rate = {n / g, d / g};
    return true;
}

Status MjpgClipWriter::Open(const std::string& path, uint32_t width, uint32_t height, FrameRate rate) {
    frames_ = 0;
    if (!ReadableImageSize(width, height))
        return Status::Error("cannot write '" + path + "': frame size " + std::to_string(width) + " x " +
                             std::to_string(height) + " is not allowed");
    if (rate.numerator == 0 || rate.denominator == 0)
        return Status::Error("cannot write '" + path + "': the frame rate must be positive");
    width_ = width, height_ = height, rate_ = rate;
    uint8_t header[kClipHeaderBytes] = {};
    std::memcpy(header, kMagic, 8);
    PutU32(header + 8, kClipVersion);
    PutU32(header + 12, width);
    PutU32(header + 16, height);
    PutU32(header + 20, rate.numerator);
    PutU32(header + 24, rate.denominator);
    PutU32(header + kFrameCountOffset, 0);
    if (Status s = file_.Open(path); !s) return s;
    return file_.Write(header, sizeof header);
}

Status MjpgClipWriter::AddFrame(const Image& frame, int quality) {
    if (!file_.isOpen()) return Status::Error("cannot add a frame: the clip is not open");
    if (frame.width() != width_ || frame.height() != height_) {
        file_.Discard();
        return Status::Error("cannot write '" + file_.path() + "': frame " + std::to_string(frames_) +
                             " is " + std::to_string(frame.width()) + " x " + std::to_string(frame.height()) +
                             ", the clip is " + std::to_string(width_) + " x " + std::to_string(height_));
    }
    std::vector<uint8_t> jpeg;
    if (Status s = EncodeJpeg(frame, quality, jpeg, file_.path()); !s) {
        file_.Discard();
        return s;
    }
    return AddJpegFrame(jpeg.data(), jpeg.size());
}

Status MjpgClipWriter::AddJpegFrame(const uint8_t* data, size_t size) {
    if (!file_.isOpen()) return Status::Error("cannot add a frame: the clip is not open");
    const std::string what = "frame " + std::to_string(frames_) + " of " + file_.path();
    Status s = size == 0 || size > kMaxClipFrameBytes
                   ? Status::Error("cannot write '" + file_.path() + "': " + what + " has " +
                                   std::to_string(size) + " bytes")
                   : Status::Ok();
    uint32_t w = 0, h = 0;
    if (s) s = ReadJpegSize(data, size, w, h, what);
    if (s && (w != width_ || h != height_))
        s = Status::Error("cannot write '" + file_.path() + "': " + what + " is " + std::to_string(w) +
                          " x " + std::to_string(h) + ", the clip is " + std::to_string(width_) + " x " +
                          std::to_string(height_));
    if (!s) {
        file_.Discard();
        return s;
    }
    uint8_t length[4];
    PutU32(length, uint32_t(size));
    if (s = file_.Write(length, 4); !s) return s;
    if (s = file_.Write(data, size); !s) return s;
    ++frames_;
    return Status::Ok();
}

Status MjpgClipWriter::Close() {
    if (!file_.isOpen()) return Status::Error("cannot close the clip: it is not open");
    if (frames_ == 0) {
        file_.Discard();
        return Status::Error("cannot write '" + file_.path() + "': the clip has no frames");
    }
    uint8_t count[4];
    PutU32(count, frames_);
    if (Status s = file_.WriteAt(kFrameCountOffset, count, 4); !s) return s;
    return file_.Commit();
}

MjpgClipReader::~MjpgClipReader() {
    Close();
}

void MjpgClipReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    offsets_.clear();
    lengths_.clear();
    width_ = height_ = 0;
}

Status MjpgClipReader::fail(const std::string& why) {
    Close();
    return Status::Error(why);
}

Status MjpgClipReader::Open(const std::string& path) {
    Close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return fail("cannot open '" + path + "': " + std::strerror(errno));
    uint8_t header[kClipHeaderBytes];
    size_t got = std::fread(header, 1, sizeof header, file_);
    if (got < 8 || std::memcmp(header, kMagic, 8) != 0) return fail("'" + path + "' is not an MJPG clip");
    if (got < sizeof header) return fail("truncated MJPG clip '" + path + "': the header is incomplete");
    if (GetU32(header + 8) != kClipVersion)
        return fail("MJPG clip '" + path + "' has version " + std::to_string(GetU32(header + 8)) +
                    ", only version 1 is supported");
    uint32_t width = GetU32(header + 12), height = GetU32(header + 16);
    FrameRate rate{GetU32(header + 20), GetU32(header + 24)};
    uint32_t count = GetU32(header + kFrameCountOffset);
    if (!ReadableImageSize(width, height))
        return fail("corrupt MJPG clip '" + path + "': frame size " + std::to_string(width) + " x " +
                    std::to_string(height));
    if (rate.numerator == 0 || rate.denominator == 0)
        return fail("corrupt MJPG clip '" + path + "': the frame rate is not positive");
    if (count == 0) return fail("MJPG clip '" + path + "' has no frames");
    if (fseeko(file_, 0, SEEK_END) != 0) return fail("cannot read '" + path + "': " + std::strerror(errno));
    const uint64_t fileSize = uint64_t(ftello(file_));

    // Walk the length prefixes; the frames themselves are read on demand.
    uint64_t pos = kClipHeaderBytes;
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> lengths;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t prefix[4];
        if (pos + 4 > fileSize || fseeko(file_, off_t(pos), SEEK_SET) != 0 ||
            std::fread(prefix, 1, 4, file_) != 4)
            return fail("truncated MJPG clip '" + path + "': the header declares " + std::to_string(count) +
                        " frames, the file holds " + std::to_string(i));
        uint32_t length = GetU32(prefix);
        if (length == 0 || length > kMaxClipFrameBytes)
            return fail("corrupt MJPG clip '" + path + "': frame " + std::to_string(i) + " claims " +
                        std::to_string(length) + " bytes");
        if (pos + 4 + length > fileSize)
            return fail("truncated MJPG clip '" + path + "': frame " + std::to_string(i) + " is cut short");
        offsets.push_back(pos + 4);
        lengths.push_back(length);
        pos += 4 + uint64_t(length);
    }
    if (pos != fileSize)
        return fail("corrupt MJPG clip '" + path + "': " + std::to_string(fileSize - pos) +
                    " bytes after the last frame");
    width_ = width, height_ = height, rate_ = rate;
    offsets_ = std::move(offsets);
    lengths_ = std::move(lengths);
    return Status::Ok();
}

Status MjpgClipReader::ReadFrame(size_t index, std::vector<uint8_t>& jpeg) {
    jpeg.clear();
    if (!file_) return Status::Error("cannot read a frame: the clip is not open");
    if (index >= offsets_.size())
        return Status::Error("'" + path_ + "' has no frame " + std::to_string(index) + " (it has " +
                             std::to_string(offsets_.size()) + ")");
    jpeg.resize(lengths_[index]);
    if (fseeko(file_, off_t(offsets_[index]), SEEK_SET) != 0 ||
        std::fread(jpeg.data(), 1, jpeg.size(), file_) != jpeg.size()) {
        jpeg.clear();
        return Status::Error("cannot read frame " + std::to_string(index) + " of '" + path_ + "'");
    }
    return Status::Ok();
}

Status MjpgClipReader::DecodeFrame(size_t index, Image& frame) {
    std::vector<uint8_t> jpeg;
    if (Status s = ReadFrame(index, jpeg); !s) return s;
    const std::string what = "frame " + std::to_string(index) + " of " + path_;
    Image decoded;
    if (Status s = DecodeJpeg(jpeg.data(), jpeg.size(), decoded, what); !s) return s;
    if (decoded.width() != width_ || decoded.height() != height_)
        return Status::Error("corrupt MJPG clip '" + path_ + "': " + what + " is " +
                             std::to_string(decoded.width()) + " x " + std::to_string(decoded.height()));
    frame = std::move(decoded);
    return Status::Ok();
}

} // namespace tools::image

// MJPG clip files: a recording as a sequence of JPEG frames, the way an MJPG camera delivers them.
//
// Layout (all integers unsigned 32-bit little-endian):
//
//   offset  size  field
//   0       8     magic "MJPGCLIP"
//   8       4     version, 1
//   12      4     width of every frame, pixels
//   16      4     height of every frame, pixels
//   20      4     frame rate numerator   (frames per second = numerator / denominator)
//   24      4     frame rate denominator
//   28      4     frame count
//   32            frame records, one after another, to the end of the file:
//                   4   length L of the frame's JPEG data, 1 to kMaxClipFrameBytes
//                   L   one complete baseline JPEG (starts FF D8, ends FF D9), width x height
//
// A file whose records do not add up exactly to the header's frame count is refused as truncated or
// corrupt. The writer produces the file atomically (see AtomicFile): it appears only when Close
// succeeds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/image/atomic_file.h"
#include "tools/image/image.h"
#include "tools/image/jpeg_codec.h"
#include "tools/image/status.h"

namespace tools::image {

constexpr uint32_t kClipHeaderBytes = 32;
constexpr uint32_t kClipVersion = 1;
constexpr uint32_t kMaxClipFrameBytes = 64u << 20;

struct FrameRate {
    uint32_t numerator = 15;
    uint32_t denominator = 1;

    double perSecond() const { return denominator ? double(numerator) / denominator : 0.0; }
    // Frame duration in 100 ns units, as DirectShow's AvgTimePerFrame counts it.
    int64_t frameDuration100ns() const { return numerator ? int64_t(10000000) * denominator / numerator : 0; }
    // Nearest rational with denominator 1000, reduced; fails outside (0, 1000] frames per second.
    static bool FromDouble(double fps, FrameRate& rate);
    bool operator==(const FrameRate&) const = default;
};

class MjpgClipWriter {
public:
    Status Open(const std::string& path, uint32_t width, uint32_t height, FrameRate rate);
    // Encodes a picture of the clip's size.
    Status AddFrame(const Image& frame, int quality = kDefaultJpegQuality);
    // Adds an already encoded JPEG; its header must give the clip's size.
    Status AddJpegFrame(const uint8_t* data, size_t size);
    // Writes the frame count and commits the file.
    Status Close();

    uint32_t frameCount() const { return frames_; }

private:
    AtomicFile file_;
    uint32_t width_ = 0, height_ = 0, frames_ = 0;
    FrameRate rate_;
};

// Reads frames on demand; keeps the file open and an index of frame offsets. Not thread-safe.
class MjpgClipReader {
public:
    MjpgClipReader() = default;
    ~MjpgClipReader();
    MjpgClipReader(const MjpgClipReader&) = delete;
    MjpgClipReader& operator=(const MjpgClipReader&) = delete;

    Status Open(const std::string& path);
    void Close();

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    FrameRate frameRate() const { return rate_; }
    size_t frameCount() const { return offsets_.size(); }

    Status ReadFrame(size_t index, std::vector<uint8_t>& jpeg);
    Status DecodeFrame(size_t index, Image& frame);

private:
    Status fail(const std::string& why);

    std::FILE* file_ = nullptr;
    std::string path_;
    uint32_t width_ = 0, height_ = 0;
    FrameRate rate_;
    std::vector<uint64_t> offsets_; // of each frame's JPEG data
    std::vector<uint32_t> lengths_;
};

} // namespace tools::image

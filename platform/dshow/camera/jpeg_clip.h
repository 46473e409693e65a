// A recorded clip of JPEG frames, read frame by frame without decoding: an MJPG clip file (the layout
// of tools/image/mjpg_clip.h: "MJPGCLIP" header with size, rate and count, then length-prefixed
// frames), a file of JPEG frames one after another (as `ffmpeg -f mjpeg` writes), or a folder of .jpg
// / .jpeg files taken in name order.
//
// Open indexes the frames and takes the frame size from the header or from the first frame's SOF
// marker; it refuses a clip it cannot index. ReadFrame reads the bytes of one frame on demand. Not
// thread-safe: one reader at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::camera {

// Walks one JPEG from data[0] (SOI) to its EOI, marker by marker. Gives the picture size from its
// SOF marker and the frame's length; false when the data is not one whole JPEG.
bool ScanJpeg(const uint8_t* data, size_t size, size_t& length, uint32_t& width, uint32_t& height);

class JpegClip {
public:
    JpegClip() = default;
    ~JpegClip();
    JpegClip(const JpegClip&) = delete;
    JpegClip& operator=(const JpegClip&) = delete;

    // False with the reason in `error` when the clip cannot be read.
    bool Open(const std::string& path, std::string& error);

    const std::string& path() const { return path_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    // The recording's frame rate as a fraction (0/0 when the clip does not say).
    uint32_t rateNumerator() const { return rateNumerator_; }
    uint32_t rateDenominator() const { return rateDenominator_; }
    size_t frameCount() const { return frames_.size(); }
    size_t maxFrameBytes() const { return maxFrameBytes_; }

    // Copies frame `index` into buffer; false when it cannot be read or does not fit.
    bool ReadFrame(size_t index, uint8_t* buffer, size_t capacity, size_t& length);

private:
    struct Frame {
        size_t file; // index into files_ (folders), else 0
        uint64_t offset;
        uint32_t length;
    };

    bool openMjpgClip(std::string& error);
    bool openConcatenated(std::string& error);
    bool openFolder(std::string& error);
    void close();

    std::string path_;
    int fd_ = -1; // the clip file, for clips in one file
    std::vector<std::string> files_;
    std::vector<Frame> frames_;
    uint32_t width_ = 0, height_ = 0;
    uint32_t rateNumerator_ = 0, rateDenominator_ = 0;
    size_t maxFrameBytes_ = 0;
};

} // namespace platform::camera

// A YUV4MPEG2 (Y4M) stream on a file descriptor, the raw video that players and encoders read from a
// pipe ("unfold stream | ffplay -"): one header line, then "FRAME\n" and the planar 4:2:0 picture of
// each frame (BT.601 studio range, tools/image/yuv.h). Nothing is buffered between frames, so a
// reader sees each frame as soon as it is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"
#include "tools/image/mjpg_clip.h"
#include "tools/image/status.h"

namespace tools::image {

class Y4mWriter {
public:
    // fd stays the caller's; `what` names it in messages.
    Y4mWriter(int fd, std::string what) : fd_(fd), what_(std::move(what)) {}

    // The header for frames of this size and rate; written before the first frame.
    Status Start(uint32_t width, uint32_t height, FrameRate rate);
    // A picture of the stream's size. A reader that went away (a closed pipe) fails the write, and
    // readerGone() then tells it from other failures; the caller ignores SIGPIPE so that it gets one.
    Status AddFrame(const Image& picture);

    uint64_t frameCount() const { return frames_; }
    bool readerGone() const { return readerGone_; }

private:
    Status write(const void* data, size_t size);

    int fd_;
    std::string what_;
    uint32_t width_ = 0, height_ = 0;
    uint64_t frames_ = 0;
    bool readerGone_ = false;
    std::vector<uint8_t> buffer_;
};

} // namespace tools::image

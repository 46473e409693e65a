#include "tools/image/y4m_writer.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "tools/image/yuv.h"

namespace tools::image {

Status Y4mWriter::Start(uint32_t width, uint32_t height, FrameRate rate) {
    if (width == 0 || height == 0 || rate.numerator == 0 || rate.denominator == 0)
        return Status::Error("cannot stream to " + what_ + ": no picture size or frame rate");
    width_ = width, height_ = height;
    const std::string header = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
                               std::to_string(rate.numerator) + ":" + std::to_string(rate.denominator) +
                               " Ip A1:1 C420jpeg\n";
    return write(header.data(), header.size());
}

Status Y4mWriter::AddFrame(const Image& picture) {
    if (width_ == 0) return Status::Error("cannot stream to " + what_ + ": the stream has no header");
    if (picture.width() != width_ || picture.height() != height_)
        return Status::Error("cannot stream to " + what_ + ": a " + std::to_string(picture.width()) + " x " +
                             std::to_string(picture.height()) + " frame in a " + std::to_string(width_) +
                             " x " + std::to_string(height_) + " stream");
    static constexpr char kFrame[] = "FRAME\n";
    ToI420(picture, buffer_);
    Status s = write(kFrame, 6);
    if (s) s = write(buffer_.data(), buffer_.size());
    if (!s) return s;
    ++frames_;
    return Status::Ok();
}

Status Y4mWriter::write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (errno == EPIPE) {
                readerGone_ = true;
                return Status::Error("the reader of " + what_ + " closed the stream");
            }
            return Status::Error("cannot stream to " + what_ + ": " + std::strerror(errno));
        }
        p += n, size -= size_t(n);
    }
    return Status::Ok();
}

} // namespace tools::image

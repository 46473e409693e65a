#include "tools/unfold/v4l2_output.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "tools/image/yuv.h"

namespace tools::unfold {

using image::Status;

namespace {

class KernelV4l2Device final : public V4l2Device {
public:
    ~KernelV4l2Device() override { close(); }
    int open(const std::string& path) override {
        close();
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        return fd_ < 0 ? errno : 0;
    }
    int ioctl(unsigned long request, void* argument) override {
        int result;
        do result = ::ioctl(fd_, request, argument);
        while (result < 0 && errno == EINTR);
        return result < 0 ? errno : 0;
    }
    int write(const void* data, size_t size) override {
        const auto* p = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd_, p, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return errno;
            if (n == 0) return EIO;
            p += n, size -= size_t(n);
        }
        return 0;
    }
    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

std::string FourccText(uint32_t f) {
    return {char(f & 0xFF), char((f >> 8) & 0xFF), char((f >> 16) & 0xFF), char((f >> 24) & 0xFF)};
}

} // namespace

std::unique_ptr<V4l2Device> NewKernelV4l2Device() {
    return std::make_unique<KernelV4l2Device>();
}

V4l2Output::~V4l2Output() {
    Close();
}

Status V4l2Output::fail(const std::string& what, int error) {
    Close();
    return Status::Error(path_ + ": " + what + (error ? std::string(" (") + std::strerror(error) + ")" : ""));
}

Status V4l2Output::Open(const std::string& path, uint32_t width, uint32_t height, image::FrameRate rate) {
    Close();
    path_ = path;
    if (width == 0 || height == 0 || (width & 1))
        return Status::Error(path + ": YUYV needs an even, non-zero width");
    if (int e = device_->open(path))
        return Status::Error("cannot open " + path + " (" + std::strerror(e) + ")");
    open_ = true;

    v4l2_capability caps{};
    if (int e = device_->ioctl(VIDIOC_QUERYCAP, &caps)) return fail("not a V4L2 device", e);
    const uint32_t deviceCaps =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    if (!(deviceCaps & V4L2_CAP_VIDEO_OUTPUT))
        return fail("not a video output device (for a virtual webcam, load v4l2loopback)", 0);
    if (!(deviceCaps & V4L2_CAP_READWRITE)) return fail("the device does not take frames by write()", 0);

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    format.fmt.pix.width = width;
    format.fmt.pix.height = height;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.bytesperline = width * 2;
    format.fmt.pix.sizeimage = width * height * 2;
    format.fmt.pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    if (int e = device_->ioctl(VIDIOC_S_FMT, &format)) return fail("the device refused YUYV video", e);
    if (format.fmt.pix.width != width || format.fmt.pix.height != height ||
        format.fmt.pix.pixelformat != V4L2_PIX_FMT_YUYV)
        return fail("the device keeps " + std::to_string(format.fmt.pix.width) + " x " +
                        std::to_string(format.fmt.pix.height) + " " + FourccText(format.fmt.pix.pixelformat) +
                        " instead of " + std::to_string(width) + " x " + std::to_string(height) + " YUYV",
                    0);
    if (format.fmt.pix.bytesperline != width * 2 || format.fmt.pix.sizeimage != width * height * 2)
        return fail("the device wants padded rows, which this writer does not make", 0);

    // The rate is advice to readers; a device without it still takes the frames.
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    parm.parm.output.timeperframe.numerator = rate.denominator;
    parm.parm.output.timeperframe.denominator = rate.numerator;
    if (int e = device_->ioctl(VIDIOC_S_PARM, &parm); e && e != ENOTTY && e != EINVAL)
        return fail("the device refused the frame rate", e);
    width_ = width, height_ = height;
    return Status::Ok();
}

Status V4l2Output::Write(const image::Image& picture) {
    if (!open_) return Status::Error("the V4L2 output is not open");
    if (picture.width() != width_ || picture.height() != height_)
        return Status::Error(path_ + ": a " + std::to_string(picture.width()) + " x " +
                             std::to_string(picture.height()) + " frame for a " + std::to_string(width_) +
                             " x " + std::to_string(height_) + " device");
    image::ToYuyv(picture, frame_);
    if (int e = device_->write(frame_.data(), frame_.size())) return fail("cannot write a frame", e);
    return Status::Ok();
}

void V4l2Output::Close() {
    if (open_) device_->close();
    open_ = false;
}

} // namespace tools::unfold

#include "platform/dshow/camera/v4l2_camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <numeric>

#include <vfwmsgs.h>
#include <winerror.h>

#include "platform/win32/debug.h"

namespace platform::camera {
namespace {

constexpr uint32_t kBufferCount = 4;

HRESULT fromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    case EACCES:
    case EPERM:
        return E_ACCESSDENIED;
    case EBUSY:
        return HRESULT_FROM_WIN32(ERROR_BUSY);
    case ENOMEM:
        return E_OUTOFMEMORY;
    case EINVAL:
        return E_INVALIDARG;
    default:
        return E_FAIL;
    }
}

std::string cardName(const v4l2_capability& cap) {
    const char* card = reinterpret_cast<const char*>(cap.card);
    return std::string(card, strnlen(card, sizeof cap.card));
}

// The interval as a reduced fraction of seconds.
void toFraction(REFERENCE_TIME interval, uint32_t& numerator, uint32_t& denominator) {
    uint64_t n = static_cast<uint64_t>(interval), d = 10000000;
    uint64_t g = std::gcd(n, d);
    numerator = static_cast<uint32_t>(n / g);
    denominator = static_cast<uint32_t>(d / g);
}

} // namespace

std::unique_ptr<V4l2Camera> V4l2Camera::Open(V4l2Device& device, const std::string& node, HRESULT& hr) {
    int fd = device.Open(node.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        hr = fromErrno(errno);
        return nullptr;
    }
    std::unique_ptr<V4l2Camera> camera(new V4l2Camera(device, fd, node));
    v4l2_capability cap{};
    if (device.Ioctl(fd, VIDIOC_QUERYCAP, &cap) == -1) {
        hr = fromErrno(errno);
        return nullptr;
    }
    uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) {
        hr = VFW_E_NOT_FOUND; // a metadata node, an output device, ...
        return nullptr;
    }
    camera->card_ = cardName(cap);
    camera->readFormats();
    hr = S_OK;
    return camera;
}

V4l2Camera::~V4l2Camera() {
    Stop();
    device_.Close(fd_);
}

void V4l2Camera::readFormats() {
    for (uint32_t i = 0;; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (device_.Ioctl(fd_, VIDIOC_ENUM_FMT, &desc) == -1) break;
        if (desc.pixelformat != V4L2_PIX_FMT_MJPEG && desc.pixelformat != V4L2_PIX_FMT_JPEG) continue;
        for (uint32_t s = 0;; ++s) {
            v4l2_frmsizeenum size{};
            size.index = s;
            size.pixel_format = desc.pixelformat;
            if (device_.Ioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size) == -1) break;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                addSize(desc.pixelformat, size.discrete.width, size.discrete.height);
            } else {
                addSize(desc.pixelformat, size.stepwise.max_width, size.stepwise.max_height);
                break;
            }
        }
    }
}

void V4l2Camera::addSize(uint32_t pixelFormat, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return;
    auto add = [&](const v4l2_fract& fastest, const v4l2_fract& slowest) {
        CameraFormat f;
        f.width = width;
        f.height = height;
        f.intervalNumerator = fastest.numerator;
        f.intervalDenominator = fastest.denominator;
        f.interval = f.minInterval = IntervalFromFraction(fastest.numerator, fastest.denominator);
        f.maxInterval = IntervalFromFraction(slowest.numerator, slowest.denominator);
        if (f.interval <= 0 || f.maxInterval < f.minInterval) return; // a broken interval
        f.maxFrameBytes = width * height * 2;
        for (const CameraFormat& known : formats_)
            if (known.sameSize(f) && known.interval == f.interval && known.maxInterval == f.maxInterval)
                return;
        formats_.push_back(f);
        pixelFormats_.push_back(pixelFormat);
    };
    size_t before = formats_.size();
    for (uint32_t k = 0;; ++k) {
        v4l2_frmivalenum ival{};
        ival.index = k;
        ival.pixel_format = pixelFormat;
        ival.width = width;
        ival.height = height;
        if (device_.Ioctl(fd_, VIDIOC_ENUM_FRAMEINTERVALS, &ival) == -1) break;
        if (ival.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            add(ival.discrete, ival.discrete);
        } else {
            add(ival.stepwise.min, ival.stepwise.max);
            break;
        }
    }
    if (formats_.size() == before) {
        // No intervals listed: the device's current rate, else 30 frames per second.
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        v4l2_fract current{1, 30};
        if (device_.Ioctl(fd_, VIDIOC_G_PARM, &parm) == 0 && parm.parm.capture.timeperframe.numerator &&
            parm.parm.capture.timeperframe.denominator)
            current = parm.parm.capture.timeperframe;
        add(current, current);
    }
}

HRESULT V4l2Camera::fail(const char* what, HRESULT hr) {
    WARN("dshow", "%s: %s failed: %s", node_.c_str(), what, std::strerror(errno));
    Stop();
    return hr;
}

HRESULT V4l2Camera::Start(const CameraFormat& format) {
    Stop();
    if (unplugged_) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    size_t index = 0;
    while (index < formats_.size() &&
           !(formats_[index].sameSize(format) && format.interval >= formats_[index].minInterval &&
             format.interval <= formats_[index].maxInterval))
        ++index;
    if (index == formats_.size()) return VFW_E_INVALIDMEDIATYPE;

    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = format.width;
    fmt.fmt.pix.height = format.height;
    fmt.fmt.pix.pixelformat = pixelFormats_[index];
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    if (device_.Ioctl(fd_, VIDIOC_S_FMT, &fmt) == -1) return fail("VIDIOC_S_FMT", fromErrno(errno));
    if (fmt.fmt.pix.width != format.width || fmt.fmt.pix.height != format.height ||
        fmt.fmt.pix.pixelformat != pixelFormats_[index])
        return VFW_E_INVALIDMEDIATYPE;

    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (device_.Ioctl(fd_, VIDIOC_G_PARM, &parm) == 0 &&
        (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) {
        uint32_t numerator = format.intervalNumerator, denominator = format.intervalDenominator;
        if (format.interval != formats_[index].interval) toFraction(format.interval, numerator, denominator);
        parm.parm.capture.timeperframe = {numerator, denominator};
        if (device_.Ioctl(fd_, VIDIOC_S_PARM, &parm) == -1)
            WARN("dshow", "%s: the frame rate was not taken: %s", node_.c_str(), std::strerror(errno));
    }

    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (device_.Ioctl(fd_, VIDIOC_REQBUFS, &request) == -1) return fail("VIDIOC_REQBUFS", fromErrno(errno));
    if (request.count < 2) return fail("VIDIOC_REQBUFS (too few buffers)", E_OUTOFMEMORY);
    streaming_ = true; // from here Stop releases what was set up
    for (uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        if (device_.Ioctl(fd_, VIDIOC_QUERYBUF, &buf) == -1) return fail("VIDIOC_QUERYBUF", fromErrno(errno));
        void* data = device_.Mmap(buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buf.m.offset);
        if (data == MAP_FAILED) return fail("mmap", fromErrno(errno));
        buffers_.push_back({data, buf.length});
        if (device_.Ioctl(fd_, VIDIOC_QBUF, &buf) == -1) return fail("VIDIOC_QBUF", fromErrno(errno));
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (device_.Ioctl(fd_, VIDIOC_STREAMON, &type) == -1) return fail("VIDIOC_STREAMON", fromErrno(errno));
    return S_OK;
}

FrameStatus V4l2Camera::NextFrame(StreamClock& clock, const WakeSignal& wake, uint64_t seen, BYTE* buffer,
                                  size_t capacity, size_t& length, REFERENCE_TIME& timestamp) {
    length = 0;
    if (unplugged_) return FrameStatus::Unplugged;
    if (!streaming_) return FrameStatus::Failed;
    for (;;) {
        if (wake.woken(seen)) {
            wake.Drain();
            return FrameStatus::Interrupted;
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
        int ready = device_.Poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR) return FrameStatus::Failed;
        if (ready <= 0 || !fds[0].revents) continue;

        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        if (device_.Ioctl(fd_, VIDIOC_DQBUF, &buf) == -1) {
            if (errno == EAGAIN || errno == EINTR) continue;
            if (errno == ENODEV) {
                unplugged_ = true;
                return FrameStatus::Unplugged;
            }
            if (errno == EIO) continue; // a transfer error: the next frame may be fine
            WARN("dshow", "%s: VIDIOC_DQBUF failed: %s", node_.c_str(), std::strerror(errno));
            return FrameStatus::Failed;
        }
        if (buf.index >= buffers_.size()) return FrameStatus::Failed;
        bool usable = !(buf.flags & V4L2_BUF_FLAG_ERROR) && buf.bytesused > 0 &&
                      buf.bytesused <= buffers_[buf.index].length && buf.bytesused <= capacity;
        if (usable) {
            std::memcpy(buffer, buffers_[buf.index].data, buf.bytesused);
            length = buf.bytesused;
            timestamp = clock.Now();
        } else {
            TRACE("dshow", "%s: skipped a damaged frame (%u bytes, flags %#x)", node_.c_str(), buf.bytesused,
                  buf.flags);
        }
        if (device_.Ioctl(fd_, VIDIOC_QBUF, &buf) == -1 && errno == ENODEV) unplugged_ = true;
        if (usable) return FrameStatus::Frame;
        if (unplugged_) return FrameStatus::Unplugged;
    }
}

void V4l2Camera::Stop() {
    if (!streaming_) return;
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    device_.Ioctl(fd_, VIDIOC_STREAMOFF, &type);
    for (const Mapping& m : buffers_) device_.Munmap(m.data, m.length);
    buffers_.clear();
    v4l2_requestbuffers release{};
    release.count = 0;
    release.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    release.memory = V4L2_MEMORY_MMAP;
    device_.Ioctl(fd_, VIDIOC_REQBUFS, &release);
    streaming_ = false;
}

std::vector<CameraInfo> ListV4l2Cameras(V4l2Device& device) {
    std::vector<CameraInfo> cameras;
    for (const std::string& node : device.Nodes()) {
        HRESULT hr;
        auto camera = V4l2Camera::Open(device, node, hr);
        if (camera) cameras.push_back({ToWide(camera->card()), ToWide(node)});
    }
    return cameras;
}

} // namespace platform::camera

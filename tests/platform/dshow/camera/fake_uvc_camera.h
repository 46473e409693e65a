// A V4L2 test double that behaves like a UVC webcam behind the backend's system-call seam: a capture
// node with YUYV and MJPG formats (discrete sizes; discrete, odd and stepwise frame intervals), a
// metadata node beside it (as UVC drivers create), mmap buffers the test fills with frames on cue,
// spurious EAGAIN, damaged buffers, and ENODEV once unplugged. It records what the backend asked.
#pragma once

#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/camera/v4l2_device.h"

namespace testcamera {

class FakeUvcCamera : public platform::camera::V4l2Device {
public:
    static constexpr const char* kNode = "/dev/video4";
    static constexpr const char* kMetadataNode = "/dev/video5";

    struct Size {
        uint32_t width, height;
        std::vector<v4l2_fract> intervals; // discrete
        bool stepwise = false;             // then intervals holds {min, max}
    };

    explicit FakeUvcCamera(std::string card = "TELMAR ZK900 4K") : card_(std::move(card)) {
        // 1440x1440 at 30 and 15; 1280x720 at 29.97 (1001/30000), a broken 0/0 interval and a duplicate;
        // 640x480 with a stepwise range 1/60 .. 1/5.
        sizes.push_back({1440, 1440, {{1, 30}, {1, 15}}});
        sizes.push_back({1280, 720, {{1001, 30000}, {0, 0}, {1001, 30000}}});
        sizes.push_back({640, 480, {{1, 60}, {1, 5}}, true});
    }
    ~FakeUvcCamera() override {
        if (ready_ >= 0) close(ready_);
        if (metadata_ >= 0) close(metadata_);
    }

    // ---- the test's side ----

    // Fills the oldest queued buffer with a frame (dropped when the application holds every buffer).
    bool PushFrame(const std::vector<uint8_t>& jpeg, bool damaged = false) {
        std::lock_guard lock(mutex_);
        for (Buffer& b : buffers_) {
            if (!b.queued || !streaming_) continue;
            b.queued = false;
            size_t n = std::min(jpeg.size(), b.data.size());
            std::memcpy(b.data.data(), jpeg.data(), n);
            b.bytesused = static_cast<uint32_t>(n);
            b.damaged = damaged;
            done_.push_back(static_cast<uint32_t>(&b - buffers_.data()));
            signal();
            return true;
        }
        ++dropped;
        return false;
    }
    // The next `count` dequeues answer EAGAIN although poll said the device was ready.
    void SpuriousWakeups(int count) {
        std::lock_guard lock(mutex_);
        eagain_ += count;
        signal();
    }
    void Unplug() {
        std::lock_guard lock(mutex_);
        unplugged_ = true;
        signal();
    }

    std::vector<Size> sizes;
    // What the backend asked for.
    v4l2_pix_format lastFormat{};
    v4l2_fract lastInterval{};
    int mapped = 0, unmapped = 0, streamOns = 0, streamOffs = 0, dropped = 0;
    bool streaming() {
        std::lock_guard lock(mutex_);
        return streaming_;
    }

    // ---- the seam ----

    std::vector<std::string> Nodes() override { return {kNode, kMetadataNode, "/dev/video6"}; }

    int Open(const char* path, int) override {
        std::lock_guard lock(mutex_);
        if (unplugged_ || (std::strcmp(path, kNode) && std::strcmp(path, kMetadataNode))) {
            errno = ENOENT;
            return -1;
        }
        if (!std::strcmp(path, kMetadataNode)) return metadata_ = eventfd(0, EFD_NONBLOCK);
        return ready_ = eventfd(0, EFD_NONBLOCK);
    }
    int Close(int fd) override {
        std::lock_guard lock(mutex_);
        if (fd == ready_) ready_ = -1;
        if (fd == metadata_) metadata_ = -1;
        return close(fd);
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        std::lock_guard lock(mutex_);
        if (unplugged_) return fail(ENODEV);
        if (request == VIDIOC_QUERYCAP) {
            auto* cap = static_cast<v4l2_capability*>(arg);
            *cap = {};
            std::strncpy(reinterpret_cast<char*>(cap->card), card_.c_str(), sizeof cap->card - 1);
            std::strcpy(reinterpret_cast<char*>(cap->driver), "uvcvideo");
            cap->capabilities =
                V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = fd == metadata_ ? V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING
                                               : V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            return 0;
        }
        if (fd != ready_) return fail(ENOTTY);
        switch (request) {
        case VIDIOC_ENUM_FMT: {
            auto* desc = static_cast<v4l2_fmtdesc*>(arg);
            if (desc->index > 1) return fail(EINVAL);
            desc->pixelformat = desc->index == 0 ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG;
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* size = static_cast<v4l2_frmsizeenum*>(arg);
            if (size->pixel_format == V4L2_PIX_FMT_YUYV) {
                if (size->index > 0) return fail(EINVAL);
                size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                size->discrete = {320, 240};
                return 0;
            }
            if (size->index >= sizes.size()) return fail(EINVAL);
            size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            size->discrete = {sizes[size->index].width, sizes[size->index].height};
            return 0;
        }
        case VIDIOC_ENUM_FRAMEINTERVALS: {
            auto* ival = static_cast<v4l2_frmivalenum*>(arg);
            const Size* s = find(ival->width, ival->height);
            if (!s || ival->pixel_format != V4L2_PIX_FMT_MJPEG) return fail(EINVAL);
            if (s->stepwise) {
                if (ival->index > 0) return fail(EINVAL);
                ival->type = V4L2_FRMIVAL_TYPE_STEPWISE;
                ival->stepwise = {s->intervals[0], s->intervals[1], {1, 60}};
                return 0;
            }
            if (ival->index >= s->intervals.size()) return fail(EINVAL);
            ival->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            ival->discrete = s->intervals[ival->index];
            return 0;
        }
        case VIDIOC_G_PARM: {
            auto* parm = static_cast<v4l2_streamparm*>(arg);
            parm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
            parm->parm.capture.timeperframe = lastInterval;
            return 0;
        }
        case VIDIOC_S_PARM:
            lastInterval = static_cast<v4l2_streamparm*>(arg)->parm.capture.timeperframe;
            return 0;
        case VIDIOC_S_FMT: {
            if (streaming_ || !buffers_.empty()) return fail(EBUSY);
            auto& pix = static_cast<v4l2_format*>(arg)->fmt.pix;
            if (!find(pix.width, pix.height)) pix.width = sizes[0].width, pix.height = sizes[0].height;
            pix.sizeimage = pix.width * pix.height; // a bound, as uvcvideo reports dwMaxVideoFrameSize
            pix.field = V4L2_FIELD_NONE;
            lastFormat = pix;
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* req = static_cast<v4l2_requestbuffers*>(arg);
            if (streaming_) return fail(EBUSY);
            buffers_.clear();
            done_.clear();
            for (uint32_t i = 0; i < req->count; ++i)
                buffers_.push_back({std::vector<uint8_t>(lastFormat.sizeimage)});
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* buf = static_cast<v4l2_buffer*>(arg);
            if (buf->index >= buffers_.size()) return fail(EINVAL);
            buf->length = static_cast<uint32_t>(buffers_[buf->index].data.size());
            buf->m.offset = buf->index * 0x100000;
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* buf = static_cast<v4l2_buffer*>(arg);
            if (buf->index >= buffers_.size() || buffers_[buf->index].queued) return fail(EINVAL);
            buffers_[buf->index].queued = true;
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto* buf = static_cast<v4l2_buffer*>(arg);
            if (eagain_ > 0) {
                --eagain_;
                unsignalIfIdle();
                return fail(EAGAIN);
            }
            if (done_.empty()) return fail(EAGAIN);
            uint32_t index = done_.front();
            done_.pop_front();
            unsignalIfIdle();
            buf->index = index;
            buf->bytesused = buffers_[index].bytesused;
            buf->flags = buffers_[index].damaged ? V4L2_BUF_FLAG_ERROR : 0;
            return 0;
        }
        case VIDIOC_STREAMON:
            streaming_ = true;
            ++streamOns;
            return 0;
        case VIDIOC_STREAMOFF:
            streaming_ = false;
            ++streamOffs;
            done_.clear();
            for (Buffer& b : buffers_) b.queued = false;
            return 0;
        default:
            return fail(ENOTTY);
        }
    }

    void* Mmap(size_t length, int, int, int fd, off_t offset) override {
        std::lock_guard lock(mutex_);
        size_t index = static_cast<size_t>(offset) / 0x100000;
        if (fd != ready_ || index >= buffers_.size() || length != buffers_[index].data.size()) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        ++mapped;
        return buffers_[index].data.data();
    }
    int Munmap(void*, size_t) override {
        std::lock_guard lock(mutex_);
        ++unmapped;
        return 0;
    }

    // Real poll on the wake signal and on the readiness eventfd that stands for the device.
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        int ready = ::poll(fds, count, timeoutMs);
        std::lock_guard lock(mutex_);
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].fd != ready_ || !unplugged_) continue;
            if (!fds[i].revents) ++ready;
            fds[i].revents |= POLLERR | POLLHUP;
        }
        return ready;
    }

private:
    struct Buffer {
        std::vector<uint8_t> data;
        bool queued = false;
        uint32_t bytesused = 0;
        bool damaged = false;
    };

    static int fail(int error) {
        errno = error;
        return -1;
    }
    const Size* find(uint32_t width, uint32_t height) const {
        for (const Size& s : sizes)
            if (s.width == width && s.height == height) return &s;
        return nullptr;
    }
    // With the lock held: the readiness fd is readable while a frame or an answer waits.
    void signal() {
        uint64_t one = 1;
        if (ready_ >= 0 && write(ready_, &one, sizeof one) < 0) return;
    }
    void unsignalIfIdle() {
        if (!done_.empty() || eagain_ > 0 || ready_ < 0) return;
        uint64_t count;
        if (read(ready_, &count, sizeof count) < 0) return;
    }

    std::mutex mutex_;
    std::string card_;
    int ready_ = -1, metadata_ = -1;
    std::vector<Buffer> buffers_;
    std::deque<uint32_t> done_;
    int eagain_ = 0;
    bool streaming_ = false, unplugged_ = false;
};

} // namespace testcamera

// The system calls the V4L2 camera backend makes, behind one interface: the real ones by default, or a
// test double that behaves like a UVC camera (frames on cue, EAGAIN, ENODEV on unplug). Each call has
// its POSIX meaning: -1 (MAP_FAILED for Mmap) with errno set on failure.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace platform::camera {

class V4l2Device {
public:
    virtual ~V4l2Device() = default;
    // The device nodes to look at ("/dev/video0", ...), in device number order.
    virtual std::vector<std::string> Nodes() = 0;
    virtual int Open(const char* path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* Mmap(size_t length, int prot, int flags, int fd, off_t offset) = 0;
    virtual int Munmap(void* addr, size_t length) = 0;
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
};

// The V4L2 calls this process makes: the system's, unless a test installed its own.
V4l2Device& CurrentV4l2Device();
// Installs a device for the whole process (null restores the system's); the caller keeps it alive.
void SetV4l2DeviceForTesting(V4l2Device* device);

} // namespace platform::camera

#include "platform/dshow/camera/v4l2_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace platform::camera {
namespace {

class SystemV4l2Device final : public V4l2Device {
public:
    std::vector<std::string> Nodes() override {
        std::vector<std::pair<long, std::string>> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("video", 0) != 0 || name.size() == 5) continue;
            char* end = nullptr;
            long number = std::strtol(name.c_str() + 5, &end, 10);
            if (*end == '\0') found.emplace_back(number, entry.path().string());
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> nodes;
        for (auto& f : found) nodes.push_back(f.second);
        return nodes;
    }
    int Open(const char* path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
    int Close(int fd) override { return ::close(fd); }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        int result;
        do result = ::ioctl(fd, request, arg);
        while (result == -1 && errno == EINTR);
        return result;
    }
    void* Mmap(size_t length, int prot, int flags, int fd, off_t offset) override {
        return ::mmap(nullptr, length, prot, flags, fd, offset);
    }
    int Munmap(void* addr, size_t length) override { return ::munmap(addr, length); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }
};

SystemV4l2Device systemDevice;
std::atomic<V4l2Device*> installed{nullptr};

} // namespace

V4l2Device& CurrentV4l2Device() {
    V4l2Device* device = installed.load();
    return device ? *device : systemDevice;
}

void SetV4l2DeviceForTesting(V4l2Device* device) {
    installed.store(device);
}

} // namespace platform::camera

#include "tools/image/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/win32/fault_injection.h"

namespace tools::image {
namespace {

std::atomic<unsigned> temporaryCounter{0};

// Writes all of [data, data + size) at offset, retrying short writes and interruptions.
int WriteFully(int fd, const uint8_t* data, size_t size, uint64_t offset) {
    while (size > 0) {
        ssize_t n = pwrite(fd, data, size, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n, size -= size_t(n), offset += uint64_t(n);
    }
    return 0;
}

} // namespace

Status AtomicFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    if (path.empty()) return Status::Error("no output file name given");
    if (FAILED(platform::InjectedFault("AtomicFile::Open"))) return fail("cannot create", EIO);
    // O_EXCL with a name unique to this process and call; the mode leaves the umask in charge.
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary_ = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(temporaryCounter++);
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        if (errno != EEXIST) break;
    }
    if (fd_ < 0) {
        int error = errno;
        temporary_.clear();
        return fail("cannot create", error);
    }
    size_ = 0;
    return Status::Ok();
}

Status AtomicFile::Write(const void* data, size_t size) {
    if (!isOpen()) return Status::Error("cannot write '" + path_ + "': file is not open");
    if (FAILED(platform::InjectedFault("AtomicFile::Write"))) return fail("cannot write", EIO);
    if (int error = WriteFully(fd_, static_cast<const uint8_t*>(data), size, size_))
        return fail("cannot write", error);
    size_ += size;
    return Status::Ok();
}

Status AtomicFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!isOpen()) return Status::Error("cannot write '" + path_ + "': file is not open");
    if (offset + size > size_) return Status::Error("cannot write '" + path_ + "': patch beyond the end");
    if (FAILED(platform::InjectedFault("AtomicFile::Write"))) return fail("cannot write", EIO);
    if (int error = WriteFully(fd_, static_cast<const uint8_t*>(data), size, offset))
        return fail("cannot write", error);
    return Status::Ok();
}

Status AtomicFile::Commit() {
    if (!isOpen()) return Status::Error("cannot write '" + path_ + "': file is not open");
    if (FAILED(platform::InjectedFault("AtomicFile::Commit"))) return fail("cannot write", EIO);
    // fsync before rename: after a crash the name refers either to the old file or to all of the new.
    if (fsync(fd_) != 0 && errno != EINVAL) return fail("cannot write", errno);
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        int error = errno;
        unlink(temporary_.c_str());
        temporary_.clear();
        return fail("cannot write", error);
    }
    if (rename(temporary_.c_str(), path_.c_str()) != 0) {
        int error = errno;
        unlink(temporary_.c_str());
        temporary_.clear();
        return fail("cannot write", error);
    }
    temporary_.clear();
    return Status::Ok();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

Status AtomicFile::fail(const char* what, int error) {
    Discard();
    return Status::Error(std::string(what) + " '" + path_ + "': " + std::strerror(error));
}

} // namespace tools::image

#include "tools/image/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
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

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryName(const std::string& path) {
    return path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(temporaryCounter++);
}

// Removes "NAME.tmp.PID.N" files of this target whose process no longer exists.
void removeStaleTemporaries(const std::string& path) {
    std::string folder = folderOf(path);
    std::string prefix =
        path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1) + ".tmp.";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '.' || kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}

} // namespace

Status AtomicFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    if (path.empty()) return Status::Error("no output file name given");
    if (FAILED(platform::InjectedFault("AtomicFile::Open"))) return fail("cannot create", EIO);
    removeStaleTemporaries(path);
    // The mode leaves the umask in charge.
    fd_ = open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // O_EXCL with a name unique to this process and call.
        for (int attempt = 0; attempt < 16; ++attempt) {
            temporary_ = temporaryName(path);
            fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) break;
            if (errno != EEXIST) break;
        }
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
    if (temporary_.empty()) {
        // An unnamed file gets a name only now, for the moment until the rename.
        std::string name = temporaryName(path_);
        std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return fail("cannot write", errno);
        temporary_ = name;
    }
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

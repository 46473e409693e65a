#include "tools/image/file_io.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/image/atomic_file.h"

namespace tools::image {

InputFile::~InputFile() {
    if (fd_ >= 0) close(fd_);
}

Status InputFile::Open(const std::string& path, uint64_t maxBytes) {
    path_ = path;
    struct stat before {};
    if (stat(path.c_str(), &before) != 0)
        return Status::Error("cannot open '" + path + "': " + std::strerror(errno));
    if (!S_ISREG(before.st_mode)) return Status::Error("cannot read '" + path + "': not a regular file");
    if (uint64_t(before.st_size) > maxBytes)
        return Status::Error("cannot read '" + path + "': " + std::to_string(before.st_size) +
                             " bytes is more than " + std::to_string(maxBytes) + " bytes");
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return Status::Error("cannot open '" + path + "': " + std::strerror(errno));
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_dev != before.st_dev ||
        info.st_ino != before.st_ino || uint64_t(info.st_size) > maxBytes)
        return Status::Error("cannot read '" + path + "': it changed while it was being opened");
    size_ = uint64_t(info.st_size);
    return Status::Ok();
}

Status InputFile::Read(size_t count, std::vector<uint8_t>& bytes) {
    if (fd_ < 0) return Status::Error("cannot read '" + path_ + "': not open");
    size_t done = bytes.size();
    bytes.resize(done + count);
    while (count > 0) {
        ssize_t n = read(fd_, bytes.data() + done, count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            bytes.resize(done);
            return Status::Error("cannot read '" + path_ + "': " + std::strerror(error));
        }
        if (n == 0) break;
        done += size_t(n), count -= size_t(n);
    }
    bytes.resize(done);
    return Status::Ok();
}

Status ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    bytes.clear();
    InputFile file;
    if (Status s = file.Open(path, maxBytes); !s) return s;
    if (Status s = file.Read(size_t(file.size()), bytes); !s) return s;
    if (bytes.size() != file.size()) {
        bytes.clear();
        return Status::Error("cannot read '" + path + "': it changed while it was being read");
    }
    return Status::Ok();
}

Status WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    AtomicFile file;
    Status s = file.Open(path);
    if (s) s = file.Write(data, size);
    if (s) s = file.Commit();
    return s;
}

} // namespace tools::image

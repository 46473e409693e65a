#include "tools/image/file_io.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/image/atomic_file.h"

namespace tools::image {

Status ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::Error("cannot open '" + path + "': " + std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Status::Error("cannot read '" + path + "': not a regular file");
    }
    if (uint64_t(info.st_size) > kMaxFileBytes) {
        close(fd);
        return Status::Error("cannot read '" + path + "': file too large");
    }
    bytes.resize(size_t(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = n < 0 ? errno : EIO;
            close(fd);
            bytes.clear();
            return Status::Error("cannot read '" + path + "': " + std::strerror(error));
        }
        done += size_t(n);
    }
    close(fd);
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

// Whole-file reads and atomic whole-file writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/status.h"

namespace tools::image {

// Files larger than this are refused rather than read into memory.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

// An open input file, checked before a byte is read: it must be a regular file (a FIFO or device
// would block or never end) of at most maxBytes. Opened without blocking, and checked again once open,
// so a file swapped for a FIFO between the check and the open is refused too.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Status Open(const std::string& path, uint64_t maxBytes = kMaxFileBytes);
    uint64_t size() const { return size_; }
    // Reads up to `count` more bytes (fewer only at the end of the file).
    Status Read(size_t count, std::vector<uint8_t>& bytes);

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string path_;
};

Status ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes = kMaxFileBytes);
// Writes through an AtomicFile: the target holds either its old contents or all of the new.
Status WriteFileAtomically(const std::string& path, const void* data, size_t size);

} // namespace tools::image

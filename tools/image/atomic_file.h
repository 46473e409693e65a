// A file that appears under its name only when it is complete.
//
// Open creates an unnamed temporary file in the target's folder (O_TMPFILE), so a process killed
// before Commit leaves nothing behind; where the file system has no unnamed files it is named
// "NAME.tmp.PID.N", and Open removes such files of the same target left by processes that died. Write
// and WriteAt fill it; Commit flushes it to disk, gives it a name and renames it over the target in
// one step. Until Commit succeeds the target is untouched: a failed write, a Discard or the destructor
// removes the temporary file, so no reader ever sees a partial file. Failures can be injected through
// platform::InjectedFault with the names "AtomicFile::Open", "AtomicFile::Write" and "AtomicFile::Commit".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/image/status.h"

namespace tools::image {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Discard(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Status Open(const std::string& path);
    // Appends at the end of what has been written so far.
    Status Write(const void* data, size_t size);
    // Overwrites bytes already written (a header patched once the contents are known).
    Status WriteAt(uint64_t offset, const void* data, size_t size);
    Status Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    Status fail(const char* what, int error);

    int fd_ = -1;
    uint64_t size_ = 0;
    std::string path_;
    std::string temporary_; // the temporary file's name, empty while it has none
};

} // namespace tools::image

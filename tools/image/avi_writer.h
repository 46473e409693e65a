// Motion-JPEG video in an AVI file, as ordinary players (VLC, mpv, ffplay, media players) play it.
//
// Layout: RIFF 'AVI ' { LIST 'hdrl' { 'avih', LIST 'strl' { 'strh' 'vids'/'MJPG', 'strf' bitmap
// header } }, LIST 'movi' { one '00dc' chunk per JPEG frame }, 'idx1' (every frame a key frame) }.
// All sizes are little-endian; chunks are padded to even length. The file is an AVI 1.0 file and
// stays below 1 GiB, which every reader accepts: AddJpegFrame refuses a frame that would pass it (see
// Full), and the caller goes on in a new file. The file appears only when Close succeeds (AtomicFile).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/atomic_file.h"
#include "tools/image/mjpg_clip.h"
#include "tools/image/status.h"

namespace tools::image {

constexpr uint64_t kAviMaxBytes = uint64_t(1) << 30;

class AviWriter {
public:
    Status Open(const std::string& path, uint32_t width, uint32_t height, FrameRate rate);
    // A baseline JPEG of the video's size.
    Status AddJpegFrame(const uint8_t* data, size_t size);
    // True when a frame of this many bytes would take the file past kAviMaxBytes.
    bool Full(size_t frameBytes) const;
    // Writes the index and the final sizes, and commits the file.
    Status Close();
    // Removes the unfinished file.
    void Discard();

    uint32_t frameCount() const { return uint32_t(index_.size()); }
    bool isOpen() const { return file_.isOpen(); }

private:
    struct IndexEntry {
        uint32_t offset; // of the chunk, from the 'movi' list type
        uint32_t size;   // of the JPEG data
    };
    AtomicFile file_;
    uint32_t width_ = 0, height_ = 0;
    FrameRate rate_;
    uint64_t size_ = 0; // bytes written so far
    uint32_t largest_ = 0;
    std::vector<IndexEntry> index_;
};

} // namespace tools::image

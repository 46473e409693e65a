#include "platform/dshow/camera/jpeg_clip.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform::camera {
namespace {

constexpr char kClipMagic[8] = {'M', 'J', 'P', 'G', 'C', 'L', 'I', 'P'};
constexpr uint32_t kClipHeaderBytes = 32;
constexpr uint32_t kMaxFrameBytes = 64u << 20;
constexpr uint32_t kMaxSide = 16384;

uint32_t getU32(const uint8_t* p) {
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isSof(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool readAll(int fd, uint64_t offset, uint8_t* out, size_t length) {
    while (length > 0) {
        ssize_t got = pread(fd, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got, offset += static_cast<uint64_t>(got), length -= static_cast<size_t>(got);
    }
    return true;
}

std::string why(const std::string& path, const std::string& what) {
    return "'" + path + "': " + what;
}

bool sizeAllowed(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

} // namespace

bool ScanJpeg(const uint8_t* p, size_t n, size_t& length, uint32_t& width, uint32_t& height) {
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return false;
    bool sized = false;
    size_t i = 2;
    for (;;) {
        if (i >= n || p[i] != 0xFF) return false;
        while (i < n && p[i] == 0xFF) ++i; // fill bytes
        if (i >= n) return false;
        uint8_t marker = p[i++];
        if (marker == 0xD9) {
            length = i;
            return sized;
        }
        if (marker == 0xD8 || marker == 0x00) return false;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue; // no length
        if (i + 2 > n) return false;
        size_t segment = size_t(p[i]) << 8 | p[i + 1];
        if (segment < 2 || i + segment > n) return false;
        if (isSof(marker)) {
            if (segment < 7) return false;
            height = uint32_t(p[i + 3]) << 8 | p[i + 4];
            width = uint32_t(p[i + 5]) << 8 | p[i + 6];
            sized = width > 0 && height > 0;
        }
        i += segment;
        if (marker == 0xDA) {
            // Entropy-coded data: runs to the next marker that is neither a stuffed 0xFF nor a restart.
            while (i + 1 < n &&
                   !(p[i] == 0xFF && p[i + 1] != 0x00 && !(p[i + 1] >= 0xD0 && p[i + 1] <= 0xD7)))
                ++i;
            if (i + 1 >= n) return false;
        }
    }
}

JpegClip::~JpegClip() {
    close();
}

void JpegClip::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    files_.clear();
    frames_.clear();
    width_ = height_ = 0;
    rateNumerator_ = rateDenominator_ = 0;
    maxFrameBytes_ = 0;
}

bool JpegClip::Open(const std::string& path, std::string& error) {
    close();
    path_ = path;
    std::error_code code;
    bool ok;
    if (std::filesystem::is_directory(path, code)) {
        ok = openFolder(error);
    } else {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error = why(path, std::strerror(errno));
            return false;
        }
        uint8_t magic[8] = {};
        ok = readAll(fd_, 0, magic, sizeof magic) && std::memcmp(magic, kClipMagic, 8) == 0
                 ? openMjpgClip(error)
                 : openConcatenated(error);
    }
    if (ok && frames_.empty()) ok = false, error = why(path, "the clip has no frames");
    if (ok && !sizeAllowed(width_, height_))
        ok = false,
        error = why(path, "frame size " + std::to_string(width_) + " x " + std::to_string(height_));
    if (!ok) close();
    return ok;
}

bool JpegClip::openMjpgClip(std::string& error) {
    uint8_t header[kClipHeaderBytes];
    struct stat st {};
    if (!readAll(fd_, 0, header, sizeof header) || fstat(fd_, &st) != 0)
        return error = why(path_, "truncated MJPG clip header"), false;
    if (getU32(header + 8) != 1) return error = why(path_, "unknown MJPG clip version"), false;
    width_ = getU32(header + 12);
    height_ = getU32(header + 16);
    rateNumerator_ = getU32(header + 20);
    rateDenominator_ = getU32(header + 24);
    if (rateNumerator_ == 0 || rateDenominator_ == 0) rateNumerator_ = rateDenominator_ = 0;
    const uint32_t count = getU32(header + 28);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    uint64_t pos = kClipHeaderBytes;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t prefix[4];
        if (pos + 4 > fileSize || !readAll(fd_, pos, prefix, 4))
            return error = why(path_, "truncated MJPG clip: frame " + std::to_string(i) + " is missing"),
                   false;
        uint32_t length = getU32(prefix);
        if (length == 0 || length > kMaxFrameBytes || pos + 4 + length > fileSize)
            return error = why(path_, "corrupt MJPG clip: frame " + std::to_string(i) + " is cut short"),
                   false;
        frames_.push_back({0, pos + 4, length});
        maxFrameBytes_ = std::max<size_t>(maxFrameBytes_, length);
        pos += 4 + uint64_t(length);
    }
    return true;
}

bool JpegClip::openConcatenated(std::string& error) {
    struct stat st {};
    if (fstat(fd_, &st) != 0 || st.st_size <= 0) return error = why(path_, "an empty file"), false;
    const size_t size = static_cast<size_t>(st.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (mapped == MAP_FAILED) return error = why(path_, std::strerror(errno)), false;
    const auto* data = static_cast<const uint8_t*>(mapped);
    size_t pos = 0;
    while (pos < size) {
        size_t length = 0;
        uint32_t w = 0, h = 0;
        if (!ScanJpeg(data + pos, size - pos, length, w, h) || length > kMaxFrameBytes) {
            error = why(path_, frames_.empty()
                                   ? "neither an MJPG clip nor JPEG frames"
                                   : "frame " + std::to_string(frames_.size()) + " is not a whole JPEG");
            munmap(mapped, size);
            return false;
        }
        if (frames_.empty()) width_ = w, height_ = h;
        frames_.push_back({0, pos, static_cast<uint32_t>(length)});
        maxFrameBytes_ = std::max(maxFrameBytes_, length);
        pos += length;
        while (pos < size && data[pos] != 0xFF) ++pos; // padding between frames
    }
    munmap(mapped, size);
    return true;
}

bool JpegClip::openFolder(std::string& error) {
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(path_, code)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if ((ext == ".jpg" || ext == ".jpeg") && entry.is_regular_file(code)) files_.push_back(entry.path());
    }
    if (code) return error = why(path_, code.message()), false;
    std::sort(files_.begin(), files_.end());
    for (size_t i = 0; i < files_.size(); ++i) {
        std::error_code sizeError;
        auto bytes = std::filesystem::file_size(files_[i], sizeError);
        if (sizeError || bytes == 0 || bytes > kMaxFrameBytes)
            return error = why(files_[i], "not a usable JPEG file"), false;
        frames_.push_back({i, 0, static_cast<uint32_t>(bytes)});
        maxFrameBytes_ = std::max<size_t>(maxFrameBytes_, bytes);
    }
    if (frames_.empty()) return error = why(path_, "the folder holds no .jpg files"), false;
    std::vector<uint8_t> first(frames_[0].length);
    size_t read = 0, length = 0;
    if (!ReadFrame(0, first.data(), first.size(), read) ||
        !ScanJpeg(first.data(), read, length, width_, height_))
        return error = why(files_[0], "not a whole JPEG"), false;
    return true;
}

bool JpegClip::ReadFrame(size_t index, uint8_t* buffer, size_t capacity, size_t& length) {
    length = 0;
    if (index >= frames_.size() || frames_[index].length > capacity) return false;
    const Frame& f = frames_[index];
    bool ok;
    if (files_.empty()) {
        ok = readAll(fd_, f.offset, buffer, f.length);
    } else {
        int fd = ::open(files_[f.file].c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && readAll(fd, 0, buffer, f.length);
        if (fd >= 0) ::close(fd);
    }
    if (ok) length = f.length;
    return ok;
}

} // namespace platform::camera

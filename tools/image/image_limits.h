// Size limits on pictures read from files, so a hostile header cannot make a reader allocate
// gigabytes.
#pragma once

#include <cstdint>
#include <functional>

#include "tools/image/status.h"

namespace tools::image {

constexpr uint32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26; // 256 MiB of RGBA

inline bool ImageSizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// Direct3D 10's largest texture side. A picture is read only to be drawn, so the readers refuse one
// with a longer side from its declared size, before decoding anything.
constexpr uint32_t kMaxTextureSide = 8192;

inline bool ReadableImageSize(uint64_t width, uint64_t height) {
    return ImageSizeAllowed(width, height) && width <= kMaxTextureSide && height <= kMaxTextureSide;
}

// A reader's caller's own limit on the size a picture declares, checked after its header is read and
// before its pixels are decoded (an error says why the size is refused).
using SizeCheck = std::function<Status(uint32_t width, uint32_t height)>;

} // namespace tools::image

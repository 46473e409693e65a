// Size limits on pictures read from files, so a hostile header cannot make a reader allocate
// gigabytes.
#pragma once

#include <cstdint>

namespace tools::image {

constexpr uint32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26; // 256 MiB of RGBA

inline bool ImageSizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

} // namespace tools::image

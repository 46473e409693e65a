#include "tools/image/image.h"

#include <algorithm>
#include <cstring>

namespace tools::image {

Image::Image(uint32_t width, uint32_t height, Rgba fill)
    : width_(width), height_(height), pixels_(size_t(width) * height * 4) {
    this->fill(fill);
}

void Image::fill(Rgba c) {
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = c.r, pixels_[i + 1] = c.g, pixels_[i + 2] = c.b, pixels_[i + 3] = c.a;
    }
}

void Image::blit(const Image& source, int x, int y) {
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min<int64_t>(int64_t(x) + source.width(), width_);
    int y1 = std::min<int64_t>(int64_t(y) + source.height(), height_);
    if (x0 >= x1) return;
    for (int row = y0; row < y1; ++row) {
        std::memcpy(this->row(row) + size_t(x0) * 4, source.row(row - y) + size_t(x0 - x) * 4,
                    size_t(x1 - x0) * 4);
    }
}

bool Image::opaque() const {
    for (size_t i = 3; i < pixels_.size(); i += 4) {
        if (pixels_[i] != 255) return false;
    }
    return true;
}

} // namespace tools::image

// An 8-bit RGBA picture in memory: rows top to bottom, four bytes per pixel (red, green, blue, alpha),
// no padding between rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tools::image {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

class Image {
public:
    Image() = default;
    Image(uint32_t width, uint32_t height, Rgba fill = {});

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    size_t stride() const { return size_t(width_) * 4; }

    uint8_t* row(uint32_t y) { return pixels_.data() + y * stride(); }
    const uint8_t* row(uint32_t y) const { return pixels_.data() + y * stride(); }
    uint8_t* data() { return pixels_.data(); }
    const uint8_t* data() const { return pixels_.data(); }
    size_t byteSize() const { return pixels_.size(); }

    Rgba pixel(uint32_t x, uint32_t y) const {
        const uint8_t* p = row(y) + x * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    void setPixel(uint32_t x, uint32_t y, Rgba c) {
        uint8_t* p = row(y) + x * 4;
        p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
    }
    void fill(Rgba c);
    // Copies `source` with its top-left corner at (x, y), clipped to this picture.
    void blit(const Image& source, int x, int y);
    // True when every alpha byte is 255.
    bool opaque() const;

    bool operator==(const Image&) const = default;

private:
    uint32_t width_ = 0, height_ = 0;
    std::vector<uint8_t> pixels_;
};

} // namespace tools::image

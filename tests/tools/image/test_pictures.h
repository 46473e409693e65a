// Pictures and byte helpers shared by the picture-file tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tools/image/file_io.h"
#include "tools/image/image.h"

namespace tools::testing {

// Smooth colours, which JPEG keeps well.
inline image::Image Gradient(uint32_t w, uint32_t h) {
    image::Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.setPixel(x, y,
                         {uint8_t(x * 255 / (w - 1)), uint8_t(y * 255 / (h - 1)),
                          uint8_t((x + y) * 127 / (w + h)), 255});
    return img;
}

// Every byte random, alpha included unless opaque.
inline image::Image Noise(uint32_t w, uint32_t h, unsigned seed, bool opaque) {
    std::mt19937 random(seed);
    image::Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.setPixel(x, y,
                         {uint8_t(random()), uint8_t(random()), uint8_t(random()),
                          opaque ? uint8_t(255) : uint8_t(random())});
    return img;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    (void)image::ReadFileBytes(path, bytes);
    return bytes;
}

inline void PutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline void PutFile(const std::string& path, const std::string& text) {
    PutFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Largest and mean absolute difference over the colour channels.
struct Difference {
    int max = 0;
    double mean = 0;
};

inline Difference Compare(const image::Image& a, const image::Image& b) {
    Difference d;
    long total = 0, count = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) {
            image::Rgba p = a.pixel(x, y), q = b.pixel(x, y);
            for (int c : {std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)}) {
                d.max = std::max(d.max, c);
                total += c;
                ++count;
            }
        }
    d.mean = count ? double(total) / double(count) : 0;
    return d;
}

} // namespace tools::testing

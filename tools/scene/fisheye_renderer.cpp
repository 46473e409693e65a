#include "tools/scene/fisheye_renderer.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "tools/scene/scene.h"

namespace tools::scene {
namespace {

Rgba SampleAt(const FisheyeCamera& camera, double x, double y) {
    Vec3 v;
    if (!camera.VectorOfPoint({x, y}, v)) return room::kOutsideColour;
    return SceneColour(v);
}

Rgba Supersample(const FisheyeCamera& camera, int column, int row, int n) {
    unsigned r = 0, g = 0, b = 0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            Rgba c = SampleAt(camera, column + (i + 0.5) / n, row + (j + 0.5) / n);
            r += c.r, g += c.g, b += c.b;
        }
    }
    const unsigned count = unsigned(n * n), half = count / 2;
    return {uint8_t((r + half) / count), uint8_t((g + half) / count), uint8_t((b + half) / count), 255};
}

// Runs body(row) for every row, rows dealt out in interleaved bands to the workers.
template <typename Body>
void ForEachRow(int rows, int threads, Body body) {
    constexpr int kBand = 8;
    auto work = [&](int worker) {
        for (int start = worker * kBand; start < rows; start += threads * kBand) {
            for (int row = start; row < std::min(rows, start + kBand); ++row) body(row);
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < threads; ++w) pool.emplace_back(work, w);
    work(0);
    for (std::thread& t : pool) t.join();
}

} // namespace

image::Image RenderFisheye(const FisheyeCamera& camera, const RenderOptions& options) {
    const int size = camera.size();
    const int n = std::max(1, options.samplesPerAxis);
    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 64);
    const uint32_t side = uint32_t(size);
    image::Image picture(side, side, room::kOutsideColour);
    if (!options.adaptive || n == 1) {
        ForEachRow(size, threads, [&](int row) {
            for (int col = 0; col < size; ++col) {
                picture.setPixel(uint32_t(col), uint32_t(row),
                                 n == 1 ? SampleAt(camera, col + 0.5, row + 0.5)
                                        : Supersample(camera, col, row, n));
            }
        });
        return picture;
    }
    // One sample at every pixel centre and every pixel corner; a pixel whose centre, corners and
    // neighbouring centres all agree is flat and keeps that colour.
    image::Image centres(side, side), corners(side + 1, side + 1);
    ForEachRow(size + 1, threads, [&](int row) {
        for (int col = 0; col <= size; ++col) {
            corners.setPixel(uint32_t(col), uint32_t(row), SampleAt(camera, col, row));
            if (row < size && col < size)
                centres.setPixel(uint32_t(col), uint32_t(row), SampleAt(camera, col + 0.5, row + 0.5));
        }
    });
    ForEachRow(size, threads, [&](int row) {
        for (int col = 0; col < size; ++col) {
            const Rgba own = centres.pixel(uint32_t(col), uint32_t(row));
            bool uniform = true;
            for (int dy = 0; dy <= 1 && uniform; ++dy)
                for (int dx = 0; dx <= 1 && uniform; ++dx)
                    uniform = corners.pixel(uint32_t(col + dx), uint32_t(row + dy)) == own;
            for (int dy = -1; dy <= 1 && uniform; ++dy) {
                for (int dx = -1; dx <= 1 && uniform; ++dx) {
                    int x = col + dx, y = row + dy;
                    if (x < 0 || y < 0 || x >= size || y >= size) continue;
                    uniform = centres.pixel(uint32_t(x), uint32_t(y)) == own;
                }
            }
            picture.setPixel(uint32_t(col), uint32_t(row), uniform ? own : Supersample(camera, col, row, n));
        }
    });
    return picture;
}

} // namespace tools::scene

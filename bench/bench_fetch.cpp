// The footprint fetch on its own, on one core: the footprints of one part's rows of a 1280 x 720 view
// (the top half, as the device deals a fully covered view to two workers) into a square RGBA8
// texture, fetched 64 lanes a call in the order a replay takes them. Before each frame the texture is
// rewritten, as an upload does, so its texels come from beyond the first-level caches as in a frame.
//
// The view is a polar unwrapping of the texture's inscribed circle (each row a circle, as the inverted
// dome's rows are arcs): rows that run across texel rows, the case where locality matters. "flat"
// keeps every footprint within a few texels, which leaves the fetch's arithmetic alone.
//
// "window" fetches, at the polar view's pixels, the nine taps of a 3 x 3 filter one texel apart (the
// colour filter's samples) through the window fetch, from footprint axes worked out beforehand, then
// from the same axes kept packed ("kept-").
//
// Usage: bench_fetch [input side (1440)] [frames (40)] [polar|flat|window]. One line per fetch kernel
// and prefetch choice: "isa=<set> prefetch=<0|1> fetch_us=<median> min_us=<min>", processor time of
// the fetching thread per frame (on a shared machine it varies less than the wall-clock time).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d10/shader_vm.h"
#include "platform/d3d10/texel_fetch.h"

using namespace platform::d3d10;

namespace {

double threadUs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

} // namespace

constexpr int kWidth = 1280, kHeight = 720;

// Processor time per frame of `frame`, which rereads the texture's source first: median and minimum.
template <class Frame>
void timeFrames(const char* name, bool prefetch, int pixels, int frames, std::vector<uint8_t>& texels,
                const std::vector<uint8_t>& source, Frame frame) {
    std::vector<double> us;
    double sum = 0; // read, so that the fetch's results are not dropped
    for (int f = 0; f < frames; ++f) {
        std::memcpy(texels.data(), source.data(), source.size());
        const double start = threadUs();
        sum += frame();
        us.push_back(threadUs() - start);
    }
    std::sort(us.begin(), us.end());
    std::printf("isa=%s prefetch=%d pixels=%d fetch_us=%.0f min_us=%.0f check=%.1f\n", name, prefetch, pixels,
                us[us.size() / 2], us[0], sum);
    std::fflush(stdout);
}

// The window fetch of each kernel over the view's pixels, from their nine taps' footprint axes.
void timeWindows(const SampledTexture& texture, const std::vector<float> (&axes)[6], int frames,
                 std::vector<uint8_t>& texels, const std::vector<uint8_t>& source) {
    const int pixels = int(axes[0].size());
    std::vector<std::pair<const char*, WindowFetch>> fetchers = {
        {"portable", WindowFetcher(Isa::Portable, DXGI_FORMAT_R8G8B8A8_UNORM)}};
    if (IsaSupported(Isa::Avx2))
        fetchers.push_back({"avx2", WindowFetcher(Isa::Avx2, DXGI_FORMAT_R8G8B8A8_UNORM)});
    alignas(64) float channels[9][3][kLanes];
    float* out[9][4];
    for (int t = 0; t < 9; ++t)
        out[t][0] = channels[t][0], out[t][1] = channels[t][1], out[t][2] = channels[t][2],
        out[t][3] = nullptr;
    for (const auto& [name, kernel] : fetchers)
        timeFrames(name, false, pixels, frames, texels, source, [&, fetch = kernel] {
            double sum = 0;
            for (int i = 0; i < pixels; i += kLanes) {
                const int n = std::min(kLanes, pixels - i);
                const float* const x[3] = {axes[0].data() + i, axes[1].data() + i, axes[2].data() + i};
                const float* const y[3] = {axes[3].data() + i, axes[4].data() + i, axes[5].data() + i};
                fetch(texture.data, texture.rowPitch, x, y, out, n);
                sum += channels[0][0][0] + channels[8][2][n - 1];
            }
            return sum;
        });
    // The same windows from axes kept per pixel, the next batch's rows asked for ahead as a replay does.
    std::vector<uint32_t> corners(size_t(pixels), 0);
    std::vector<uint64_t> taps(size_t(pixels), 0);
    const float* const x[3] = {axes[0].data(), axes[1].data(), axes[2].data()};
    const float* const y[3] = {axes[3].data(), axes[4].data(), axes[5].data()};
    if (!PackWindowAxes(x, y, corners.data(), taps.data(), pixels)) return;
    std::vector<std::pair<const char*, KeptWindowFetch>> kept = {
        {"kept-portable", KeptWindowFetcher(Isa::Portable, DXGI_FORMAT_R8G8B8A8_UNORM)}};
    if (IsaSupported(Isa::Avx2))
        kept.push_back({"kept-avx2", KeptWindowFetcher(Isa::Avx2, DXGI_FORMAT_R8G8B8A8_UNORM)});
    for (const auto& [name, kernel] : kept)
        timeFrames(name, true, pixels, frames, texels, source, [&, fetch = kernel] {
            double sum = 0;
            for (int i = 0; i < pixels; i += kLanes) {
                const int n = std::min(kLanes, pixels - i);
                if (i + n < pixels)
                    PrefetchWindows(texture.data, texture.rowPitch, corners.data() + i + n,
                                    std::min(kLanes, pixels - i - n));
                fetch(texture.data, texture.rowPitch, corners.data() + i, taps.data() + i, out, n);
                sum += channels[0][0][0] + channels[8][2][n - 1];
            }
            return sum;
        });
}

int main(int argc, char** argv) {
    const uint32_t side = argc > 1 ? uint32_t(std::max(2, std::atoi(argv[1]))) : 1440;
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
    const std::string kind = argc > 3 ? argv[3] : "polar";
    const bool flat = kind == "flat";

    // As the device lays textures out: rows 64-byte aligned, 64 bytes more where that would make the
    // pitch a multiple of 4 KB, and one row and 64 bytes beyond the last texel.
    size_t pitch = (size_t(side) * 4 + 63) / 64 * 64;
    if (pitch % 4096 == 0) pitch += 64;
    std::vector<uint8_t> source(pitch * (side + 1) + 64), texels(source.size());
    std::mt19937 random(1);
    for (uint8_t& b : source) b = uint8_t(random());
    const SampledTexture texture{texels.data(), side, side, uint32_t(pitch), DXGI_FORMAT_R8G8B8A8_UNORM};

    std::vector<uint32_t> offsets;
    std::vector<uint16_t> weights;
    std::vector<float> axes[6]; // the window taps' x axes, left to right, then their y axes
    std::vector<float> u(kWidth), v(kWidth), tap(kWidth), axis(kWidth);
    for (int y = 0; y < kHeight / 2; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double angle = 2 * std::numbers::pi * x / kWidth;
            const double radius = flat ? 0.01 * (x % 7) / 7 : (y + 0.5) / kHeight * 0.5;
            u[x] = float(0.5 + radius * std::cos(angle));
            v[x] = float(0.5 + radius * std::sin(angle));
        }
        const size_t at = offsets.size();
        offsets.resize(at + kWidth);
        weights.resize(at + kWidth);
        ComputeFootprints(texture, u.data(), v.data(), offsets.data() + at, weights.data() + at, kWidth);
        for (int a = 0; a < 6; ++a) {
            const std::vector<float>& c = a < 3 ? u : v;
            for (int x = 0; x < kWidth; ++x) tap[x] = c[x] + float(a % 3 - 1) / float(side);
            ComputeFootprintAxis(side, tap.data(), axis.data(), kWidth);
            axes[a].insert(axes[a].end(), axis.begin(), axis.end());
        }
    }
    if (kind == "window") {
        timeWindows(texture, axes, frames, texels, source);
        return 0;
    }
    const int pixels = int(offsets.size());

    std::vector<std::pair<const char*, FootprintFetch>> fetchers = {
        {"portable", detail::FetchFootprintsPortable<false>}};
    if (IsaSupported(Isa::Avx2)) fetchers.push_back({"avx2", detail::Avx2FootprintFetcher(false)});
    if (FootprintFetch wide = detail::Avx512FootprintFetcher(false)) fetchers.push_back({"avx512", wide});
    for (const auto& [name, kernel] : fetchers) {
        const FootprintFetch fetch = kernel;
        for (bool prefetch : {false, true}) {
            alignas(64) float channels[3][kLanes];
            float* out[4] = {channels[0], channels[1], channels[2], nullptr};
            timeFrames(name, prefetch, pixels, frames, texels, source, [&] {
                double sum = 0;
                for (int i = 0; i < pixels; i += kLanes) {
                    const int n = std::min(kLanes, pixels - i);
                    if (prefetch)
                        PrefetchFootprints(texels.data(), pitch, offsets.data() + i + n,
                                           std::min(kLanes, pixels - i - n));
                    fetch(texels.data(), pitch, offsets.data() + i, weights.data() + i, out, n);
                    sum += channels[0][0] + channels[1][n - 1];
                }
                return sum;
            });
        }
    }
    return 0;
}

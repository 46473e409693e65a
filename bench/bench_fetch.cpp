// The footprint fetch on its own, on one core: the footprints of one part's rows of a 1280 x 720 view
// (the top half, as the device deals a fully covered view to two workers) into a square RGBA8
// texture, fetched 64 lanes a call in the order a replay takes them. Before each frame the texture is
// rewritten, as an upload does, so its texels come from beyond the first-level caches as in a frame.
//
// The view is a polar unwrapping of the texture's inscribed circle (each row a circle, as the inverted
// dome's rows are arcs): rows that run across texel rows, the case where locality matters. "flat"
// keeps every footprint within a few texels, which leaves the fetch's arithmetic alone.
//
// Usage: bench_fetch [input side (1440)] [frames (40)] [polar|flat]. One line per fetch kernel and
// prefetch choice: "isa=<set> prefetch=<0|1> fetch_us=<median> min_us=<min>", processor time of the
// fetching thread per frame (on a shared machine it varies less than the wall-clock time).
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

int main(int argc, char** argv) {
    const uint32_t side = argc > 1 ? uint32_t(std::max(2, std::atoi(argv[1]))) : 1440;
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
    const bool flat = argc > 3 && std::string(argv[3]) == "flat";
    constexpr int kWidth = 1280, kHeight = 720;

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
    std::vector<float> u(kWidth), v(kWidth);
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
    }
    const int pixels = int(offsets.size());

    std::vector<std::pair<const char*, FootprintFetch>> fetchers = {
        {"portable", detail::FetchFootprintsPortable<false>}};
    if (IsaSupported(Isa::Avx2)) fetchers.push_back({"avx2", detail::Avx2FootprintFetcher(false)});
    if (FootprintFetch wide = detail::Avx512FootprintFetcher(false)) fetchers.push_back({"avx512", wide});
    for (auto [name, fetch] : fetchers) {
        for (bool prefetch : {false, true}) {
            alignas(64) float channels[3][kLanes];
            float* out[4] = {channels[0], channels[1], channels[2], nullptr};
            std::vector<double> us;
            double sum = 0; // read, so that the fetch's results are not dropped
            for (int f = 0; f < frames; ++f) {
                std::memcpy(texels.data(), source.data(), source.size());
                const double start = threadUs();
                for (int i = 0; i < pixels; i += kLanes) {
                    const int n = std::min(kLanes, pixels - i);
                    if (prefetch)
                        PrefetchFootprints(texels.data(), pitch, offsets.data() + i + n,
                                           std::min(kLanes, pixels - i - n));
                    fetch(texels.data(), pitch, offsets.data() + i, weights.data() + i, out, n);
                    sum += channels[0][0] + channels[1][n - 1];
                }
                us.push_back(threadUs() - start);
            }
            std::sort(us.begin(), us.end());
            std::printf("isa=%s prefetch=%d pixels=%d fetch_us=%.0f min_us=%.0f check=%.1f\n", name, prefetch,
                        pixels, us[us.size() / 2], us[0], sum);
            std::fflush(stdout);
        }
    }
    return 0;
}

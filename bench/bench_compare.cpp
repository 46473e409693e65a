// The engine against OpenCV's cv::remap, in one process and in alternating rounds, so that the
// machine's drift between runs cancels out of the ratios.
//
// Engine: UploadFrame + Render of a 1440 x 1440 fisheye picture into 1280 x 720, per unfold mode, as the
// expansion filter runs them for every frame. Remap: cv::remap of the same picture (BGRA) through
// fixed-point maps (CV_16SC2 + CV_16UC1, bilinear, BORDER_CONSTANT) into a 1280 x 720 perspective view,
// then BGRA to BGR. The remap view covers the same pixels as the mode's picture (where the mode draws
// on a white input); the rest of its map points outside the picture. Both use two threads.
//
// Usage: bench_compare [frames per measurement (30)] [rounds (5)]. Each figure is the median over the
// rounds of the per-round medians; each ratio the median of the per-round ratios.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/d3d10/software_device.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/unfolder.h"

namespace {

constexpr int kOutW = 1280, kOutH = 720, kThreads = 2;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double millisecondsOf(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double medianOf(int frames, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) ms.push_back(millisecondsOf(work));
    return median(ms);
}

// A fisheye picture as the engine receives it (bytes blue, green, red, unused; rows bottom-up) and as
// cv::remap reads it (the same bytes as a BGRA image).
struct Picture {
    int size = 0;
    std::vector<BYTE> frame;
    cv::Mat bgra;
    tools::image::Image image;
};

Picture makePicture(int size) {
    tools::scene::FisheyeCamera camera(size, tools::scene::LensFacing::Up, 0);
    tools::scene::RenderOptions quick;
    quick.samplesPerAxis = 1;
    Picture p;
    p.size = size;
    p.image = tools::scene::RenderFisheye(camera, quick);
    p.frame.resize(size_t(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        const uint8_t* src = p.image.row(uint32_t(size - 1 - y));
        BYTE* dst = p.frame.data() + size_t(y) * size * 4;
        for (int x = 0; x < size; ++x, src += 4, dst += 4)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 0;
    }
    p.bgra = cv::Mat(size, size, CV_8UC4, p.frame.data());
    return p;
}

// An engine connected for one input size, as the expansion filter connects it.
struct Engine {
    std::unique_ptr<tools::unfold::Unfolder> unfolder;
    const Picture* picture = nullptr;
    std::vector<BYTE> output = std::vector<BYTE>(size_t(kOutW) * kOutH * 3);

    COrbExpander& engine() { return unfolder->engine(); }
    void select(int32_t mode) {
        tools::unfold::UnfoldSettings s;
        s.mode = mode;
        tools::image::Image out;
        if (!unfolder->unfold(picture->image, s, out)) {
            std::fprintf(stderr, "bench_compare: mode %d does not draw\n", int(mode));
            std::exit(1);
        }
    }
    void frame() {
        engine().UploadFrame(picture->frame.data(), uint32_t(picture->size) * 4);
        engine().Render(output.data());
    }
};

Engine connect(const Picture& picture) {
    std::string error;
    Engine e;
    e.unfolder = tools::unfold::Unfolder::Create(error);
    if (!e.unfolder) {
        std::fprintf(stderr, "bench_compare: %s\n", error.c_str());
        std::exit(1);
    }
    e.picture = &picture;
    e.select(9);
    platform::d3d10::SetDeviceThreads(e.engine().Device(), kThreads);
    return e;
}

// Which output pixels the current mode draws: those that are not black for an all-white input.
std::vector<uint8_t> coverageOf(Engine& e) {
    std::vector<BYTE> white(e.picture->frame.size(), 255);
    e.engine().UploadFrame(white.data(), uint32_t(e.picture->size) * 4);
    e.engine().Render(e.output.data());
    std::vector<uint8_t> covered(size_t(kOutW) * kOutH);
    for (size_t i = 0; i < covered.size(); ++i) {
        const BYTE* p = &e.output[i * 3];
        covered[i] = (p[0] | p[1] | p[2]) != 0;
    }
    return covered;
}

// A perspective view 90 degrees wide, 45 degrees off the lens axis, of an equidistant fisheye whose rim
// (107 degrees) lies at the picture's edge; pixels outside `covered` point outside the picture.
struct RemapView {
    cv::Mat map1, map2; // CV_16SC2, CV_16UC1
    double share = 0;
};

RemapView perspectiveView(int size, const std::vector<uint8_t>& covered) {
    cv::Mat mapX(kOutH, kOutW, CV_32FC1), mapY(kOutH, kOutW, CV_32FC1);
    const double focal = kOutW / 2.0, tilt = 45.0 * M_PI / 180.0, rim = 107.0 * M_PI / 180.0;
    const double centre = size / 2.0, radius = size / 2.0;
    size_t count = 0;
    for (int y = 0; y < kOutH; ++y) {
        for (int x = 0; x < kOutW; ++x) {
            float& mx = mapX.at<float>(y, x);
            float& my = mapY.at<float>(y, x);
            if (!covered[size_t(y) * kOutW + x]) {
                mx = my = -16.0f;
                continue;
            }
            count++;
            double dx = (x + 0.5 - kOutW / 2.0) / focal, dy = (y + 0.5 - kOutH / 2.0) / focal, dz = 1.0;
            double ry = dy * std::cos(tilt) - dz * std::sin(tilt),
                   rz = dy * std::sin(tilt) + dz * std::cos(tilt);
            double theta = std::atan2(std::hypot(dx, ry), rz), phi = std::atan2(ry, dx);
            double r = theta / rim * radius;
            mx = float(centre + r * std::cos(phi) - 0.5);
            my = float(centre + r * std::sin(phi) - 0.5);
        }
    }
    RemapView v;
    cv::convertMaps(mapX, mapY, v.map1, v.map2, CV_16SC2, false);
    v.share = double(count) / (double(kOutW) * kOutH);
    return v;
}

struct Remap {
    const Picture* picture;
    cv::Mat bgra = cv::Mat(kOutH, kOutW, CV_8UC4), bgr = cv::Mat(kOutH, kOutW, CV_8UC3);
    void frame(const RemapView& v) {
        cv::remap(picture->bgra, bgra, v.map1, v.map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    }
};

struct Series {
    std::vector<double> engine, remap, ratio;
    void add(double e, double r) {
        engine.push_back(e);
        remap.push_back(r);
        ratio.push_back(e / r);
    }
};

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    cv::setNumThreads(kThreads);
    std::printf("threads=%d frames=%d rounds=%d opencv=%s\n", kThreads, frames, rounds, CV_VERSION);

    Picture picture = makePicture(1440), large = makePicture(2048);
    Engine engine = connect(picture), engineLarge = connect(large);
    Remap remap{&picture};

    std::vector<int32_t> modes;
    std::vector<RemapView> views;
    for (int32_t mode = 0; mode < kModeCount; ++mode) {
        if (!engine.engine().SetExpMode(mode)) continue;
        engine.select(mode);
        modes.push_back(mode);
        views.push_back(perspectiveView(picture.size, coverageOf(engine)));
    }
    const size_t indome = size_t(std::find(modes.begin(), modes.end(), kModeInDome) - modes.begin());

    std::vector<Series> perMode(modes.size());
    Series filtered, sizes;
    std::vector<double> switchWorst, viewWorst;
    std::vector<std::string> switchMode, viewMode;
    for (int round = 0; round < rounds; ++round) {
        for (size_t m = 0; m < modes.size(); ++m) {
            engine.select(modes[m]);
            engine.frame(); // the first frame after a switch rasterises; the rest replay
            double e = medianOf(frames, [&] { engine.frame(); });
            double r = medianOf(frames, [&] { remap.frame(views[m]); });
            perMode[m].add(e, r);
        }

        // The colour filter on (a sharpen kernel: nine samples a pixel), inverted dome.
        engine.select(9);
        engine.engine().Current()->SetSharpness(0.5f);
        engine.frame();
        double e = medianOf(frames, [&] { engine.frame(); });
        engine.engine().Current()->SetSharpness(0.0f);
        filtered.add(e, medianOf(frames, [&] { remap.frame(views[indome]); }));

        // A 2048 x 2048 input against the 1440 x 1440 one, inverted dome, both engines.
        engineLarge.frame();
        double big = medianOf(frames, [&] { engineLarge.frame(); });
        engine.frame();
        sizes.add(big, medianOf(frames, [&] { engine.frame(); }));

        // The first frame after a mode switch with nothing cached, and after a view change.
        double worstSwitch = 0, worstView = 0;
        std::string worstSwitchMode, worstViewMode;
        for (int32_t mode : modes) {
            platform::d3d10::ClearCoverageCache(engine.engine().Device());
            double s = millisecondsOf([&] {
                engine.engine().SetExpMode(mode);
                engine.frame();
            });
            if (s > worstSwitch) worstSwitch = s, worstSwitchMode = tools::unfold::ModeLabel(mode);
            float h = round % 2 ? 30.0f : 70.0f, v = round % 2 ? 60.0f : 40.0f;
            double c = millisecondsOf([&] {
                engine.engine().Current()->SetPosition(h, v);
                engine.frame();
            });
            if (c > worstView) worstView = c, worstViewMode = tools::unfold::ModeLabel(mode);
            engine.engine().Current()->SetPosition(50.0f, 50.0f);
        }
        switchWorst.push_back(worstSwitch);
        viewWorst.push_back(worstView);
        switchMode.push_back(worstSwitchMode);
        viewMode.push_back(worstViewMode);
        std::fprintf(stderr, "bench_compare: round %d of %d done\n", round + 1, rounds);
    }

    double worst = 0;
    for (size_t m = 0; m < modes.size(); ++m) {
        const Series& s = perMode[m];
        double ratio = median(s.ratio);
        worst = std::max(worst, ratio);
        std::printf("mode=%s engine_ms=%.2f remap_ms=%.2f ratio=%.2f covered=%.2f\n",
                    tools::unfold::ModeLabel(modes[m]).c_str(), median(s.engine), median(s.remap), ratio,
                    views[m].share);
    }
    std::printf("filter=on mode=INDOME engine_ms=%.2f remap_ms=%.2f ratio=%.2f\n", median(filtered.engine),
                median(filtered.remap), median(filtered.ratio));
    // Worst over the modes within a round, median over the rounds (named from the median round).
    auto medianRound = [&](const std::vector<double>& v) {
        std::vector<size_t> order(v.size());
        for (size_t i = 0; i < v.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
        return order[order.size() / 2];
    };
    size_t sw = medianRound(switchWorst), vw = medianRound(viewWorst);
    std::printf("first_frame mode_switch_ms=%.2f (%s) view_change_ms=%.2f (%s)\n", switchWorst[sw],
                switchMode[sw].c_str(), viewWorst[vw], viewMode[vw].c_str());
    std::printf("input=2048 mode=INDOME engine_ms=%.2f input_1440_ms=%.2f ratio=%.2f\n", median(sizes.engine),
                median(sizes.remap), median(sizes.ratio));
    std::printf("indome_ratio=%.2f worst_ratio=%.2f\n", median(perMode[indome].ratio), worst);
    return 0;
}

// The engine's frame cost per unfold mode: UploadFrame + Render of a 1440 x 1440 (or the given size)
// fisheye picture (the reference room) into a 1280 x 720 frame, as the expansion filter runs them for every
// frame. One line per mode: "mode=<NAME> frame_ms=<median> fps=<frames per second> cpu_ms=<median>", where
// cpu_ms is the processor time of all the process's threads in a frame: on a shared machine it varies less
// than the wall-clock time, as time spent waiting for a core is not counted.
//
// Usage: bench_engine [frames (30)] [mode id: that mode alone, -1 all] [input side (1440)]
// [sharpness: the colour filter on] [cold: 1 to draw every frame with nothing cached, as the first frame
// after a mode switch]. Under
// `valgrind --tool=callgrind --instr-atstart=no` only the timed frames are counted.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "platform/d3d10/software_device.h"
#include "tools/scene/fisheye_renderer.h"
#include "tools/unfold/unfolder.h"

namespace {

double processMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int32_t only = argc > 2 ? std::atoi(argv[2]) : -1;
    const int side = argc > 3 ? std::max(16, std::atoi(argv[3])) : 1440;
    const float sharpness = argc > 4 ? float(std::atof(argv[4])) : 0.0f;
    const bool cold = argc > 5 && std::atoi(argv[5]) == 1;
    std::string error;
    auto unfolder = tools::unfold::Unfolder::Create(error);
    if (!unfolder) {
        std::fprintf(stderr, "bench_engine: %s\n", error.c_str());
        return 1;
    }
    tools::scene::FisheyeCamera camera(side, tools::scene::LensFacing::Up, 0);
    tools::scene::RenderOptions quick;
    quick.samplesPerAxis = 1;
    tools::image::Image fisheye = tools::scene::RenderFisheye(camera, quick);
    tools::image::Image out;
    if (!unfolder->unfold(fisheye, tools::unfold::UnfoldSettings{}, out)) return 1; // connects the engine

    COrbExpander& engine = unfolder->engine();
    std::vector<BYTE> frame(size_t(side) * side * 4, 0);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = fisheye.data()[i];
    std::vector<BYTE> output(size_t(1280) * 720 * 3);
    for (int32_t mode = 0; mode < kModeCount; ++mode) {
        if ((only >= 0 && mode != only) || !engine.SetExpMode(mode)) continue;
        if (sharpness != 0.0f) engine.Current()->SetSharpness(sharpness);
        // The first frame rasterises, the second builds what replays shade from; later ones replay.
        for (int warm = 0; warm < 2; ++warm) {
            engine.UploadFrame(frame.data(), side * 4);
            engine.Render(output.data());
        }
        std::vector<double> ms, cpu;
        CALLGRIND_START_INSTRUMENTATION;
        for (int i = 0; i < frames; ++i) {
            auto start = std::chrono::steady_clock::now();
            const double cpuStart = processMs();
            if (cold) platform::d3d10::ClearCoverageCache(engine.Device());
            engine.UploadFrame(frame.data(), side * 4);
            engine.Render(output.data());
            cpu.push_back(processMs() - cpuStart);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        CALLGRIND_STOP_INSTRUMENTATION;
        std::sort(ms.begin(), ms.end());
        std::sort(cpu.begin(), cpu.end());
        double median = ms[ms.size() / 2];
        std::printf("mode=%s frame_ms=%.2f fps=%.1f cpu_ms=%.2f\n", tools::unfold::ModeLabel(mode).c_str(),
                    median, 1000.0 / median, cpu[cpu.size() / 2]);
        std::fflush(stdout);
    }
    return 0;
}

// bench_pipeline [SECONDS]
//
// The whole virtual camera at work, as a video-call application uses it: the sample camera
// "TELMAR ZK900 4K" at 1440 x 1440 MJPG, 30 frames per second, through the private graph (MJPEG
// decompressor, expansion filter, sample grabber) and the virtual camera's pin into the host's
// clock-paced renderer, for SECONDS (10 by default, at least 10), in a registry of its own.
//
// It reports the frames the renderer received per second; the camera's frames that the expansion
// filter's frame-interval rule dropped (the camera numbers its frames in their media times, which the
// decompressor and the filter pass on, so a gap in the numbers the grabber sees is a dropped frame);
// the frames the renderer received twice over (the pin copies the latest frame whether or not a new
// one came); the CPU time per delivered frame, split into decoding (the MJPEG decompressor), unfolding
// (the expansion filter and the Direct3D device's workers) and copying (grabber, frame buffer, pin,
// renderer), each the CPU time of the threads that did it while the pipeline ran, and the rest of the
// process's CPU time beside them; and the whole process's CPU use as a share of the machine's cores.
// The last line is "pipeline_fps=<delivered per second> cpu_share=<0..1>".
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <objbase.h>
#include <qedit.h>

#include "platform/win32/stage_times.h"
#include "tools/unfold/capture_session.h"
#include "tools/unfold/sample_camera.h"
#include "vcam/internal_graph.h"
#include "vcam/vcam.h"

namespace {

using platform::ComPtr;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void Append(std::string& to, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& to, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    to += line;
}

HRESULT CallModule(const char* path, const char* entry) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(module);
    return hr;
}

void WriteSetting(const wchar_t* name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Halvern\\TELMAR_ZK900_4K_UVC", 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

// Sees every frame the expansion filter draws, on the camera's streaming thread, through the private
// graph's sample grabber.
class DrawnFrames final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        LONGLONG start = 0, stop = 0;
        std::lock_guard lock(lock_);
        if (!counting_) return S_OK;
        ++drawn_;
        if (SUCCEEDED(sample->GetMediaTime(&start, &stop))) numbers_.insert(start);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

    void count(bool on) {
        std::lock_guard lock(lock_);
        counting_ = on;
    }
    uint64_t drawn() {
        std::lock_guard lock(lock_);
        return drawn_;
    }
    // The camera frames between the first and last drawn ones, and how many of them were drawn; 0
    // when the frames carry no numbers.
    std::pair<uint64_t, uint64_t> cameraFrames() {
        std::lock_guard lock(lock_);
        if (numbers_.empty()) return {0, 0};
        return {uint64_t(*numbers_.rbegin() - *numbers_.begin() + 1), uint64_t(numbers_.size())};
    }

private:
    std::mutex lock_;
    bool counting_ = false;
    uint64_t drawn_ = 0;
    std::set<LONGLONG> numbers_;
};

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (seconds < 10) seconds = 10;

    // A registry of its own: the user's settings and devices stay as they are.
    char folder[] = "/tmp/bench-pipeline-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("UNFOLD_REGISTRY", folder, 1);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::string clip, error;
    if (FAILED(CallModule(UNFOLDFILTER_PATH, "DllRegisterServer")) ||
        !tools::unfold::RegisterSampleCamera(clip, error)) {
        std::fprintf(stderr, "bench_pipeline: cannot register the expansion filter or the sample camera %s\n",
                     error.c_str());
        return 1;
    }
    WriteSetting(L"Width", 1440);
    WriteSetting(L"Height", 1440);
    WriteSetting(L"fps", 30);
    platform::EnableStageTimes(true);

    // The figures are printed once the virtual camera is gone, after its last log lines, so that the
    // summary line is the last.
    std::string report;
    int code = 0;
    {
        HRESULT hr = S_OK;
        auto* camera = static_cast<CVCam*>(CVCam::CreateInstance(nullptr, &hr));
        camera->AddRef();
        DrawnFrames drawn;
        ComPtr<IGraphBuilder> privateGraph;
        ComPtr<IBaseFilter> grabberFilter;
        ComPtr<ISampleGrabber> grabber;
        if (CVCam::PrivateGraph()->State() != 1 ||
            FAILED(CVCam::PrivateGraph()->GetGraph(privateGraph.put())) ||
            FAILED(privateGraph->FindFilterByName(L"SampleGrabber", grabberFilter.put())) ||
            FAILED(grabberFilter.as(IID_ISampleGrabber, grabber))) {
            std::fprintf(stderr, "bench_pipeline: the virtual camera's private graph is not running\n");
            code = 1;
        } else {
            grabber->SetCallback(&drawn, 0);
            std::atomic<uint64_t> received{0};
            tools::unfold::CaptureSession session;
            if (FAILED(hr = session.Open(camera, [&](tools::unfold::ReceivedFrame&&) { ++received; })) ||
                FAILED(hr = session.Run())) {
                std::fprintf(stderr, "bench_pipeline: cannot run the capture graph (0x%08X)\n", unsigned(hr));
                code = 1;
            } else {
                // A second to settle, then the measured run.
                std::this_thread::sleep_for(std::chrono::seconds(1));
                struct Snapshot {
                    double process, stage[platform::kStageCount];
                };
                auto snapshot = [] {
                    Snapshot now{};
                    now.process = ProcessCpuSeconds();
                    for (int i = 0; i < platform::kStageCount; ++i)
                        now.stage[i] = platform::StageSeconds(platform::Stage(i));
                    return now;
                };
                const auto before = session.counts();
                const uint64_t receivedBefore = received;
                drawn.count(true);
                const Snapshot cpuBefore = snapshot();
                const auto wallBefore = std::chrono::steady_clock::now();
                std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
                const Snapshot cpuAfter = snapshot();
                const double wall =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
                drawn.count(false);
                const auto after = session.counts();
                const uint64_t delivered = received - receivedBefore;
                session.Stop();
                grabber->SetCallback(nullptr, 0);

                const double cpu = cpuAfter.process - cpuBefore.process;
                double stage[platform::kStageCount];
                for (int i = 0; i < platform::kStageCount; ++i)
                    stage[i] = cpuAfter.stage[i] - cpuBefore.stage[i];
                const double decode = stage[int(platform::Stage::Decode)];
                const double unfold = stage[int(platform::Stage::Unfold)];
                const double copies = stage[int(platform::Stage::Copy)];
                const double other = cpu - decode - unfold - copies;
                const auto [cameraFrames, numbered] = drawn.cameraFrames();
                const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
                const double fps = double(delivered) / wall;
                const double share = cpu / (wall * cores);
                const double perFrame = delivered ? 1e3 / double(delivered) : 0; // seconds -> ms a frame
                Append(report, "run: %.1f s, sample camera 1440 x 1440 MJPG at 30 fps, %u cores\n", wall,
                       cores);
                Append(report,
                       "delivered to the renderer: %llu frames, %.2f fps (%llu received twice over, "
                       "%llu late)\n",
                       static_cast<unsigned long long>(delivered), fps,
                       static_cast<unsigned long long>(after.repeated - before.repeated),
                       static_cast<unsigned long long>(after.late - before.late));
                if (cameraFrames)
                    Append(report,
                           "camera frames reaching the expansion filter: %llu, drawn %llu, dropped by the "
                           "frame-interval rule %llu\n",
                           static_cast<unsigned long long>(cameraFrames),
                           static_cast<unsigned long long>(numbered),
                           static_cast<unsigned long long>(cameraFrames - numbered));
                else
                    Append(
                        report,
                        "frames drawn by the expansion filter: %llu (the camera's frames carry no numbers: "
                        "drops by the frame-interval rule not counted)\n",
                        static_cast<unsigned long long>(drawn.drawn()));
                Append(report, "CPU per delivered frame: %.2f ms in all\n", cpu * perFrame);
                Append(report, "  decode  %6.2f ms  (MJPEG decompressor)\n", decode * perFrame);
                Append(report, "  unfold  %6.2f ms  (expansion filter and the device's worker threads)\n",
                       unfold * perFrame);
                Append(report, "  copies  %6.2f ms  (grabber, frame buffer and sample, renderer)\n",
                       copies * perFrame);
                Append(report, "  other   %6.2f ms  (camera, threads, clocks, the rest of the process)\n",
                       other * perFrame);
                Append(report,
                       "process CPU: %.2f s of %.2f s on %u cores (decode %.2f + unfold %.2f + copies %.2f "
                       "+ other %.2f)\n",
                       cpu, wall, cores, decode, unfold, copies, other);
                Append(report, "pipeline_fps=%.2f cpu_share=%.3f\n", fps, share);
            }
        }
        grabber.reset(), grabberFilter.reset(), privateGraph.reset();
        camera->Release();
    }
    CoUninitialize();
    std::filesystem::remove_all(folder);
    std::fflush(stdout);
    std::fputs(report.c_str(), stdout);
    return code;
}

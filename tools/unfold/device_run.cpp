#include "tools/unfold/device_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>

#include <objbase.h>

#include "platform/win32/debug.h"
#include "tools/unfold/capture_session.h"
#include "tools/unfold/progress_line.h"
#include "tools/unfold/video_devices.h"

namespace tools::unfold {
namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

// Ctrl-C (and a termination request) end the run cleanly while it lives.
class InterruptScope {
public:
    InterruptScope() {
        g_interrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptScope() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

private:
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

DeviceFormat FormatOf(const AM_MEDIA_TYPE& mt) {
    DeviceFormat f;
    if (mt.formattype == FORMAT_VideoInfo && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        f.width = uint32_t(vih->bmiHeader.biWidth);
        f.height = vih->bmiHeader.biHeight;
        f.bitsPerPixel = vih->bmiHeader.biBitCount;
        image::FrameRate rate;
        if (vih->AvgTimePerFrame > 0 &&
            image::FrameRate::FromDouble(1e7 / double(vih->AvgTimePerFrame), rate))
            f.rate = rate;
    }
    return f;
}

} // namespace

std::string DeviceList() {
    std::vector<std::wstring> names;
    if (FAILED(ListVideoDevices(names)) || names.empty()) return "there are none";
    std::string list;
    for (const std::wstring& n : names)
        list += (list.empty() ? "" : ", ") + ("'" + platform::ToUtf8(n) + "'");
    return "there are " + list;
}

int RunDevice(const DeviceRun& run, const std::function<image::Status(const DeviceFormat&)>& prepare,
              const std::function<image::Status(ReceivedFrame&&)>& consume, CommandContext& context,
              DeviceRunResult& result) {
    const std::string prefix = "unfold " + run.command + ": ";
    ComScope com;
    if (FAILED(com.result())) {
        context.err << prefix << "cannot start COM (" << ErrorText(com.result()) << ")\n";
        return kExitFailure;
    }
    const std::string deviceName = platform::ToUtf8(run.device);
    platform::ComPtr<IBaseFilter> device;
    if (HRESULT hr = OpenVideoDevice(run.device, device); FAILED(hr)) {
        if (hr == VFW_E_NOT_FOUND)
            context.err << prefix << "no video capture device is named '" << deviceName << "' ("
                        << DeviceList() << "; 'unfold register' registers the virtual camera)\n";
        else
            context.err << prefix << "cannot open '" << deviceName << "' (" << ErrorText(hr) << ")\n";
        return kExitFailure;
    }

    // The frames' road: the sink's streaming thread hands them on until the run has what it wants.
    std::mutex failureLock;
    image::Status failure;
    std::atomic<uint64_t> taken{0};
    std::atomic<bool> full{false};
    auto onFrame = [&](ReceivedFrame&& frame) {
        if (full) return;
        if (run.maxFrames && taken >= run.maxFrames) {
            full = true;
            return;
        }
        image::Status s = consume(std::move(frame));
        if (!s && run.consumerGone && run.consumerGone()) {
            full = true;
            return;
        }
        if (!s) {
            std::lock_guard lock(failureLock);
            if (failure.ok()) failure = s;
            full = true;
            return;
        }
        if (++taken == run.maxFrames) full = true;
    };

    CaptureSession session;
    if (HRESULT hr = session.Open(device.get(), onFrame); FAILED(hr)) {
        context.err << prefix << "cannot render the capture pin of '" << deviceName << "' (" << ErrorText(hr)
                    << ")\n";
        return kExitFailure;
    }
    CMediaType connected;
    session.ConnectedType(&connected);
    if (image::Status s = prepare(FormatOf(connected)); !s) {
        context.err << prefix << s.message() << "\n";
        return kExitFailure;
    }

    InterruptScope interrupts;
    ProgressLine progress(context.err, "unfold " + run.command, FormatOf(connected).rate.perSecond(),
                          context.showProgress);
    if (HRESULT hr = session.Run(); FAILED(hr)) {
        context.err << prefix << "cannot run '" << deviceName << "' (" << ErrorText(hr) << ")\n";
        return kExitFailure;
    }
    progress.start();
    HRESULT graphError = S_OK;
    bool ended = false;
    while (!full && !ended && !g_interrupted) {
        HRESULT hr = session.WaitForEvent(100, &ended);
        if (FAILED(hr)) {
            graphError = hr;
            break;
        }
        const uint64_t frames = taken;
        progress.update(frames);
        const double seconds = progress.elapsedSeconds();
        if (run.maxSeconds > 0 && seconds >= run.maxSeconds) break;
        if (frames == 0 && seconds >= run.firstFrameTimeout) {
            graphError = VFW_E_TIMEOUT;
            break;
        }
    }
    session.Stop();
    full = true;

    const CFrameSink::Counts counts = session.counts();
    result.frames = taken;
    result.seconds = progress.elapsedSeconds();
    result.dropped = progress.dropped(result.frames);
    result.late = counts.late;
    result.repeated = counts.repeated;
    result.interrupted = g_interrupted;
    progress.finish(result.frames);
    if (!failure.ok()) {
        context.err << prefix << failure.message() << "\n";
        return kExitFailure;
    }
    if (graphError == VFW_E_TIMEOUT) {
        context.err << prefix << "no frame came from '" << deviceName << "' in " << run.firstFrameTimeout
                    << " s\n";
        return kExitFailure;
    }
    if (FAILED(graphError)) {
        context.err << prefix << "the graph stopped with an error (" << ErrorText(graphError) << ")\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace tools::unfold

// unfold stream [--to -|FILE.y4m|/dev/videoN] [--device NAME] [--seconds S | --frames N]
//
// Hands the virtual camera's frames on as a live stream for Linux programs: Y4M on standard output
// ("unfold stream | ffplay -"), Y4M into a file, or YUYV into a V4L2 output device such as a
// v4l2loopback device, which browsers and video-call programs then open as a webcam. Runs until
// Ctrl-C unless a frame count or a time is given.
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/win32/debug.h"
#include "tools/image/dib.h"
#include "tools/image/y4m_writer.h"
#include "tools/unfold/command.h"
#include "tools/unfold/device_run.h"
#include "tools/unfold/option_parser.h"
#include "tools/unfold/v4l2_output.h"

namespace tools::unfold {
namespace {

bool IsVideoDevice(const std::string& path) {
    return path.rfind("/dev/video", 0) == 0;
}

// A reader that goes away makes writes fail with EPIPE instead of ending the process.
class IgnoreBrokenPipes {
public:
    IgnoreBrokenPipes() { previous_ = std::signal(SIGPIPE, SIG_IGN); }
    ~IgnoreBrokenPipes() { std::signal(SIGPIPE, previous_); }

private:
    void (*previous_)(int);
};

} // namespace

int RunStreamCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("stream");
    parser.declare("--to", 1);
    parser.declare("--device", 1);
    parser.declare("--seconds", 1);
    parser.declare("--frames", 1);
    std::string to = "-", device = platform::ToUtf8(kVirtualCameraName);
    double seconds = 0;
    int frames = 0;
    bool ok = parser.parse(args) && parser.getText("--to", to) && parser.getText("--device", device) &&
              parser.getDouble("--seconds", 0.1, 1e9, seconds) &&
              parser.getInt("--frames", 1, 2000000000, frames);
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (ok && parser.has("--seconds") && parser.has("--frames"))
        ok = parser.fail("give --seconds or --frames, not both");
    if (ok && to.empty()) ok = parser.fail("--to needs '-', a .y4m file or a /dev/video device");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }

    if (to == "-" && context.outFd < 0) {
        context.err << "unfold stream: there is no standard output to stream to\n";
        return kExitFailure;
    }
    IgnoreBrokenPipes pipes;
    int fileFd = -1;
    std::unique_ptr<image::Y4mWriter> y4m;
    std::unique_ptr<V4l2Output> v4l2;
    auto prepare = [&](const DeviceFormat& f) -> image::Status {
        const uint32_t height = uint32_t(f.height < 0 ? -f.height : f.height);
        if (IsVideoDevice(to)) {
            v4l2 = std::make_unique<V4l2Output>(NewKernelV4l2Device());
            return v4l2->Open(to, f.width, height, f.rate);
        }
        int fd;
        if (to == "-") {
            context.out.flush();
            fd = context.outFd;
        } else {
            fileFd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fileFd < 0)
                return image::Status::Error("cannot create '" + to + "': " + std::strerror(errno));
            fd = fileFd;
        }
        y4m = std::make_unique<image::Y4mWriter>(fd, to == "-" ? "standard output" : to);
        return y4m->Start(f.width, height, f.rate);
    };
    auto consume = [&](ReceivedFrame&& frame) -> image::Status {
        image::Image picture;
        if (image::Status s = image::ImageFromDib(frame.bits.data(), frame.bits.size(), frame.width,
                                                  frame.height, frame.bitsPerPixel, picture);
            !s)
            return s;
        return v4l2 ? v4l2->Write(picture) : y4m->AddFrame(picture);
    };

    DeviceRun run;
    run.command = "stream";
    run.device = platform::ToWide(device);
    run.maxFrames = uint64_t(frames);
    run.maxSeconds = seconds;
    // A reader that closes the stream ("unfold stream | head -c ...") ends it; that is no failure.
    run.consumerGone = [&] { return y4m && y4m->readerGone(); };
    DeviceRunResult result;
    int code = RunDevice(run, prepare, consume, context, result);
    y4m.reset();
    v4l2.reset();
    if (fileFd >= 0 && close(fileFd) != 0 && code == kExitOk) {
        context.err << "unfold stream: cannot write '" << to << "': " << std::strerror(errno) << "\n";
        code = kExitFailure;
    }
    if (code == kExitOk && to != "-")
        context.out << "streamed " << result.frames << " frames to " << to << "\n";
    return code;
}

} // namespace tools::unfold

// unfold capture [--device NAME] [--seconds S | --frames N] [--out DIR] [--video avi|y4m] [--png-every N]
//
// Opens a video capture device (the virtual camera "TELMAR ZK900 4K UVC" unless named), renders its
// capture pin into the host's clock-paced renderer and writes what arrives into a folder: every frame
// into one video, every Nth frame (30th by default) as a PNG picture. The last line names the folder.
#include <ctime>
#include <filesystem>

#include "platform/win32/debug.h"
#include "tools/unfold/capture_writer.h"
#include "tools/unfold/command.h"
#include "tools/unfold/device_run.h"
#include "tools/unfold/option_parser.h"

namespace tools::unfold {
namespace {

std::string DefaultFolder() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[40];
    std::strftime(name, sizeof name, "capture-%Y%m%d-%H%M%S", &local);
    return name;
}

} // namespace

int RunCaptureCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("capture");
    parser.declare("--device", 1);
    parser.declare("--seconds", 1);
    parser.declare("--frames", 1);
    parser.declare("--out", 1);
    parser.declare("--video", 1);
    parser.declare("--png-every", 1);
    std::string device = platform::ToUtf8(kVirtualCameraName), folder;
    double seconds = 5;
    int frames = 0, video = 0, pngEvery = 30;
    bool ok = parser.parse(args) && parser.getText("--device", device) &&
              parser.getDouble("--seconds", 0.1, 86400, seconds) &&
              parser.getInt("--frames", 1, 10000000, frames) && parser.getText("--out", folder) &&
              parser.getChoice("--video", {"avi", "y4m"}, video) &&
              parser.getInt("--png-every", 0, 10000000, pngEvery);
    if (ok && !parser.positional().empty())
        ok = parser.fail("unexpected argument '" + parser.positional()[0] + "'");
    if (ok && parser.has("--seconds") && parser.has("--frames"))
        ok = parser.fail("give --seconds or --frames, not both");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    if (folder.empty()) folder = DefaultFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        context.err << "unfold capture: cannot make the folder '" << folder << "' (" << error.message()
                    << ")\n";
        return kExitFailure;
    }

    DeviceRun run;
    run.command = "capture";
    run.device = platform::ToWide(device);
    run.maxFrames = uint64_t(frames);
    run.maxSeconds = frames ? 0 : seconds;
    std::unique_ptr<CaptureWriter> writer;
    DeviceFormat format;
    auto prepare = [&](const DeviceFormat& f) {
        format = f;
        writer = std::make_unique<CaptureWriter>(
            CaptureOutput{folder, video == 0 ? VideoKind::Avi : VideoKind::Y4m, pngEvery, 90, 32}, f.rate);
        writer->Start();
        return image::Status::Ok();
    };
    auto consume = [&](ReceivedFrame&& frame) {
        writer->Add(std::move(frame));
        return image::Status::Ok();
    };
    DeviceRunResult result;
    int code = RunDevice(run, prepare, consume, context, result);
    if (!writer) return code;
    const image::Status written = writer->Finish();
    if (!written) {
        context.err << "unfold capture: " << written.message() << "\n";
        return kExitFailure;
    }
    for (const std::string& v : writer->videos())
        context.out << "video: " << v << " (" << format.width << " x "
                    << (format.height < 0 ? -format.height : format.height) << ", " << format.rate.perSecond()
                    << " fps, " << (video == 0 ? "MJPG" : "Y4M") << ")\n";
    context.out << "frames: " << writer->framesInVideo() << " in the video, " << writer->picturesWritten()
                << " as PNG pictures (frame-NNNNNN.png), " << result.dropped << " dropped, "
                << result.repeated << " repeated\n";
    context.out << "captured into " << folder << "\n";
    return code;
}

} // namespace tools::unfold

// unfold camera add NAME --clip PATH [--clip PATH ...] --format WxH@FPS [--format ...] [--clips-dir DIR]
// unfold camera list
// unfold camera remove NAME
//
// Defines, lists and removes the clip cameras of the user's registry (see
// platform/dshow/camera/clip_camera_registry.h). Each format is served by the given clip of its size;
// for a size no clip has, `add` makes one from the first clip: every frame scaled to fit the size,
// centred on black (as a camera's wide mode shows a fisheye circle), written as an MJPG clip into
// --clips-dir (default: $XDG_DATA_HOME/unfold/cameras/NAME, else ~/.local/share/unfold/cameras/NAME).
// `list` shows every camera the device enumerator lists (V4L2 devices and clip cameras) with its
// formats, and for clip cameras the clip of each size and whether it can be read.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/dshow/camera/camera_backend.h"
#include "platform/dshow/camera/clip_camera_registry.h"
#include "platform/dshow/camera/jpeg_clip.h"
#include "platform/win32/debug.h"
#include "tools/image/mjpg_clip.h"
#include "tools/unfold/command.h"
#include "tools/unfold/option_parser.h"

namespace tools::unfold {
namespace {

namespace camera = platform::camera;
namespace fs = std::filesystem;
using platform::ToUtf8;
using platform::ToWide;

constexpr int kMadeClipQuality = 85;

// Takes every "--NAME VALUE" pair of a repeatable option out of args.
bool TakeRepeated(Arguments& args, const std::string& name, std::vector<std::string>& values,
                  std::string& error) {
    for (size_t i = 0; i < args.size();) {
        if (args[i] != name) {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "unfold camera: " + name + " needs a value";
            return false;
        }
        values.push_back(args[i + 1]);
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
    }
    return true;
}

fs::path DefaultClipsDir(const std::string& name) {
    std::string folder = name;
    std::replace(folder.begin(), folder.end(), '/', '_');
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return fs::path(data) / "unfold" / "cameras" / folder;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "unfold" / "cameras" / folder;
}

// Scales `source` to fit width x height (keeping its shape) by averaging the source pixels under each
// target pixel, centred on black.
image::Image FitCentred(const image::Image& source, uint32_t width, uint32_t height) {
    image::Image out(width, height, {0, 0, 0, 255});
    const double scale = std::min(double(width) / source.width(), double(height) / source.height());
    const uint32_t w = std::max(1u, uint32_t(source.width() * scale + 0.5));
    const uint32_t h = std::max(1u, uint32_t(source.height() * scale + 0.5));
    const uint32_t left = (width - std::min(w, width)) / 2, top = (height - std::min(h, height)) / 2;
    for (uint32_t y = 0; y < h && top + y < height; ++y) {
        uint32_t y0 = uint32_t(uint64_t(y) * source.height() / h);
        uint32_t y1 = std::max(y0 + 1, uint32_t(uint64_t(y + 1) * source.height() / h));
        for (uint32_t x = 0; x < w && left + x < width; ++x) {
            uint32_t x0 = uint32_t(uint64_t(x) * source.width() / w);
            uint32_t x1 = std::max(x0 + 1, uint32_t(uint64_t(x + 1) * source.width() / w));
            uint64_t sum[3] = {0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy) {
                const uint8_t* p = source.row(sy) + size_t(x0) * 4;
                for (uint32_t sx = x0; sx < x1; ++sx, p += 4) sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
            }
            const uint64_t n = uint64_t(y1 - y0) * (x1 - x0);
            out.setPixel(left + x, top + y,
                         {uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n),
                          uint8_t((sum[2] + n / 2) / n), 255});
        }
    }
    return out;
}

// Makes a clip of the given size from every frame of `source`, at the source's rate (or `fps`).
image::Status MakeClip(const std::string& sourcePath, uint32_t width, uint32_t height, double fps,
                       const std::string& target) {
    camera::JpegClip source;
    std::string error;
    if (!source.Open(sourcePath, error)) return image::Status::Error(error);
    image::FrameRate rate;
    if (source.rateNumerator() && source.rateDenominator()) {
        rate = {source.rateNumerator(), source.rateDenominator()};
    } else if (!image::FrameRate::FromDouble(fps, rate)) {
        return image::Status::Error("no frame rate for " + target);
    }
    image::MjpgClipWriter writer;
    image::Status s = writer.Open(target, width, height, rate);
    std::vector<uint8_t> jpeg(source.maxFrameBytes());
    for (size_t i = 0; s && i < source.frameCount(); ++i) {
        size_t length = 0;
        if (!source.ReadFrame(i, jpeg.data(), jpeg.size(), length))
            return image::Status::Error("cannot read frame " + std::to_string(i) + " of '" + sourcePath +
                                        "'");
        image::Image frame;
        s = image::DecodeJpeg(jpeg.data(), length, frame, sourcePath);
        if (s) s = writer.AddFrame(FitCentred(frame, width, height), kMadeClipQuality);
    }
    if (s) s = writer.Close();
    return s;
}

int Add(Arguments args, CommandContext& context) {
    std::vector<std::string> clipPaths, formatTexts;
    std::string error;
    if (!TakeRepeated(args, "--clip", clipPaths, error) ||
        !TakeRepeated(args, "--format", formatTexts, error)) {
        context.err << error << "\n";
        return kExitUsage;
    }
    OptionParser parser("camera add");
    parser.declare("--clips-dir", 1);
    std::string clipsDir;
    bool ok = parser.parse(args) && parser.getText("--clips-dir", clipsDir);
    if (ok && parser.positional().size() != 1)
        ok = parser.fail(parser.positional().empty() ? "no camera name given" : "too many arguments");
    const std::wstring name = ok ? ToWide(parser.positional()[0]) : std::wstring();
    if (ok && !camera::IsValidCameraName(name))
        ok = parser.fail("'" + parser.positional()[0] + "' is no camera name");
    if (ok && clipPaths.empty()) ok = parser.fail("--clip PATH is required");
    if (ok && formatTexts.empty()) ok = parser.fail("--format WxH@FPS is required");
    camera::ClipCameraDefinition definition;
    definition.name = name;
    for (size_t i = 0; ok && i < formatTexts.size(); ++i) {
        camera::ClipFormat f;
        if (!camera::ParseClipFormat(formatTexts[i], f))
            ok = parser.fail("'" + formatTexts[i] + "' is not a format WxH@FPS");
        else if (std::find(definition.formats.begin(), definition.formats.end(), f) ==
                 definition.formats.end())
            definition.formats.push_back(f);
    }
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    const std::string nameText = parser.positional()[0];
    const std::wstring existing = camera::ExactCameraName(name);
    if (!existing.empty() && existing != name) {
        context.err << "unfold camera add: a camera named '" << ToUtf8(existing) << "' exists already\n";
        return kExitFailure;
    }

    // The clips given, by size.
    for (const std::string& path : clipPaths) {
        camera::JpegClip clip;
        if (!clip.Open(path, error)) {
            context.err << "unfold camera add: " << error << "\n";
            return kExitFailure;
        }
        std::string size = camera::SizeText(clip.width(), clip.height());
        if (!definition.ClipFor(clip.width(), clip.height()).empty()) {
            context.err << "unfold camera add: two clips of " << size << "\n";
            return kExitUsage;
        }
        definition.clips.emplace_back(size, fs::absolute(path).lexically_normal().string());
    }
    // A clip made for each size that has none.
    const fs::path folder = clipsDir.empty() ? DefaultClipsDir(nameText) : fs::path(clipsDir);
    for (const camera::ClipFormat& f : definition.formats) {
        if (!definition.ClipFor(f.width, f.height).empty()) continue;
        std::error_code ec;
        fs::create_directories(folder, ec);
        const std::string size = camera::SizeText(f.width, f.height);
        const std::string target = fs::absolute(folder / (size + ".mjpg")).lexically_normal().string();
        if (context.showProgress) context.err << "unfold camera add: making the " << size << " clip\n";
        if (image::Status s = MakeClip(definition.clips.front().second, f.width, f.height, f.fps, target);
            !s) {
            context.err << "unfold camera add: " << s.message() << "\n";
            return kExitFailure;
        }
        definition.clips.emplace_back(size, target);
        context.out << "made " << target << " for " << size << "\n";
    }
    if (HRESULT hr = camera::WriteClipCamera(definition); FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08x", unsigned(hr));
        context.err << "unfold camera add: cannot write the camera to the registry (0x" << code << ")\n";
        return kExitFailure;
    }
    context.out << "added camera '" << nameText << "':";
    for (const camera::ClipFormat& f : definition.formats) context.out << " " << camera::ClipFormatText(f);
    context.out << "\n";
    return kExitOk;
}

std::string FormatText(const camera::CameraFormat& f) {
    char rate[32];
    const double fps = f.interval > 0 ? 1e7 / double(f.interval) : 0;
    std::snprintf(rate, sizeof rate, "%.4g fps", fps);
    return "MJPG " + std::to_string(f.width) + " x " + std::to_string(f.height) + ", " + rate;
}

int List(const Arguments& args, CommandContext& context) {
    if (!args.empty()) {
        context.err << "unfold camera list: unexpected argument '" << args[0] << "'\n";
        return kExitUsage;
    }
    std::vector<camera::CameraInfo> cameras = camera::ListCameras();
    if (cameras.empty()) {
        context.out << "no cameras\n";
        return kExitOk;
    }
    for (const camera::CameraInfo& info : cameras) {
        context.out << ToUtf8(info.friendlyName) << "  (" << ToUtf8(info.devicePath) << ")\n";
        camera::ClipCameraDefinition definition;
        if (camera::ReadClipCamera(info.friendlyName, definition) == S_OK &&
            info.devicePath == L"clip:" + info.friendlyName) {
            for (const camera::ClipFormat& f : definition.formats) {
                const std::string text = camera::ClipFormatText(f); // WxH@FPS
                context.out << "    MJPG " << f.width << " x " << f.height << ", "
                            << text.substr(text.find('@') + 1) << " fps\n";
            }
            std::map<std::string, std::string> clips(definition.clips.begin(), definition.clips.end());
            for (const auto& [size, path] : clips) {
                camera::JpegClip clip;
                std::string error;
                bool readable =
                    clip.Open(path, error) && camera::SizeText(clip.width(), clip.height()) == size;
                context.out << "    clip " << size << ": " << path;
                if (readable)
                    context.out << " (" << clip.frameCount() << " frames)\n";
                else
                    context.out << " (unreadable: " << (error.empty() ? "another frame size" : error)
                                << ")\n";
            }
            continue;
        }
        HRESULT hr = S_OK;
        std::unique_ptr<camera::CameraBackend> backend = camera::OpenCamera(info.devicePath, hr);
        if (!backend) {
            context.out << "    (cannot open it)\n";
            continue;
        }
        for (const camera::CameraFormat& f : backend->Formats())
            context.out << "    " << FormatText(f) << "\n";
    }
    return kExitOk;
}

int Remove(const Arguments& args, CommandContext& context) {
    if (args.size() != 1) {
        context.err << "unfold camera remove: "
                    << (args.empty() ? "no camera name given" : "too many arguments") << "\n";
        return kExitUsage;
    }
    HRESULT hr = camera::RemoveClipCamera(ToWide(args[0]));
    if (hr == S_FALSE) {
        context.err << "unfold camera remove: no camera named '" << args[0] << "'\n";
        return kExitFailure;
    }
    if (FAILED(hr)) {
        context.err << "unfold camera remove: cannot change the registry\n";
        return kExitFailure;
    }
    context.out << "removed camera '" << args[0] << "'\n";
    return kExitOk;
}

} // namespace

int RunCameraCommand(const Arguments& args, CommandContext& context) {
    const std::string verb = args.empty() ? std::string() : args[0];
    Arguments rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (verb == "add") return Add(rest, context);
    if (verb == "list") return List(rest, context);
    if (verb == "remove") return Remove(rest, context);
    context.err << "unfold camera: " << (verb.empty() ? "no action given" : "unknown action '" + verb + "'")
                << " (add, list or remove)\n";
    return kExitUsage;
}

} // namespace tools::unfold

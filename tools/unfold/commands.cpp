#include <string_view>

#include "tools/unfold/command.h"

namespace tools::unfold {
namespace {

const Command kCommands[] = {
    {"register", "register [--filter-module PATH] [--camera-module PATH] [--sample-clip PATH]",
     "register the expansion filter, the virtual camera and the sample camera in your registry",
     RunRegisterCommand},
    {"unregister", "unregister [--filter-module PATH] [--camera-module PATH]",
     "take them out of your registry again", RunUnregisterCommand},
    {"devices", "devices", "list the video capture devices and their formats", RunDevicesCommand},
    {"capture",
     "capture [--device NAME] [--seconds S | --frames N] [--out DIR] [--video avi|y4m] [--png-every N]",
     "record the virtual camera (or NAME) into DIR: every frame into video.avi (MJPG) or video.y4m,\n"
     "      every Nth frame (30th) as frame-NNNNNN.png; 5 seconds unless told",
     RunCaptureCommand},
    {"stream", "stream [--to -|FILE.y4m|/dev/videoN] [--device NAME] [--seconds S | --frames N]",
     "the virtual camera as a live stream: Y4M on standard output ('unfold stream | ffplay -') or in\n"
     "      a file, or YUYV into a v4l2loopback device that browsers and video calls open as a webcam;\n"
     "      until Ctrl-C unless told",
     RunStreamCommand},
    {"get", "get", "the virtual camera's settings: mode, view, zoom, lens direction, camera resolutions",
     RunGetCommand},
    {"set", "set [--mode NAME|N] [--view H V] [--zoom Z] [--lens up|down] [--resolution WxH@FPS]",
     "change the virtual camera's settings and keep them in your registry; a virtual camera already\n"
     "      streaming in another program keeps its own until it closes (and then stores those), so\n"
     "      the change shows in the next one opened. Modes: 0 NONE, 1 PANORAMA, 2 SEG, 3 QUAD, 4 RING,\n"
     "      5 DOME, 6 INDOME, 7 THROWOUT, 8 EXTRACT, 10 16:9",
     RunSetCommand},
    {"scene", "scene OUT.png|OUT.jpg [--size N] [--lens up|down] [--heading DEG] [--samples N] [--quality Q]",
     "render the synthetic room through the fisheye lens into a picture", RunSceneCommand},
    {"clip", "clip OUT.mjpg --frames N [--size N] [--fps F] [--lens up|down] [--turn DEG] [--quality Q]",
     "record the room as an MJPG clip seen by a slowly turning camera", RunClipCommand},
    {"image", "image IN OUT.png [--mode NAME|ID] [--view H V] [--zoom Z] [--lens up|down] [--size WxH]",
     "unfold a fisheye picture in one mode, as the virtual camera would show it", RunImageCommand},
    {"sheet", "sheet IN OUT.png [--view H V] [--zoom Z] [--lens up|down] [--size WxH]",
     "unfold a fisheye picture in every mode, side by side with labels", RunSheetCommand},
    {"camera",
     "camera add NAME --clip PATH --format WxH@FPS [--format ...] | camera list | camera remove NAME",
     "define, list or remove the cameras that play recorded clips", RunCameraCommand},
    {"props", "props --filter|--camera [--screenshot FILE.png]",
     "open the property page of the expansion filter or of the virtual camera on the display",
     RunPropsCommand},
    {"preview", "preview [--device NAME] [--seconds S] [--screenshot FILE.png]",
     "watch a camera's live picture (the virtual camera's unless named) on the display, with its settings "
     "a click away",
     RunPreviewCommand},
};

void PrintUsage(std::ostream& to) {
    to << "usage: unfold COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& c : kCommands) to << "  unfold " << c.usage << "\n      " << c.summary << "\n";
}

} // namespace

int RunUnfold(const Arguments& argv, CommandContext& context) {
    if (argv.size() < 2) {
        context.err << "unfold: no command given (try 'unfold help')\n";
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintUsage(context.out);
        return kExitOk;
    }
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        // "unfold COMMAND --help": that command's line of the usage, and nothing run.
        if (argv.size() == 3 && (argv[2] == "--help" || argv[2] == "-h")) {
            context.out << "usage: unfold " << c.usage << "\n      " << c.summary << "\n";
            return kExitOk;
        }
        return c.run(Arguments(argv.begin() + 2, argv.end()), context);
    }
    context.err << "unfold: unknown command '" << name << "' (try 'unfold help')\n";
    return kExitUsage;
}

} // namespace tools::unfold

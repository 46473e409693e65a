// unfold clip OUT.mjpg --frames N [--size N] [--fps F] [--lens up|down] [--turn DEG] [--quality Q]
//
// Records the reference room as an MJPG clip (tools/image/mjpg_clip.h), the way the fisheye camera
// would deliver it: frame k shows the room with the camera turned about its optical axis so that the
// top of the picture faces azimuth k * turn / fps (--turn degrees per second, default 10).
#include <cmath>

#include "tools/image/mjpg_clip.h"
#include "tools/unfold/command.h"
#include "tools/unfold/scene_options.h"

namespace tools::unfold {

int RunClipCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("clip");
    DeclareSceneOptions(parser);
    parser.declare("--frames", 1);
    parser.declare("--fps", 1);
    parser.declare("--turn", 1);
    SceneOptions options;
    int frames = 0;
    double fps = 15, turn = 10;
    bool ok = parser.parse(args) && GetSceneOptions(parser, options) &&
              parser.getInt("--frames", 1, 100000, frames) && parser.getDouble("--fps", 0.001, 240, fps) &&
              parser.getDouble("--turn", -360, 360, turn);
    if (ok && parser.positional().size() != 1)
        ok = parser.fail(parser.positional().empty() ? "no output file given" : "too many arguments");
    if (ok && !parser.has("--frames")) ok = parser.fail("--frames N is required");
    const std::string path = ok ? parser.positional()[0] : std::string();
    if (ok && (path.size() < 6 || path.compare(path.size() - 5, 5, ".mjpg") != 0))
        ok = parser.fail("the output name must end in .mjpg: '" + path + "'");
    image::FrameRate rate;
    if (ok && !image::FrameRate::FromDouble(fps, rate)) ok = parser.fail("--fps is out of range");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }

    image::MjpgClipWriter writer;
    image::Status s = writer.Open(path, uint32_t(options.size), uint32_t(options.size), rate);
    for (int k = 0; s && k < frames; ++k) {
        if (context.showProgress)
            context.err << "\runfold clip: frame " << k + 1 << " of " << frames << std::flush;
        scene::FisheyeCamera camera(options.size, options.facing, k * turn / rate.perSecond());
        s = writer.AddFrame(scene::RenderFisheye(camera, options.render), options.quality);
    }
    if (s) s = writer.Close();
    if (context.showProgress) context.err << "\n";
    if (!s) {
        context.err << "unfold clip: " << s.message() << "\n";
        return kExitFailure;
    }
    context.out << "wrote " << path << " (" << frames << " frames, " << options.size << " x " << options.size
                << ", " << rate.perSecond() << " fps, lens " << LensName(options.facing) << ")\n";
    return kExitOk;
}

} // namespace tools::unfold

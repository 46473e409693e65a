// unfold scene OUT.png|OUT.jpg [--size N] [--lens up|down] [--heading DEG] [--samples N] [--quality Q]
//
// Renders the reference room through the fisheye lens: a size x size picture, lens up (zenith at the
// centre) or down, the top of the picture towards azimuth --heading (default 0, north). PNG or JPEG
// by the name's extension.
#include "tools/image/image_file.h"
#include "tools/unfold/command.h"
#include "tools/unfold/scene_options.h"

namespace tools::unfold {

int RunSceneCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("scene");
    DeclareSceneOptions(parser);
    parser.declare("--heading", 1);
    SceneOptions options;
    double heading = 0;
    bool ok = parser.parse(args) && GetSceneOptions(parser, options) &&
              parser.getDouble("--heading", -360, 360, heading);
    if (ok && parser.positional().size() != 1)
        ok = parser.fail(parser.positional().empty() ? "no output file given" : "too many arguments");
    if (ok && image::FormatOfPath(parser.positional()[0]) == image::ImageFormat::Unknown)
        ok = parser.fail("the output name must end in .png, .jpg or .jpeg: '" + parser.positional()[0] + "'");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    const std::string& path = parser.positional()[0];
    scene::FisheyeCamera camera(options.size, options.facing, heading);
    image::Image picture = scene::RenderFisheye(camera, options.render);
    if (image::Status s = image::WriteImage(path, picture, options.quality); !s) {
        context.err << "unfold scene: " << s.message() << "\n";
        return kExitFailure;
    }
    context.out << "wrote " << path << " (" << options.size << " x " << options.size << ", lens "
                << LensName(options.facing) << ", heading " << heading << ")\n";
    return kExitOk;
}

} // namespace tools::unfold

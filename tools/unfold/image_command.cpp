// unfold image IN OUT.png [--mode NAME|ID] [--view H V] [--zoom Z] [--lens up|down] [--size WxH]
//
// Reads a PNG or JPEG fisheye picture and writes what the virtual camera would show for it in one
// unfold mode (default INDOME), upright as an application displays the frame.
#include "tools/image/image_file.h"
#include "tools/unfold/command.h"
#include "tools/unfold/unfold_options.h"

namespace tools::unfold {

int RunImageCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("image");
    DeclareUnfoldOptions(parser);
    parser.declare("--mode", 1);
    UnfoldSettings settings;
    std::string mode;
    bool ok = parser.parse(args) && GetUnfoldOptions(parser, settings) && parser.getText("--mode", mode);
    if (ok && parser.has("--mode") && (settings.mode = ParseModeId(mode)) < 0)
        ok = parser.fail("unknown mode '" + mode + "' (the modes are " + ModeList() + ")");
    if (ok && parser.positional().size() != 2)
        ok = parser.fail(parser.positional().size() < 2 ? "needs an input picture and an output file"
                                                        : "too many arguments");
    if (ok && image::FormatOfPath(parser.positional()[1]) == image::ImageFormat::Unknown)
        ok = parser.fail("the output name must end in .png, .jpg or .jpeg: '" + parser.positional()[1] + "'");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    const std::string &in = parser.positional()[0], &outPath = parser.positional()[1];
    image::Image fisheye, unfolded;
    if (image::Status s = image::ReadImage(in, fisheye, CheckInputSize); !s) {
        context.err << "unfold image: " << s.message() << "\n";
        return kExitFailure;
    }
    std::string error;
    auto unfolder = Unfolder::Create(error);
    if (!unfolder) {
        context.err << "unfold image: " << error << "\n";
        return kExitFailure;
    }
    image::Status s = unfolder->unfold(fisheye, settings, unfolded);
    if (s) s = image::WriteImage(outPath, unfolded);
    if (!s) {
        context.err << "unfold image: " << in << ": " << s.message() << "\n";
        return kExitFailure;
    }
    context.out << "wrote " << outPath << " (" << ModeLabel(settings.mode) << ", " << settings.width << " x "
                << settings.height << ")\n";
    return kExitOk;
}

} // namespace tools::unfold

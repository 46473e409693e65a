// unfold sheet IN OUT.png [--view H V] [--zoom Z] [--lens up|down] [--size WxH]
//
// Every mode that has an expander, side by side in one labelled picture.
#include <vector>

#include "tools/image/contact_sheet.h"
#include "tools/image/image_file.h"
#include "tools/unfold/command.h"
#include "tools/unfold/unfold_options.h"

namespace tools::unfold {

int RunSheetCommand(const Arguments& args, CommandContext& context) {
    OptionParser parser("sheet");
    DeclareUnfoldOptions(parser);
    UnfoldSettings settings;
    settings.width = 640;
    settings.height = 360;
    bool ok = parser.parse(args) && GetUnfoldOptions(parser, settings);
    if (ok && parser.positional().size() != 2)
        ok = parser.fail(parser.positional().size() < 2 ? "needs an input picture and an output file"
                                                        : "too many arguments");
    if (!ok) {
        context.err << parser.error() << "\n";
        return kExitUsage;
    }
    const std::string &in = parser.positional()[0], &outPath = parser.positional()[1];
    image::Image fisheye;
    if (image::Status s = image::ReadImage(in, fisheye, CheckInputSize); !s) {
        context.err << "unfold sheet: " << s.message() << "\n";
        return kExitFailure;
    }
    std::string error;
    auto unfolder = Unfolder::Create(error);
    if (!unfolder) {
        context.err << "unfold sheet: " << error << "\n";
        return kExitFailure;
    }
    std::vector<image::SheetEntry> entries;
    for (int32_t mode = 0; mode < kModeCount; ++mode) {
        UnfoldSettings s = settings;
        s.mode = mode;
        if (!unfolder->engine().SetExpMode(mode)) continue; // a mode without an expander
        image::Image picture;
        if (image::Status status = unfolder->unfold(fisheye, s, picture); !status) {
            context.err << "unfold sheet: " << in << ": mode " << ModeLabel(mode) << ": " << status.message()
                        << "\n";
            return kExitFailure;
        }
        entries.push_back({std::to_string(mode) + " " + ModeLabel(mode), std::move(picture)});
    }
    if (image::Status s = image::WriteContactSheet(outPath, entries); !s) {
        context.err << "unfold sheet: " << s.message() << "\n";
        return kExitFailure;
    }
    context.out << "wrote " << outPath << " (" << entries.size() << " modes)\n";
    return kExitOk;
}

} // namespace tools::unfold

// The sub-commands of the command-line host `unfold`.
//
// Each sub-command lives in a file of its own and is listed once in the table of commands.cpp. A
// command gets the arguments after its name and writes results to `out`, errors to `err` as one
// line. Exit codes: 0 success, 1 the work failed (a file could not be read or written), 2 bad
// arguments. A failing command leaves no partial output file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools::unfold {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct CommandContext {
    std::ostream& out;
    std::ostream& err;
    bool showProgress = false; // redraw a progress line on err during long work
    int outFd = -1;            // the file descriptor behind `out`, for raw output; -1 when there is none
};

using Arguments = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage; // the synopsis after "unfold "
    const char* summary;
    int (*run)(const Arguments& args, CommandContext& context);
};

int RunSceneCommand(const Arguments& args, CommandContext& context);
int RunClipCommand(const Arguments& args, CommandContext& context);
int RunImageCommand(const Arguments& args, CommandContext& context);
int RunSheetCommand(const Arguments& args, CommandContext& context);
int RunRegisterCommand(const Arguments& args, CommandContext& context);
int RunUnregisterCommand(const Arguments& args, CommandContext& context);
int RunDevicesCommand(const Arguments& args, CommandContext& context);
int RunCaptureCommand(const Arguments& args, CommandContext& context);
int RunStreamCommand(const Arguments& args, CommandContext& context);
int RunGetCommand(const Arguments& args, CommandContext& context);
int RunSetCommand(const Arguments& args, CommandContext& context);
int RunCameraCommand(const Arguments& args, CommandContext& context);
int RunPropsCommand(const Arguments& args, CommandContext& context);
int RunPreviewCommand(const Arguments& args, CommandContext& context);

// Dispatches argv[1] to its command; with no command or "help", prints the list.
int RunUnfold(const Arguments& argv, CommandContext& context);

} // namespace tools::unfold

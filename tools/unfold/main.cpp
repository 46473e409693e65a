// The command-line host: `unfold COMMAND ...` (see command.h).
#include <iostream>

#include <unistd.h>

#include "tools/unfold/command.h"
#include "tools/unfold/results_output.h"

int main(int argc, char** argv) {
    tools::unfold::ResultsOutput results;
    tools::unfold::CommandContext context{results.stream(), std::cerr, isatty(STDERR_FILENO) != 0};
    context.outFd = results.fd();
    try {
        return tools::unfold::RunUnfold(tools::unfold::Arguments(argv, argv + argc), context);
    } catch (const std::exception& e) {
        std::cerr << "unfold: " << e.what() << "\n";
        return tools::unfold::kExitFailure;
    }
}

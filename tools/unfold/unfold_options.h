// The engine options shared by `unfold image` and `unfold sheet`: --view H V, --zoom Z, --lens up|down
// and --size WxH.
#pragma once

#include "tools/unfold/option_parser.h"
#include "tools/unfold/unfolder.h"

namespace tools::unfold {

void DeclareUnfoldOptions(OptionParser& parser);
bool GetUnfoldOptions(OptionParser& parser, UnfoldSettings& settings);

} // namespace tools::unfold

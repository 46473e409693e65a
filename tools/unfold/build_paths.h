// Where this build put the modules the host registers and opens, and the sample camera's clip; defined
// in a source CMake generates for unfold_window_commands.
#pragma once

namespace tools::unfold {

extern const char kFilterModulePath[];
extern const char kCameraModulePath[];
extern const char kSampleClipPath[];

} // namespace tools::unfold

// The sample camera "TELMAR ZK900 4K": a clip camera of the platform (defined in the current user's
// registry) playing the project's recording of the synthetic room, so that the virtual camera has
// a fisheye camera to open on a machine without one.
#pragma once

#include <ostream>
#include <string>

namespace tools::unfold {

inline constexpr char kSampleCameraName[] = "TELMAR ZK900 4K";

// The recording the sample camera plays unless told otherwise (in the build tree).
std::string DefaultSampleClip();

// Records the sample clip at `clip` unless a file is already there: the room seen by the upward
// fisheye camera turning once round in 4 seconds, 120 frames of 1440 x 1440 at 30 per second, so that
// the loop has no seam. Progress goes to `progress` when given.
bool EnsureSampleClip(const std::string& clip, std::string& error, std::ostream* progress = nullptr);

// Declares the sample camera with the formats 1440 x 1440 at 15 and at 30 frames per second, both
// playing `clip` (the default clip, recorded first when missing, when `clip` is empty; `clip` then
// receives its path).
bool RegisterSampleCamera(std::string& clip, std::string& error, std::ostream* progress = nullptr);

// Removes the sample camera's definition; true also when there was none.
bool UnregisterSampleCamera(std::string& error);

} // namespace tools::unfold

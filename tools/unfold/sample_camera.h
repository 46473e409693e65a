// The sample camera "TELMAR ZK900 4K": a clip camera of the platform (defined in the current user's
// registry) playing the project's recording of the synthetic room, so that the virtual camera has
// a fisheye camera to open on a machine without one. The build records and declares it; `unfold
// register` declares it again (recording the clip when it is missing).
#pragma once

#include <ostream>
#include <string>

namespace tools::unfold {

inline constexpr char kSampleCameraName[] = "TELMAR ZK900 4K";

// The recording the sample camera plays unless told otherwise (in the build tree).
std::string DefaultSampleClip();

// Records the sample clip at `clip` unless a file is already there, as the build does: the room seen
// by the upward fisheye camera turning once round in 4 seconds, 120 frames of 1440 x 1440 at 30 per
// second, so that the loop has no seam. Progress goes to `progress` when given.
bool EnsureSampleClip(const std::string& clip, std::string& error, std::ostream* progress = nullptr);

// Declares the sample camera as `unfold camera add` does, with the formats 1440 x 1440 at 15 and 30
// and 1280 x 720 at 30 frames per second: `clip` (1440 x 1440) plays the square ones, and the wide
// clip beside it (1280x720.mjpg, made from `clip` when missing) the wide one. An empty `clip` means the
// default clip, recorded first when missing; `clip` then receives its path.
bool RegisterSampleCamera(std::string& clip, std::string& error, std::ostream* progress = nullptr);

// Removes the sample camera's definition; true also when there was none.
bool UnregisterSampleCamera(std::string& error);

} // namespace tools::unfold

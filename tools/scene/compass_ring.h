// The compass ring: a dark band round the horizon with a white tick every 10 degrees of azimuth
// (longer every 30) and a label above every 30 degrees: N, E, S, W at 0, 90, 180 and 270 (N in red),
// the degrees elsewhere ("30°"). It is drawn in angles, in front of the room, and reads left to right
// as azimuth grows, the way it would read painted on the walls seen from the camera.
#pragma once

#include <optional>
#include <string>

#include "tools/image/image.h"
#include "tools/scene/direction.h"

namespace tools::scene::compass {

using Rgba = image::Rgba;

// All in degrees.
constexpr double kBandHalfHeight = 1.0; // elevation either side of the horizon
constexpr double kTickHalfWidth = 0.25; // azimuth either side of the tick's centre
constexpr double kMinorTickReach = 2.0; // a tick every 10 degrees spans elevations -2 to 2
constexpr double kMajorTickReach = 3.0; // every 30 degrees, -3 to 3
constexpr double kLabelBottom = 3.5;    // elevation of the text's baseline
constexpr double kLabelTop = 7.5;       // and top; one font pixel is (7.5 - 3.5) / 7 degrees
constexpr double kPlateBottom = 3.0;    // the dark plate behind each label
constexpr double kPlateTop = 8.0;
constexpr double kPlateMargin = 0.6; // azimuth beyond the text on each side

constexpr Rgba kBandColour{24, 30, 54, 255};
constexpr Rgba kTickColour{255, 255, 255, 255};
constexpr Rgba kLabelColour{255, 255, 255, 255};
constexpr Rgba kNorthLabelColour{255, 64, 56, 255};

// The label at a multiple of 30 degrees.
std::string LabelText(int degrees);
// The ring's colour in direction d; empty where the ring does not cover it.
std::optional<Rgba> CompassColour(const Direction& d);

} // namespace tools::scene::compass

// The synthetic room the reference pictures show, and where its features lie as seen from the camera.
//
// World frame east-north-up in metres, the floor at z = 0 and the camera at (0, 0, kCameraHeight).
// The room is a box a little off-centre around the camera, so no two corners lie at mirrored
// azimuths. Each wall has its own colour; a white stripe runs round all four walls at eye level; the
// north wall has a window of sky, the south wall a door, the east and west walls dark vertical
// pilasters from floor to ceiling. The floor is a chequer of kChequerSize squares with the camera over
// the centre of a light square; the ceiling carries a red marker at the zenith: a cross whose north
// arm ends in an arrowhead. A compass ring sits on the horizon in front of everything (compass_ring.h).
//
// All edges of the room are straight lines in the world: the walls' vertical edges (corners,
// pilasters, door and window frames) are vertical, the floor-wall and ceiling-wall lines and the
// stripe's edges are horizontal.
#pragma once

#include <vector>

#include "tools/image/image.h"
#include "tools/scene/direction.h"

namespace tools::scene {

using Rgba = image::Rgba;

namespace room {

constexpr double kWestWall = -4.4;  // x of the west wall
constexpr double kEastWall = 4.0;   // x of the east wall
constexpr double kSouthWall = -4.0; // y of the south wall
constexpr double kNorthWall = 4.6;  // y of the north wall
constexpr double kCeilingHeight = 3.0;
constexpr double kCameraHeight = 0.8;
constexpr double kStripeBottom = 1.80; // eye-level stripe, z from bottom to top
constexpr double kStripeTop = 1.95;
constexpr double kChequerSize = 0.5;

// Window in the north wall: x and z of the sky opening, and its frame width.
constexpr double kWindowLeft = -1.6, kWindowRight = 0.4, kWindowBottom = 2.05, kWindowTop = 2.75;
constexpr double kWindowFrame = 0.06;
constexpr double kWindowMullionX = -0.6, kWindowTransomZ = 2.4, kWindowBar = 0.05;
// Door in the south wall: x span and height of the leaf, and its frame width.
constexpr double kDoorLeft = 0.9, kDoorRight = 1.9, kDoorTop = 2.1, kDoorFrame = 0.08;
// Ceiling marker, centred on the zenith: arm half-width, cross arm length, arrow.
constexpr double kMarkerHalfWidth = 0.05, kMarkerArm = 0.4, kMarkerShaftSouth = -0.6;
constexpr double kArrowBase = 0.45, kArrowTip = 0.85, kArrowHalfWidth = 0.25;

constexpr Rgba kNorthColour{192, 58, 50, 255}; // brick red
constexpr Rgba kEastColour{62, 150, 82, 255};  // green
constexpr Rgba kSouthColour{58, 96, 172, 255}; // blue
constexpr Rgba kWestColour{218, 166, 46, 255}; // amber
constexpr Rgba kStripeColour{246, 246, 240, 255};
constexpr Rgba kPilasterColour{44, 44, 50, 255};
constexpr Rgba kFrameColour{250, 250, 250, 255};
constexpr Rgba kDoorColour{116, 74, 42, 255};
constexpr Rgba kSkyColour{132, 192, 238, 255};
constexpr Rgba kCeilingColour{238, 234, 222, 255};
constexpr Rgba kMarkerColour{204, 24, 32, 255};
constexpr Rgba kFloorLight{206, 204, 196, 255};
constexpr Rgba kFloorDark{64, 66, 74, 255};
constexpr Rgba kOutsideColour{0, 0, 0, 255}; // beyond the rim of the picture

enum class Surface { Floor, Ceiling, NorthWall, EastWall, SouthWall, WestWall };
enum class Corner { NorthEast, SouthEast, SouthWest, NorthWest };

// Where a ray from the camera meets the room.
struct Hit {
    Surface surface = Surface::Floor;
    double x = 0, y = 0, z = 0; // the point, metres
};

Hit CastRay(const Vec3& direction);
// The colour of the room at a point of a surface (no compass ring).
Rgba SurfaceColour(const Hit& hit);
// The wall's own colour (for the floor and ceiling, theirs).
Rgba BaseColour(Surface surface);

// Azimuth of a corner of the room seen from the camera, degrees.
double CornerAzimuth(Corner corner);
// Which wall the camera sees at an azimuth (walls meet at the corners).
Surface WallAtAzimuth(double azimuth);
// Elevation, degrees, at which the wall at `azimuth` shows height z (z = 0: the floor-wall line,
// z = kCeilingHeight: the ceiling-wall line).
double ElevationOfHeight(double azimuth, double z);

// A vertical edge of the room: at one azimuth, from height bottom to top.
struct VerticalEdge {
    double azimuth;
    double bottom, top;
    const char* what;
};
std::vector<VerticalEdge> VerticalEdges();

} // namespace room
} // namespace tools::scene

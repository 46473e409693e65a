#include "tools/scene/room.h"

#include <cmath>
#include <limits>

namespace tools::scene::room {
namespace {

struct Span {
    double from, to; // along the wall: x on the north and south walls, y on the east and west walls
};

constexpr Span kEastPilasters[] = {{-2.15, -1.9}, {1.9, 2.15}};
constexpr Span kWestPilasters[] = {{-0.6, -0.35}, {1.5, 1.75}};

bool Inside(double v, double from, double to) {
    return v >= from && v <= to;
}

double AzimuthOnWall(Surface wall, double along) {
    switch (wall) {
    case Surface::NorthWall:
        return WrapAzimuth(std::atan2(along, kNorthWall) * kDegrees);
    case Surface::SouthWall:
        return WrapAzimuth(std::atan2(along, kSouthWall) * kDegrees);
    case Surface::EastWall:
        return WrapAzimuth(std::atan2(kEastWall, along) * kDegrees);
    default:
        return WrapAzimuth(std::atan2(kWestWall, along) * kDegrees);
    }
}

bool OnMarker(double x, double y) {
    const double w = kMarkerHalfWidth;
    if (std::abs(x) <= w && Inside(y, kMarkerShaftSouth, kArrowBase)) return true;
    if (std::abs(y) <= w && std::abs(x) <= kMarkerArm) return true;
    if (Inside(y, kArrowBase, kArrowTip))
        return std::abs(x) <= kArrowHalfWidth * (kArrowTip - y) / (kArrowTip - kArrowBase);
    return false;
}

Rgba WallColour(Surface wall, double along, double z) {
    if (wall == Surface::SouthWall && Inside(along, kDoorLeft - kDoorFrame, kDoorRight + kDoorFrame) &&
        z <= kDoorTop + kDoorFrame) {
        return Inside(along, kDoorLeft, kDoorRight) && z <= kDoorTop ? kDoorColour : kFrameColour;
    }
    if (wall == Surface::NorthWall &&
        Inside(along, kWindowLeft - kWindowFrame, kWindowRight + kWindowFrame) &&
        Inside(z, kWindowBottom - kWindowFrame, kWindowTop + kWindowFrame)) {
        if (!Inside(along, kWindowLeft, kWindowRight) || !Inside(z, kWindowBottom, kWindowTop))
            return kFrameColour;
        if (std::abs(along - kWindowMullionX) <= kWindowBar / 2 ||
            std::abs(z - kWindowTransomZ) <= kWindowBar / 2)
            return kFrameColour;
        return kSkyColour;
    }
    if (wall == Surface::EastWall || wall == Surface::WestWall) {
        for (const Span& p : wall == Surface::EastWall ? kEastPilasters : kWestPilasters) {
            if (Inside(along, p.from, p.to)) return kPilasterColour;
        }
    }
    if (Inside(z, kStripeBottom, kStripeTop)) return kStripeColour;
    return BaseColour(wall);
}

} // namespace

Hit CastRay(const Vec3& d) {
    constexpr double kNever = std::numeric_limits<double>::infinity();
    const double tx = d.east > 0 ? kEastWall / d.east : d.east < 0 ? kWestWall / d.east : kNever;
    const double ty = d.north > 0 ? kNorthWall / d.north : d.north < 0 ? kSouthWall / d.north : kNever;
    const double tz = d.up > 0   ? (kCeilingHeight - kCameraHeight) / d.up
                      : d.up < 0 ? -kCameraHeight / d.up
                                 : kNever;
    Hit hit;
    double t;
    if (tz <= tx && tz <= ty) {
        t = tz;
        hit.surface = d.up > 0 ? Surface::Ceiling : Surface::Floor;
    } else if (tx <= ty) {
        t = tx;
        hit.surface = d.east > 0 ? Surface::EastWall : Surface::WestWall;
    } else {
        t = ty;
        hit.surface = d.north > 0 ? Surface::NorthWall : Surface::SouthWall;
    }
    hit.x = t * d.east;
    hit.y = t * d.north;
    hit.z = kCameraHeight + t * d.up;
    return hit;
}

Rgba BaseColour(Surface surface) {
    switch (surface) {
    case Surface::Floor:
        return kFloorLight;
    case Surface::Ceiling:
        return kCeilingColour;
    case Surface::NorthWall:
        return kNorthColour;
    case Surface::EastWall:
        return kEastColour;
    case Surface::SouthWall:
        return kSouthColour;
    case Surface::WestWall:
        return kWestColour;
    }
    return kOutsideColour;
}

Rgba SurfaceColour(const Hit& hit) {
    switch (hit.surface) {
    case Surface::Floor: {
        // Squares centred on multiples of kChequerSize, so the camera stands over a light square's centre.
        long i = long(std::floor(hit.x / kChequerSize + 0.5)),
             j = long(std::floor(hit.y / kChequerSize + 0.5));
        return (i + j) % 2 == 0 ? kFloorLight : kFloorDark;
    }
    case Surface::Ceiling:
        return OnMarker(hit.x, hit.y) ? kMarkerColour : kCeilingColour;
    case Surface::NorthWall:
    case Surface::SouthWall:
        return WallColour(hit.surface, hit.x, hit.z);
    case Surface::EastWall:
    case Surface::WestWall:
        return WallColour(hit.surface, hit.y, hit.z);
    }
    return kOutsideColour;
}

double CornerAzimuth(Corner corner) {
    switch (corner) {
    case Corner::NorthEast:
        return AzimuthOnWall(Surface::NorthWall, kEastWall);
    case Corner::SouthEast:
        return AzimuthOnWall(Surface::SouthWall, kEastWall);
    case Corner::SouthWest:
        return AzimuthOnWall(Surface::SouthWall, kWestWall);
    case Corner::NorthWest:
        return AzimuthOnWall(Surface::NorthWall, kWestWall);
    }
    return 0;
}

Surface WallAtAzimuth(double azimuth) {
    const double a = WrapAzimuth(azimuth);
    if (a < CornerAzimuth(Corner::NorthEast) || a >= CornerAzimuth(Corner::NorthWest))
        return Surface::NorthWall;
    if (a < CornerAzimuth(Corner::SouthEast)) return Surface::EastWall;
    if (a < CornerAzimuth(Corner::SouthWest)) return Surface::SouthWall;
    return Surface::WestWall;
}

double ElevationOfHeight(double azimuth, double z) {
    const double a = azimuth * kRadians;
    Hit hit = CastRay({std::sin(a), std::cos(a), 0});
    return std::atan2(z - kCameraHeight, std::hypot(hit.x, hit.y)) * kDegrees;
}

std::vector<VerticalEdge> VerticalEdges() {
    std::vector<VerticalEdge> edges = {
        {CornerAzimuth(Corner::NorthEast), 0, kCeilingHeight, "north-east corner"},
        {CornerAzimuth(Corner::SouthEast), 0, kCeilingHeight, "south-east corner"},
        {CornerAzimuth(Corner::SouthWest), 0, kCeilingHeight, "south-west corner"},
        {CornerAzimuth(Corner::NorthWest), 0, kCeilingHeight, "north-west corner"},
        {AzimuthOnWall(Surface::SouthWall, kDoorLeft - kDoorFrame), 0, kDoorTop + kDoorFrame,
         "door frame, west side"},
        {AzimuthOnWall(Surface::SouthWall, kDoorRight + kDoorFrame), 0, kDoorTop + kDoorFrame,
         "door frame, east side"},
        {AzimuthOnWall(Surface::NorthWall, kWindowLeft - kWindowFrame), kWindowBottom - kWindowFrame,
         kWindowTop + kWindowFrame, "window frame, west side"},
        {AzimuthOnWall(Surface::NorthWall, kWindowRight + kWindowFrame), kWindowBottom - kWindowFrame,
         kWindowTop + kWindowFrame, "window frame, east side"},
    };
    for (const Span& p : kEastPilasters) {
        edges.push_back({AzimuthOnWall(Surface::EastWall, p.from), 0, kCeilingHeight, "east pilaster edge"});
        edges.push_back({AzimuthOnWall(Surface::EastWall, p.to), 0, kCeilingHeight, "east pilaster edge"});
    }
    for (const Span& p : kWestPilasters) {
        edges.push_back({AzimuthOnWall(Surface::WestWall, p.from), 0, kCeilingHeight, "west pilaster edge"});
        edges.push_back({AzimuthOnWall(Surface::WestWall, p.to), 0, kCeilingHeight, "west pilaster edge"});
    }
    return edges;
}

} // namespace tools::scene::room

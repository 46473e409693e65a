// The fisheye camera: which direction each point of a square fisheye picture sees, and back.
//
// The picture is size x size pixels. Picture coordinates are in pixels, x to the right and y down,
// (0, 0) the top-left corner of the picture, so the centre of pixel (column i, row j) is
// (i + 0.5, j + 0.5) and the picture centre is (size / 2, size / 2). The picture circle has radius
// kCircleRadius * size; a point at distance d from the centre, r = d / (kCircleRadius * size), sees
// the direction at polar angle t * 107 degrees from the optical axis, where LensRadius(t) = r.
// Points beyond the rim, r > LensRadius(1), see nothing (black).
//
// Orientation. The camera is an ordinary, unmirrored camera, as if the picture were taken by a lens
// pointing along the optical axis with the picture's top edge towards the azimuth `heading`:
// - Lens up (optical axis to the zenith, the default): the centre is the zenith, the rim is 17
//   degrees below the horizon. With heading 0, north is at the top of the picture, south at the
//   bottom, EAST ON THE LEFT and west on the right, as in a sky chart held overhead. Azimuth grows
//   anticlockwise on the picture: azimuth = heading + atan2(-dx, -dy), with dx, dy the offset from the
//   centre in picture coordinates.
// - Lens down (optical axis to the nadir): the centre is the nadir, the rim is 17 degrees above the
//   horizon. With heading 0, north is at the top and east on the right, as on a map; azimuth grows
//   clockwise: azimuth = heading + atan2(dx, -dy).
// Rows from the top of the picture down run from the heading's side of the circle, through the
// centre, to the opposite side; along the row through the centre the azimuth is heading + 90 at the
// left edge for lens up (heading - 90 for lens down).
#pragma once

#include <optional>

#include "tools/scene/direction.h"

namespace tools::scene {

enum class LensFacing { Up, Down };

struct PicturePoint {
    double x = 0, y = 0;
};

class FisheyeCamera {
public:
    explicit FisheyeCamera(int size, LensFacing facing = LensFacing::Up, double heading = 0);

    int size() const { return size_; }
    LensFacing facing() const { return facing_; }
    double heading() const { return heading_; }
    double centre() const { return 0.5 * size_; }
    // Radius of the picture circle (r = 1) and of the rim (r = LensRadius(1)), pixels.
    double circleRadius() const;
    double rimRadius() const;

    // Empty outside the rim.
    std::optional<Direction> DirectionOfPoint(PicturePoint p) const;
    // Empty for a direction more than 107 degrees from the optical axis.
    std::optional<PicturePoint> PointOfDirection(const Direction& d) const;
    // The unit vector seen at p; false outside the rim. The renderer's inner loop.
    bool VectorOfPoint(PicturePoint p, Vec3& v) const;

private:
    int size_;
    LensFacing facing_;
    double heading_;
    double cosHeading_, sinHeading_;
};

} // namespace tools::scene

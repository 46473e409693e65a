// The outline of a strip of the fisheye picture between two radii, as the segment-family preview
// outlines draw it: 32 points along the outer arc from centre - width/2, 32 back along the inner arc,
// then the first point again (65 points, 130 floats). Angles in degrees.
#pragma once

#include "engine/matrix.h"
#include "modes/flat_projection.h"

inline void ArcOutline(float* p, float centre, float width, float step, float outerRadius,
                       float innerRadius) {
    for (int k = 0; k < 32; ++k) {
        const float outer = Radians(centre - width / 2 + float(k) * step);
        const float inner = Radians(centre + width / 2 - float(k) * step);
        p[2 * k] = fcos(outer) * outerRadius;
        p[2 * k + 1] = fsin(outer) * outerRadius;
        p[64 + 2 * k] = fcos(inner) * innerRadius;
        p[64 + 2 * k + 1] = fsin(inner) * innerRadius;
    }
    p[128] = p[0];
    p[129] = p[1];
}

// The fixed projection of the flat modes: x and y unchanged, depth z mapped to 0.5 - 0.05 z.
#pragma once

#include "engine/matrix.h"

inline CMatrix FlatProjection() {
    CMatrix p;
    p.at(3, 3) = -0.05f;
    p.at(4, 3) = 0.5f;
    return p;
}

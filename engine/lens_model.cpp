#include "engine/lens_model.h"

float LensRadius(float t) {
    long double r = t * kLensRangeRadians;
    long double r2 = r * r, r3 = r2 * r, r4 = r3 * r, r5 = r4 * r;
    long double p = kLensCoefficients[0] * r + kLensCoefficients[1] * r2 + kLensCoefficients[2] * r3 +
                    kLensCoefficients[3] * r4 + kLensCoefficients[4] * r5;
    if (p < 0) p = 0;
    if (p > 1) p = 1;
    return float(p);
}

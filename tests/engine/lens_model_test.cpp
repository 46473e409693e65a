// The lens model: its polynomial to the bit, and the named constants equal to every way the modes
// have computed them.
#include <gtest/gtest.h>

#include "engine/lens_model.h"
#include "engine/matrix.h"

namespace {

TEST(LensModel, RadiiStayBitExact) {
    EXPECT_EQ(LensRadius(0), 0.0f);
    EXPECT_EQ(LensRadius(0.25f), 0x1.75e27cp-3f);
    EXPECT_EQ(LensRadius(0.5f), 0x1.999682p-2f);
    EXPECT_EQ(LensRadius(0.8f), 0x1.7e991cp-1f);
    EXPECT_EQ(LensRadius(1), 0x1.ff4cbap-1f); // the rim, just inside the circle (0.99863)
    // Clamped to [0, 1].
    EXPECT_EQ(LensRadius(-0.5f), 0.0f);
    EXPECT_EQ(LensRadius(1.2f), 1.0f);
}

TEST(LensModel, ConstantsEqualEveryFormTheModesComputeThemIn) {
    EXPECT_EQ(kLensRangeRadians, float(107.0 / 360.0 * 6.2831854820251465));
    EXPECT_EQ(kLensRangeRadians, float(107 * kTwoPi / 360));
    EXPECT_EQ(kLensRangeRadians, 107.0f / 360.0f * 6.2831855f);
    EXPECT_EQ(kLensRangeRadians * 0.5f, float(107.0 / 180.0 * kPiD * 0.5));
    // The rim angle through atan2 of its sine and cosine, back in degrees, in double and in float.
    const float r = kRimBelowHorizonRadians;
    EXPECT_EQ(float(fatan2(fsin(r), fcos(r)) * 360.0 / kTwoPi), kRimBelowHorizonDegrees);
    EXPECT_EQ(fatan2(fsin(r), fcos(r)) / 6.2831855f * 360.0f, kRimBelowHorizonDegrees);
    EXPECT_EQ(kLensRangeDegrees - 90, kRimBelowHorizonDegrees);
    EXPECT_EQ(double(kDegreesPerPercent), 3.5999999046325684);
}

} // namespace

#include "tools/scene/lens_model.h"

#include <gtest/gtest.h>

namespace tools::scene {
namespace {

TEST(LensModel, PolynomialValuesAndClamps) {
    // Reference values worked out separately from the polynomial's coefficients.
    EXPECT_EQ(LensRadius(0), 0.0);
    EXPECT_NEAR(LensRadius(0.5), 0.3999881889263127, 1e-12);
    EXPECT_NEAR(LensRadius(90.0 / 107.0), 0.8002985914507227, 1e-12); // the horizon of an upward lens
    EXPECT_NEAR(LensRadius(1), 0.9986322062559096, 1e-12);
    EXPECT_EQ(RimRadius(), LensRadius(1));
    EXPECT_EQ(LensRadius(-0.3), 0.0);
    EXPECT_EQ(LensRadius(1.05), 1.0) << "the polynomial passes 1 just beyond the rim";
    EXPECT_EQ(LensRadius(3.0), 0.0) << "and turns negative far beyond it";
}

TEST(LensModel, IncreasesOverTheWholeLens) {
    double previous = -1;
    for (int i = 0; i <= 10000; ++i) {
        double r = LensRadius(i / 10000.0);
        ASSERT_GT(r, previous) << i;
        previous = r;
        ASSERT_GT(LensRadiusSlope(i / 10000.0), 0.7);
    }
    // The slope is the derivative.
    for (double t : {0.05, 0.3, 0.77, 0.99}) {
        const double h = 1e-6;
        EXPECT_NEAR(LensRadiusSlope(t), (LensRadius(t + h) - LensRadius(t - h)) / (2 * h), 1e-6) << t;
    }
}

TEST(LensModel, InverseMatchesToOneMillionthAcrossTheRange) {
    double worstRadius = 0, worstT = 0;
    for (int i = 0; i <= 100000; ++i) {
        const double r = RimRadius() * i / 100000.0;
        const double t = InverseLensRadius(r);
        ASSERT_GE(t, 0.0);
        ASSERT_LE(t, 1.0);
        worstRadius = std::max(worstRadius, std::abs(LensRadius(t) - r));
        const double s = i / 100000.0;
        worstT = std::max(worstT, std::abs(InverseLensRadius(LensRadius(s)) - s));
    }
    EXPECT_LT(worstRadius, 1e-6);
    EXPECT_LT(worstRadius, 1e-12) << "the Newton iteration should reach round-off";
    EXPECT_LT(worstT, 1e-11);
    EXPECT_EQ(InverseLensRadius(-0.1), 0.0);
    EXPECT_EQ(InverseLensRadius(0.9999), 1.0) << "beyond the rim";
}

} // namespace
} // namespace tools::scene

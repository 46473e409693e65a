#include <cmath>

#include <gtest/gtest.h>

#include "engine/matrix.h"

namespace {

void apply(const CMatrix& m, float x, float y, float z, float out[4]) {
    const float in[4] = {x, y, z, 1.0f};
    m.transform(in, out);
}

TEST(Matrix, TranslationTakesTheFourthRow) {
    CMatrix t;
    t.Translation(1, 2, 3);
    float p[4];
    apply(t, 0, 0, 0, p);
    EXPECT_EQ(p[0], 1.0f);
    EXPECT_EQ(p[1], 2.0f);
    EXPECT_EQ(p[2], 3.0f);
    EXPECT_EQ(p[3], 1.0f);
    EXPECT_EQ(t.data()[12], 1.0f); // stored row by row: m41 is element 12
}

TEST(Matrix, RotationsFollowTheRowVectorConvention) {
    CMatrix z, x;
    z.RotationZ(3.1415927f / 2);
    float p[4];
    apply(z, 1, 0, 0, p);
    EXPECT_NEAR(p[0], 0.0f, 1e-6);
    EXPECT_NEAR(p[1], 1.0f, 1e-6);
    x.RotationX(3.1415927f / 2);
    apply(x, 0, 1, 0, p);
    EXPECT_NEAR(p[1], 0.0f, 1e-6);
    EXPECT_NEAR(p[2], 1.0f, 1e-6);
    CMatrix y;
    y.RotationY(3.1415927f);
    apply(y, 1, 0, 0, p); // a half turn about y mirrors x
    EXPECT_NEAR(p[0], -1.0f, 1e-6);
}

TEST(Matrix, PerspectivesMapNearAndFarToDepthZeroAndOne) {
    const float zn = 0.5f, zf = 20.0f;
    CMatrix rh, lh;
    rh.PerspectiveRH(1.2f, 16.0f / 9, zn, zf);
    lh.PerspectiveLH(1.2f, 16.0f / 9, zn, zf);
    float p[4];
    apply(rh, 0, 0, -zn, p);
    EXPECT_NEAR(p[2] / p[3], 0.0f, 1e-6);
    EXPECT_EQ(p[3], zn); // w = -z
    apply(rh, 0, 0, -zf, p);
    EXPECT_NEAR(p[2] / p[3], 1.0f, 1e-6);
    apply(lh, 0, 0, zn, p);
    EXPECT_NEAR(p[2] / p[3], 0.0f, 1e-6);
    apply(lh, 0, 0, zf, p);
    EXPECT_NEAR(p[2] / p[3], 1.0f, 1e-6);
    EXPECT_EQ(rh.at(4, 4), 0.0f);
    EXPECT_EQ(rh.at(3, 4), -1.0f);
    EXPECT_EQ(lh.at(3, 4), 1.0f);
}

TEST(Matrix, ProductIsNotCommutativeAndSquaresInPlace) {
    CMatrix r, t;
    r.RotationZ(0.7f);
    t.Translation(3, -1, 2);
    CMatrix rt = r * t, tr = t * r;
    float a[4], b[4];
    apply(rt, 1, 1, 0, a);
    apply(tr, 1, 1, 0, b);
    EXPECT_GT(std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]), 0.1f);
    // World first: rotate, then translate.
    apply(rt, 1, 0, 0, a);
    EXPECT_NEAR(a[0], std::cos(0.7f) + 3, 1e-5);
    CMatrix s;
    s.Scaling(2, 3, 4);
    s *= s;
    EXPECT_EQ(s.at(1, 1), 4.0f);
    EXPECT_EQ(s.at(2, 2), 9.0f);
    EXPECT_EQ(s.at(3, 3), 16.0f);
    EXPECT_EQ(s.at(4, 4), 1.0f);
}

TEST(Matrix, SettersChainAndScalarWrappersNarrow) {
    CMatrix m;
    EXPECT_EQ(&m.Zero(), &m);
    EXPECT_EQ(m.at(1, 1), 0.0f);
    EXPECT_EQ(m.Identity().at(4, 4), 1.0f);
    EXPECT_EQ(fcos(1.0f), float(std::cos(1.0)));
    EXPECT_EQ(fsqrt(2.0f), float(std::sqrt(2.0)));
    EXPECT_EQ(fatan2(1.0f, 2.0f), float(std::atan2(1.0, 2.0)));
    EXPECT_FALSE(SetWorldViewProj(nullptr, nullptr, nullptr, nullptr));
}

} // namespace

#include "tools/scene/lens_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tools::scene {
namespace {

constexpr double kHalfAngleRadians = kLensHalfAngleDegrees / 180.0 * std::numbers::pi;
// Coefficients of r, r^2 ... r^5, r the angle from the axis in radians.
constexpr double kC[5] = {0.379304210704049, 0.0126343541596725, -0.00163057541794842, 0.0739231778879912,
                          -0.0282768400561508};

double Polynomial(double t) {
    double r = t * kHalfAngleRadians;
    return r * (kC[0] + r * (kC[1] + r * (kC[2] + r * (kC[3] + r * kC[4]))));
}

// Start values for the inversion: t at evenly spaced radii, filled once.
constexpr int kGuessSteps = 256;

struct GuessTable {
    std::array<double, kGuessSteps + 1> t{};
    double rim = 0;
    GuessTable() {
        rim = Polynomial(1.0);
        // Bisection once per entry; the table only needs to be close.
        for (int i = 0; i <= kGuessSteps; ++i) {
            double r = rim * i / kGuessSteps, lo = 0, hi = 1;
            for (int k = 0; k < 60; ++k) {
                double mid = 0.5 * (lo + hi);
                (Polynomial(mid) < r ? lo : hi) = mid;
            }
            t[size_t(i)] = 0.5 * (lo + hi);
        }
    }
};

const GuessTable& Guesses() {
    static const GuessTable table;
    return table;
}

} // namespace

double LensRadius(double t) {
    return std::clamp(Polynomial(t), 0.0, 1.0);
}

double LensRadiusSlope(double t) {
    double r = t * kHalfAngleRadians;
    double d = kC[0] + r * (2 * kC[1] + r * (3 * kC[2] + r * (4 * kC[3] + r * 5 * kC[4])));
    return d * kHalfAngleRadians;
}

double RimRadius() {
    return Guesses().rim;
}

double InverseLensRadius(double r) {
    const GuessTable& g = Guesses();
    if (!(r > 0)) return 0.0;
    if (r >= g.rim) return 1.0;
    double x = r / g.rim * kGuessSteps;
    int i = std::min(int(x), kGuessSteps - 1);
    double f = x - i;
    double lo = g.t[size_t(i)], hi = g.t[size_t(i) + 1];
    double t = lo + (hi - lo) * f;
    // Newton inside the bracket [lo, hi]; the slope is at least 0.7 on [0, 1], so it converges in a
    // few steps. A step that leaves the bracket falls back to bisection.
    lo = std::max(0.0, lo - 1e-9), hi = std::min(1.0, hi + 1e-9);
    for (int k = 0; k < 40; ++k) {
        double e = Polynomial(t) - r;
        if (e == 0) break;
        (e < 0 ? lo : hi) = t;
        double next = t - e / LensRadiusSlope(t);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::abs(next - t) < 1e-15) {
            t = next;
            break;
        }
        t = next;
    }
    return t;
}

} // namespace tools::scene

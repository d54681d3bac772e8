#include <gtest/gtest.h>

#include <cmath>

#include "sim/integrator.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

TEST(Integrator, OneStepOnATimeOnlyDerivativeIsSimpsonsRule)
{
    double y[1] = {0.0}, out[1];
    rungeKuttaGill([](int, double t, const double*) { return t * t; }, 0.0, 1.0, y, out, 1);
    EXPECT_TRUE(near(out[0], 0.3333333349, 5e-11));
}

TEST(Integrator, OneStepOnTheExponentialIsTheFourthOrderTaylorPolynomial)
{
    double y[1] = {1.0}, out[1];
    rungeKuttaGill([](int, double, const double* v) { return v[0]; }, 0.0, 0.1, y, out, 1);
    EXPECT_TRUE(near(out[0], 1.1051708333, 5e-11));
    // the input vector is left as it was
    EXPECT_EQ(y[0], 1.0);
}

TEST(Integrator, ModelStepMatchesStepWithLiteralDerivative)
{
    // the model step evaluates the reference once per stage time; the
    // generic step with the literal derivative must give the same bits
    for (char curve : {'L', 'C', 'S'}) {
        for (char hybrid : {'7', '8'}) {
            const SimSettings s = testing::settingsFor('b', hybrid, curve);
            double y[stateSize] = {0.01, 3.0, 0.0, 0.0, 0.002, 0.5};
            double fast[stateSize], literal[stateSize];
            for (double t : {0.0, 0.39, 0.4, 2.0, 3.6, 4.0, 5.0}) {
                rungeKuttaGill(s, t, 0.004, y, fast);
                rungeKuttaGill([&](int j, double tau, const double* v) { return modelDerivative(s, j, tau, v); },
                               t, 0.004, y, literal, stateSize);
                for (int j = 0; j < stateSize; ++j) ASSERT_EQ(fast[j], literal[j]) << curve << hybrid << t << j;
            }
        }
    }
}

TEST(Integrator, ForceLoopSettlesOnFnIndependentlyOfTheReference)
{
    SimSettings s = testing::defaultSettings();
    double y[stateSize] = {0, 0, 0, 0, 0, 0}, next[stateSize];
    const double h = 0.004;
    double t = 0.0;
    double previousError = s.Fn;
    for (int k = 0; k < 2000; ++k) {  // 8 s
        rungeKuttaGill(s, t, h, y, next);
        std::copy(next, next + stateSize, y);
        t += h;
        // unused components never move
        ASSERT_EQ(y[2], 0.0);
        ASSERT_EQ(y[3], 0.0);
        if (k == 10) previousError = s.Fn - y[1];
    }
    EXPECT_TRUE(near(y[1], s.Fn, 1e-6));
    EXPECT_LT(std::fabs(s.Fn - y[1]), std::fabs(previousError));
    // the force state does not depend on the contour or its reference
    SimSettings line = testing::settingsFor('b', '8', 'L');
    double z[stateSize] = {0, 0, 0, 0, 0, 0};
    t = 0.0;
    for (int k = 0; k < 2000; ++k) {
        rungeKuttaGill(line, t, h, z, next);
        std::copy(next, next + stateSize, z);
        t += h;
    }
    EXPECT_EQ(z[1], y[1]);
    EXPECT_EQ(z[5], y[5]);
}

TEST(Integrator, ForceErrorFollowsTheSecondOrderLaw)
{
    // e = Fn - F obeys Kv2 e'' + (Kp2 - 1) e' + Ki2 e = 0 (from the integral
    // form): with e(0) = Fn, e'(0) = -(Kp2 - 1) Fn / Kv2 and integral state 0.
    SimSettings s = testing::defaultSettings();
    s.hybrid = '7';
    deriveSettings(s);
    const double a = s.Kv2, b = s.Kp2 - 1.0, c = s.Ki2;
    const double disc = b * b - 4.0 * a * c;
    ASSERT_GT(disc, 0.0);
    const double r1 = (-b + std::sqrt(disc)) / (2.0 * a), r2 = (-b - std::sqrt(disc)) / (2.0 * a);
    // z2' = e, z2(0) = 0; F' = (b e + c z2)/a.  In z2: a z2'' + b z2' + c z2 = 0,
    // z2(0) = 0, z2'(0) = Fn.
    const double A = s.Fn / (r1 - r2);
    double y[stateSize] = {0, 0, 0, 0, 0, 0}, next[stateSize];
    const double h = 0.0004;
    double t = 0.0;
    for (int k = 0; k < 500; ++k) {
        rungeKuttaGill(s, t, h, y, next);
        std::copy(next, next + stateSize, y);
        t += h;
    }
    const double z2 = A * (std::exp(r1 * t) - std::exp(r2 * t));
    const double e = A * (r1 * std::exp(r1 * t) - r2 * std::exp(r2 * t));
    EXPECT_TRUE(near(y[5], z2, 1e-6));
    EXPECT_TRUE(near(s.Fn - y[1], e, 1e-4));
}

TEST(Integrator, TangentialErrorStaysZeroWhileTheReferenceSpeedIsConstant)
{
    // method 8 on a line: s_r = vs t exactly solved by s = s_r
    const SimSettings s = testing::settingsFor('a', '8', 'L');
    double y[stateSize] = {0, 0, 0, 0, 0, 0}, next[stateSize];
    const double h = 0.004;
    double t = 0.0;
    for (int k = 0; k < 500; ++k) {  // 2 s, inside the constant-speed phase
        rungeKuttaGill(s, t, h, y, next);
        std::copy(next, next + stateSize, y);
        t += h;
    }
    // zero within the accuracy of Gill's nine-digit constants
    EXPECT_TRUE(near(y[0], referenceMotion(s, t).s, 1e-10));
}

}  // namespace
}  // namespace hybridsim

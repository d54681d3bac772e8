#include <gtest/gtest.h>

#include "sim/gain_design.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

TEST(GainDesign, GainsOfTheDefaultCharacteristics)
{
    SimSettings s = testing::defaultSettings();
    // method 8: fn1 = 5 Hz, alpha1 = 0; fn2 = 20 Hz, alpha2 = 2
    EXPECT_TRUE(near(s.Kp1, 986.9604, 5e-5));
    EXPECT_TRUE(near(s.Kv1, 62.8319, 5e-5));
    EXPECT_EQ(s.Ki1, 0.0);
    EXPECT_TRUE(near(s.Kp2, 16294.0219, 5e-5));
    EXPECT_TRUE(near(s.Kv2, 253.3274, 5e-5));
    EXPECT_TRUE(near(s.Ki2, 31582.7341, 5e-5));
    // method 7: fn2 = 10 Hz, alpha2 = 5
    s.hybrid = '7';
    designGains(s);
    EXPECT_TRUE(near(s.Kp2, 4576.1603, 5e-5));
    EXPECT_TRUE(near(s.Kv2, 130.6637, 5e-5));
    EXPECT_TRUE(near(s.Ki2, 19739.2088, 5e-5));
    EXPECT_TRUE(near(s.Kp1, 986.9604, 5e-5));
}

TEST(GainDesign, SwitchingMethodsSwapsEveryActiveValueAndBackExactly)
{
    SimSettings s = testing::defaultSettings();
    s.hybrid = '7';
    designGains(s);
    const SimSettings seven = s;
    s.hybrid = '8';
    designGains(s);
    EXPECT_EQ(s.wn2, s.wn2Hybrid8);
    EXPECT_EQ(s.alpha2, 2.0);
    s.hybrid = '7';
    designGains(s);
    EXPECT_EQ(s.wn1, seven.wn1);
    EXPECT_EQ(s.wn2, seven.wn2);
    EXPECT_EQ(s.alpha2, seven.alpha2);
    EXPECT_EQ(s.Kp2, seven.Kp2);
    EXPECT_EQ(s.Kv2, seven.Kv2);
    EXPECT_EQ(s.Ki2, seven.Ki2);
}

TEST(GainDesign, UnknownMethodRecomputesFromTheActiveValues)
{
    SimSettings s = testing::defaultSettings();
    s.hybrid = '9';
    s.wn2 = 10.0;
    s.alpha2 = 1.0;
    designGains(s);
    EXPECT_DOUBLE_EQ(s.Kp2, 2.0 * 10.0 * 1.0 + 100.0);
    EXPECT_DOUBLE_EQ(s.Kv2, 21.0);
    EXPECT_DOUBLE_EQ(s.Ki2, 100.0);
}

TEST(GainDesign, GainsAreTheCoefficientsOfTheCharacteristicPolynomial)
{
    // (s^2 + 2 zeta wn s + wn^2)(s + alpha) vanishes at s = -alpha
    SimSettings s = testing::defaultSettings();
    s.hybrid = '7';
    designGains(s);
    const double r = -s.alpha2;
    EXPECT_TRUE(near(r * r * r + s.Kv2 * r * r + s.Kp2 * r + s.Ki2, 0.0, 1e-7));
    // and the double pole at -wn (zeta = 1)
    const double w = -s.wn2;
    EXPECT_TRUE(near((w * w * w + s.Kv2 * w * w + s.Kp2 * w + s.Ki2) / (s.wn2 * s.wn2 * s.wn2), 0.0, 1e-12));
}

}  // namespace
}  // namespace hybridsim

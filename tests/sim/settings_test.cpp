#include <gtest/gtest.h>

#include "sim/settings.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

TEST(Settings, DefaultsSelectRobotBMethod8SineWithBothRobotsDimensioned)
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    EXPECT_EQ(s.type, 'b');
    EXPECT_EQ(s.hybrid, '8');
    EXPECT_EQ(s.curve, 'S');
    EXPECT_TRUE(near(s.drawA1, 0.07, 1e-15));
    EXPECT_TRUE(near(s.drawA2, 0.14, 1e-15));
    EXPECT_TRUE(near(s.drawA3, 0.21, 1e-15));
    EXPECT_TRUE(near(s.drawB1, 0.1, 1e-15));
    EXPECT_TRUE(near(s.drawB2, 0.06, 1e-15));
    EXPECT_TRUE(near(s.drawB3, 0.0375, 1e-15));
    EXPECT_TRUE(near(s.drawB4, 0.0225, 1e-15));
    EXPECT_TRUE(near(s.wn1Hybrid8, 31.4159, 5e-5));
    EXPECT_TRUE(near(s.wn2Hybrid8, 125.6637, 5e-5));
    EXPECT_DOUBLE_EQ(s.sineL, 0.6);
    EXPECT_DOUBLE_EQ(s.wp, 0.2);
    EXPECT_EQ(s.nsteps, 200);
}

TEST(Settings, RobotLengthsAreKeptSideBySide)
{
    SimSettings s = testing::defaultSettings();
    s.type = 'a';
    deriveSettings(s);
    s.type = 'b';
    deriveSettings(s);
    EXPECT_DOUBLE_EQ(s.l, 0.7);
    EXPECT_DOUBLE_EQ(s.l1, 0.5);
    EXPECT_DOUBLE_EQ(s.l2, 0.3);
}

TEST(Settings, JointCirclesKeepTheirDefaultSizeWhenLinksChange)
{
    SimSettings s = testing::defaultSettings();
    s.l1 = 0.6;
    deriveSettings(s);
    EXPECT_DOUBLE_EQ(s.drawB1, 0.12);
    EXPECT_DOUBLE_EQ(s.drawB3, 0.0375);
}

TEST(Settings, SetErrorLabelShowsTwoDigitsInsideTheRangeAndSignedMillimetresOutside)
{
    SimSettings s;
    const struct {
        double seterror;
        const char* label;
    } cases[] = {
        {0.0, "00[mm]\n"},     {0.005, "05[mm]\n"},   {0.012, "12[mm]\n"},
        {0.099, "99[mm]\n"},   {0.0999, "99[mm]\n"},  {0.03, "30[mm]\n"},
        {0.07, "70[mm]\n"},    {-0.005, "-5[mm]\n"},  {0.12, "120[mm]\n"},
        {0.1, "100[mm]\n"},    {-0.0004, "0[mm]\n"},  {-1.5, "-1500[mm]\n"},
    };
    for (const auto& c : cases) {
        s.seterror = c.seterror;
        updateSeterrorLabel(s);
        EXPECT_EQ(s.seterrorLabel, c.label) << "seterror " << c.seterror;
    }
}

TEST(Settings, SetErrorLabelSurvivesValuesNoIntegerHolds)
{
    SimSettings s;
    for (double e : {1e308, -1e308, 1e-320, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        s.seterror = e;
        updateSeterrorLabel(s);
        ASSERT_FALSE(s.seterrorLabel.empty());
        EXPECT_EQ(s.seterrorLabel.substr(s.seterrorLabel.size() - 5), "[mm]\n");
    }
    s.seterror = 1e-320;
    updateSeterrorLabel(s);
    EXPECT_EQ(s.seterrorLabel, "00[mm]\n");
}

TEST(Settings, EveryTwoDigitLabelMatchesItsTruncatedMillimetres)
{
    SimSettings s;
    for (int um = 0; um < 100000; um += 7) {
        s.seterror = um * 1e-6;
        updateSeterrorLabel(s);
        ASSERT_EQ(s.seterrorLabel.size(), 7u);
        const int tens = s.seterrorLabel[0] - '0';
        const int units = s.seterrorLabel[1] - '0';
        ASSERT_GE(units, 0);
        ASSERT_LE(units, 9);
        EXPECT_LE(std::abs((tens * 10 + units) - um / 1000), 1) << um;
    }
}

}  // namespace
}  // namespace hybridsim

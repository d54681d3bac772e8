// The damping ratios zeta1 and zeta2 as task settings: by name, in a task
// file's optional tail, refused where they would leave a loop no velocity
// gain, and designed into the gains of whichever method is in force.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/gain_design.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "tests/task/named_settings.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

// The default task with settings set by name, each checked, derived.
SimSettings withSettings(const std::vector<std::pair<std::string, std::string>>& settings)
{
    SimSettings s = testing::defaultsWith(settings);
    deriveSettings(s);
    return s;
}

TEST(DampingSettings, TravelInTheTailOnlyWhenTheyDifferFromOne)
{
    const std::string plain = robotDataText(testing::defaultSettings());
    EXPECT_EQ(plain.find("zeta"), std::string::npos) << plain;
    // back to 1: the file of before, byte for byte
    EXPECT_EQ(robotDataText(withSettings({{"zeta1", "0.5"}, {"zeta1", "1"}, {"zeta2", "1.0"}})), plain);

    // the tail names them first, before the contact settings
    const SimSettings s = withSettings({{"contact", "spring"}, {"zeta2", "0.5"}, {"zeta1", "0.7"}});
    const std::string text = robotDataText(s);
    ASSERT_EQ(text.substr(0, plain.size()), plain);
    EXPECT_EQ(text.substr(plain.size()), "zeta1 0.7 zeta2 0.5 contact spring\n");

    // read back: the same ratios and gains, and the same text
    SimSettings back = testing::defaultSettings();
    ASSERT_TRUE(parseRobotData(text, "t", back).ok);
    deriveSettings(back);
    EXPECT_EQ(back.zeta1, 0.7);
    EXPECT_EQ(back.zeta2, 0.5);
    EXPECT_EQ(back.Kv2, s.Kv2);
    EXPECT_EQ(robotDataText(back), text);

    // a file without them is the whole task: both ratios 1 again
    ASSERT_TRUE(parseRobotData(plain, "t", back).ok);
    EXPECT_EQ(back.zeta1, 1.0);
    EXPECT_EQ(back.zeta2, 1.0);
}

TEST(DampingSettings, GainsFollowTheDesignWithTheRatioForEitherMethod)
{
    SimSettings s = withSettings({{"zeta2", "0.5"}, {"zeta1", "0.25"}});
    for (const char method : {'8', '7', '8'}) {
        SCOPED_TRACE(method);
        ASSERT_TRUE(setTaskSetting(s, "method", std::string(1, method)).ok);
        deriveSettings(s);
        // the ratios are the task's: a new method keeps them
        EXPECT_EQ(s.zeta1, 0.25);
        EXPECT_EQ(s.zeta2, 0.5);
        const LoopGains g1 = loopGains(0.25, s.wn1, s.alpha1);
        const LoopGains g2 = loopGains(0.5, s.wn2, s.alpha2);
        EXPECT_EQ(s.Kp1, g1.Kp);
        EXPECT_EQ(s.Kv1, g1.Kv);
        EXPECT_EQ(s.Ki1, g1.Ki);
        EXPECT_EQ(s.Kp2, g2.Kp);
        EXPECT_EQ(s.Kv2, g2.Kv);
        EXPECT_EQ(s.Ki2, g2.Ki);
        EXPECT_NE(s.Kv2, loopGains(1.0, s.wn2, s.alpha2).Kv);
    }
}

TEST(DampingSettings, ARefusedRatioChangesNothing)
{
    // by name: out of the rule, or Kv = 2 zeta wn + alpha zero (alpha1 is 0 by default)
    const struct {
        const char* name;
        const char* value;
        const char* message;
    } cases[] = {
        {"zeta1", "-0.5", "zeta1=-0.5: the damping ratio zeta1 must be 0 or greater"},
        {"zeta2", "nan", "zeta2=nan: the damping ratio zeta2 must be a finite number"},
        {"zeta2", "inf", "zeta2=inf: the damping ratio zeta2 must be a finite number"},
        {"zeta1", "0", "zeta1=0: zeta1, fn1 and alpha1 make the velocity gain Kv1 zero"},
        {"zeta2", "1e308", "zeta2=1e308: zeta2 is too large: the gains Kp2 and Kv2 are not finite numbers"},
    };
    for (const auto& c : cases) {
        SimSettings s = withSettings({{"zeta2", "0.5"}});
        const std::string before = robotDataText(s);
        const SettingChange change = setTaskSetting(s, c.name, c.value);
        EXPECT_FALSE(change.ok) << c.value;
        EXPECT_EQ(change.message, c.message);
        EXPECT_EQ(robotDataText(s), before);
    }
    // zeta 0 is an undamped design where alpha leaves Kv: accepted
    SimSettings undamped = testing::defaultSettings();
    EXPECT_TRUE(setTaskSetting(undamped, "zeta2", "0").ok);

    // in a file: refused at the ratio's token, the settings kept
    const std::string plain = robotDataText(testing::defaultSettings());
    const int tokens = 18;  // b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10
    SimSettings s = withSettings({{"zeta2", "0.5"}});
    const std::string before = robotDataText(s);
    for (const std::string tail : {"zeta1 0\n", "zeta2 -1\n", "zeta2 0.3 zeta1 0\n"}) {
        const TaskFileResult r = parseRobotData(plain + tail, "z.dat", s);
        EXPECT_FALSE(r.ok) << tail;
        EXPECT_EQ(robotDataText(s), before);
        if (tail == "zeta1 0\n") {
            EXPECT_EQ(r.error, "z.dat: token " + std::to_string(tokens + 2) +
                                   " '0': zeta1, fn1 and alpha1 make the velocity gain Kv1 zero");
        }
    }

    // fn and alpha that make Kv zero only with zeta 1: refused at alpha
    // without a ratio, taken with one that leaves a gain
    SimSettings negative = testing::defaultSettings();
    ASSERT_TRUE(setTaskSetting(negative, "alpha2", "-200").ok);
    negative.wn2Hybrid8 = negative.wn2 = 100.0;
    const std::string zeroKv = robotDataText(negative);
    EXPECT_EQ(zeroKv.find("zeta"), std::string::npos);
    const TaskFileResult refused = parseRobotData(zeroKv, "k.dat", s);
    EXPECT_EQ(refused.error, "k.dat: token 10: fn2 and alpha2 make the velocity gain Kv2 zero");
    EXPECT_EQ(robotDataText(s), before);
    ASSERT_TRUE(parseRobotData(zeroKv + "zeta2 0.5\n", "k.dat", s).ok);
    deriveSettings(s);
    EXPECT_EQ(s.Kv2, -100.0);
}

}  // namespace
}  // namespace hybridsim

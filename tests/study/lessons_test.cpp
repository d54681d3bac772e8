// The built-in lessons (their file's form: embed_lessons_test.cmake).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/task_setting.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "study/goals.h"
#include "study/lessons.h"
#include "study/summary.h"

namespace hybridsim {
namespace {

// What each lesson's settings, pins and goals mean: the program's own
// readers take every one, and a lesson that opens is the run of its --set.
TEST(Lessons, TheBuiltInLessonsAreAllRead)
{
    EXPECT_GE(builtInLessons().size(), 5u);
    for (const Lesson& l : builtInLessons()) {
        LinkState state;
        std::string error;
        EXPECT_TRUE(lessonState(l, "en", state, error)) << l.title[0] << ": " << error;
        EXPECT_EQ(state.goals.size(), l.goals.size());
    }
}

// Whether every goal passes on the run of the default task with `items`.
bool goalsPass(const std::vector<std::string>& items, const std::vector<std::string>& goals)
{
    SimSettings s = linkDefaultTask();
    for (const std::string& item : items) {
        const std::size_t eq = item.find('=');
        EXPECT_TRUE(setTaskSetting(s, item.substr(0, eq), item.substr(eq + 1)).ok) << item;
    }
    deriveSettings(s);
    RunSeries run;
    calcontrol(s, run);
    const std::string row = summaryCsvRow(s, summarizeRun(s, currentSeries(run, s.type)));
    bool all = true;
    for (const std::string& text : goals) {
        Goal g;
        std::string error;
        EXPECT_TRUE(parseGoal(text, g, error)) << error;
        all = all && checkGoal(g, summaryCsvHeader(), row).pass;
    }
    return all;
}

// What each text promises of its goals: a lesson with a fix fails them as
// it opens and passes them with the fix; one without passes them as it opens.
TEST(Lessons, TheGoalsFailUntilTheTextsFix)
{
    for (const Lesson& l : builtInLessons()) {
        if (l.goals.empty()) continue;
        SCOPED_TRACE(l.title[0]);
        EXPECT_EQ(goalsPass(l.set, l.goals), l.fix.empty());
        if (l.fix.empty()) continue;
        std::vector<std::string> fixed = l.set;
        fixed.insert(fixed.end(), l.fix.begin(), l.fix.end());
        EXPECT_TRUE(goalsPass(fixed, l.goals));
    }
}

}  // namespace
}  // namespace hybridsim

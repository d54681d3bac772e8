// The built-in lessons (their file's form: embed_lessons_test.cmake).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/task_setting.h"

#include "study/lessons.h"

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

}  // namespace
}  // namespace hybridsim

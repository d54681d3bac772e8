// The display check of the window: which display, and the one line the
// user gets when there is none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "view/window.h"

namespace hybridsim {
namespace {

// Sets or unsets DISPLAY for one test and puts it back afterwards.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value)
    {
        const char* old = std::getenv("DISPLAY");
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            setenv("DISPLAY", value, 1);
        else
            unsetenv("DISPLAY");
    }
    ~DisplayVariable()
    {
        if (had_)
            setenv("DISPLAY", old_.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(DisplayCheck, TheDisplayArgumentComesBeforeTheVariable)
{
    DisplayVariable display(":7");
    char prog[] = "hybridsim";
    char opt[] = "-display";
    char name[] = ":42";
    char other[] = "-iconic";
    char* withOption[] = {prog, other, opt, name};
    char* without[] = {prog, other};
    char* dangling[] = {prog, opt};
    EXPECT_EQ(displayName(4, withOption), ":42");
    EXPECT_EQ(displayName(2, without), ":7");
    EXPECT_EQ(displayName(2, dangling), ":7");
    DisplayVariable none(nullptr);
    EXPECT_EQ(displayName(2, without), "");
}

TEST(DisplayCheck, WithoutADisplayOneLineNamesXvfbRunAndTheBatchRunner)
{
    for (const char* value : {static_cast<const char*>(nullptr), ":4711"}) {
        DisplayVariable display(value);
        const std::string message = checkDisplay(value ? value : "");
        SCOPED_TRACE(message);
        EXPECT_NE(message.find("the run was computed but cannot be shown"), std::string::npos);
        EXPECT_NE(message.find("xvfb-run"), std::string::npos);
        EXPECT_NE(message.find("hybridsim-batch"), std::string::npos);
        EXPECT_EQ(message.find('\n'), std::string::npos);
        if (value)
            EXPECT_NE(message.find("':4711'"), std::string::npos);
        else
            EXPECT_NE(message.find("DISPLAY is not set"), std::string::npos);
    }
}

TEST(DisplayCheck, WithoutADisplayTheProgramEndsWithStatusOneAfterItsMessage)
{
    DisplayVariable display(nullptr);
    SimSettings s;
    RunSeries run;
    char prog[] = "hybridsim";
    char* argv[] = {prog, nullptr};
    int argc = 1;
    EXPECT_EXIT(openWindow(&argc, argv, s, run, [] {}), ::testing::ExitedWithCode(1),
                "^hybridsim: the run was computed but cannot be shown: there is no X display "
                "\\(DISPLAY is not set\\); start the program under xvfb-run for a virtual "
                "display, or use hybridsim-batch to compute without a window\n$");
}

}  // namespace
}  // namespace hybridsim

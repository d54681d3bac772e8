// The browser edition's session: the desktop's start, task files taken whole
// or not at all, the frame range and the unreachable-point notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "console/report.h"
#include "console/task_file.h"
#include "web/web_session.h"

namespace hybridsim {
namespace {

constexpr const char* robotALine = "a 0.7 500 500 7 5 0 10 5 L 0.3 0.0 0.3 0.3 4 0.005 10";
// a circle about (3, 3) m: far beyond robot b's 1 m of reach
constexpr const char* farCircle = "b 0.5 0.5 500 500 8 5 0 20 2 C 3 3 0.1 4 0 10";

TEST(WebSession, StartsLikeTheProgramAndTakesTaskFilesWhole)
{
    WebSession w;
    // the default task at frame 0, 201 samples
    EXPECT_EQ(w.settings().type, 'b');
    EXPECT_EQ(w.settings().curve, 'S');
    EXPECT_EQ(w.frame(), 0);
    EXPECT_EQ(w.lastFrame(), 200);
    EXPECT_EQ(w.unreachable(), 0);
    EXPECT_EQ(w.notice(), "");
    const std::string csv = w.csv();
    const std::string report = w.report();
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 202);

    // a word where a number belongs: the reader's own message, nothing changes
    w.setFrame(50);
    const WebSession::LoadResult bad = w.load("b 0.5 zero", "lesson.dat");
    EXPECT_FALSE(bad.ok);
    SimSettings probe = w.settings();
    EXPECT_EQ(bad.message, parseRobotData("b 0.5 zero", "lesson.dat", probe).error);
    EXPECT_NE(bad.message.find("lesson.dat"), std::string::npos);
    EXPECT_EQ(w.csv(), csv);
    EXPECT_EQ(w.report(), report);
    EXPECT_EQ(w.frame(), 50);

    // a valid file replaces the task, computes its run and shows frame 0
    const WebSession::LoadResult good = w.load(robotALine, "line.dat");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.message, "");
    EXPECT_EQ(w.settings().type, 'a');
    EXPECT_EQ(w.frame(), 0);
    EXPECT_NE(w.csv(), csv);
    EXPECT_EQ(w.csv().substr(0, 40), csv.substr(0, 40));  // the same header
    std::ostringstream printed;
    printSettings(w.settings(), printed);
    EXPECT_EQ(w.report(), printed.str());
    EXPECT_NE(w.report(), report);
}

TEST(WebSession, FrameStaysWithinTheRun)
{
    WebSession w;
    EXPECT_EQ(w.setFrame(100), 100);
    EXPECT_DOUBLE_EQ(w.time(100), 4.0);
    EXPECT_EQ(w.setFrame(-3), 0);
    EXPECT_EQ(w.setFrame(201), 200);
    EXPECT_EQ(w.setFrame(1L << 40), 200);
    EXPECT_EQ(w.frame(), 200);
    // the picture follows the frame: one more trail point per sample
    const std::size_t last = w.draw().data().size();
    w.setFrame(199);
    EXPECT_LT(w.draw().data().size(), last);
}

TEST(WebSession, UnreachablePointsGiveOneNoticeWithTheirCount)
{
    WebSession w;
    ASSERT_TRUE(w.load(farCircle, "far.dat").ok);
    // as hybridsim-batch counts them: 2 in the derivation, 402 in the run
    EXPECT_EQ(w.unreachable(), 404);
    const std::string& n = w.notice();
    EXPECT_NE(n.find(" 404 "), std::string::npos) << n;
    // one message with the first point's coordinates, one count line
    std::size_t messages = 0;
    for (std::size_t at = n.find("!!!"); at != std::string::npos; at = n.find("!!!", at + 1)) ++messages;
    EXPECT_EQ(messages, 1u) << n;

    // the next run that reaches every point clears it
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_EQ(w.unreachable(), 0);
    EXPECT_EQ(w.notice(), "");
}

}  // namespace
}  // namespace hybridsim

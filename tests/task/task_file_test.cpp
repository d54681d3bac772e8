#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/gain_design.h"
#include "task/report.h"
#include "task/task_file.h"
#include "tests/test_support.h"

#ifndef HYBRIDSIM_TEST_DATA
#define HYBRIDSIM_TEST_DATA "tests/task/data"
#endif

namespace hybridsim {
namespace {

using testing::near;

std::string dataFile(const char* name)
{
    return std::string(HYBRIDSIM_TEST_DATA) + "/" + name;
}

std::string reportOf(const SimSettings& s)
{
    std::ostringstream out;
    printSettings(s, out);
    return out.str();
}

// Everything a file can write, as text: equal text, equal settings.
std::string fingerprint(const SimSettings& s)
{
    std::ostringstream o;
    o.precision(17);
    o << s.type << s.hybrid << s.curve << ' ' << s.l << ' ' << s.l1 << ' ' << s.l2 << ' ' << s.KH1 << ' '
      << s.KH2 << ' ' << s.wn1 << ' ' << s.wn2 << ' ' << s.alpha1 << ' ' << s.alpha2 << ' ' << s.wn1Hybrid7
      << ' ' << s.wn2Hybrid7 << ' ' << s.alpha1Hybrid7 << ' ' << s.alpha2Hybrid7 << ' ' << s.wn1Hybrid8 << ' '
      << s.wn2Hybrid8 << ' ' << s.alpha1Hybrid8 << ' ' << s.alpha2Hybrid8 << ' ' << s.lineX0 << ' ' << s.lineY0
      << ' ' << s.lineXf << ' ' << s.lineYf << ' ' << s.lineTf << ' ' << s.circleOx << ' ' << s.circleOy << ' '
      << s.circleR << ' ' << s.circleTf << ' ' << s.sineX0 << ' ' << s.sineY0 << ' ' << s.sineL << ' '
      << s.sineA << ' ' << s.sineTf << ' ' << s.seterror << ' ' << s.Fn << ' ' << s.startX << ' ' << s.startY
      << ' ' << s.endX << ' ' << s.endY << ' ' << s.circleX0 << ' ' << s.sineXf;
    return o.str();
}

// Settings far from the defaults, so that a file visibly replaces them.
SimSettings otherSettings()
{
    SimSettings s = testing::settingsFor('a', '7', 'L');
    s.KH1 = 900.0;
    s.Fn = 3.0;
    s.seterror = 0.02;
    s.l1 = 0.45;
    deriveSettings(s);
    return s;
}

TEST(TaskFile, DefaultTaskFileRestoresTheDefaults)
{
    SimSettings s = otherSettings();
    const TaskFileResult r = loadRobotDataFile(dataFile("default_task.dat"), s);
    ASSERT_TRUE(r.ok) << r.error;
    deriveSettings(s);
    EXPECT_EQ(reportOf(s), reportOf(testing::defaultSettings()));
    EXPECT_EQ(s.l2, 0.3);
    EXPECT_EQ(s.type, 'b');
    EXPECT_EQ(s.curve, 'S');
}

TEST(TaskFile, CylindricalRobotFileHoldsOneLength)
{
    SimSettings s = testing::defaultSettings();
    const TaskFileResult r = loadRobotDataFile(dataFile("robot_a_line.dat"), s);
    ASSERT_TRUE(r.ok) << r.error;
    deriveSettings(s);
    EXPECT_EQ(reportOf(s), reportOf(testing::settingsFor('a', '7', 'L')));
}

TEST(TaskFile, TokensMaySpreadOverLinesInAnyWay)
{
    const std::string oneLine = "b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10";
    const std::string ragged = "  b\t0.5\n\n0.5 500\r\n500 8 5\n0 20\t\t2 S 0.2\n0.3 0.6 0.2 4 0.005\n10";
    SimSettings a = otherSettings(), b = otherSettings();
    ASSERT_TRUE(parseRobotData(oneLine, "one", a).ok);
    ASSERT_TRUE(parseRobotData(ragged, "ragged", b).ok);
    EXPECT_EQ(fingerprint(a), fingerprint(b));
}

TEST(TaskFile, FrequenciesInHertzAreStoredForTheNamedMethodOnly)
{
    SimSettings s = testing::defaultSettings();
    const double store8 = s.wn2Hybrid8;
    const TaskFileResult r = loadRobotDataFile(dataFile("circle_method7.dat"), s);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_DOUBLE_EQ(s.wn1Hybrid7, twoPi * 3.0);
    EXPECT_DOUBLE_EQ(s.wn2Hybrid7, twoPi * 6.0);
    EXPECT_EQ(s.alpha2Hybrid7, 4.0);
    EXPECT_EQ(s.wn2Hybrid8, store8);
    // l2 is held without the probe offset; circle start and end follow at once
    EXPECT_TRUE(near(s.l2, 0.25, 1e-15));
    EXPECT_TRUE(near(s.startX, 0.6, 1e-15));
    EXPECT_EQ(s.startY, 0.1);
    EXPECT_EQ(s.endX, s.startX);
    EXPECT_EQ(s.seterror, -0.002);
    EXPECT_EQ(s.Fn, 15.0);
    deriveSettings(s);
    EXPECT_NE(reportOf(s).find("(  3.000[Hz]"), std::string::npos);
    EXPECT_NE(reportOf(s).find("(  6.000[Hz]"), std::string::npos);
    // switching to method 8 and back keeps what the file stored
    s.hybrid = '8';
    designGains(s);
    s.hybrid = '7';
    designGains(s);
    EXPECT_DOUBLE_EQ(s.wn1, twoPi * 3.0);
    EXPECT_DOUBLE_EQ(s.wn2, twoPi * 6.0);
}

// A selector outside its set would slide every later number into the wrong
// field or run a method that does nothing: the file is refused at that
// token, which the message names with the valid choices.
TEST(TaskFile, SelectorsOutsideTheirSetAreRefusedAtTheirToken)
{
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"x 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10",
         "f: token 1 'x': the robot type must be a or b"},
        {"A 0.7 500 500 7 5 0 10 5 L 0.3 0 0.3 0.3 4 0.005 10",
         "f: token 1 'A': the robot type must be a or b"},
        {"b 0.5 0.5 500 500 9 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10",
         "f: token 6 '9': the hybrid control method must be 7 or 8"},
        {"a 0.5 500 500 7 5 0 10 5 l 0.3 0 0.3 0.3 4 0.005 10",
         "f: token 10 'l': the contour must be L, C or S"},
        {"a 0.7 500 500 7 5 0 10 5 \0 0.3 0 0.3 0.3 4 0.005 10"s,
         "f: token 10 '\\x00': the contour must be L, C or S"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        SimSettings s = testing::defaultSettings();
        const SimSettings before = s;
        const TaskFileResult r = parseRobotData(text, "f", s);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, message);
        EXPECT_EQ(reportOf(s), reportOf(before));
    }
}

TEST(TaskFile, EveryRejectedFileLeavesTheSettingsAndNamesTheProblem)
{
    const std::string good = "b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10";
    const struct {
        std::string text;
        std::string expectInError;
    } cases[] = {
        {"", "ends after 0 tokens; expected the robot type"},
        {"   \n\t ", "ends after 0 tokens"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005", "ends after 17 tokens; expected the contact force Fn"},
        {"b 0.5", "expected the second link length"},
        {"ab 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "token 1 'ab': expected one character"},
        {"b 0.5 0.5 500 500 78 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "token 6 '78': expected one character"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 SL 0.2 0.3 0.6 0.2 4 0.005 10", "token 11 'SL'"},
        {"b 0.5 0.5 5oo 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "token 4 '5oo': expected a number for the spring constant KH1"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 1O", "token 18 '1O': expected a number"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0,005 10", "token 17 '0,005'"},
        {"b 0.5 0.5 nan 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "must be a finite number"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 inf 10", "must be a finite number"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 1e999", "must be a finite number"},
        {"b 0.5 0.5 0 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "KH1 [N/m] must be greater than 0"},
        {"b 0.5 0.5 500 -500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "KH2 [N/m] must be greater than 0"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 0 0.005 10", "positioning time tf [s] must be greater than 0"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 -0.6 0.2 4 0.005 10", "wavelength L [m] must be greater than 0"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 C 0.4 0 0 6 0.005 10", "circle radius r [m] must be greater than 0"},
        {"b 0.5 0.5 500 500 8 5 0 20 2 L 0.3 0 0.3 0.3 -4 0.005 10", "positioning time tf [s] must be greater than 0"},
        {"b 0.5 0.5 500 500 8 0 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "fn1 and alpha1 make the velocity gain Kv1 zero"},
        {"b 0.5 0.5 500 500 8 5 0 0 0 S 0.2 0.3 0.6 0.2 4 0.005 10", "fn2 and alpha2 make the velocity gain Kv2 zero"},
        {"b 0 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "first link length l1 [m] must be greater than 0"},
        {"a -0.7 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10", "arm length l [m] must be greater than 0"},
        {std::string("b 0.5 0.5 \x01\xff 500"), "token 4 '\\x01\\xff'"},
    };
    for (const auto& c : cases) {
        SimSettings s = otherSettings();
        const std::string before = fingerprint(s);
        const TaskFileResult r = parseRobotData(c.text, "robot53.dat", s);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error.rfind("robot53.dat: ", 0), 0u) << r.error;
        EXPECT_NE(r.error.find(c.expectInError), std::string::npos) << "file '" << c.text << "' gave: " << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
        EXPECT_EQ(fingerprint(s), before) << c.text;
    }
    // the good file is accepted, numbers as %lf takes them
    SimSettings s = otherSettings();
    EXPECT_TRUE(parseRobotData(good, "good", s).ok);
    EXPECT_TRUE(parseRobotData("b 0.5 0.5 +5e2 0x1p9 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 1e-320 10", "f", s).ok);
    EXPECT_EQ(s.KH1, 500.0);
    EXPECT_EQ(s.KH2, 512.0);
}

TEST(TaskFile, FilesThatCannotBeReadAreNamed)
{
    SimSettings s = otherSettings();
    const std::string before = fingerprint(s);
    TaskFileResult r = loadRobotDataFile("/nonexistent/robot51.dat", s);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("/nonexistent/robot51.dat: cannot open: No such file or directory"), std::string::npos)
        << r.error;
    r = loadRobotDataFile(HYBRIDSIM_TEST_DATA, s);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("is a directory"), std::string::npos) << r.error;
    r = loadRobotDataFile(std::string(10000, 'x'), s);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot open"), std::string::npos);
    r = loadRobotDataFile("", s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(fingerprint(s), before);
}

// Text read from memory and the same bytes read from a file give one result.
TaskFileResult readBothWays(const std::string& text, SimSettings& fromText, SimSettings& fromFile,
                            TaskFileResult& fileResult)
{
    // a file of this process's own: CTest runs the tests side by side
    const std::string path = ::testing::TempDir() + "task-file-both-ways-" + std::to_string(getpid()) + ".dat";
    std::ofstream(path, std::ios::binary) << text;
    fileResult = loadRobotDataFile(path, fromFile);
    std::remove(path.c_str());
    return parseRobotData(text, path, fromText);
}

TEST(TaskFile, AnOverlongNumberIsRefusedWholeNotSplit)
{
    // "0." and 300 zeros is zero, but no number of the file is that long:
    // cut after 256 characters, its two halves would both be taken and
    // every later field slide by one
    const std::string overlong = "0." + std::string(300, '0');
    const std::string text = "b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 " + overlong + " 10 11";
    SimSettings a = otherSettings(), b = otherSettings();
    const std::string before = fingerprint(a);
    TaskFileResult fileResult;
    const TaskFileResult r = readBothWays(text, a, b, fileResult);
    for (const TaskFileResult& each : {r, fileResult}) {
        EXPECT_FALSE(each.ok);
        EXPECT_NE(each.error.find(": token 17 '0.000"), std::string::npos) << each.error;
        EXPECT_NE(each.error.find("...': expected a number for the setting error [m]"), std::string::npos)
            << each.error;
    }
    EXPECT_EQ(fingerprint(a), before);
    EXPECT_EQ(fingerprint(b), before);
    // 256 characters are still one number
    const std::string longest = "0." + std::string(254, '0');
    SimSettings c = otherSettings();
    EXPECT_TRUE(parseRobotData("b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 " + longest + " 10", "f", c).ok);
    EXPECT_EQ(c.seterror, 0.0);
}

TEST(TaskFile, AByteOrderMarkAtTheStartIsPassedOver)
{
    const std::string mark = "\xEF\xBB\xBF";
    const std::string task = "a 0.7 500 500 7 5 0 10 5 L 0.3 0 0.3 0.3 4 0.005 10";
    SimSettings a = otherSettings(), b = otherSettings();
    TaskFileResult fileResult;
    const TaskFileResult r = readBothWays(mark + task, a, b, fileResult);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(fileResult.ok) << fileResult.error;
    SimSettings plain = otherSettings();
    ASSERT_TRUE(parseRobotData(task, "f", plain).ok);
    EXPECT_EQ(fingerprint(a), fingerprint(plain));
    EXPECT_EQ(fingerprint(b), fingerprint(plain));
    // only at the start, and only the whole mark
    for (const std::string& text : {task.substr(0, 2) + mark + task.substr(2), "\xEF\xBB" + task,
                                    "\xEF" + task}) {
        SimSettings c = otherSettings(), d = otherSettings();
        EXPECT_FALSE(readBothWays(text, c, d, fileResult).ok) << text;
        EXPECT_FALSE(fileResult.ok) << text;
        EXPECT_NE(fileResult.error.find("\\xef"), std::string::npos) << fileResult.error;
    }
}

TEST(TaskFile, EndlessGarbageIsRefusedWithoutReadingItAll)
{
    // /dev/zero never ends: the first over-long token stops the reader
    SimSettings s = otherSettings();
    const TaskFileResult r = loadRobotDataFile("/dev/zero", s);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("token 1"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace hybridsim

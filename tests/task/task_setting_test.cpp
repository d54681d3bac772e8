// Settings by name: the writer's file read back, --set against a task file
// holding the same value, and the same refusals as the reader's.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/run.h"
#include "task/report.h"
#include "task/series_csv.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

// The first line where two texts differ, for a short failure message.
::testing::AssertionResult sameText(const std::string& a, const std::string& b)
{
    if (a == b) return ::testing::AssertionSuccess();
    std::istringstream x(a), y(b);
    std::string p, q;
    for (int line = 1;; ++line) {
        const bool more = static_cast<bool>(std::getline(x, p)), moreToo = static_cast<bool>(std::getline(y, q));
        if (!more && !moreToo) break;
        if (p != q || more != moreToo)
            return ::testing::AssertionFailure() << "line " << line << ": '" << p << "' vs '" << q << "'";
    }
    return ::testing::AssertionFailure() << "the texts differ";
}

// The report and the CSV of a run of `s` (derived first): what a user sees.
std::string runText(SimSettings s)
{
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    std::ostringstream out;
    printSettings(s, out);
    writeSeriesCsv(s, currentSeries(*run, s.type), out);
    return out.str();
}

// What a file holds and the report shows of `s`, without a run.
std::string settingsText(SimSettings s)
{
    deriveSettings(s);
    std::ostringstream out;
    printSettings(s, out);
    return robotDataText(s) + out.str();
}

// A task far from the defaults: every field its own value, gains of the
// method in force that no default has.
SimSettings unusualTask(char type, char hybrid, char curve)
{
    SimSettings s = testing::settingsFor(type, hybrid, curve);
    s.l = 0.65;
    s.l1 = 0.45;
    s.l2 = 0.37;
    s.KH1 = 432.1;
    s.KH2 = 876.5;
    s.Fn = 7.25;
    s.seterror = 0.0031;
    s.lineX0 = 0.31;
    s.lineY0 = -0.02;
    s.lineXf = 0.29;
    s.lineYf = 0.33;
    s.lineTf = 3.7;
    s.circleOx = 0.41;
    s.circleOy = 0.03;
    s.circleR = 0.23;
    s.circleTf = 5.3;
    s.sineX0 = 0.21;
    s.sineY0 = 0.29;
    s.sineL = 0.57;
    s.sineA = 0.17;
    s.sineTf = 4.4;
    (hybrid == '7' ? s.wn1Hybrid7 : s.wn1Hybrid8) = twoPi * 4.3;
    (hybrid == '7' ? s.alpha1Hybrid7 : s.alpha1Hybrid8) = 0.7;
    (hybrid == '7' ? s.wn2Hybrid7 : s.wn2Hybrid8) = twoPi * 17.9;
    (hybrid == '7' ? s.alpha2Hybrid7 : s.alpha2Hybrid8) = 3.3;
    deriveSettings(s);
    return s;
}

TEST(TaskSetting, AWrittenFileReadsBackToTheSameRun)
{
    for (char type : {'a', 'b'}) {
        for (char hybrid : {'7', '8'}) {
            for (char curve : {'L', 'C', 'S'}) {
                SCOPED_TRACE(std::string(1, type) + hybrid + curve);
                const SimSettings task = unusualTask(type, hybrid, curve);
                const std::string text = robotDataText(task);
                SimSettings back = testing::defaultSettings();
                const TaskFileResult r = parseRobotData(text, "written", back);
                ASSERT_TRUE(r.ok) << r.error << "\n" << text;
                EXPECT_TRUE(sameText(runText(back), runText(task))) << text;
                // and the text of what was read is the text written
                deriveSettings(back);
                EXPECT_EQ(robotDataText(back), text);
            }
        }
    }
    // the default task as a file: one group of fields a line, each number
    // the shortest decimal that gives it back (the wavelength is 0.8 - 0.2)
    EXPECT_EQ(robotDataText(testing::defaultSettings()),
              "b 0.5 0.5\n500 500\n8 5 0 20 2\nS 0.2 0.3 0.6000000000000001 0.2 4\n0.005\n10\n");
}

// The task file's tokens of the default task; `token` (1-based) replaced.
std::string defaultTaskWith(int token, const std::string& value)
{
    std::vector<std::string> tokens = {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20",
                                       "2", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"};
    tokens.at(static_cast<size_t>(token - 1)) = value;
    std::string text;
    for (const std::string& t : tokens) text += t + " ";
    return text;
}

// The default task as its file gives it (its wavelength is 0.6 as typed,
// where the built-in default is 0.8 - 0.2).
SimSettings defaultTaskFile()
{
    SimSettings s = testing::defaultSettings();
    EXPECT_TRUE(parseRobotData(defaultTaskWith(1, "b"), "default", s).ok);
    return s;
}

// Where each name of the default task (robot b, method 8, sine) stands in
// its file.
const std::pair<const char*, int> defaultTaskTokens[] = {
    {"l1", 2},  {"l2", 3},     {"KH1", 4}, {"KH2", 5}, {"fn1", 7}, {"alpha1", 8},      {"fn2", 9},
    {"alpha2", 10}, {"x0", 12}, {"y0", 13}, {"L", 14},  {"A", 15},  {"tf", 16}, {"seterror", 17},
    {"Fn", 18},
};

// Each number is written as the shortest decimal whose reading gives back
// what the settings hold, also where 17 digits would be longer or another
// number: l2 is held without the probe, fn as 2 pi fn.
TEST(TaskSetting, ANumberIsWrittenAsTheShortestDecimalThatGivesItBack)
{
    const struct {
        const char* name;
        const char* typed;
        const char* written;  // %.17g of the file's value in the comment
    } cases[] = {
        {"l2", "0.05", "0.05"},                                // 0.049999999999999989
        {"l2", "0.30000000000000004", "0.30000000000000004"},  // 0.30000000000000004
        {"l2", "0.123456789", "0.123456789"},                  // 0.123456789
        {"x0", "0.1", "0.1"},                                  // 0.10000000000000001
        {"fn1", "0.1", "0.1"},                                 // 0.10000000000000001
        // 2 pi times this reading gives the stored 2 pi fn2, not the file's value
        {"fn2", "0.3333333333333333", "0.3333333333333333"},   // 0.33333333333333326
        {"KH1", "1e20", "1e+20"},                              // 1e+20
        {"KH1", "1e16", "10000000000000000"},                  // 10000000000000000
        {"KH2", "123456789012", "123456789012"},               // 123456789012
        {"Fn", "1e-7", "1e-07"},                               // 9.9999999999999995e-08
        {"seterror", "-0", "-0"},                              // -0
        {"A", "5e-324", "5e-324"},                             // 4.9406564584124654e-324
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.typed);
        SimSettings s = testing::defaultSettings();
        ASSERT_TRUE(setTaskSetting(s, c.name, c.typed).ok);
        deriveSettings(s);
        const std::string text = robotDataText(s);
        int token = 0;
        for (const auto& [name, at] : defaultTaskTokens)
            if (std::string(name) == c.name) token = at;
        std::istringstream words(text);
        std::string word;
        for (int i = 0; i < token; ++i) words >> word;
        EXPECT_EQ(word, c.written) << text;
        // read back: the same settings and the same run to the last bit
        SimSettings back = testing::defaultSettings();
        ASSERT_TRUE(parseRobotData(text, "written", back).ok) << text;
        EXPECT_TRUE(sameText(runText(back), runText(s))) << text;
        EXPECT_EQ(back.l2, s.l2);
        EXPECT_EQ(back.wn1Hybrid8, s.wn1Hybrid8);
        EXPECT_EQ(back.wn2Hybrid8, s.wn2Hybrid8);
        deriveSettings(back);
        EXPECT_EQ(robotDataText(back), text);
    }
}

// The default task that docs/task-files.md prints is the built-in default: the
// writer's text, and read back the same settings and run to the last bit.
TEST(TaskSetting, TheReadmesDefaultTaskIsTheBuiltInDefault)
{
    std::ifstream doc(HYBRIDSIM_TASK_FILES_DOC);
    ASSERT_TRUE(doc) << HYBRIDSIM_TASK_FILES_DOC;
    const std::string all((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    const std::string lead = "The default task:\n\n```\n";
    const std::size_t begin = all.find(lead);
    ASSERT_NE(begin, std::string::npos) << "docs/task-files.md has no default task";
    const std::size_t from = begin + lead.size();
    const std::string block = all.substr(from, all.find("```", from) - from);
    const SimSettings builtIn = testing::defaultSettings();
    EXPECT_EQ(block, robotDataText(builtIn));
    SimSettings read = testing::defaultSettings();
    ASSERT_TRUE(parseRobotData(block, "task-files.md", read).ok);
    for (const TaskField& f : taskFields()) {
        if (!f.belongsTo(builtIn)) continue;
        const double a = f.get(read), b = f.get(builtIn);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << f.name << ": " << a << " vs " << b;
    }
    EXPECT_TRUE(sameText(runText(read), runText(builtIn)));
}

// Frequencies are stored as 2 pi fn and l2 without the probe: the file must
// hold the numbers whose conversions give the stored values to the last bit.
TEST(TaskSetting, ConvertedValuesAreWrittenSoThatTheyConvertBackExactly)
{
    SimSettings s = testing::settingsFor('b', '8', 'S');
    int checked = 0;
    for (double fn = 1e-300; fn < 1e300; fn *= 1.37e7) {
        for (double l2 = 1e-12; l2 < 1e4; l2 *= 1.29) {
            s.wn1Hybrid8 = twoPi * fn;
            s.l2 = l2 - s.wp;
            SimSettings back = testing::defaultSettings();
            ASSERT_TRUE(parseRobotData(robotDataText(s), "f", back).ok);
            ASSERT_EQ(back.wn1Hybrid8, s.wn1Hybrid8) << fn;
            ASSERT_EQ(back.l2, s.l2) << l2;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10000);
}

TEST(TaskSetting, EachNameChangesWhatATaskFileWouldAndNothingElse)
{
    const std::string values[] = {"0.37", "650", "3.5", "0.00123"};
    for (const auto& [name, token] : defaultTaskTokens) {
        for (const std::string& value : values) {
            SCOPED_TRACE(std::string(name) + "=" + value);
            SimSettings byName = defaultTaskFile();
            const SettingChange change = setTaskSetting(byName, name, value);
            SimSettings byFile = testing::defaultSettings();
            const TaskFileResult file = parseRobotData(defaultTaskWith(token, value), "f", byFile);
            ASSERT_EQ(change.ok, file.ok) << change.message << " / " << file.error;
            if (!change.ok) continue;
            EXPECT_TRUE(sameText(runText(byName), runText(byFile)));
            EXPECT_FALSE(sameText(runText(byName), runText(defaultTaskFile())));
        }
    }
    // the selectors, and the numbers of the contours and robots they select
    struct Steps {
        std::vector<std::pair<const char*, const char*>> set;
        const char* file;
    };
    const Steps steps[] = {
        {{{"robot", "a"}, {"l", "0.61"}}, "a 0.61 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10"},
        {{{"method", "7"}}, "b 0.5 0.5 500 500 7 5 0 10 5 S 0.2 0.3 0.6 0.2 4 0.005 10"},
        {{{"method", "7"}, {"fn2", "12"}}, "b 0.5 0.5 500 500 7 5 0 12 5 S 0.2 0.3 0.6 0.2 4 0.005 10"},
        {{{"contour", "L"}, {"x0", "0.32"}, {"yf", "0.25"}, {"tf", "3"}},
         "b 0.5 0.5 500 500 8 5 0 20 2 L 0.32 0 0.3 0.25 3 0.005 10"},
        {{{"contour", "C"}, {"Ox", "0.38"}, {"r", "0.2"}}, "b 0.5 0.5 500 500 8 5 0 20 2 C 0.38 0 0.2 6 0.005 10"},
    };
    for (const Steps& st : steps) {
        SCOPED_TRACE(st.file);
        SimSettings byName = defaultTaskFile();
        for (const auto& [name, value] : st.set) ASSERT_TRUE(setTaskSetting(byName, name, value).ok) << name;
        SimSettings byFile = testing::defaultSettings();
        ASSERT_TRUE(parseRobotData(st.file, "f", byFile).ok);
        EXPECT_TRUE(sameText(runText(byName), runText(byFile)));
    }
}

// --set refuses what the reader refuses, by the same rule in the same words:
// the reader's "token N 'v': why" is --set's "NAME=v: why".
TEST(TaskSetting, RefusesExactlyWhatTheReaderRefuses)
{
    // 1e-17: l2 + wp held as 0.2 - 0.2 = 0
    const std::string values[] = {"0",     "-1",     "nan", "inf", "1e999", "five",   "0x1p3", "1e-320",
                                  "1e308", "-1e308", "2,5", "",    "  3",   "1e-17", std::string(300, '7')};
    int refused = 0;
    for (const auto& [name, token] : defaultTaskTokens) {
        for (const std::string& value : values) {
            SCOPED_TRACE(std::string(name) + "=" + value);
            SimSettings byName = testing::defaultSettings();
            const std::string before = settingsText(byName);
            const SettingChange change = setTaskSetting(byName, name, value);
            SimSettings byFile = testing::defaultSettings();
            const TaskFileResult file = parseRobotData(defaultTaskWith(token, value), "f", byFile);
            if (value.empty() || value == "  3") {
                // no token, or a token after blanks: a file cannot hold them
                EXPECT_FALSE(change.ok && value.empty());
                continue;
            }
            ASSERT_EQ(change.ok, file.ok) << change.message << " / " << file.error;
            if (change.ok) continue;
            ++refused;
            EXPECT_TRUE(sameText(settingsText(byName), before)) << "a refused value changed the settings";
            const std::string why = change.message.substr(change.message.find(": ") + 2);
            EXPECT_NE(file.error.find(why), std::string::npos) << file.error << " / " << change.message;
            EXPECT_EQ(change.message.rfind(std::string(name) + "=", 0), 0u) << change.message;
        }
    }
    EXPECT_GT(refused, 50);
}

TEST(TaskSetting, NamesThatDoNotFitTheTaskAreRefusedWithTheValidOnes)
{
    SimSettings s = testing::defaultSettings();
    const std::string before = runText(s);
    const struct {
        const char* name;
        const char* value;
        const char* message;
    } cases[] = {
        {"kh1", "600", "kh1=600: unknown name 'kh1'; the names are robot l l1 l2 KH1 KH2 method fn1 alpha1 "
                       "fn2 alpha2 contour x0 y0 xf yf tf Ox Oy r L A seterror Fn zeta1 zeta2 contact KW period servo"},
        {"r", "0.3", "r=0.3: r is not a number of the sine; its numbers are x0 y0 L A tf (set the contour first)"},
        {"xf", "0.3", "xf=0.3: xf is not a number of the sine; its numbers are x0 y0 L A tf (set the contour first)"},
        {"l", "0.7", "l=0.7: l belongs to robot a; the robot in force is b (its lengths: l1 l2)"},
        {"robot", "x", "robot=x: the robot type must be a or b"},
        {"robot", "ab", "robot=ab: expected one character for the robot type (a or b)"},
        {"method", "9", "method=9: the hybrid control method must be 7 or 8"},
        {"contour", "l", "contour=l: the contour must be L, C or S"},
        {"fn1", "0", "fn1=0: fn1 and alpha1 make the velocity gain Kv1 zero"},
        {"fn2", "1e308", "fn2=1e308: fn2 is too large: 2 pi fn2 is not a finite number"},
        {"KH2", "0", "KH2=0: the spring constant KH2 [N/m] must be greater than 0"},
    };
    for (const auto& c : cases) {
        const SettingChange change = setTaskSetting(s, c.name, c.value);
        EXPECT_FALSE(change.ok) << c.name;
        EXPECT_EQ(change.message, c.message);
    }
    // alpha2 = -2 wn2 leaves system 2 of method 8 (fn2 20 Hz) no velocity gain
    const std::string minus = hybridsim::format("%.17g", -2.0 * s.wn2Hybrid8);
    const SettingChange noGain = setTaskSetting(s, "alpha2", minus);
    EXPECT_FALSE(noGain.ok);
    EXPECT_EQ(noGain.message, "alpha2=" + minus + ": fn2 and alpha2 make the velocity gain Kv2 zero");
    EXPECT_TRUE(sameText(runText(s), before));
}

// The label and the unit that messages, the comparison and the page's
// panel show are the description cut at its " [unit]", nothing lost.
TEST(TaskSetting, LabelAndUnitMakeUpTheDescription)
{
    for (const TaskField& f : taskFields()) {
        const std::string what = f.what;
        const std::string unit = f.unit();
        EXPECT_EQ(unit.empty() ? f.label() : f.label() + " [" + unit + "]", what) << f.name;
        EXPECT_EQ(unit.find_first_of("[] "), std::string::npos) << f.name;
    }
    const auto field = [](const char* name) {
        for (const TaskField& f : taskFields())
            if (std::strcmp(f.name, name) == 0) return f;
        return taskFields().front();
    };
    EXPECT_EQ(field("KH1").unit(), "N/m");
    EXPECT_EQ(field("KH1").label(), "the spring constant KH1");
    EXPECT_EQ(field("alpha2").unit(), "1/s");
    EXPECT_EQ(field("robot").unit(), "");
    EXPECT_EQ(field("robot").label(), "the robot type");
}

}  // namespace
}  // namespace hybridsim

// --set NAME=VALUE and --write-task FILE of the batch runner: each name
// changes what a task file holding the value would, every rule refuses
// through --set as the reader refuses, and a written task reads back to
// the same run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/batch_task.h"
#include "task/task_link.h"
#include "task/task_setting.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

using testing::Outcome;
using testing::runBatchHere;
using testing::textLines;

// A task as the tokens of its file.
using Tokens = std::vector<std::string>;

std::string joined(const Tokens& tokens)
{
    std::string text;
    for (const std::string& t : tokens) text += t + " ";
    return text + "\n";
}

// Writes `tokens` as a task file in `dir` and gives its path.
std::string taskFile(const std::string& dir, const std::string& name, const Tokens& tokens)
{
    const std::string path = dir + "/" + name;
    std::ofstream(path) << joined(tokens);
    return path;
}

// Everything a user sees of a task: report, summary and series.
Outcome everything(std::vector<std::string> args)
{
    args.insert(args.end(), {"--report", "--summary", "--format", "csv", "--csv", "-"});
    return runBatchHere(args);
}

TEST(StudySet, EachNameChangesWhatATaskFileHoldingTheValueWould)
{
    const std::string dir = testing::makeTempFolder();
    // three tasks that hold every name between them, and the token of each name
    const struct {
        Tokens tokens;
        std::vector<std::pair<const char*, int>> names;
    } tasks[] = {
        {{"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20", "2", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"},
         {{"l1", 1}, {"l2", 2}, {"KH1", 3}, {"KH2", 4}, {"fn1", 6}, {"alpha1", 7}, {"fn2", 8}, {"alpha2", 9},
          {"x0", 11}, {"y0", 12}, {"L", 13}, {"A", 14}, {"tf", 15}, {"seterror", 16}, {"Fn", 17}}},
        {{"a", "0.7", "500", "800", "7", "5", "0", "10", "5", "L", "0.2", "-0.1", "0.5", "0.3", "4", "0.003", "8"},
         {{"l", 1}, {"fn1", 5}, {"alpha2", 8}, {"x0", 10}, {"y0", 11}, {"xf", 12}, {"yf", 13}, {"tf", 14}}},
        {{"b", "0.5", "0.5", "500", "500", "7", "5", "0", "10", "5", "C", "0.4", "0", "0.25", "6", "0.005", "10"},
         {{"Ox", 11}, {"Oy", 12}, {"r", 13}, {"tf", 14}, {"fn2", 8}}},
    };
    // a new value for each name, near the old one
    const std::pair<const char*, const char*> values[] = {
        {"l", "0.62"},  {"l1", "0.52"},   {"l2", "0.55"}, {"KH1", "550"},  {"KH2", "450"}, {"fn1", "6"},
        {"alpha1", "1.5"}, {"fn2", "17"}, {"alpha2", "3"}, {"x0", "0.21"}, {"y0", "0.01"}, {"xf", "0.45"},
        {"yf", "0.28"}, {"L", "0.55"},   {"A", "0.18"},  {"tf", "3.5"},   {"Ox", "0.41"},  {"Oy", "0.02"},
        {"r", "0.24"},  {"seterror", "0.004"}, {"Fn", "12"}};
    int compared = 0;
    for (const auto& task : tasks) {
        const std::string base = taskFile(dir, "base.dat", task.tokens);
        const Outcome before = everything({base});
        ASSERT_EQ(before.status, exitOk) << before.err;
        for (const auto& [name, token] : task.names) {
            std::string value;
            for (const auto& [n, v] : values)
                if (std::string(n) == name) value = v;
            SCOPED_TRACE(joined(task.tokens) + name + "=" + value);
            Tokens changed = task.tokens;
            changed[static_cast<std::size_t>(token)] = value;
            const Outcome byFile = everything({taskFile(dir, "changed.dat", changed)});
            const Outcome bySet = everything({base, "--set", std::string(name) + "=" + value});
            ASSERT_EQ(bySet.status, exitOk) << bySet.err;
            EXPECT_EQ(bySet.out, byFile.out);
            EXPECT_EQ(bySet.err, byFile.err);
            EXPECT_NE(bySet.out, before.out) << "the value changed nothing";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 28);

    // the selectors: what each brings is what a file with its defaults holds
    const std::string base = taskFile(dir, "base.dat", tasks[0].tokens);
    const struct {
        std::vector<std::string> set;
        Tokens file;
    } selectors[] = {
        {{"robot=a"}, {"a", "0.7", "500", "500", "8", "5", "0", "20", "2", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"}},
        {{"method=7"}, {"b", "0.5", "0.5", "500", "500", "7", "5", "0", "10", "5", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"}},
        {{"contour=C"}, {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20", "2", "C", "0.4", "0", "0.25", "6", "0.005", "10"}},
        // in order: the contour first, then its numbers
        {{"contour=L", "x0=0.35", "tf=3"},
         {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20", "2", "L", "0.35", "0", "0.3", "0.3", "3", "0.005", "10"}},
        {{"method=7", "fn2=12"}, {"b", "0.5", "0.5", "500", "500", "7", "5", "0", "12", "5", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"}},
    };
    for (const auto& c : selectors) {
        SCOPED_TRACE(c.set[0]);
        std::vector<std::string> args{base};
        for (const std::string& one : c.set) args.insert(args.end(), {"--set", one});
        const Outcome bySet = everything(args);
        ASSERT_EQ(bySet.status, exitOk) << bySet.err;
        EXPECT_EQ(bySet.out, everything({taskFile(dir, "changed.dat", c.file)}).out);
    }
    testing::removeTree(dir);
}

// Every rule of the reader through --set, and the mistakes of the option
// itself: one line naming the option, status 2, nothing computed or written.
TEST(StudySet, RefusedValuesStopEverythingWithOneLine)
{
    const std::string dir = testing::makeTempFolder();
    const std::vector<std::string> outputs = {"--csv", dir + "/run.csv", "--write-task", dir + "/task.dat",
                                              "--plot", dir + "/run.svg", "--summary"};
    const struct {
        std::vector<std::string> sets;
        std::string line;
    } cases[] = {
        // a number's rules
        {{"KH1=-1"}, "--set KH1=-1: the spring constant KH1 [N/m] must be greater than 0"},
        {{"tf=0"}, "--set tf=0: the positioning time tf [s] must be greater than 0"},
        {{"l2=-0.1"}, "--set l2=-0.1: the second link length l2 + wp [m] must be greater than 0"},
        {{"Fn=nan"}, "--set Fn=nan: the contact force Fn [N] must be a finite number"},
        {{"x0=1e999"}, "--set x0=1e999: the sine start x0 [m] must be a finite number"},
        {{"seterror=5mm"}, "--set seterror=5mm: expected a number for the setting error [m]"},
        {{"Fn=1,5"}, "--set Fn=1,5: expected a number for the contact force Fn [N]"},
        {{"Fn="}, "--set Fn=: expected a number for the contact force Fn [N]"},
        // the gains: no velocity gain, a frequency too large for 2 pi fn
        {{"alpha2=0", "fn2=0"}, "--set fn2=0: fn2 and alpha2 make the velocity gain Kv2 zero"},
        {{"fn1=1e308"}, "--set fn1=1e308: fn1 is too large: 2 pi fn1 is not a finite number"},
        // selectors
        {{"robot=c"}, "--set robot=c: the robot type must be a or b"},
        {{"method=78"}, "--set method=78: expected one character for the hybrid control method (7 or 8)"},
        {{"contour=s"}, "--set contour=s: the contour must be L, C or S"},
        // names that do not fit the task, in the order given
        {{"r=0.3", "contour=C"},
         "--set r=0.3: r is not a number of the sine; its numbers are x0 y0 L A tf (set the contour first)"},
        {{"l=0.7"}, "--set l=0.7: l belongs to robot a; the robot in force is b (its lengths: l1 l2)"},
        {{"kh1=600"}, "--set kh1=600: unknown name 'kh1'; the names are robot l l1 l2 KH1 KH2 method fn1 "
                      "alpha1 fn2 alpha2 contour x0 y0 xf yf tf Ox Oy r L A seterror Fn zeta1 zeta2 contact KW period servo"},
        // a value of 100 KB, a line end: quoted short, on one line
        {{"Fn=" + std::string(100000, '9')},
         "--set Fn=" + std::string(60, '9') + "...: expected a number for the contact force Fn [N]"},
        {{"KH1=10\n"}, "--set KH1=10\\x0a: expected a number for the spring constant KH1 [N/m]"},
        {{std::string(200, 'k') + "=1"}, "--set " + std::string(60, 'k') + "...=1: unknown name '" +
                                             std::string(60, 'k') + "...'; the names are robot l l1 l2 KH1 KH2 "
                                             "method fn1 alpha1 fn2 alpha2 contour x0 y0 xf yf tf Ox Oy r L A "
                                             "seterror Fn zeta1 zeta2 contact KW period servo"},
        {{"\x1b[2J=1"}, "--set \\x1b[2J=1: unknown name '\\x1b[2J'; the names are robot l l1 l2 KH1 KH2 method "
                        "fn1 alpha1 fn2 alpha2 contour x0 y0 xf yf tf Ox Oy r L A seterror Fn zeta1 zeta2 contact KW period servo"},
        // characters of other scripts as they are, counted as characters;
        // invisible ones (a byte-order mark, a direction override), C1
        // controls and bytes that are not UTF-8 as \xNN
        {{"Fn=\xEF\xBC\x91\xEF\xBC\x90"},
         "--set Fn=\xEF\xBC\x91\xEF\xBC\x90: expected a number for the contact force Fn [N]"},
        {{"Fn=" + std::string(55, 'x') + "\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B"},
         "--set Fn=" + std::string(55, 'x') + "\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B\xE5\x8A\x9B" +
             "...: expected a number for the contact force Fn [N]"},
        {{"Fn=\xEF\xBB\xBF" "1\xE2\x80\xAE" "2\xC2\x85\xFF\xC3"},
         "--set Fn=\\xef\\xbb\\xbf1\\xe2\\x80\\xae2\\xc2\\x85\\xff\\xc3: expected a number for the contact force Fn [N]"},
        // the option itself
        {{"KH1"}, "--set needs NAME=VALUE (got 'KH1') (see --help)"},
        {{"=5\n"}, "--set needs NAME=VALUE (got '=5\\x0a') (see --help)"},
        {{"=5"}, "--set needs NAME=VALUE (got '=5') (see --help)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        for (const std::string& one : c.sets) args.insert(args.end(), {"--set", one});
        args.insert(args.end(), outputs.begin(), outputs.end());
        const Outcome r = runBatchHere(args);
        EXPECT_EQ(r.status, exitUsage) << c.line;
        EXPECT_EQ(r.err, std::string("hybridsim-batch: ") + c.line + "\n");
        EXPECT_TRUE(r.out.empty()) << c.line;
    }
    const Outcome bare = runBatchHere({"--set"});
    EXPECT_EQ(bare.err, "hybridsim-batch: --set needs NAME=VALUE (see --help)\n");
    // the refusals wrote nothing; the same values in the right order are taken
    EXPECT_TRUE(testing::folderEntries(dir).empty());
    EXPECT_EQ(runBatchHere({"--set", "contour=C", "--set", "r=0.3", "--summary"}).status, exitOk);
    EXPECT_EQ(runBatchHere({"--set", "KH1=1", "--set", "KH1=2", "--summary"}).status, exitOk);
    testing::removeTree(dir);
}

// The written task read back gives the run it came from, byte for byte:
// both robots, every contour, both methods, gains and numbers no default has.
TEST(StudySet, AWrittenTaskReadsBackToTheSameRun)
{
    const std::string dir = testing::makeTempFolder();
    const std::string task = dir + "/task.dat";
    const std::string again = dir + "/again.dat";
    const std::vector<std::string> unusual = {"KH1=432.1", "KH2=876.5", "fn1=4.3", "alpha1=0.7", "fn2=17.9",
                                              "alpha2=3.3", "seterror=0.0031",
                                              // a value that needs all 17 digits
                                              "Fn=10.000000000000002"};
    const std::vector<std::string> contourNumbers[] = {
        {"contour=L", "x0=0.31", "y0=-0.02", "xf=0.29", "yf=0.33", "tf=3.7"},
        {"contour=C", "Ox=0.41", "Oy=0.03", "r=0.23", "tf=5.3"},
        {"contour=S", "x0=0.21", "y0=0.29", "L=0.57", "A=0.17", "tf=4.4"},
    };
    for (const char* robot : {"robot=a", "robot=b"}) {
        for (const char* method : {"method=7", "method=8"}) {
            for (const auto& contour : contourNumbers) {
                SCOPED_TRACE(std::string(robot) + " " + method + " " + contour[0]);
                std::vector<std::string> sets = {robot, method, robot[6] == 'a' ? "l=0.65" : "l1=0.45",
                                                 robot[6] == 'a' ? "KH1=432.1" : "l2=0.57"};
                sets.insert(sets.end(), unusual.begin(), unusual.end());
                sets.insert(sets.end(), contour.begin(), contour.end());
                std::vector<std::string> args;
                for (const std::string& one : sets) args.insert(args.end(), {"--set", one});
                args.insert(args.end(), {"--write-task", task, "--csv", "-"});
                const Outcome written = runBatchHere(args);
                ASSERT_EQ(written.status, exitOk) << written.err;
                const Outcome readBack = runBatchHere({task, "--csv", "-", "--write-task", again});
                ASSERT_EQ(readBack.status, exitOk) << readBack.err;
                EXPECT_EQ(readBack.out, written.out);
                EXPECT_EQ(testing::readFile(again), testing::readFile(task));
            }
        }
    }
    EXPECT_EQ(testing::folderEntries(dir), (std::vector<std::string>{"again.dat", "task.dat"}));

    // alone it writes the task and nothing else; a file it replaces keeps its mode
    ASSERT_EQ(chmod(task.c_str(), 0640), 0);
    const Outcome alone = runBatchHere({"--set", "Fn=12", "--write-task", task});
    EXPECT_EQ(alone.status, exitOk);
    EXPECT_TRUE(alone.out.empty());
    EXPECT_EQ(textLines(testing::readFile(task)).back(), "12");
    struct stat st;
    ASSERT_EQ(stat(task.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // a place it cannot write: an output that cannot be made, found before anything is computed
    const Outcome nowhere = runBatchHere({"--write-task", dir + "/none/task.dat", "--summary"});
    EXPECT_EQ(nowhere.status, exitOutputFailed);
    EXPECT_EQ(nowhere.err, "hybridsim-batch: cannot write '" + dir + "/none/task.dat': No such file or directory\n");
    EXPECT_TRUE(nowhere.out.empty());
    const Outcome stdoutTask = runBatchHere({"--write-task", "-"});
    EXPECT_EQ(stdoutTask.status, exitUsage);
    testing::removeTree(dir);
}

// --link prints the link of the task after TASKFILE and every --set, and
// nothing else: BASE (its own fragment replaced, blanks and bytes outside
// ASCII percent-encoded) and the fragment, which reads back to that task;
// --frame, --overlay and each --compare as a pin go into it.
TEST(StudySet, TheLinkOfATaskIsPrintedAlone)
{
    const std::string dir = testing::makeTempFolder();
    const std::string task = dir + "/task.dat";
    ASSERT_EQ(runBatchHere({"--set", "contour=C", "--set", "r=0.3", "--write-task", task}).status, exitOk);
    const Outcome bare = runBatchHere({task, "--set", "Fn=20", "--link"});
    EXPECT_EQ(bare.status, exitOk) << bare.err;
    EXPECT_EQ(bare.out, "#v=1&contour=C&r=0.3&Fn=20\n");
    EXPECT_EQ(bare.err, "");
    const LinkReading read = readLinkFragment(bare.out.substr(0, bare.out.size() - 1));
    EXPECT_EQ(read.skippedCount, 0u);
    SimSettings s;
    std::string error;
    std::ostringstream notices;
    ASSERT_TRUE(loadTask(task, s, notices, error));
    ASSERT_TRUE(applySettings(s, {{"Fn", "20"}}).ok);
    EXPECT_EQ(robotDataText(read.state.task), robotDataText(s));

    // a base, which a task file's name is not taken for
    EXPECT_EQ(runBatchHere({"--link", "file:///home/t a/\xe5\x8f\xb0/index.html#old", task}).out,
              "file:///home/t%20a/%E5%8F%B0/index.html#v=1&contour=C&r=0.3\n");
    EXPECT_EQ(runBatchHere({"--link", task, "https://x/"}).err,
              "hybridsim-batch: only one task file may be given (got '" + task +
                  "' and 'https://x/'); several are graded with --lesson (see --help)\n");
    // the view, the goals and the pins
    EXPECT_EQ(runBatchHere({"--set", "method=7", "--link", "https://h/i.html", "--frame", "200", "--overlay",
                            "--compare", task, "--require", "overshoot_pct <= 5", "--compare", task, "--require",
                            "settling_t_s<0.3"})
                  .out,
              "https://h/i.html#v=1&method=7&frame=200&overlay=1&goal=overshoot_pct%3C%3D5&goal=settling_t_s%3C0.3"
              "&pin=1,contour:C,r:0.3&pin=2,contour:C,r:0.3\n");
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"task.dat"});
    testing::removeTree(dir);
}

}  // namespace
}  // namespace hybridsim

// Sweeps of the batch runner: each task is the single run with the same
// --set, bit for bit, whatever the threads; rows come in input order; a
// refused value or a notice stays in its own row; the mistakes refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/sweep.h"
#include "task/series_csv.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::Outcome;
using testing::runBatchHere;
using testing::textLines;

// The summary row of the single run with these settings.
std::string singleRow(std::vector<std::string> args)
{
    args.insert(args.end(), {"--summary", "--format", "csv"});
    const Outcome r = runBatchHere(args);
    EXPECT_EQ(r.status, exitOk) << r.err;
    const std::vector<std::string> lines = textLines(r.out);
    return lines.size() == 2 ? lines[1] : "";
}

TEST(StudySweep, EveryRowIsTheSummaryOfTheSingleRunWithTheSameSet)
{
    // one name over a range, on one and on two threads
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const Outcome r = runBatchHere({"--sweep", "fn2=5:40:6", "--jobs", jobs});
        ASSERT_EQ(r.status, exitOk) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        const std::vector<std::string> lines = textLines(r.out);
        ASSERT_EQ(lines.size(), 7u) << r.out;
        EXPECT_EQ(lines[0], "sweep_fn2," + textLines(runBatchHere({"--summary", "--format", "csv"}).out)[0] + ",status");
        const char* values[] = {"5", "12", "19", "26", "33", "40"};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(lines[i + 1], std::string(values[i]) + "," + singleRow({"--set", std::string("fn2=") + values[i]}) + ",ok");
    }

    // a grid after a task file and a --set, the first name outermost; the
    // second name's numbers belong to the contour the first one selects
    const std::string circle = testing::studyTask("circle_method7.dat");
    const Outcome grid = runBatchHere({circle, "--set", "KH2=700", "--sweep", "contour=L,C", "--sweep", "tf=3,5.5",
                                       "--jobs", "2"});
    ASSERT_EQ(grid.status, exitOk) << grid.err;
    const std::vector<std::string> lines = textLines(grid.out);
    ASSERT_EQ(lines.size(), 5u) << grid.out;
    EXPECT_EQ(lines[0].rfind("sweep_contour,sweep_tf,robot,method,contour,", 0), 0u) << lines[0];
    int row = 1;
    for (const char* contour : {"L", "C"})
        for (const char* tf : {"3", "5.5"})
            EXPECT_EQ(lines[row++], std::string(contour) + "," + tf + "," +
                                        singleRow({circle, "--set", "KH2=700", "--set", std::string("contour=") + contour,
                                                   "--set", std::string("tf=") + tf}) +
                                        ",ok");

    // a swept name that is a summary column too has a column of its own
    const std::vector<std::string> header = testing::parseCsv(runBatchHere({"--sweep", "robot=a,b", "--sweep", "contour=L,C"}).out).names;
    EXPECT_EQ(std::vector<std::string>(header.begin(), header.begin() + 5),
              (std::vector<std::string>{"sweep_robot", "sweep_contour", "robot", "method", "contour"}));
    std::vector<std::string> sorted = header;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << lines[0];
}

// The series of every task, computed by one worker's settings record and
// run in any order, are those of the single run, bit for bit: nothing of
// one task leaks into the next.
TEST(StudySweep, EachTaskRunsExactlyAsTheSingleRun)
{
    SimSettings base;
    std::ostringstream notices;
    std::string error;
    ASSERT_TRUE(loadTask("", base, notices, error));
    // l1 = 0.3 leaves most of the sine out of robot b's reach
    const std::vector<SweepAxis> axes = {{"l1", {"0.5", "0.3"}}, {"seterror", {"0", "0.004", "-0.01"}}};
    auto work = std::make_unique<SimSettings>();
    auto run = std::make_unique<RunSeries>();
    for (std::size_t index : {4u, 0u, 5u, 1u, 3u, 2u}) {
        const SweepTaskResult r = computeSweepTask(base, axes, index, false, *work, *run);
        SCOPED_TRACE("l1=" + r.values[0] + " seterror=" + r.values[1]);
        ASSERT_TRUE(r.computed) << r.status;
        std::ostringstream series;
        writeSeriesCsv(*work, currentSeries(*run, work->type), series);
        const Outcome single = runBatchHere({"--set", "l1=" + r.values[0], "--set", "seterror=" + r.values[1], "--csv", "-"});
        EXPECT_EQ(series.str(), single.out);
    }
}

// A value the rules refuse and the notices of a run stay in their own
// row; the sweep goes on and says nothing on standard error.
TEST(StudySweep, RefusedValuesAndNoticesStayInTheirRows)
{
    const Outcome r = runBatchHere({"--sweep", "KH1=400,-1,five,600", "--jobs", "2"});
    ASSERT_EQ(r.status, exitOk) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const std::vector<std::string> lines = textLines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    const std::string empty(static_cast<std::size_t>(std::count(lines[0].begin(), lines[0].end(), ',')) - 1, ',');
    EXPECT_EQ(lines[1], "400," + singleRow({"--set", "KH1=400"}) + ",ok");
    EXPECT_EQ(lines[2], "-1" + empty + ",refused: KH1=-1: the spring constant KH1 [N/m] must be greater than 0");
    EXPECT_EQ(lines[3], "five" + empty + ",refused: KH1=five: expected a number for the spring constant KH1 [N/m]");
    EXPECT_EQ(lines[4], "600," + singleRow({"--set", "KH1=600"}) + ",ok");

    // points out of reach and a path longer than the run: the single run's
    // notices on one line, quoted (they hold commas)
    const Outcome notices = runBatchHere({"--sweep", "l1=0.5,0.3", "--sweep", "tf=4,9", "--jobs", "2"});
    ASSERT_EQ(notices.status, exitOk) << notices.err;
    EXPECT_TRUE(notices.err.empty()) << notices.err;
    const testing::CsvTable t = testing::parseCsv(notices.out);
    ASSERT_EQ(t.rows.size(), 4u);
    const std::vector<std::string> rows = textLines(notices.out);
    EXPECT_EQ(rows[1].substr(rows[1].size() - 3), ",ok");
    const Outcome farSingle = runBatchHere({"--set", "l1=0.3", "--set", "tf=9", "--summary"});
    ASSERT_FALSE(farSingle.err.empty());
    std::string flat;
    for (const std::string& line : textLines(farSingle.err)) {
        const std::size_t begin = line.find_first_not_of(' ');
        if (begin != std::string::npos) flat += (flat.empty() ? "" : " ") + line.substr(begin);
    }
    EXPECT_EQ(rows[4].substr(rows[4].find(",\"notice: ")), ",\"notice: " + flat + "\"");
    EXPECT_NE(rows[2].find(",notice: !!! "), std::string::npos) << rows[2];  // tf 9 alone
    EXPECT_EQ(t.at(3, "nan_samples"), testing::parseCsv(runBatchHere({"--set", "l1=0.3", "--set", "tf=9", "--summary",
                                                                       "--format", "csv"}).out).at(0, "nan_samples"));

    // a run whose numbers overflow is no "ok": its notice says from where and why
    const Outcome fast = runBatchHere({"--sweep", "fn2=20,20000", "--jobs", "2"});
    ASSERT_EQ(fast.status, exitOk) << fast.err;
    EXPECT_TRUE(fast.err.empty()) << fast.err;
    const std::vector<std::string> fastRows = textLines(fast.out);
    ASSERT_EQ(fastRows.size(), 3u) << fast.out;
    EXPECT_EQ(fastRows[1].substr(fastRows[1].size() - 3), ",ok");
    const Outcome single = runBatchHere({"--set", "fn2=20000", "--summary"});
    ASSERT_EQ(testing::textLines(single.err).size(), 1u) << single.err;
    EXPECT_NE(single.err.find("!!! サンプル 1 (t=0.04[s]) から"), std::string::npos) << single.err;
    EXPECT_EQ(fastRows[2].substr(fastRows[2].find(",notice: ")), ",notice: " + textLines(single.err)[0]);
}

// A sampled force loop with a pole outside the unit circle: its notice on
// the single run's standard error (the period, the largest |z|, the
// longest stable period, as --loops gives them) and in the sweep's status;
// none for a short period, for the continuous loop or the ideal contact.
TEST(StudySweep, AnUnstableSampledForceLoopIsNoticedInTheRunAndTheSweep)
{
    const Outcome unstable = runBatchHere({"--set", "contact=spring", "--set", "period=0.04", "--summary"});
    ASSERT_EQ(unstable.status, exitOk) << unstable.err;
    ASSERT_EQ(textLines(unstable.err).size(), 1u) << unstable.err;
    const Outcome loops = runBatchHere({"--set", "contact=spring", "--set", "period=0.04", "--loops"});
    // the figures as the table prints them, rounded
    const std::size_t z = loops.out.find("(|z| 1.67");
    const std::size_t below = loops.out.find("for periods T below 0.0302");
    EXPECT_NE(z, std::string::npos) << loops.out;
    EXPECT_NE(below, std::string::npos) << loops.out;
    EXPECT_NE(unstable.err.find("T=0.04[s]"), std::string::npos) << unstable.err;
    EXPECT_NE(unstable.err.find("|z|=1.674 > 1"), std::string::npos) << unstable.err;
    EXPECT_NE(unstable.err.find("約 0.0302[s]"), std::string::npos) << unstable.err;
    for (const char* period : {"0.001", "0.03", "0"}) {
        const Outcome fine = runBatchHere({"--set", "contact=spring", "--set", std::string("period=") + period,
                                           "--summary"});
        EXPECT_TRUE(fine.err.empty()) << period << ": " << fine.err;
    }
    EXPECT_TRUE(runBatchHere({"--set", "period=0.04", "--summary"}).err.empty());
    const Outcome sweep = runBatchHere({"--set", "contact=spring", "--sweep", "period=0.001,0.04", "--jobs", "2"});
    ASSERT_EQ(sweep.status, exitOk) << sweep.err;
    EXPECT_TRUE(sweep.err.empty()) << sweep.err;
    const std::vector<std::string> rows = textLines(sweep.out);
    ASSERT_EQ(rows.size(), 3u) << sweep.out;
    EXPECT_EQ(rows[1].substr(rows[1].size() - 3), ",ok");
    EXPECT_EQ(rows[2].substr(rows[2].find(",notice: ")), ",notice: " + textLines(unstable.err)[0]);
}

// Many tasks on two threads come out in their order, the range's values
// evenly spaced with both ends, each in its shortest exact text.
TEST(StudySweep, RowsComeInInputOrder)
{
    const Outcome r = runBatchHere({"--sweep", "seterror=-0.01:0.01:41", "--jobs", "2"});
    ASSERT_EQ(r.status, exitOk) << r.err;
    const std::vector<std::string> lines = textLines(r.out);
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[1].substr(0, 6), "-0.01,");
    EXPECT_EQ(lines[2].substr(0, 8), "-0.0095,");
    EXPECT_EQ(lines[21].substr(0, 2), "0,");
    EXPECT_EQ(lines[22].substr(0, 7), "0.0005,");
    EXPECT_EQ(lines[41].substr(0, 5), "0.01,");
    const testing::CsvTable t = testing::parseCsv(r.out);
    for (std::size_t i = 0; i < 41; ++i) {
        EXPECT_TRUE(testing::near(t.rows[i][0], -0.01 + 0.0005 * static_cast<double>(i), 1e-16)) << i;
        EXPECT_EQ(t.at(i, "seterror_m"), t.rows[i][0]) << i;
    }
    SweepAxis axis;
    std::string error;
    ASSERT_TRUE(parseSweepAxis("Fn=0.1:1:10", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1"}));
    ASSERT_TRUE(parseSweepAxis("Fn=10:1e3:3", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"10", "505", "1000"}));
    ASSERT_TRUE(parseSweepAxis("fn2=40:5:8", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"40", "35", "30", "25", "20", "15", "10", "5"}));
    ASSERT_TRUE(parseSweepAxis("A=0:0:3", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"0", "0", "0"}));
    // a step finer than 12 digits of the larger end keeps the digits it needs:
    // no two values are the same
    ASSERT_TRUE(parseSweepAxis("Fn=1:1.0000000000001:3", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"1", "1.00000000000005", "1.0000000000001"}));
    ASSERT_TRUE(parseSweepAxis("Fn=1e20:1.0000000000001e20:3", axis, error));
    EXPECT_EQ(axis.values(), (std::vector<std::string>{"1e+20", "1.00000000000005e+20", "1.0000000000001e+20"}));
    ASSERT_TRUE(parseSweepAxis("seterror=-0.001:-0.00099999999999:5", axis, error));
    const std::vector<std::string> fine = axis.values();
    for (std::size_t i = 1; i < fine.size(); ++i) EXPECT_LT(std::stod(fine[i - 1]), std::stod(fine[i])) << fine[i];
    // a million values are made one at a time, when they are needed
    ASSERT_TRUE(parseSweepAxis("x0=0:1:1000000", axis, error));
    EXPECT_EQ(axis.size(), 1000000u);
    EXPECT_EQ(axis.value(1), "1.000001e-06");
    EXPECT_EQ(axis.value(999999), "1");
}

TEST(StudySweep, MistakesGiveOneLineStatus2AndComputeNothing)
{
    const std::string names = "robot l l1 l2 KH1 KH2 method fn1 alpha1 fn2 alpha2 contour x0 y0 xf yf tf Ox Oy r L A seterror Fn zeta1 zeta2 contact KW period servo";
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"--sweep", "fn2"}, "--sweep needs NAME=FROM:TO:COUNT or NAME=V1,V2,... (got 'fn2')"},
        {{"--sweep"}, "--sweep needs NAME=FROM:TO:COUNT or NAME=V1,V2,..."},
        {{"--sweep", "kh1=1,2"}, "--sweep kh1=1,2: unknown name 'kh1'; the names are " + names},
        // what was typed, quoted short and on one line
        {{"--sweep", "kh1=" + std::string(100000, '1')},
         "--sweep kh1=" + std::string(56, '1') + "...: unknown name 'kh1'; the names are " + names},
        {{"--sweep", "fn2\n"}, "--sweep needs NAME=FROM:TO:COUNT or NAME=V1,V2,... (got 'fn2\\x0a')"},
        {{"--sweep", "fn2="}, "--sweep fn2=: no values; give NAME=FROM:TO:COUNT or NAME=V1,V2,..."},
        {{"--sweep", "fn2=1:2"}, "--sweep fn2=1:2: a range is FROM:TO:COUNT"},
        {{"--sweep", "fn2=1:2:3:"}, "--sweep fn2=1:2:3:: a range is FROM:TO:COUNT"},
        {{"--sweep", "fn2=1:2:1"}, "--sweep fn2=1:2:1: COUNT must be a whole number from 2 to 1000000"},
        {{"--sweep", "fn2=1:2:2.5"}, "--sweep fn2=1:2:2.5: COUNT must be a whole number from 2 to 1000000"},
        {{"--sweep", "fn2=1:2:1000001"}, "--sweep fn2=1:2:1000001: COUNT must be a whole number from 2 to 1000000"},
        {{"--sweep", "fn2=a:2:3"}, "--sweep fn2=a:2:3: FROM and TO of a range must be finite numbers"},
        {{"--sweep", "fn2=1:inf:3"}, "--sweep fn2=1:inf:3: FROM and TO of a range must be finite numbers"},
        {{"--sweep", "fn2=-1e308:1e308:3"}, "--sweep fn2=-1e308:1e308:3: TO - FROM is not a finite number"},
        {{"--sweep", "Fn=1:1.000000000000001:3"},
         "--sweep Fn=1:1.000000000000001:3: the values lie closer together than the numbers can tell apart; "
         "give a smaller COUNT or a wider range"},
        {{"--sweep", "fn2=1,,2"}, "--sweep fn2=1,,2: an empty value in the list"},
        {{"--sweep", "fn2=1,2,"}, "--sweep fn2=1,2,: an empty value in the list"},
        {{"--sweep", "fn2=1,2", "--sweep", "fn2=3"}, "--sweep fn2 is given twice; a grid sweeps two different names"},
        {{"--sweep", "fn2=1", "--sweep", "fn1=2", "--sweep", "Fn=3"},
         "--sweep is given more than twice; a sweep has one name, a grid two"},
        {{"--sweep", "fn2=1:2:1000000", "--sweep", "Fn=1,2"}, "--sweep: the grid has 1000000 x 2 tasks, more than 1000000"},
        {{"--jobs", "2"}, "--jobs goes with --sweep"},
        {{"--sweep", "fn2=1", "--jobs", "0"}, "--jobs needs a whole number from 1 to 256 (got '0')"},
        {{"--sweep", "fn2=1", "--jobs", "x"}, "--jobs needs a whole number from 1 to 256 (got 'x')"},
        {{"--sweep", "fn2=1", "--jobs", "1", "--jobs", "2"}, "--jobs is given more than once"},
        {{"--sweep", "fn2=1", "--csv", "-"},
         "--csv does not go with --sweep (a sweep writes the summary of every task as CSV to standard output)"},
        {{"--sweep", "fn2=1", "--report"},
         "--report does not go with --sweep (a sweep writes the summary of every task as CSV to standard output)"},
        {{"--sweep", "fn2=1", "--png", "a.png"},
         "--png does not go with --sweep (a sweep writes the summary of every task as CSV to standard output)"},
        {{"--sweep", "fn2=1", "--summary", "--format", "text"},
         "--format text does not go with --sweep (a sweep writes its summaries as CSV)"},
        {{"--sweep", "fn2=1", "--plot", "a.png"}, "--plot writes SVG: the file name must end in .svg (got 'a.png')"},
        {{"--plot", "a.svg", "--plot", "b.svg"}, "--plot is given more than once"},
        {{"--write-task", "a.dat", "--write-task", "b.dat"}, "--write-task is given more than once"},
    };
    for (const auto& c : cases) {
        const Outcome r = runBatchHere(c.args);
        EXPECT_EQ(r.status, exitUsage) << c.line;
        EXPECT_EQ(r.err, "hybridsim-batch: " + c.line + " (see --help)\n");
        EXPECT_TRUE(r.out.empty()) << c.line;
    }
    // a plot that cannot be written is found before the sweep runs
    const Outcome nowhere = runBatchHere({"--sweep", "fn2=1,2", "--plot", "/nonexistent-dir/p.svg"});
    EXPECT_EQ(nowhere.status, exitOutputFailed);
    EXPECT_EQ(nowhere.err, "hybridsim-batch: cannot write '/nonexistent-dir/p.svg': No such file or directory\n");
    EXPECT_TRUE(nowhere.out.empty());
    // --summary --format csv is what a sweep writes anyway
    EXPECT_EQ(runBatchHere({"--sweep", "fn2=5", "--summary", "--format", "csv"}).out,
              runBatchHere({"--sweep", "fn2=5"}).out);
}

// A table that does not reach standard output ends the sweep with one line.
TEST(StudySweep, AFullStandardOutputEndsTheSweep)
{
    testing::ChildSetup full;
    full.stdoutPath = "/dev/full";
    const Outcome r = testing::runBatchProgram({"--sweep", "fn2=5:40:400", "--jobs", "2"}, full);
    EXPECT_EQ(r.status, exitOutputFailed);
    EXPECT_EQ(r.err, "hybridsim-batch: cannot write to standard output: No space left on device\n");
}

// The progress line: only on a terminal, only after a second, rewritten in
// place, cleared at the end.
TEST(StudySweep, ProgressLineOnATerminalAfterASecond)
{
    using Clock = SweepProgress::Clock;
    const Clock::time_point start{};
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    std::ostringstream shown;
    SweepProgress progress(shown, true, start);
    progress.update(10, 1000, at(900));
    EXPECT_EQ(shown.str(), "");
    progress.update(12, 1000, at(1000));
    EXPECT_EQ(shown.str(), "\rhybridsim-batch: sweep: 12 of 1000 tasks");
    progress.update(13, 1000, at(1100));  // too soon after the last one
    EXPECT_EQ(shown.str(), "\rhybridsim-batch: sweep: 12 of 1000 tasks");
    progress.update(140, 1000, at(1300));
    EXPECT_EQ(shown.str(), "\rhybridsim-batch: sweep: 12 of 1000 tasks\rhybridsim-batch: sweep: 140 of 1000 tasks");
    shown.str("");
    progress.finish();
    EXPECT_EQ(shown.str(), "\r" + std::string(41, ' ') + "\r");

    std::ostringstream file;
    SweepProgress quiet(file, false, start);
    quiet.update(500, 1000, at(5000));
    quiet.finish();
    EXPECT_EQ(file.str(), "");
    // a sweep whose standard error is no terminal writes nothing there
    EXPECT_TRUE(runBatchHere({"--sweep", "fn2=5:40:3"}).err.empty());
}

TEST(StudySweep, HelpNamesTheNewOptions)
{
    const Outcome r = runBatchHere({"--help"});
    EXPECT_EQ(r.status, exitOk);
    for (const char* o : {"--set NAME=VALUE", "--write-task FILE", "--sweep NAME=FROM:TO:COUNT", "NAME=V1,V2,...",
                          "--jobs N", "--plot FILE.svg"})
        EXPECT_NE(r.out.find(o), std::string::npos) << o;
}

}  // namespace
}  // namespace hybridsim

// Grading with the batch runner: the options of grading read or refused,
// the goals' JSON the same object for one task file as the run's own, the
// JUnit report's counts and escaping, and the report written all or
// nothing with the command's other files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/batch_options.h"
#include "app/grading.h"
#include "study/goals.h"
#include "study/summary.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

using testing::Outcome;
using testing::runBatchHere;

BatchOptions parsed(const std::vector<std::string>& args, bool& ok, std::string& error)
{
    std::vector<const char*> argv{"hybridsim-batch"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    BatchOptions o;
    ok = parseBatchOptions(static_cast<int>(argv.size()), argv.data(), o, error);
    return o;
}

TEST(Grading, TheOptionsOfGradingAreReadOrRefusedWithTheReason)
{
    bool ok = false;
    std::string error;
    // a lesson file, with or without its lesson's number; digits alone a built-in lesson
    BatchOptions o = parsed({"--lesson", "lab.json:2"}, ok, error);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(o.lessonFile, "lab.json");
    EXPECT_EQ(o.lessonIndex, 2);
    o = parsed({"--lesson", "dir:x/lab.json"}, ok, error);
    EXPECT_TRUE(ok && o.lessonFile == "dir:x/lab.json" && o.lessonIndex == 1) << error;
    o = parsed({"--lesson", "2"}, ok, error);
    EXPECT_TRUE(ok && o.lesson == 2 && o.lessonFile.empty()) << error;
    // several task files with a lesson, and what goes with them
    o = parsed({"a.dat", "--lesson", "lab.json", "b.dat", "--set", "Fn=12", "--require", "Fn_N > 1", "--junit",
                "g.xml", "--goals-format", "json"},
               ok, error);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(o.taskFiles, (std::vector<std::string>{"a.dat", "b.dat"}));
    EXPECT_EQ(o.taskFile, "a.dat");

    const struct {
        std::vector<std::string> args;
        const char* says;
    } refused[] = {
        {{"--lesson", "99"}, "--lesson needs a lesson number from 1 to"},
        {{"--lesson", "lab.json:0"}, "--lesson FILE:N needs a file name and a lesson number N from 1"},
        {{"--lesson", ":3"}, "--lesson FILE:N needs a file name"},
        {{"--goals-format", "xml", "--lesson", "1"}, "--goals-format needs 'text' or 'json' (got 'xml')"},
        {{"--goals-format", "json"}, "--goals-format goes with --require or --lesson"},
        {{"--junit", "g.xml", "--summary"}, "--junit goes with --require or --lesson"},
        {{"--junit", "-", "--lesson", "1"}, "--junit writes a file; standard output ('-') is not supported"},
        {{"--junit", "g.xml", "--lesson", "1", "--sweep", "fn2=1,2"}, "--junit does not go with --sweep"},
        {{"--goals-format", "json", "--lesson", "1", "--link"}, "--goals-format does not go with --link"},
        {{"a.dat", "b.dat"}, "only one task file may be given (got 'a.dat' and 'b.dat'); several are graded with "
                             "--lesson"},
        {{"a.dat", "b.dat", "--lesson", "1", "--summary"}, "--summary does not go with several task files"},
        {{"a.dat", "b.dat", "--lesson", "1", "--csv", "r.csv"}, "--csv does not go with several task files"},
    };
    for (const auto& c : refused) {
        parsed(c.args, ok, error);
        EXPECT_FALSE(ok) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

// One task: the JSON document is the run's goalResultsJson, the report
// names the task and escapes the goals, and the status is the goals'.
TEST(Grading, OneTaskGivesTheRunsOwnResultsAsJsonAndJUnit)
{
    const std::string dir = testing::makeTempFolder();
    const std::string xml = dir + "/grades.xml";
    const Outcome r = runBatchHere({"--set", "fn2=10", "--require", "overshoot_pct <= 5", "--require",
                                    "settling_t_s < 0.3", "--goals-format", "json", "--junit", xml});
    EXPECT_EQ(r.status, exitGoalFailed) << r.err;

    const Outcome csv = runBatchHere({"--set", "fn2=10", "--summary", "--format", "csv"});
    ASSERT_EQ(csv.status, exitOk);
    const testing::CsvTable table = testing::parseCsv(csv.out);
    EXPECT_NE(r.out.find("\"measured\":" + shortestNumber(table.at(0, "overshoot_pct"))), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.substr(0, 40), "{\"passed\":1,\"total\":2,\"fraction\":0.5,\"go") << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one line";

    const std::string report = testing::readFile(xml);
    EXPECT_NE(report.find("<testsuite name=\"the default task\" tests=\"2\" failures=\"1\" errors=\"0\""),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("<testcase name=\"overshoot_pct &lt;= 5\" classname=\"the default task\"/>"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("<failure message=\"FAIL  settling_t_s = 0.62086 &lt; 0.3\"/>"), std::string::npos) << report;

    // the goals met: status 0, and the lines as without a report
    const Outcome met = runBatchHere({"--require", "overshoot_pct <= 5", "--junit", xml});
    EXPECT_EQ(met.status, exitOk) << met.err;
    EXPECT_EQ(met.out, "pass  overshoot_pct = 2.55565 <= 5\n");
    testing::removeTree(dir);
}

// The report is one of the command's files: a report that cannot be
// written leaves the other files as they were, status 3, the goals still
// printed; a report on the task file read is refused before the run.
TEST(Grading, TheReportIsWrittenAllOrNothingWithTheOtherFiles)
{
    const std::string dir = testing::makeTempFolder();
    const std::string csv = dir + "/run.csv";
    const Outcome r = runBatchHere({"--csv", csv, "--require", "overshoot_pct <= 5", "--junit",
                                    dir + "/missing/grades.xml"});
    EXPECT_EQ(r.status, exitOutputFailed) << r.err;
    EXPECT_FALSE(testing::exists(csv));
    EXPECT_EQ(r.out, "pass  overshoot_pct = 2.55565 <= 5\n");
    EXPECT_NE(r.err.find("missing/grades.xml"), std::string::npos) << r.err;

    const std::string task = dir + "/task.dat";
    ASSERT_EQ(runBatchHere({"--write-task", task}).status, exitOk);
    const std::string before = testing::readFile(task);
    const Outcome over = runBatchHere({task, "--lesson", "1", "--junit", task});
    EXPECT_EQ(over.status, exitUsage);
    EXPECT_NE(over.err.find("is the task file read"), std::string::npos) << over.err;
    const Outcome overOfSeveral = runBatchHere({task, task, "--lesson", "1", "--junit", task});
    EXPECT_EQ(overOfSeveral.status, exitUsage);
    EXPECT_NE(overOfSeveral.err.find("is the task file read"), std::string::npos) << overOfSeveral.err;
    EXPECT_EQ(testing::readFile(task), before);
    testing::removeTree(dir);
}

// The report's counts add up over the suites, a refused task is an error
// and not a failure, and names and messages are escaped for XML.
TEST(Grading, TheJUnitReportCountsEachSuiteAndEscapesItsTexts)
{
    Goal under;
    Goal over;
    std::string error;
    ASSERT_TRUE(parseGoal("overshoot_pct < 5", under, error));
    ASSERT_TRUE(parseGoal("Fn_N > 1", over, error));
    GradedTask fails;
    fails.name = "a&b \"1\".dat";
    fails.goals = {under, over};
    fails.checks = {{false, 7.25}, {true, 10.0}};
    GradedTask locked = fails;
    locked.name = "c.dat";
    locked.checks = {{true, 2.0}, {true, 10.0}};
    locked.locked = "Fn";
    locked.lockedMessage = "c.dat changes Fn, which the lesson locks";
    GradedTask refused;
    refused.name = "d.dat";
    refused.goals = fails.goals;
    refused.refused = "d.dat: token 3 '<x>' is no number";

    const std::string report = junitReport("Lesson <1>", {fails, locked, refused}, true);
    EXPECT_NE(report.find("<testsuites name=\"Lesson &lt;1&gt;\" tests=\"7\" failures=\"2\" errors=\"1\">"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("<testsuite name=\"a&amp;b &quot;1&quot;.dat\" tests=\"3\" failures=\"1\" errors=\"0\""),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("<failure message=\"FAIL  overshoot_pct = 7.25 &lt; 5\"/>"), std::string::npos) << report;
    EXPECT_NE(report.find("<testsuite name=\"c.dat\" tests=\"3\" failures=\"1\" errors=\"0\""), std::string::npos)
        << report;
    EXPECT_NE(report.find("<testcase name=\"settings the lesson locks\" classname=\"c.dat\">\n      <failure "
                          "message=\"c.dat changes Fn, which the lesson locks\"/>"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("<testsuite name=\"d.dat\" tests=\"1\" failures=\"0\" errors=\"1\""), std::string::npos)
        << report;
    EXPECT_NE(report.find("<error message=\"d.dat: token 3 &apos;&lt;x&gt;&apos; is no number\"/>"),
              std::string::npos)
        << report;
    // without locks no test case of them
    EXPECT_EQ(junitReport("t", {fails}, false).find("settings the lesson locks"), std::string::npos);

    // the JSON of several: each entry names its task, the locked setting and the refusal
    locked.named = fails.named = refused.named = true;
    locked.resultsJson = "{\"passed\":2,\"total\":2,\"fraction\":1,\"goals\":[]}";
    fails.resultsJson = "{\"passed\":1,\"total\":2,\"fraction\":0.5,\"goals\":[]}";
    EXPECT_EQ(gradesJson({fails, locked, refused}),
              "[\n{\"task\":\"a&b \\\"1\\\".dat\",\"passed\":1,\"total\":2,\"fraction\":0.5,\"goals\":[]},\n"
              "{\"task\":\"c.dat\",\"passed\":2,\"total\":2,\"fraction\":1,\"goals\":[],\"locked\":\"Fn\"},\n"
              "{\"task\":\"d.dat\",\"error\":\"d.dat: token 3 '<x>' is no number\",\"passed\":0,\"total\":2,"
              "\"fraction\":0,\"goals\":[]}\n]\n");
    EXPECT_FALSE(fails.passed());
    EXPECT_FALSE(locked.passed());
    EXPECT_FALSE(refused.passed());
    locked.locked.clear();
    EXPECT_TRUE(locked.passed());
}

}  // namespace
}  // namespace hybridsim

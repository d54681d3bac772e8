#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "app/batch.h"
#include "sim/run.h"
#include "task/report.h"
#include "task/task_file.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

struct Result {
    int status;
    std::string out, err;
};

Result batch(std::vector<std::string> args)
{
    args.insert(args.begin(), "hybridsim-batch");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = runBatch(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

std::vector<double> fields(const std::string& row)
{
    std::vector<double> v;
    std::istringstream in(row);
    for (std::string f; std::getline(in, f, ',');) v.push_back(std::strtod(f.c_str(), nullptr));
    return v;
}

std::string tempPath(const char* name)
{
    return ::testing::TempDir() + "/hybridsim_" + std::to_string(getpid()) + "_" + name;
}

TEST(BatchRunner, CsvHoldsEverySampleOfTheTaskRobotBitExactly)
{
    const std::string task = std::string(HYBRIDSIM_TEST_DATA) + "/robot_a_line.dat";
    const Result r = batch({task});
    ASSERT_EQ(r.status, exitOk) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 202u);
    EXPECT_EQ(rows[0], "i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err,spring_force");

    // the same task computed here
    SimSettings s = testing::defaultSettings();
    ASSERT_TRUE(loadRobotDataFile(task, s).ok);
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    const SeriesSet& a = run->A;
    for (int i = 0; i <= s.nsteps; ++i) {
        const std::vector<double> f = fields(rows[i + 1]);
        ASSERT_EQ(f.size(), 16u);
        ASSERT_EQ(f[0], i);
        const double expected[15] = {a.time[i],           a.refPos[i].x,         a.refPos[i].y,     a.tipPos[i].x,
                                     a.tipPos[i].y,       a.posErr[i].x,         a.posErr[i].y,     a.jointPos[i].phi1,
                                     a.jointPos[i].phi2,  a.handDeflection[i].x, a.handDeflection[i].y,
                                     a.contactForce[i],   a.forceErr[i],         a.sErr[i],
                                     a.springForce[i]};
        for (int k = 0; k < 15; ++k) ASSERT_EQ(f[k + 1], expected[k]) << "row " << i << " column " << k + 1;
    }
}

TEST(BatchRunner, ReportAloneAndTogetherWithCsv)
{
    Result r = batch({"--report"});
    ASSERT_EQ(r.status, exitOk);
    std::ostringstream expected;
    printSettings(testing::defaultSettings(), expected);
    EXPECT_EQ(r.out, expected.str());

    r = batch({"--report", "--csv", "-"});
    ASSERT_EQ(r.status, exitOk);
    EXPECT_EQ(r.out.rfind(expected.str(), 0), 0u);
    EXPECT_EQ(lines(r.out.substr(expected.str().size())).size(), 202u);
}

TEST(BatchRunner, CsvFileIsWrittenWhole)
{
    const std::string path = tempPath("run.csv");
    const Result r = batch({"--csv", path});
    ASSERT_EQ(r.status, exitOk) << r.err;
    EXPECT_TRUE(r.out.empty());
    std::ifstream f(path);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_EQ(lines(text.str()).size(), 202u);
    std::remove(path.c_str());
}

TEST(BatchRunner, MistakesGiveOneLineAndStatus2Or3AndNoCsv)
{
    const std::string path = tempPath("never.csv");
    const struct {
        std::vector<std::string> args;
        const char* expect;
        int status = exitUsage;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--csv"}, "--csv needs a file name"},
        {{"a.dat", "b.dat"}, "only one task file"},
        {{"/nonexistent/robot51.dat", "--csv", path}, "cannot open"},
        {{std::string(HYBRIDSIM_TEST_DATA), "--csv", path}, "is a directory"},
        {{"--csv", "/nonexistent-dir/out.csv"}, "cannot write '/nonexistent-dir/out.csv'", exitOutputFailed},
    };
    for (const auto& c : cases) {
        const Result r = batch(c.args);
        EXPECT_EQ(r.status, c.status) << c.expect;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.expect;
        EXPECT_NE(access(path.c_str(), F_OK), 0) << "CSV written for " << c.expect;
    }
}

TEST(BatchRunner, UnreachablePathReportsOnceWithACount)
{
    const std::string task = tempPath("far.dat");
    {
        std::ofstream f(task);
        f << "b 0.5 0.5 500 500 8 5 0 20 2 L 0.9 0 1.4 0 4 0 10\n";
    }
    const Result r = batch({task, "--csv", "-"});
    EXPECT_EQ(r.status, exitOk);
    // the derivation meets the end point only; the run meets many points,
    // shows the first and counts them all in one line
    size_t n = 0;
    for (size_t at = r.err.find("逆運動学の解なし．"); at != std::string::npos; at = r.err.find("逆運動学の解なし．", at + 1)) ++n;
    EXPECT_EQ(n, 2u) << r.err;
    EXPECT_NE(r.err.find("アーム長1,2=( 0.500  0.500) 位置(x,y)=( 1.400  0.000)"), std::string::npos) << r.err;
    size_t counts = 0;
    for (size_t at = r.err.find("点は合計"); at != std::string::npos; at = r.err.find("点は合計", at + 1)) ++counts;
    EXPECT_EQ(counts, 1u) << r.err;
    EXPECT_EQ(lines(r.out).size(), 202u);
    std::remove(task.c_str());
}

TEST(BatchRunner, HelpNamesEveryOption)
{
    const Result r = batch({"--help"});
    EXPECT_EQ(r.status, exitOk);
    for (const char* o : {"TASKFILE", "--csv", "--report"}) EXPECT_NE(r.out.find(o), std::string::npos) << o;
}

}  // namespace
}  // namespace hybridsim

// --plot with --loops writes the loops' figures; --plot without it, and
// with a sweep, writes what it wrote before: the run's chart, the sweep's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/batch_task.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "study/study_plot.h"
#include "study/svg_chart.h"
#include "task/task_setting.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

int batch(std::vector<std::string> args, std::string& err)
{
    args.insert(args.begin(), "hybridsim-batch");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, errors;
    const int status = runBatch(static_cast<int>(argv.size()), argv.data(), out, errors);
    err = errors.str();
    return status;
}

std::string tempPath(const std::string& name)
{
    return ::testing::TempDir() + "/hybridsim_" + std::to_string(getpid()) + "_" + name;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// the panels' titles of an SVG, in order
std::vector<std::string> panelTitles(const std::string& svg)
{
    std::vector<std::string> titles;
    const std::string mark = "<text class=\"panel-title\"";
    for (std::size_t at = svg.find(mark); at != std::string::npos; at = svg.find(mark, at + 1)) {
        const std::size_t from = svg.find('>', at) + 1;
        titles.push_back(svg.substr(from, svg.find('<', from) - from));
    }
    return titles;
}

bool hasTitle(const std::vector<std::string>& titles, const std::string& start)
{
    for (const std::string& t : titles)
        if (t.rfind(start, 0) == 0) return true;
    return false;
}

TEST(LoopsPlot, LoopsWithPlotWritesTheLoopsFiguresAndPlotAloneTheRunChart)
{
    struct Case {
        std::vector<std::string> sets;
        bool sampled;  // contact=spring with a period: the z-plane and the loci of r and T
    };
    const Case cases[] = {{{}, false}, {{"contact=spring", "period=0.02"}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sets.empty() ? "default" : "spring");
        std::vector<std::string> sets;
        for (const std::string& one : c.sets) sets.insert(sets.end(), {"--set", one});
        const std::string alone = tempPath("alone.svg"), loops = tempPath("loops.svg");
        std::string err;
        std::vector<std::string> args = sets;
        args.insert(args.end(), {"--plot", alone});
        ASSERT_EQ(batch(args, err), 0) << err;
        args = sets;
        args.insert(args.end(), {"--loops", "--require", "overshoot_pct<=5", "--plot", loops});
        ASSERT_EQ(batch(args, err), 0) << err;

        // without --loops: the run's chart, byte for byte
        SimSettings s = testing::defaultSettings();
        for (const std::string& one : c.sets)
            ASSERT_TRUE(setTaskSetting(s, one.substr(0, one.find('=')), one.substr(one.find('=') + 1)).ok);
        deriveSettings(s);
        RunSeries run;
        std::ostringstream notices;
        runTask(s, run, notices);
        EXPECT_EQ(fileText(alone), chartSvg(runChart(s, currentSeries(run, s.type))));

        // with it: the loops' figures, well formed
        const std::string svg = fileText(loops);
        EXPECT_EQ(testing::svgFaults(svg), "");
        const std::vector<std::string> titles = panelTitles(svg);
        EXPECT_TRUE(hasTitle(titles, "force step"));
        EXPECT_TRUE(hasTitle(titles, "poles of the control loops"));
        for (const char* t : {"force loop (2): magnitude", "force loop (2): phase", "position loop (1): magnitude",
                              "position loop (1): phase", "model force loop, fn2 from", "model force loop, alpha2 from"})
            EXPECT_TRUE(hasTitle(titles, t)) << t;
        EXPECT_EQ(hasTitle(titles, "sampled force loop, T = "), c.sampled);
        EXPECT_EQ(hasTitle(titles, "model force loop, ratio from"), c.sampled);
        EXPECT_EQ(hasTitle(titles, "sampled force loop, T from"), c.sampled);
        EXPECT_EQ(titles.size(), c.sampled ? 11u : 8u);
        // under them the design map with the goal's pass region, the whole as
        // high as the two documents stacked in it
        const std::size_t map = svg.find("<svg x=\"0\" y=\"");
        ASSERT_NE(svg.find("class=\"design-map\"", map == std::string::npos ? 0 : map + 1), std::string::npos);
        EXPECT_NE(svg.find("class=\"pass-outline\""), std::string::npos);
        const auto number = [&](std::size_t from, const char* name) {
            const std::string key = std::string(" ") + name + "=\"";
            return std::stod(svg.substr(svg.find(key, from) + key.size()));
        };
        const std::size_t chart = svg.find("<svg", svg.find("<svg") + 1);
        const std::size_t mapRoot = svg.find("<svg", chart + 1);
        EXPECT_DOUBLE_EQ(number(0, "height"), number(chart, "height") + number(mapRoot, "height"));
        EXPECT_DOUBLE_EQ(number(mapRoot, "y"), number(chart, "height"));
        std::remove(alone.c_str());
        std::remove(loops.c_str());
    }
}

TEST(LoopsPlot, SweepPlotStaysTheSweepsWithLoops)
{
    const std::string plain = tempPath("sweep.svg"), loops = tempPath("sweep_loops.svg");
    std::string err;
    ASSERT_EQ(batch({"--sweep", "fn2=10,20", "--plot", plain}, err), 0) << err;
    ASSERT_EQ(batch({"--sweep", "fn2=10,20", "--loops", "--plot", loops}, err), 0) << err;
    EXPECT_FALSE(fileText(plain).empty());
    EXPECT_EQ(fileText(plain), fileText(loops));
    std::remove(plain.c_str());
    std::remove(loops.c_str());
}

}  // namespace
}  // namespace hybridsim

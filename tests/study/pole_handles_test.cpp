// The designed poles' handles of the s-plane chart: the frame the page maps
// a pointer through is the plot area the chart draws, and each handle,
// mapped back through it, is the pole it stands for.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "study/loop_poles.h"
#include "study/loops_chart.h"
#include "study/pole_handles.h"
#include "task/task_setting.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

SimSettings settingsAfter(const std::vector<std::pair<std::string, std::string>>& sets)
{
    SimSettings s = testing::defaultSettings();
    for (const auto& one : sets) EXPECT_TRUE(setTaskSetting(s, one.first, one.second).ok) << one.first;
    deriveSettings(s);
    return s;
}

// The handles of both loops at several widths, a complex, double and
// overdamped pair and alpha 0 among them: the frame is the drawn plot area
// with its scales, the pair's handle maps back to its pole above the axis
// (the double pole; the circle's crossing of the axis beyond zeta 1), the
// alpha handle to -alpha.
TEST(PoleHandles, EachHandleMapsBackToItsPoleThroughTheFrame)
{
    const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
        {}, {{"zeta2", "0.5"}, {"fn2", "30"}}, {{"zeta2", "2"}}, {{"alpha2", "0"}, {"zeta1", "0.2"}}, {{"method", "7"}}};
    for (const auto& sets : cases) {
        const SimSettings s = settingsAfter(sets);
        const auto loops = loopPoles(s);
        for (const double width : {240.0, 591.0}) {
            SCOPED_TRACE(width);
            const Chart c = loopsPolesChart(s, {}, width);
            const ChartLayout layout = chartLayout(c);
            const PoleFrame f = poleFrame(layout);
            // the frame is the plot area as the SVG draws it
            const std::string svg = chartSvg(c);
            std::smatch m;
            ASSERT_TRUE(std::regex_search(svg, m, std::regex("class=\"plot-area\" x=\"([-0-9.]+)\" y=\"([-0-9.]+)\" "
                                                             "width=\"([-0-9.]+)\" height=\"([-0-9.]+)\"")));
            EXPECT_NEAR(std::stod(m[1]), f.x, 0.05);
            EXPECT_NEAR(std::stod(m[2]), f.y, 0.05);
            EXPECT_NEAR(std::stod(m[3]), f.width, 0.05);
            EXPECT_NEAR(std::stod(m[4]), f.height, 0.05);
            // at equal scale: one rad/s as many px both ways
            EXPECT_NEAR(f.width / (f.reMax - f.reMin), f.height / (f.imMax - f.imMin), 1e-9);

            const std::vector<PoleHandle> handles = poleHandles(s, layout);
            ASSERT_EQ(handles.size(), 4u);
            for (const PoleHandle& h : handles) {
                const LoopPoles& l = loops[static_cast<std::size_t>(h.system - 1)];
                SCOPED_TRACE(std::to_string(h.system) + handleKindName(h.kind));
                Pole want = l.designed.back();
                if (h.kind == PoleHandle::Kind::pair)
                    want = l.zeta > 1.0 ? Pole{-l.wn, 0.0} : l.designed[0];
                EXPECT_GE(want.im, 0.0);
                const double tolerance = 1e-9 * (f.reMax - f.reMin);
                EXPECT_NEAR(frameRe(f, h.x), want.re, tolerance);
                EXPECT_NEAR(frameIm(f, h.y), want.im, tolerance);
                EXPECT_EQ(h.re, want.re);
                EXPECT_EQ(h.im, want.im);
                // inside the plot area
                EXPECT_GT(h.x, f.x);
                EXPECT_LT(h.x, f.x + f.width);
                EXPECT_GT(h.y, f.y);
                EXPECT_LT(h.y, f.y + f.height);
            }
            EXPECT_EQ(handles[0].system, 1);
            EXPECT_EQ(handles[0].kind, PoleHandle::Kind::pair);
            EXPECT_EQ(handles[3].system, 2);
            EXPECT_EQ(handles[3].kind, PoleHandle::Kind::alpha);
        }
    }
    // no chart, no frame nor handles
    EXPECT_EQ(poleFrame(ChartLayout{}).width, 0.0);
    EXPECT_TRUE(poleHandles(testing::defaultSettings(), ChartLayout{}).empty());
}

}  // namespace
}  // namespace hybridsim

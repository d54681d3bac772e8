// The study graphs: the runs they draw are the series of the CSV, the force
// scale stays while values stay within it and grows when one leaves it, a
// pointer's x gives the sample under it by the time axis's own scale, and
// the cursor shows every run's values as the summary writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "study/study_graphs.h"
#include "study/summary.h"
#include "task/series_csv.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

using testing::parseCsv;

// A task run: its settings and its series.
struct Ran {
    SimSettings s;
    RunSeries run;
    const SeriesSet& set() const { return currentSeries(run, s.type); }
};

Ran ran(const std::vector<std::pair<const char*, const char*>>& settings, const std::string& task = "")
{
    Ran r;
    setEntryDefaults(r.s);
    setDefaults(r.s);
    if (!task.empty()) {
        EXPECT_TRUE(parseRobotData(task, "task.dat", r.s).ok);
    }
    for (const auto& [name, value] : settings) EXPECT_TRUE(setTaskSetting(r.s, name, value).ok) << name;
    deriveSettings(r.s);
    calcontrol(r.s, r.run);
    return r;
}

StudyRun drawn(const Ran& r, const char* label = "current run", std::size_t colour = 0)
{
    return studyRun(r.s, r.set(), label, studyRunColour(colour));
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

TEST(StudyGraphs, RunsHoldTheSeriesOfTheCsvAndTheSummarysReading)
{
    // the default sine, a line of robot a, and robot b mostly out of reach
    const std::string farCircle = "b 0.5 0.5 500 500 8 5 0 20 2 C 3 3 0.1 4 0 10";
    for (const Ran& r : {ran({}), ran({{"robot", "a"}, {"contour", "L"}}), ran({}, farCircle)}) {
        const StudyRun g = drawn(r);
        std::ostringstream csv;
        writeSeriesCsv(r.s, r.set(), csv);
        const testing::CsvTable t = parseCsv(csv.str());
        ASSERT_EQ(g.lastSample(), static_cast<int>(t.rows.size()) - 1);
        int outOfReach = 0;
        for (std::size_t i = 0; i < t.rows.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << r.s.curve << " sample " << i);
            EXPECT_TRUE(sameBits(g.time[i], t.at(i, "t")));
            EXPECT_TRUE(sameBits(g.sErr[i], t.at(i, "s_err")));
            EXPECT_TRUE(sameBits(g.tipX[i], t.at(i, "tip_x")));
            EXPECT_TRUE(sameBits(g.tipY[i], t.at(i, "tip_y")));
            EXPECT_TRUE(sameBits(g.refX[i], t.at(i, "ref_x")));
            EXPECT_TRUE(sameBits(g.refY[i], t.at(i, "ref_y")));
            // the force of a contact only: none where the sample has no posture
            if (hasPosture(r.set(), static_cast<int>(i))) {
                EXPECT_TRUE(sameBits(g.force[i], t.at(i, "force")));
                EXPECT_TRUE(sameBits(g.springForce[i], t.at(i, "spring_force")));
            } else {
                EXPECT_TRUE(std::isnan(g.force[i]));
                EXPECT_TRUE(std::isnan(g.springForce[i]));
                ++outOfReach;
            }
        }
        EXPECT_EQ(g.Fn, r.s.Fn);
        // the distance as the summary reads it: its largest is the summary's
        const RunSummary sum = summarizeRun(r.s, r.set());
        EXPECT_EQ(outOfReach, sum.nanSamples);
        double largest = -1.0;
        for (double d : g.distance)
            if (std::isfinite(d)) largest = std::max(largest, d);
        if (sum.contourDistMaxSample >= 0)
            EXPECT_EQ(largest, sum.contourDistMax);
        else
            EXPECT_EQ(largest, -1.0);
    }
}

// the y of a force in the force panel [px], and of 0
double forceY(const StudyGraphs& g, double v) { return g.layout().panels.front().Y(v); }

TEST(StudyGraphs, ForceScaleStaysWhileValuesStayInItGrowsWhenOneLeavesAndFitsBack)
{
    StudyGraphs g;
    g.setRuns({drawn(ran({}))});  // Fn 10
    const AxisScale first = g.forceScale();
    EXPECT_EQ(first.lo, 0.0);
    EXPECT_GE(first.hi, 10.0);
    // Fn 20 leaves it: it grows to cover the new run's forces
    const Ran twenty = ran({{"Fn", "20"}});
    g.setRuns({drawn(twenty)});
    const AxisScale grown = g.forceScale();
    double most = 0.0;
    for (double f : drawn(twenty).force) most = std::max(most, f);
    EXPECT_GE(grown.hi, most);
    EXPECT_GT(grown.hi, first.hi);
    // typing 10 again, 1 on the way, 15: the same scale
    double y10 = 0.0;
    for (const char* fn : {"1", "10", "15", "2", "20"}) {
        g.setRuns({drawn(ran({{"Fn", fn}}))});
        EXPECT_EQ(g.forceScale().ticks, grown.ticks) << fn;
        EXPECT_EQ(g.forceScale().hi, grown.hi) << fn;
        if (std::string(fn) == "10") y10 = forceY(g, 0.0) - forceY(g, 10.0);
    }
    // where the scale stays, 20 N stands twice as high as 10 N
    EXPECT_NEAR(forceY(g, 0.0) - forceY(g, 20.0), 2.0 * y10, 1e-9);
    // another run beside it, and a negative Fn: it grows again, to cover both
    g.setRuns({drawn(ran({{"Fn", "10"}})), drawn(ran({{"Fn", "50"}}), "pin 1", 1)});
    EXPECT_GE(g.forceScale().hi, 50.0);
    g.setRuns({drawn(ran({{"Fn", "-5"}}))});
    EXPECT_LE(g.forceScale().lo, -5.0);
    EXPECT_GE(g.forceScale().hi, 50.0);
    // fitted, it shrinks back to the run's own
    g.setRuns({drawn(ran({}))});
    g.fitForceScale();
    EXPECT_EQ(g.forceScale().ticks, first.ticks);
    EXPECT_EQ(g.forceScale().hi, first.hi);
    // the panel draws that scale and its Fn line where the scale puts it
    const std::string svg = g.svg();
    for (double t : first.ticks)
        EXPECT_NE(svg.find(">" + tickText(t, first.step) + "</text>"), std::string::npos) << t;
    const std::string fnLine = format("d=\"M%.1f,%.1f", g.layout().panels[0].X(0.0), forceY(g, 10.0));
    EXPECT_NE(svg.find("data-label=\"Fn (current run)\" " + fnLine), std::string::npos) << fnLine;
}

TEST(StudyGraphs, PointerXGivesTheSampleUnderItByTheTimeAxisInEveryPanel)
{
    const StudyRun run = drawn(ran({}));
    for (double width : {240.0, 356.0, 760.0, 1500.0}) {
        SCOPED_TRACE(width);
        StudyGraphs g;
        g.setWidth(width);
        g.setRuns({run});
        const ChartLayout& l = g.layout();
        EXPECT_EQ(l.width, width);
        ASSERT_EQ(l.panels.size(), 5u);
        const PanelLayout& axis = l.panels.front();
        for (const PanelLayout& p : l.panels) {
            // one x is one time in every panel
            EXPECT_EQ(p.x0, axis.x0);
            EXPECT_EQ(p.x1, axis.x1);
            EXPECT_EQ(p.xs.ticks, axis.xs.ticks);
            EXPECT_TRUE(g.inPlot((p.x0 + p.x1) / 2, (p.y0 + p.y1) / 2));
            EXPECT_TRUE(g.inPlot(p.x1 + 7.5, p.y1 + 7.5));
            EXPECT_FALSE(g.inPlot(p.x1 + 8.5, p.y1));
        }
        EXPECT_FALSE(g.inPlot(axis.x0, l.panelsTop - 10.0));  // the legend above the panels
        const int last = run.lastSample();
        for (int i = 0; i <= last; ++i) {
            const double x = axis.X(run.time[i]);
            ASSERT_EQ(g.sampleAt(x), i) << x;
            // a pixel either side, where a sample is wider than 2 pixels
            const double pixelsPerSample = (axis.x1 - axis.x0) / last;
            if (pixelsPerSample > 2.0) {
                EXPECT_EQ(g.sampleAt(x + 0.45 * pixelsPerSample), i);
                EXPECT_EQ(g.sampleAt(x - 0.45 * pixelsPerSample), i);
            }
        }
        // beyond the axis: the first, the last sample
        EXPECT_EQ(g.sampleAt(axis.x0 - 40.0), 0);
        EXPECT_EQ(g.sampleAt(-1e300), 0);
        EXPECT_EQ(g.sampleAt(axis.x1 + 40.0), last);
        EXPECT_EQ(g.sampleAt(INFINITY), last);
        // the time axis's ticks are where the scale puts them
        const std::string svg = g.svg();
        for (double t : axis.xs.ticks)
            EXPECT_NE(svg.find("<text class=\"tick-x\" x=\"" + format("%.1f", axis.X(t)) + "\""), std::string::npos);
        // the cursor's line stands at the sample's x
        EXPECT_NE(g.cursorSvg(150).find("class=\"cursor-line\" x1=\"" + format("%.1f", axis.X(run.time[150])) + "\""),
                  std::string::npos);
    }
}

TEST(StudyGraphs, CursorShowsEveryRunsValuesAsTheSummaryWritesThem)
{
    const Ran mine = ran({});
    const Ran other = ran({{"Fn", "20"}, {"method", "7"}});
    StudyGraphs g;
    g.setWidth(356.0);  // a phone's
    g.setRuns({drawn(mine), drawn(other, "pin 1", 1)});
    for (int sample : {0, 100, 200}) {
        const std::vector<StudyCursorRun> c = g.cursor(sample);
        ASSERT_EQ(c.size(), 2u);
        for (std::size_t r = 0; r < 2; ++r) {
            const SeriesSet& set = (r == 0 ? mine : other).set();
            EXPECT_EQ(c[r].sample, sample);
            EXPECT_TRUE(sameBits(c[r].t, set.time[sample]));
            EXPECT_TRUE(sameBits(c[r].force, set.contactForce[sample]));
            EXPECT_TRUE(sameBits(c[r].tipY, set.tipPos[sample].y));
            EXPECT_TRUE(sameBits(c[r].refX, set.refPos[sample].x));
            EXPECT_EQ(c[r].forceText, format("%.3f N", set.contactForce[sample]));
            EXPECT_EQ(c[r].sErrText, format("%.3f mm", 1000.0 * set.sErr[sample]));
            EXPECT_EQ(c[r].tText, format("%.3f s", set.time[sample]));
        }
        EXPECT_EQ(c[1].label, "pin 1");
        EXPECT_EQ(c[1].FnText, "20.000 N");
    }
    // the last sample's force as the summary's final contact force
    std::ostringstream summary;
    printSummary(mine.s, summarizeRun(mine.s, mine.set()), summary);
    const std::string line = summary.str().substr(summary.str().find("final contact force"));
    EXPECT_NE(line.find(" " + g.cursor(200)[0].forceText + "\n"), std::string::npos) << line;
    // out of range: held within the run
    EXPECT_EQ(g.cursor(-3)[0].sample, 0);
    EXPECT_EQ(g.cursor(999)[1].sample, 200);
    // not a number, and the very large
    EXPECT_EQ(studyValueText(NAN, "N"), "nan N");
    EXPECT_EQ(studyValueText(1.23456e12, "N"), "1.2346e+12 N");
    EXPECT_EQ(studyValueText(-0.0004, "mm"), "-0.400 mm");

    // in the SVG: per panel a line, a dot per line and run, the values of both
    const std::string cursor = g.cursorSvg(100);
    std::size_t panels = 0, dots = 0;
    for (std::size_t at = 0; (at = cursor.find("class=\"cursor-panel\"", at)) != std::string::npos; ++at) ++panels;
    for (std::size_t at = 0; (at = cursor.find("<circle", at)) != std::string::npos; ++at) ++dots;
    EXPECT_EQ(panels, 5u);
    EXPECT_EQ(dots, 2u * (2 + 1 + 1 + 2 + 2));
    const std::vector<StudyCursorRun> c = g.cursor(100);
    EXPECT_NE(cursor.find(">pin 1: F " + c[1].forceText + ", Fc " + c[1].springForceText + ", Fn 20.000 N</text>"),
              std::string::npos)
        << cursor;
    EXPECT_NE(cursor.find(">current run: tip " + c[0].tipXText + ", command " + c[0].refXText + "</text>"),
              std::string::npos);
    EXPECT_NE(cursor.find(">t = 4.000 s (sample 100)</text>"), std::string::npos);

    // every text at 11 px or more; the legend names both runs; an image with a name
    const std::string svg = g.svg();
    const std::regex size("font-size=\"([0-9.]+)\"");
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), size); m != std::sregex_iterator(); ++m)
        EXPECT_GE(std::stod((*m)[1]), 11.0) << (*m)[0];
    EXPECT_EQ(svg.find("<?xml"), std::string::npos);
    EXPECT_EQ(svg.compare(0, 4, "<svg"), 0);
    EXPECT_NE(svg.find("role=\"img\" aria-label=\"the study graphs"), std::string::npos);
    EXPECT_NE(svg.find(">current run</text>"), std::string::npos);
    EXPECT_NE(svg.find(">pin 1</text>"), std::string::npos);
    EXPECT_NE(svg.find("<g class=\"cursor\"></g>\n</svg>"), std::string::npos);
    // at most five runs: the current one and four others
    g.setRuns(std::vector<StudyRun>(7, drawn(mine)));
    EXPECT_EQ(g.runs().size(), studyMostRuns);
}

// The path element of a line by its data-label, "" when there is none.
std::string pathOf(const std::string& svg, const std::string& label)
{
    const std::size_t at = svg.find("data-label=\"" + label + "\"");
    if (at == std::string::npos) return "";
    const std::size_t start = svg.rfind("<path", at);
    return svg.substr(start, svg.find("/>", at) - start);
}

// Fc, the hand spring's force at the posture, beside F in the force panel:
// a dotted line of every run in its colour, its value at the cursor, and
// within the force scale where it reaches beyond F and Fn.
TEST(StudyGraphs, TheSpringsForceIsADottedLineOfEveryRunWithItsValueAtTheCursor)
{
    // soft springs: Fc reaches 18 N on the sine, F no more than 10.3 N
    const Ran soft = ran({{"KH1", "50"}, {"KH2", "50"}});
    const Ran other = ran({{"Fn", "5"}});
    const std::vector<StudyRun> runs{drawn(soft), drawn(other, "pin 1", 1)};
    StudyGraphs g;
    g.setRuns(runs);
    const PanelLayout& force = g.layout().panels.front();
    const std::string svg = g.svg();
    const int sample = 60;
    const std::vector<StudyCursorRun> c = g.cursor(sample);
    const std::string cursor = g.cursorSvg(sample);
    ASSERT_EQ(c.size(), 2u);
    double lowest = 0.0, highest = 0.0, highestF = 0.0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        SCOPED_TRACE(runs[r].label);
        const SeriesSet& set = (r == 0 ? soft : other).set();
        const std::string line = pathOf(svg, "Fc (" + runs[r].label + ")");
        ASSERT_FALSE(line.empty());
        EXPECT_NE(line.find("stroke=\"" + runs[r].colour + "\""), std::string::npos) << line;
        EXPECT_NE(line.find("stroke-dasharray=\"1 3.5\""), std::string::npos) << line;
        EXPECT_EQ(pathOf(svg, "F (" + runs[r].label + ")").find("stroke-dasharray"), std::string::npos);
        // its points where the force panel's scales put Fc
        const double fc = set.springForce[sample];
        ASSERT_TRUE(hasPosture(set, sample));
        EXPECT_NE(line.find(format("L%.1f,%.1f", force.X(set.time[sample]), force.Y(fc))), std::string::npos);
        // at the cursor: its value as the summary writes it, and a dot on its line
        EXPECT_TRUE(sameBits(c[r].springForce, fc));
        EXPECT_EQ(c[r].springForceText, format("%.3f N", fc));
        EXPECT_NE(cursor.find(format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"", force.X(set.time[sample]),
                                     force.Y(fc), runs[r].colour.c_str())),
                  std::string::npos);
        for (std::size_t i = 0; i < runs[r].springForce.size(); ++i) {
            const double f = runs[r].springForce[i];
            if (!std::isfinite(f)) continue;
            lowest = std::min(lowest, f);
            highest = std::max(highest, f);
            if (std::isfinite(runs[r].force[i])) highestF = std::max(highestF, runs[r].force[i]);
        }
    }
    EXPECT_NE(cursor.find(">current run: F " + c[0].forceText + ", Fc " + c[0].springForceText + ", Fn "),
              std::string::npos);
    EXPECT_NE(svg.find(">dotted: Fc, the force of the hand spring at the posture</text>"), std::string::npos);
    // the force scale covers every Fc, where a scale of F and Fn alone would not
    ASSERT_LT(roundScale(0.0, highestF, 6).hi, highest);
    EXPECT_LE(g.forceScale().lo, lowest);
    EXPECT_GE(g.forceScale().hi, highest);
    g.fitForceScale();
    EXPECT_GE(g.forceScale().hi, highest);
}

// A panel of rounding alone is drawn flat at 0 and says so: the tangential
// error of the default sine (about 1e-12 m); beside a run whose tangential
// error is real (the circle's 0.017 mm of method 8) the panel is its scale.
TEST(StudyGraphs, APanelOfRoundingAloneIsFlatAtZeroWithItsNote)
{
    const StudyRun sine = drawn(ran({}));
    const StudyRun circle = drawn(ran({{"contour", "C"}}), "pin 1", 1);
    double sErrMost = 0.0;
    for (double e : sine.sErr) sErrMost = std::max(sErrMost, std::fabs(e));
    ASSERT_LT(sErrMost, 1e-11);
    const std::string note = ">" + floorNote(millimetreFloor) + "</text>";

    StudyGraphs g;
    g.setRuns({sine});
    const ChartLayout& flat = g.layout();
    EXPECT_FALSE(flat.panels[0].flat);  // the forces
    EXPECT_TRUE(flat.panels[1].flat);   // sErr
    EXPECT_FALSE(flat.panels[2].flat);  // the distance: tenths of millimetres
    std::string svg = g.svg();
    EXPECT_NE(svg.find(note), std::string::npos);
    const std::string line = pathOf(svg, "sErr (current run)");
    const std::string zero = format(",%.1f", flat.panels[1].Y(0.0));
    std::size_t points = 0;
    for (std::size_t at = 0; (at = line.find_first_of("ML", at)) != std::string::npos; ++at, ++points)
        EXPECT_EQ(line.compare(line.find(',', at), zero.size(), zero), 0) << line.substr(at, 16);
    EXPECT_EQ(points, sine.time.size());
    // the cursor's dot on the flat line
    EXPECT_NE(g.cursorSvg(100).find(format("cy=\"%.1f\" r=\"3\"", flat.panels[1].Y(0.0))), std::string::npos);

    // with the circle beside it: a real range, no note
    g.setRuns({sine, circle});
    EXPECT_FALSE(g.layout().panels[1].flat);
    svg = g.svg();
    EXPECT_EQ(svg.find(note), std::string::npos);
    EXPECT_NE(pathOf(svg, "sErr (pin 1)"), "");
}

// The SVG in its parts, as the page takes it: one part per panel, each the
// panel's own <g class="panel"> element whole, the cursor's group in the
// tail, and the parts joined the SVG itself.
TEST(StudyGraphs, TheSvgsPartsAreItsPanelsOneEach)
{
    StudyGraphs g;
    g.setRuns({drawn(ran({})), drawn(ran({{"contour", "C"}}), "pin 1", 1)});
    const ChartSvgParts parts = g.svgParts();
    EXPECT_EQ(parts.joined(), g.svg());
    ASSERT_EQ(parts.panels.size(), g.chart().panels.size());
    const std::string open = "<g class=\"panel\">";
    EXPECT_EQ(parts.head.find(open), std::string::npos);
    EXPECT_EQ(parts.head.find("<?xml"), std::string::npos);
    for (const std::string& p : parts.panels) {
        EXPECT_EQ(p.rfind(open, 0), 0u) << p.substr(0, 40);
        EXPECT_EQ(p.find(open, 1), std::string::npos);
        EXPECT_EQ(p.substr(p.size() - 5), "</g>\n");
        // as many groups closed as opened: the element whole
        std::size_t opened = 0, closed = 0;
        for (std::size_t at = 0; (at = p.find("<g", at)) != std::string::npos; ++at) ++opened;
        for (std::size_t at = 0; (at = p.find("</g>", at)) != std::string::npos; ++at) ++closed;
        EXPECT_EQ(opened, closed);
    }
    EXPECT_EQ(parts.tail.rfind("<g class=\"cursor\"></g>\n", 0), 0u);
    EXPECT_EQ(parts.tail.substr(parts.tail.size() - 7), "</svg>\n");
}

}  // namespace
}  // namespace hybridsim

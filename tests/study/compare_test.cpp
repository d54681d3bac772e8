// Runs compared: the pin set, the rule that names a pin's differing
// settings, the largest differences of two runs, and --compare of the
// batch runner, its rows against each task's own summary.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <limits>
#include <string>
#include <vector>

#include "app/batch.h"
#include "study/compare.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::CsvTable;
using testing::Outcome;
using testing::runBatchHere;
using testing::studyTask;
using testing::textLines;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The default settings with some changed by name, as --set changes them.
SimSettings settingsWith(const std::vector<std::pair<std::string, std::string>>& changes)
{
    SimSettings s = testing::defaultSettings();
    for (const auto& [name, value] : changes) EXPECT_TRUE(setTaskSetting(s, name, value).ok) << name << "=" << value;
    return s;
}

TEST(Pins, AFifthPinReplacesTheOldestAndClearingStartsAfresh)
{
    PinSet pins;
    EXPECT_TRUE(pins.empty());
    auto series = std::make_unique<SeriesSet>();
    SimSettings s = testing::defaultSettings();
    // pin k has Fn = k and force k at sample 0
    for (int k = 1; k <= 6; ++k) {
        s.Fn = k;
        series->contactForce[0] = k;
        const int slot = pins.pin(s, *series);
        EXPECT_EQ(slot, k <= 4 ? k - 1 : k - 5) << k;
    }
    ASSERT_EQ(pins.size(), pinCapacity);
    // the fifth and sixth took the slots of the first two, the oldest then
    const double held[] = {5, 6, 3, 4};
    for (int slot = 0; slot < pinCapacity; ++slot) {
        const Pin& p = pins.pins()[static_cast<std::size_t>(slot)];
        EXPECT_EQ(p.slot, slot);
        EXPECT_EQ(p.settings.Fn, held[slot]);
        EXPECT_EQ(p.series.contactForce[0], held[slot]);
    }
    // the seventh replaces pin 3, now the oldest
    s.Fn = 7;
    EXPECT_EQ(pins.pin(s, *series), 2);
    // a copy: the series pinned stays when the run is computed anew
    series->contactForce[0] = -1.0;
    EXPECT_EQ(pins.pins()[2].series.contactForce[0], 6.0);
    pins.clear();
    EXPECT_TRUE(pins.empty());
    EXPECT_EQ(pins.pin(s, *series), 0);
    EXPECT_EQ(pins.pins()[0].serial, 1);
}

// A pin put in its slot, as a link gives it back: a slot taken keeps its
// first pin, and a pin lands between the slots around it, the set staying
// in slot order whatever the order the pins come in.
TEST(Pins, APinInItsSlotKeepsTheSlotOrderAndASlotTakenKeepsItsPin)
{
    PinSet pins;
    auto series = std::make_unique<SeriesSet>();
    SimSettings s = testing::defaultSettings();
    auto put = [&](double Fn, int slot) {
        s.Fn = Fn;
        return pins.pinInSlot(s, *series, slot);
    };
    auto slots = [&] {
        std::vector<std::pair<int, double>> out;
        for (const Pin& p : pins.pins()) out.emplace_back(p.slot, p.settings.Fn);
        return out;
    };
    EXPECT_TRUE(put(1, 2));
    EXPECT_FALSE(put(2, 2));  // the same slot again: refused, the first kept
    EXPECT_EQ(slots(), (std::vector<std::pair<int, double>>{{2, 1}}));
    EXPECT_TRUE(put(3, 0));
    EXPECT_TRUE(put(4, 1));   // between slots 0 and 2
    EXPECT_EQ(slots(), (std::vector<std::pair<int, double>>{{0, 3}, {1, 4}, {2, 1}}));
    EXPECT_FALSE(put(5, 1));
    EXPECT_FALSE(put(6, -1));
    EXPECT_FALSE(put(7, pinCapacity));
    EXPECT_TRUE(put(8, 3));
    EXPECT_EQ(slots(), (std::vector<std::pair<int, double>>{{0, 3}, {1, 4}, {2, 1}, {3, 8}}));
    // the newest is the one put last, so the next pin replaces the oldest put
    EXPECT_EQ(pins.pin(s, *series), 2);
}

TEST(PinLabel, DifferingSettingsNameTheirValuesAndUnitsByOneRule)
{
    using Changes = std::vector<std::pair<std::string, std::string>>;
    struct Row {
        Changes pinned;  // the pinned task: the defaults with these
        Changes now;     // the live task: the defaults with these
        const char* label;
    };
    const Row rows[] = {
        {{}, {}, "pin 1: same task as now"},
        // a number: its name, value and unit, and the live value
        {{{"Fn", "10"}}, {{"Fn", "20"}}, "pin 1: Fn = 10 N (now 20 N)"},
        {{{"KH1", "750"}}, {}, "pin 1: KH1 = 750 N/m (now 500 N/m)"},
        {{{"seterror", "0"}}, {}, "pin 1: seterror = 0 m (now 0.005 m)"},
        {{{"fn2", "30"}}, {}, "pin 1: fn2 = 30 Hz (now 20 Hz)"},
        {{{"l2", "0.6"}}, {}, "pin 1: l2 = 0.6 m (now 0.5 m)"},
        // values that differ in the last bit differ in the label too
        {{{"L", "0.6"}}, {}, "pin 1: L = 0.6 m (now 0.6000000000000001 m)"},
        // a selector by its key; the settings that belong to it are named
        // without a live value when the live task selects otherwise
        {{{"method", "7"}}, {}, "pin 1: method 7 (now 8), fn2 = 10 Hz, alpha2 = 5 1/s"},
        {{{"method", "7"}, {"fn2", "20"}}, {}, "pin 1: method 7 (now 8), alpha2 = 5 1/s"},
        {{{"robot", "a"}}, {}, "pin 1: robot a (now b)"},
        {{{"robot", "a"}, {"l", "0.6"}}, {}, "pin 1: robot a (now b), l = 0.6 m"},
        {{}, {{"robot", "a"}}, "pin 1: robot b (now a)"},
        {{{"contour", "C"}}, {}, "pin 1: contour C (now S)"},
        {{{"contour", "C"}, {"r", "0.3"}}, {}, "pin 1: contour C (now S), r = 0.3 m"},
        {{{"contour", "C"}, {"r", "0.3"}}, {{"contour", "C"}}, "pin 1: r = 0.3 m (now 0.25 m)"},
        // several, in the task file's order
        {{{"Fn", "10"}, {"KH2", "600"}, {"tf", "5"}}, {{"Fn", "20"}},
         "pin 1: KH2 = 600 N/m (now 500 N/m), tf = 5 s (now 4 s), Fn = 10 N (now 20 N)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const SimSettings pinned = settingsWith(row.pinned);
        const SimSettings now = settingsWith(row.now);
        EXPECT_EQ(pinLabel(1, settingDifferences(pinned, now), nullptr), row.label);
    }

    // a line that does not fit: the first differences that do, the rest counted
    const SimSettings pinned = settingsWith({{"KH1", "600"}, {"KH2", "600"}, {"Fn", "12"}});
    const SimSettings now = testing::defaultSettings();
    const auto d = settingDifferences(pinned, now);
    ASSERT_EQ(d.size(), 3u);
    const struct {
        std::size_t most;  // longest text that fits
        const char* label;
    } fits[] = {
        {1000, "pin 4: KH1 = 600 N/m (now 500 N/m), KH2 = 600 N/m (now 500 N/m), Fn = 12 N (now 10 N)"},
        {80, "pin 4: KH1 = 600 N/m (now 500 N/m), KH2 = 600 N/m (now 500 N/m), +1 more"},
        {60, "pin 4: KH1 = 600 N/m (now 500 N/m), +2 more"},
        {30, "pin 4: 3 settings differ"},
    };
    for (const auto& f : fits)
        EXPECT_EQ(pinLabel(4, d, [&](const std::string& t) { return t.size() <= f.most; }), f.label) << f.most;
    EXPECT_EQ(pinLabel(2, {d[0]}, [](const std::string&) { return false; }), "pin 2: 1 setting differs");
    // another word for the other task, as the batch runner's summary has it
    EXPECT_EQ(differencesText(d, "main"),
              "KH1 = 600 N/m (main 500 N/m), KH2 = 600 N/m (main 500 N/m), Fn = 12 N (main 10 N)");
    EXPECT_EQ(differencesText({}, "main"), "same task as main");
}

TEST(RunDifference, TheLargestDifferencesWithTheirFirstSampleAndTime)
{
    SimSettings s = testing::defaultSettings();  // samples 0..200
    auto ref = std::make_unique<SeriesSet>();
    for (int i = 0; i <= 200; ++i) {
        ref->time[i] = 0.04 * i;
        ref->contactForce[i] = 10.0;
        ref->tipPos[i] = {0.1 * i, 0.2};
        ref->sErr[i] = 1e-4;
    }
    // against itself: no difference, at the first sample
    RunDifference same = compareRuns(s, *ref, s, *ref);
    EXPECT_EQ(same.samples, 201);
    EXPECT_EQ(same.forceMax, 0.0);
    EXPECT_EQ(same.forceSample, 0);
    EXPECT_EQ(same.tipSample, 0);
    EXPECT_EQ(same.sErrTime, 0.0);

    auto other = std::make_unique<SeriesSet>(*ref);
    other->contactForce[37] = 12.5;   // |dF| 2.5 at sample 37 ...
    other->contactForce[90] = 7.5;    // ... and again later: the first counts
    other->contactForce[120] = 100.0; // larger, but sample 120 has no posture in `ref`
    ref->jointPos[120].phi1 = nan;
    other->tipPos[80] = {0.1 * 80 + 0.003, 0.2 - 0.004};  // 5 mm apart
    other->tipPos[81] = {nan, nan};                       // left out
    other->sErr[150] = -2e-4;                             // |d sErr| 3e-4
    other->sErr[151] = INFINITY;                          // left out
    const RunDifference d = compareRuns(s, *ref, s, *other);
    EXPECT_EQ(d.forceMax, 2.5);
    EXPECT_EQ(d.forceSample, 37);
    EXPECT_EQ(d.forceTime, ref->time[37]);
    EXPECT_TRUE(testing::near(d.tipMax, 0.005, 1e-15));
    EXPECT_EQ(d.tipSample, 80);
    EXPECT_EQ(d.sErrMax, std::fabs(-2e-4 - 1e-4));
    EXPECT_EQ(d.sErrSample, 150);
    EXPECT_EQ(d.sErrTime, ref->time[150]);

    // a run that has no posture anywhere has no force to compare
    for (int i = 0; i <= 200; ++i) other->jointPos[i].phi2 = nan;
    const RunDifference none = compareRuns(s, *ref, s, *other);
    EXPECT_TRUE(std::isnan(none.forceMax));
    EXPECT_TRUE(std::isnan(none.forceTime));
    EXPECT_EQ(none.forceSample, -1);
    // the runs are compared over the samples both record
    SimSettings shorter = s;
    shorter.nsteps = 50;
    EXPECT_EQ(compareRuns(s, *ref, shorter, *other).samples, 51);
}

// The columns of `row` of a CSV text, split at commas (no field quoted).
std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ',')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// The largest |a - b| over the samples of two CSV tables where both are
// numbers (and, for the force, where both samples have a posture), with its
// time; the batch runner's columns of a compared run.
struct Largest {
    double value = nan;
    double time = nan;
};
Largest largest(const CsvTable& a, const CsvTable& b, const std::function<double(const CsvTable&, std::size_t)>& of,
                bool needsPosture)
{
    Largest l;
    auto posture = [](const CsvTable& t, std::size_t i) {
        for (double v : t.rows[i])
            if (!std::isfinite(v)) return false;
        return true;
    };
    for (std::size_t i = 0; i < a.rows.size() && i < b.rows.size(); ++i) {
        if (needsPosture && !(posture(a, i) && posture(b, i))) continue;
        const double d = of(b, i) - of(a, i);
        const double v = std::isfinite(of(a, i)) && std::isfinite(of(b, i)) ? std::fabs(d) : nan;
        if (std::isfinite(v) && (std::isnan(l.value) || v > l.value)) l = {v, a.at(i, "t")};
    }
    return l;
}

TEST(StudyCompare, EveryRowIsItsTasksOwnSummaryRowWithItsDifferencesFromTheMainRun)
{
    const std::string circle = studyTask("circle_method7.dat");
    const std::string far = studyTask("far_circle.dat");  // robot b out of reach for a while
    const std::string line = studyTask("line_method8.dat");
    const std::vector<std::string> mainArgs = {circle, "--set", "Fn=20"};
    std::vector<std::string> args = mainArgs;
    for (const std::string& f : {circle, far, line}) args.insert(args.end(), {"--compare", f});
    args.insert(args.end(), {"--summary", "--format", "csv"});
    const Outcome r = runBatchHere(args);
    ASSERT_EQ(r.status, exitOk) << r.err;
    const std::vector<std::string> lines = textLines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0], comparedCsvHeader());

    auto own = [](std::vector<std::string> a) {
        a.insert(a.end(), {"--summary", "--format", "csv"});
        const Outcome o = runBatchHere(a);
        EXPECT_EQ(o.status, exitOk) << o.err;
        return textLines(o.out).at(1);
    };
    auto csv = [](std::vector<std::string> a) {
        a.insert(a.end(), {"--csv", "-"});
        return testing::parseCsv(runBatchHere(a).out);
    };
    const CsvTable main = csv(mainArgs);
    const std::vector<std::vector<std::string>> tasks = {mainArgs, {circle}, {far}, {line}};
    const char* names[] = {"main", circle.c_str(), far.c_str(), line.c_str()};
    for (std::size_t k = 0; k < tasks.size(); ++k) {
        SCOPED_TRACE(names[k]);
        const std::vector<std::string> row = cells(lines[k + 1]);
        ASSERT_EQ(row.size(), cells(lines[0]).size());
        EXPECT_EQ(row[0], names[k]);
        // the summary's columns: the task's own row, to the last digit
        std::string summary;
        for (std::size_t c = 1; c + 6 < row.size(); ++c) summary += (c > 1 ? "," : "") + row[c];
        EXPECT_EQ(summary, own(tasks[k]));
        const std::vector<std::string> diff(row.end() - 6, row.end());
        if (k == 0) {
            EXPECT_EQ(diff, std::vector<std::string>(6, ""));
            continue;
        }
        // the differences, from the two runs' CSV
        const CsvTable other = csv(tasks[k]);
        const Largest f = largest(main, other, [](const CsvTable& t, std::size_t i) { return t.at(i, "force"); }, true);
        const Largest s = largest(main, other, [](const CsvTable& t, std::size_t i) { return t.at(i, "s_err"); }, false);
        Largest tip;
        for (std::size_t i = 0; i < main.rows.size(); ++i) {
            const double v = std::hypot(other.at(i, "tip_x") - main.at(i, "tip_x"), other.at(i, "tip_y") - main.at(i, "tip_y"));
            if (std::isfinite(v) && (std::isnan(tip.value) || v > tip.value)) tip = {v, main.at(i, "t")};
        }
        const double expected[] = {f.value, f.time, tip.value, tip.time, s.value, s.time};
        for (int c = 0; c < 6; ++c) EXPECT_EQ(diff[c], exactNumber(expected[c])) << "column " << c;
    }
}

TEST(StudyCompare, TextBlocksPerRunEndWithTheDifferences)
{
    const std::string circle = studyTask("circle_method7.dat");
    const Outcome r = runBatchHere({"--set", "Fn=20", "--compare", circle, "--summary"});
    ASSERT_EQ(r.status, exitOk) << r.err;
    const std::string mainBlock = runBatchHere({"--set", "Fn=20", "--summary"}).out;
    const std::string circleBlock = runBatchHere({circle, "--summary"}).out;
    const std::string expectedStart = "run main: the default task, Fn=20\n" + mainBlock + "\nrun " + circle + ": " +
                                      differencesText(settingDifferences(
                                                          [&] {
                                                              SimSettings c = testing::defaultSettings();
                                                              EXPECT_TRUE(loadRobotDataFile(circle, c).ok);
                                                              return c;
                                                          }(),
                                                          settingsWith({{"Fn", "20"}})),
                                                      "main") +
                                      "\n" + circleBlock;
    ASSERT_EQ(r.out.substr(0, expectedStart.size()), expectedStart) << r.out;
    const std::vector<std::string> rest = textLines(r.out.substr(expectedStart.size()));
    ASSERT_EQ(rest.size(), 3u) << r.out;
    EXPECT_EQ(rest[0].rfind("largest |F - F of main|", 0), 0u);
    EXPECT_NE(rest[0].find(" N  at "), std::string::npos) << rest[0];
    EXPECT_EQ(rest[1].rfind("largest distance of the tip from main's tip", 0), 0u) << rest[1];
    EXPECT_NE(rest[1].find(" mm  at "), std::string::npos);
    EXPECT_EQ(rest[2].rfind("largest |sErr - sErr of main|", 0), 0u);
    EXPECT_NE(r.out.find("method 7 (main 8)"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace hybridsim

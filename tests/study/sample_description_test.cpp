// The picture in words: every figure of a sample's description is the
// run's own as the series CSV records it, in contact (under a spring
// contact; the ideal one models none) exactly when the measured force is
// above 0, the samples out of reach counted as the CSV leaves them without
// numbers, and the same figures in Japanese.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "study/sample_description.h"
#include "study/summary.h"
#include "task/series_csv.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

using testing::parseCsv;

struct Ran {
    SimSettings s;
    RunSeries run;
    testing::CsvTable csv;
    const SeriesSet& set() const { return currentSeries(run, s.type); }
};

// the default task after `settings` (by their --set names), run, with its CSV
Ran ran(const std::vector<std::pair<const char*, const char*>>& settings = {})
{
    Ran r;
    setEntryDefaults(r.s);
    setDefaults(r.s);
    for (const auto& [name, value] : settings) EXPECT_TRUE(setTaskSetting(r.s, name, value).ok) << name;
    deriveSettings(r.s);
    calcontrol(r.s, r.run);
    std::ostringstream out;
    writeSeriesCsv(r.s, r.set(), out);
    r.csv = parseCsv(out.str());
    return r;
}

// robot b with part of a circle out of reach
const std::vector<std::pair<const char*, const char*>> farCircle = {
    {"contour", "C"}, {"Ox", "0.75"}, {"Oy", "0.2"}, {"r", "0.3"}};

std::string three(double v) { return format("%.3f", v); }

// the figures the description should quote for row i of the CSV
struct Quoted {
    std::string t, force, Fn, forceErr, fromContour, fromCommand;
};
Quoted quoted(const Ran& r, int i)
{
    const auto row = static_cast<std::size_t>(i);
    const Vec2 tip{r.csv.at(row, "tip_x"), r.csv.at(row, "tip_y")};
    return {three(r.csv.at(row, "t")) + " s",
            three(r.csv.at(row, "force")) + " N",
            three(r.s.Fn) + " N",
            three(r.csv.at(row, "force_err")) + " N",
            three(1000.0 * distanceToContour(r.s, tip)) + " mm",
            three(1000.0 * std::hypot(r.csv.at(row, "err_x"), r.csv.at(row, "err_y"))) + " mm"};
}

bool says(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// a spring contact on a fast sine with a lagging servo: the probe leaves the surface at times
const std::vector<std::pair<const char*, const char*>> losingContact = {
    {"contact", "spring"}, {"tf", "0.5"}, {"servo", "0.1"}};

TEST(SampleDescription, FiguresAndContactAreTheCsvsAtEverySample)
{
    for (const bool spring : {false, true}) {
        const Ran r = spring ? ran(losingContact) : ran();
        const int last = lastSample(r.s);
        int inContact = 0, notInContact = 0;
        for (int i = 0; i <= last; ++i) {
            SCOPED_TRACE(::testing::Message() << (spring ? "spring" : "ideal") << " sample " << i);
            const std::string text = describeSample(r.s, r.set(), i, -1, NoticeLanguage::english);
            const Quoted q = quoted(r, i);
            EXPECT_TRUE(says(text, format("t = %s, sample %d / %d.", q.t.c_str(), i, last))) << text;
            EXPECT_TRUE(says(text, "F = " + q.force + " against Fn = " + q.Fn + " (F − Fn = " + q.forceErr + ")"))
                << text;
            EXPECT_TRUE(says(text, "tip is " + q.fromContour + " from the workpiece contour and " + q.fromCommand +
                                       " from the command point"))
                << text;
            if (spring) {
                // in contact exactly where the measured force is above 0
                const bool contact = r.csv.at(static_cast<std::size_t>(i), "force") > 0.0;
                EXPECT_EQ(says(text, "In contact (F > 0): the measured force"), contact) << text;
                EXPECT_EQ(says(text, "Not in contact (F ≤ 0): the measured force"), !contact) << text;
                (contact ? inContact : notInContact) += 1;
            } else {
                // the ideal contact models none: F is the loop's state, never read as a contact
                EXPECT_FALSE(says(text, "contact (F")) << text;
                EXPECT_TRUE(says(text, "no contact is modelled")) << text;
            }
            EXPECT_TRUE(says(text, "No point is out of reach.")) << text;
        }
        if (spring) {
            EXPECT_GT(inContact, 0);
            EXPECT_GT(notInContact, 0);
        }
        // a sample beyond the run is its last
        EXPECT_EQ(describeSample(r.s, r.set(), last + 50, -1, NoticeLanguage::english),
                  describeSample(r.s, r.set(), last, -1, NoticeLanguage::english));
    }
}

TEST(SampleDescription, SamplesOutOfReachAreCountedAndTheOneShownNamed)
{
    const Ran r = ran(farCircle);
    const int last = lastSample(r.s);
    int noPosture = 0, firstWithout = -1, firstWith = -1;
    for (int i = 0; i <= last; ++i) {
        if (std::isnan(r.csv.at(static_cast<std::size_t>(i), "joint1"))) {
            ++noPosture;
            if (firstWithout < 0) firstWithout = i;
        } else if (firstWith < 0) {
            firstWith = i;
        }
    }
    ASSERT_GT(noPosture, 1);
    ASSERT_GE(firstWith, 0);
    ASSERT_GE(firstWithout, 0);
    EXPECT_EQ(unreachableSampleCount(r.s, r.set(), -1), noPosture);
    const std::string count = format("%d of the %d samples have no posture", noPosture, last + 1);

    const std::string without = describeSample(r.s, r.set(), firstWithout, -1, NoticeLanguage::english);
    EXPECT_TRUE(says(without, "The robot has no posture at this sample")) << without;
    EXPECT_FALSE(says(without, "F =")) << without;
    EXPECT_TRUE(says(without, count)) << without;
    EXPECT_TRUE(says(without, "This sample is one of them.")) << without;

    const std::string with = describeSample(r.s, r.set(), firstWith, -1, NoticeLanguage::english);
    const Quoted q = quoted(r, firstWith);
    EXPECT_TRUE(says(with, "F = " + q.force)) << with;
    EXPECT_TRUE(says(with, count)) << with;
    EXPECT_TRUE(says(with, "This sample is not one of them.")) << with;

    // from a fault on, a sample without numbers is the fault's, not out of reach
    const std::string faulted = describeSample(r.s, r.set(), firstWithout, firstWithout, NoticeLanguage::english);
    EXPECT_TRUE(says(faulted, "not-a-number (NaN)")) << faulted;
    EXPECT_FALSE(says(faulted, "one of them.") && !says(faulted, "not one of them.")) << faulted;
    EXPECT_EQ(unreachableSampleCount(r.s, r.set(), firstWithout), 0);
}

TEST(SampleDescription, JapaneseQuotesTheSameFigures)
{
    const Ran r = ran(losingContact);
    const int last = lastSample(r.s);
    for (int i : {0, last / 2, last}) {
        SCOPED_TRACE(::testing::Message() << "sample " << i);
        const std::string text = describeSample(r.s, r.set(), i, -1, NoticeLanguage::japanese);
        const Quoted q = quoted(r, i);
        EXPECT_TRUE(says(text, format("t = %s（サンプル %d / %d）", q.t.c_str(), i, last))) << text;
        EXPECT_TRUE(says(text, "F = " + q.force + "、Fn = " + q.Fn + "（F − Fn = " + q.forceErr + "）")) << text;
        EXPECT_TRUE(says(text, "輪郭から " + q.fromContour + "、指令点から " + q.fromCommand)) << text;
        const bool contact = r.csv.at(static_cast<std::size_t>(i), "force") > 0.0;
        EXPECT_EQ(says(text, "接触しています"), contact) << text;
        EXPECT_EQ(says(text, "接触していません"), !contact) << text;
        EXPECT_FALSE(says(text, "In contact")) << text;
    }
    // out of reach: counted, and whether the sample shown is one of them
    const Ran far = ran(farCircle);
    const std::string count = format("%d サンプルのうち %d サンプルは", lastSample(far.s) + 1,
                                     unreachableSampleCount(far.s, far.set(), -1));
    int without = 0;
    while (hasPosture(far.set(), without)) ++without;
    const std::string one = describeSample(far.s, far.set(), without, -1, NoticeLanguage::japanese);
    EXPECT_TRUE(says(one, count)) << one;
    EXPECT_TRUE(says(one, "このサンプルではロボットの姿勢がありません。")) << one;
    EXPECT_TRUE(says(one, "このサンプルはその一つです。")) << one;
    const std::string other = describeSample(far.s, far.set(), 100, -1, NoticeLanguage::japanese);
    ASSERT_TRUE(hasPosture(far.set(), 100));
    EXPECT_TRUE(says(other, "このサンプルはその一つではありません。")) << other;
}

}  // namespace
}  // namespace hybridsim

// The built-in lessons (their file's form: lesson_file_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/batch.h"
#include "tests/support/study_support.h"

#include "sim/derivation.h"
#include "sim/run.h"
#include "study/goals.h"
#include "study/lessons.h"
#include "study/loop_poles.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// What each lesson's settings, pins and goals mean: the program's own
// readers take every one, and a lesson that opens is the run of its --set.
TEST(Lessons, TheBuiltInLessonsAreAllRead)
{
    EXPECT_GE(builtInLessons().size(), 5u);
    for (const Lesson& l : builtInLessons()) {
        LinkState state;
        std::string error;
        EXPECT_TRUE(lessonState(l, "en", state, error)) << l.title[0] << ": " << error;
        EXPECT_EQ(state.goals.size(), l.goals.size());
    }
}

// Whether every goal passes on the run of the default task with `items`.
bool goalsPass(const std::vector<std::string>& items, const std::vector<std::string>& goals)
{
    SimSettings s = linkDefaultTask();
    for (const std::string& item : items) {
        const std::size_t eq = item.find('=');
        EXPECT_TRUE(setTaskSetting(s, item.substr(0, eq), item.substr(eq + 1)).ok) << item;
    }
    deriveSettings(s);
    RunSeries run;
    calcontrol(s, run);
    const RunSummary summary = summarizeRun(s, currentSeries(run, s.type));
    bool all = true;
    for (const std::string& text : goals) {
        Goal g;
        std::string error;
        EXPECT_TRUE(parseGoal(text, g, error)) << error;
        all = all && checkGoal(g, summary).pass;
    }
    return all;
}

// What each text promises of its goals: a lesson with a fix fails them as
// it opens and passes them with the fix; one without passes them as it opens.
TEST(Lessons, TheGoalsFailUntilTheTextsFix)
{
    for (const Lesson& l : builtInLessons()) {
        if (l.goals.empty()) continue;
        SCOPED_TRACE(l.title[0]);
        EXPECT_EQ(goalsPass(l.set, l.goals), l.fix.empty());
        if (l.fix.empty()) continue;
        std::vector<std::string> fixed = l.set;
        fixed.insert(fixed.end(), l.fix.begin(), l.fix.end());
        EXPECT_TRUE(goalsPass(fixed, l.goals));
    }
}

// The figures of the default task with `items`, by the summary's CSV columns.
testing::CsvTable figuresOf(const std::vector<std::string>& items)
{
    std::vector<std::string> args;
    for (const std::string& item : items) args.insert(args.end(), {"--set", item});
    args.insert(args.end(), {"--summary", "--format", "csv"});
    const testing::Outcome r = testing::runBatchHere(args);
    EXPECT_EQ(r.status, exitOk) << r.err;
    return testing::parseCsv(r.out);
}

// Every lesson is shown with each placeholder filled in from its runs, in
// both languages, and the two languages quote the same figures.
TEST(Lessons, EveryTextIsFilledInFromItsRunsInBothLanguages)
{
    EXPECT_GE(builtInLessons().size(), 8u);
    const std::regex placeholder("\\{[^}]*\\}");
    for (const Lesson& l : builtInLessons()) {
        SCOPED_TRACE(l.title[0]);
        for (const char* language : {"en", "ja"}) {
            LessonCard card;
            std::string error;
            ASSERT_TRUE(lessonCard(l, language, card, error)) << language << ": " << error;
            EXPECT_EQ(card.text.find_first_of("{}"), std::string::npos) << card.text;
            EXPECT_EQ(card.hint.find_first_of("{}"), std::string::npos) << card.hint;
            EXPECT_FALSE(card.text.empty());
        }
        // the same placeholders, in the same order
        for (const std::string* part : {l.text, l.hint}) {
            auto all = [&](const std::string& text) {
                std::vector<std::string> found;
                for (std::sregex_iterator m(text.begin(), text.end(), placeholder), end; m != end; ++m)
                    found.push_back(m->str());
                return found;
            };
            EXPECT_EQ(all(part[0]), all(part[1]));
        }
        // one word for a run in the Japanese texts
        EXPECT_EQ(l.text[1].find("走行"), std::string::npos);
        EXPECT_EQ(l.hint[1].find("走行"), std::string::npos);
    }
}

// No figure is typed into a text: every number in it is a placeholder, a
// value of a setting the lesson makes (in the unit shown: the setting
// error in mm), a goal's value (in the page's unit), a name (method 7,
// pin 2, fn2) or a constant of the equations shown.
TEST(Lessons, ATextHoldsNoNumberThatIsNotAPlaceholder)
{
    // the equations' own constants and the summary's definitions, as the texts write them
    const char* const formulas[] = {"(s² + 2ζωn·s + ωn²)(s + α)", "Kv·s² + (Kp − 1)·s + Ki", "Kp − 1", "ωn² − 1",
                                    "1 rad/s", "1/(2π)", "−ωn2/2", "−ωn/2", "2/ωn2", "1/α2", "1/s",
                                    // the contact lab's loop: its sampled pole and bound, k in series
                                    "Kp2 − 1", "1 − T", "1 − r T", "2 Kv2/", "reaches −1", "−1 に達し", "1/(1/KH1 + 1/KW)",
                                    // and the summary's definitions
                                    "within 5 % of Fn", "Fn の 5 % 以内"};
    // (byte-wise: the Greek names spelt out, not as a range of characters)
    const std::regex names("(method|pin|system|lesson|方法|ピン|制御系|レッスン) ?[0-9]|(α|ωn|[A-Za-z_]+)[0-9]+");
    const std::regex number("[0-9]+(\\.[0-9]+)?");
    for (const Lesson& l : builtInLessons()) {
        SCOPED_TRACE(l.title[0]);
        // the values the lesson sets and asks for, as they may be written
        std::set<double> allowed;
        std::vector<std::string> items = l.set;
        for (const auto& pin : l.pins) items.insert(items.end(), pin.begin(), pin.end());
        items.insert(items.end(), l.fix.begin(), l.fix.end());
        for (const std::string& item : items) {
            const std::string name = item.substr(0, item.find('='));
            double v = 0;
            if (!parseDouble(item.substr(item.find('=') + 1), v)) continue;
            allowed.insert(v);
            if (name == "seterror") allowed.insert(1000.0 * v);
        }
        for (const std::string& text : l.goals) {
            Goal g;
            std::string error;
            ASSERT_TRUE(parseGoal(text, g, error));
            allowed.insert(g.value);
            if (const SummaryFigure* f = summaryFigure(g.name)) allowed.insert(g.value * f->factor);
        }
        for (int k = 0; k < 2; ++k)
            for (std::string text : {l.text[k], l.hint[k]}) {
                text = std::regex_replace(text, std::regex("\\{[^}]*\\}"), " ");
                for (const char* f : formulas)
                    for (std::size_t at; (at = text.find(f)) != std::string::npos;) text.replace(at, std::strlen(f), " ");
                text = std::regex_replace(text, names, " ");
                for (std::sregex_iterator m(text.begin(), text.end(), number), end; m != end; ++m) {
                    double v = 0;
                    ASSERT_TRUE(parseDouble(m->str(), v));
                    bool known = false;
                    for (double a : allowed) known = known || std::fabs(a - v) <= 1e-12 * std::fabs(a);
                    EXPECT_TRUE(known) << "a bare number " << m->str() << " in: " << text;
                }
            }
    }
}

// A lesson's pin is the built-in default task with the pin's own settings,
// not the lesson's task with them: a pin that sets fewer settings than the
// lesson has the defaults of the others, in the link and in the text alike.
// The sample shown may be the run's last, not one after it.
TEST(Lessons, APinIsTheDefaultTaskWithItsOwnSettingsAndTheSampleLiesInTheRun)
{
    Lesson l;
    l.title[0] = l.title[1] = "t";
    l.text[0] = l.text[1] = "{Fn} {KH1} {pin1.Fn} {pin1.KH1}";
    l.set = {"Fn=5"};
    l.pins = {{"KH1=5000"}};
    l.frame = 200;
    LinkState state;
    std::string error;
    ASSERT_TRUE(lessonState(l, "en", state, error)) << error;
    SimSettings pin = linkDefaultTask();
    ASSERT_TRUE(setTaskSetting(pin, "KH1", "5000").ok);
    deriveSettings(pin);
    ASSERT_EQ(state.pins.size(), 1u);
    EXPECT_EQ(robotDataText(state.pins[0].task), robotDataText(pin));
    EXPECT_EQ(state.task.Fn, 5.0);
    LessonCard card;
    ASSERT_TRUE(lessonCard(l, "en", card, error)) << error;
    const std::string nbsp = "\u00a0";
    EXPECT_EQ(card.text, "5" + nbsp + "N 500" + nbsp + "N/m 10" + nbsp + "N 5000" + nbsp + "N/m");
    // the last sample opens as the lesson's, in the link too
    EXPECT_EQ(state.frame, 200);
    EXPECT_EQ(readLinkFragment(linkFragment(state)).state.frame, 200);
    // one after it: refused in the reader's words
    l.frame = 201;
    EXPECT_FALSE(lessonState(l, "en", state, error));
    EXPECT_EQ(error, "\"frame\" 201 is after the last sample, 200");
}

// The placeholders: each run, figure, setting and pole set; digits and
// decimals; a figure that does not exist; and every kind of mistake named.
TEST(Lessons, PlaceholdersQuoteTheirRunsInThePagesUnits)
{
    Lesson l;
    l.title[0] = l.title[1] = "t";
    l.set = {"alpha2=0"};
    l.pins = {{"fn2=40"}};
    l.fix = {"fn2=10"};
    auto card = [&](const std::string& text, const char* language = "en") {
        l.text[0] = l.text[1] = text;
        LessonCard c;
        std::string error;
        const bool ok = lessonCard(l, language, c, error);
        return ok ? c.text : "error: " + error;
    };
    const std::string nbsp = "\u00a0";
    EXPECT_EQ(card("{overshoot_pct}"), "0" + nbsp + "%");
    EXPECT_EQ(card("{nan_samples}"), "0");
    EXPECT_EQ(card("{pin1.fn2} {fix.fn2:2} {alpha2}"), "40" + nbsp + "Hz 10" + nbsp + "Hz 0" + nbsp + "1/s");
    EXPECT_EQ(card("{pin1.force_peak_N:4}"), "10.14" + nbsp + "N");
    EXPECT_EQ(card("{final_force_err_N:3f}"), "0.000" + nbsp + "N");
    EXPECT_EQ(card("{seterror} {pos_err_max_m}"), "5" + nbsp + "mm 3.84" + nbsp + "mm");
    EXPECT_EQ(card("{pin1.poles_force_designed}"), "-251 (twice) and -2.00" + nbsp + "1/s");
    EXPECT_EQ(card("{force_peak_t_s}"), "none");
    EXPECT_EQ(card("{force_peak_t_s}", "ja"), "なし");
    EXPECT_EQ(card("{pin1.poles_force_designed}", "ja"), "-251（重根） と -2.00" + nbsp + "1/s");
    // a figure of thousands is written out, one of rounding is 0
    l.set = {"Fn=1234.5", "KH1=1e6", "KH2=1e6"};
    EXPECT_EQ(card("{final_force_N}"), "1235" + nbsp + "N");
    l.set = {"fn1=50"};
    EXPECT_EQ(card("{s_err_max_m}"), "0" + nbsp + "mm");
    // the mistakes
    EXPECT_EQ(card("{pin2.fn2}"), "error: {pin2.fn2}: the lesson has no pin2");
    EXPECT_EQ(card("{run.fn2}"), "error: {run.fn2}: no run named 'run' (pin1 to pin4, fix)");
    EXPECT_EQ(card("{overshoot}"), "error: {overshoot}: no figure, setting or poles named 'overshoot'");
    EXPECT_EQ(card("{fn2:7}"), "error: {fn2:7}: after ':' 1 to 6 significant digits, or 0f to 6f decimals");
    EXPECT_EQ(card("a {fn2"), "error: a '{' without its '}'");
    l.fix.clear();
    EXPECT_EQ(card("{fix.fn2}"), "error: {fix.fn2}: the lesson has no fix");
    // a contour's own numbers: the sine's tf, not the line's
    l.set = {"tf=0.5"};
    EXPECT_EQ(card("{tf} {x0}"), "0.5" + nbsp + "s 0.2" + nbsp + "m");
    l.set = {"contour=L", "x0=0.25"};
    EXPECT_EQ(card("{tf} {x0}"), "4" + nbsp + "s 0.25" + nbsp + "m");
    // the contact lab's figures: on a line r = KW / (KW + KH1) = 1/2 here, 1 on
    // a rigid workpiece; k unknown with unequal hand springs; a pole only for
    // a sampled loop
    l.set = {"contact=spring", "contour=L", "KW=500", "period=0.03"};
    l.pins = {{"contact=spring", "contour=L", "KH1=400"}, {"contact=spring", "contour=L"}};
    EXPECT_EQ(card("{contact_stiffness} {contact_ratio} {poles_force_model}"),
              "250" + nbsp + "N/m 0.500 -30.1 and -2.07" + nbsp + "1/s");
    EXPECT_EQ(card("{period_limit} {period_poles}"), "0.0622" + nbsp + "s 0.940 and 0.0674");
    EXPECT_EQ(card("{pin1.contact_stiffness} {pin1.period_poles}"), "none none");
    EXPECT_EQ(card("{pin2.contact_ratio} {pin2.period_limit} {pin2.poles_force_model}"),
              "1.00 0.0311" + nbsp + "s -62.3 and -2.00" + nbsp + "1/s");
    // the largest force command: the force itself on the ideal contact
    l.set = {"contact=spring", "tf=0.5", "servo=0.1"};
    EXPECT_EQ(card("{force_cmd_max_N}"), "90.1" + nbsp + "N");
    l.set = {};
    EXPECT_EQ(card("{force_cmd_max_N:4}"), "10.26" + nbsp + "N");
}

// What each lesson says happens, happens: the relations its text states,
// checked on the runs it describes (the figures themselves are filled in).
TEST(Lessons, EachTextIsTrueOfItsRuns)
{
    const std::vector<Lesson>& all = builtInLessons();
    ASSERT_GE(all.size(), 9u);
    auto live = [&](std::size_t n) { return figuresOf(all[n].set); };
    auto pin = [&](std::size_t n, std::size_t k) { return figuresOf(all[n].pins[k]); };
    auto fixed = [&](std::size_t n) {
        std::vector<std::string> items = all[n].set;
        items.insert(items.end(), all[n].fix.begin(), all[n].fix.end());
        return figuresOf(items);
    };
    {
        // 1: equal gains, equal forces; the setting error moves only method 7's command point
        ASSERT_EQ(all[0].title[0], "Method 7 against method 8 at equal gains");
        const auto m7 = live(0), m8 = pin(0, 0), m7still = fixed(0);
        // (the methods' sub-steps differ a little: the same loop, integrated on other steps)
        EXPECT_NEAR(m7.at(0, "overshoot_pct"), m8.at(0, "overshoot_pct"), 1e-3);
        EXPECT_GT(m7.at(0, "pos_err_max_m"), 2.0 * m8.at(0, "pos_err_max_m"));
        EXPECT_NEAR(m7.at(0, "contour_dist_max_m"), m8.at(0, "contour_dist_max_m"), 1e-5);
        EXPECT_NEAR(m7.at(0, "contour_dist_max_m"), m7still.at(0, "contour_dist_max_m"), 1e-12);
    }
    {
        // 2: the same F; the spring's own force strays from it, far more for the soft hand
        ASSERT_EQ(all[1].title[0], "A soft hand: deflection and the spring's own force");
        const auto soft = live(1), stiff = pin(1, 0);
        for (const char* f : {"overshoot_pct", "settling_t_s", "final_force_N"}) EXPECT_EQ(soft.at(0, f), stiff.at(0, f));
        EXPECT_GT(soft.at(0, "spring_force_diff_max_N"), 10.0 * stiff.at(0, "spring_force_diff_max_N"));
        EXPECT_LT(soft.at(0, "spring_force_min_N"), 10.0);
        EXPECT_GT(soft.at(0, "spring_force_max_N"), 10.0);
    }
    {
        // 3: PD no overshoot, reaches Fn; PID overshoots and settles later
        ASSERT_EQ(all[2].title[0], "PD against PID: the integral pays back its area");
        const auto pd = live(2), pid = pin(2, 0);
        EXPECT_EQ(pd.at(0, "overshoot_pct"), 0.0);
        EXPECT_GT(pid.at(0, "overshoot_pct"), 1.0);
        EXPECT_LT(pd.at(0, "settling_t_s"), pid.at(0, "settling_t_s"));
        EXPECT_LT(std::fabs(pd.at(0, "final_force_err_N")), 5e-4);
    }
    {
        // 4: the overshoot and the settling time fall as fn2 rises
        ASSERT_EQ(all[3].title[0], "A slow force loop gathers more area");
        const auto f5 = live(3), f10 = pin(3, 0), f40 = pin(3, 1);
        EXPECT_GT(f5.at(0, "overshoot_pct"), f10.at(0, "overshoot_pct"));
        EXPECT_GT(f10.at(0, "overshoot_pct"), f40.at(0, "overshoot_pct"));
        EXPECT_GT(f5.at(0, "settling_t_s"), f10.at(0, "settling_t_s"));
        EXPECT_GT(f10.at(0, "settling_t_s"), f40.at(0, "settling_t_s"));
    }
    {
        // 5: samples without a posture, and no step to read
        ASSERT_EQ(all[4].title[0], "Robot b loses a far circle");
        const auto far = live(4);
        EXPECT_GT(far.at(0, "nan_samples"), 0.0);
        EXPECT_TRUE(std::isnan(far.at(0, "force_rise_t_s")));
    }
    {
        // 6: one ratio alpha2 / wn2, one overshoot; a larger ratio, more
        ASSERT_EQ(all[5].title[0], "What sets the overshoot: α2 against ωn2");
        const double a = pin(5, 0).at(0, "overshoot_pct");
        EXPECT_NEAR(pin(5, 1).at(0, "overshoot_pct"), a, 0.01);
        EXPECT_NEAR(pin(5, 2).at(0, "overshoot_pct"), a, 0.01);
        EXPECT_GT(live(5).at(0, "overshoot_pct"), 2.0 * a);
        EXPECT_NEAR(fixed(5).at(0, "overshoot_pct"), a, 0.01);
    }
    {
        // 7: sErr is rounding whatever fn1
        ASSERT_EQ(all[6].title[0], "Feed-forward tracks, feedback idles");
        EXPECT_LT(live(6).at(0, "s_err_max_m"), 1e-8);
        EXPECT_LT(pin(6, 0).at(0, "s_err_max_m"), 1e-8);
        // "any fn1 from 0.5 to 50 Hz and any alpha1 from 0 to 50 1/s"
        const testing::Outcome grid = testing::runBatchHere(
            {"--sweep", "fn1=0.5,1,5,20,50", "--sweep", "alpha1=0,5,50", "--require", "s_err_max_m < 1e-6"});
        EXPECT_EQ(grid.out.find("s_err_max_m ="), std::string::npos) << grid.out;
        // and below 1/(2 pi) Hz without alpha1 the loop is unstable: the error grows
        EXPECT_GT(figuresOf({"fn1=0.05"}).at(0, "s_err_max_m"), 1e-6);
    }
    {
        // 8: the model's force runs away below 1/(2 pi) Hz with alpha2 = 0, not above
        ASSERT_EQ(all[7].title[0], "The model against the design");
        EXPECT_LT(live(7).at(0, "final_force_N"), 0.0);
        EXPECT_GT(pin(7, 0).at(0, "final_force_N"), 9.5);
        SimSettings s = linkDefaultTask();
        ASSERT_TRUE(setTaskSetting(s, "alpha2", "0").ok);
        ASSERT_TRUE(setTaskSetting(s, "fn2", "0.15").ok);
        deriveSettings(s);
        const LoopPoles force = loopPoles(s)[1];
        EXPECT_GT(std::max(force.model[0].re, force.model[1].re), 0.0);
        EXPECT_LT(force.designed[0].re, 0.0);
    }
    {
        // 9: on the line the whole |posErr| lies along the normal, for 5 and 20 mm; on the sine not
        ASSERT_EQ(all[8].title[0], "An offset along the force direction costs nothing");
        const auto line5 = live(8), line20 = pin(8, 0), sine = pin(8, 1);
        EXPECT_NEAR(line5.at(0, "pos_err_norm_max_m"), 0.005, 1e-9);
        EXPECT_NEAR(line20.at(0, "pos_err_norm_max_m"), 0.02, 1e-9);
        EXPECT_LT(line20.at(0, "pos_err_tan_max_m"), 1e-6);
        EXPECT_LT(line5.at(0, "contour_dist_max_m"), 1e-9);
        EXPECT_GT(sine.at(0, "pos_err_tan_max_m"), 0.001);
        EXPECT_EQ(line5.at(0, "overshoot_pct"), figuresOf({"method=7", "contour=L"}).at(0, "overshoot_pct"));
    }
}

// The samples of the default task with `items`, by the CSV's columns.
testing::CsvTable seriesOf(const std::vector<std::string>& items)
{
    std::vector<std::string> args;
    for (const std::string& item : items) args.insert(args.end(), {"--set", item});
    args.insert(args.end(), {"--csv", "-"});
    const testing::Outcome r = testing::runBatchHere(args);
    EXPECT_EQ(r.status, exitOk) << r.err;
    return testing::parseCsv(r.out);
}

// The contact lab's lessons: what each text says of its runs, on their
// summaries and, where the text speaks of the force command or of single
// samples, on their series.
TEST(Lessons, TheContactLessonsAreTrueOfTheirRuns)
{
    const std::vector<Lesson>& all = builtInLessons();
    ASSERT_GE(all.size(), 13u);
    auto with = [](std::vector<std::string> items, const std::vector<std::string>& more) {
        items.insert(items.end(), more.begin(), more.end());
        return items;
    };
    const double Fn = 10.0;
    {
        // 10: 1 ms is the continuous loop; 30 ms rings, loses contact and settles late; 40 ms never settles
        const Lesson& l = all[9];
        ASSERT_EQ(l.title[0], "The control period: a force loop that reads the force now and then");
        const auto t40 = figuresOf(l.set), t1 = figuresOf(l.pins[0]), t30 = figuresOf(l.pins[1]),
                   continuous = figuresOf(l.pins[2]);
        const auto s1 = seriesOf(l.pins[0]), s0 = seriesOf(l.pins[2]);
        ASSERT_EQ(s1.rows.size(), s0.rows.size());
        double apart = 0.0;
        for (std::size_t i = 0; i < s0.rows.size(); ++i)
            apart = std::max(apart, std::fabs(s1.at(i, "force") - s0.at(i, "force")));
        EXPECT_LT(apart, 0.01 * Fn);
        EXPECT_NEAR(t1.at(0, "overshoot_pct"), continuous.at(0, "overshoot_pct"), 0.05);
        EXPECT_NEAR(t1.at(0, "settling_t_s"), continuous.at(0, "settling_t_s"), 0.005);
        EXPECT_EQ(t1.at(0, "off_surface_samples"), 0.0);
        // 30 ms: inside the bound, off the surface at times, settled many times later
        EXPECT_GT(t30.at(0, "off_surface_samples"), 0.0);
        EXPECT_GT(t30.at(0, "settling_t_s"), 5.0 * continuous.at(0, "settling_t_s"));
        EXPECT_NEAR(t30.at(0, "final_force_N"), Fn, 1e-3);
        // 40 ms: never settled, swinging between 0 and far above Fn to the end
        EXPECT_TRUE(std::isnan(t40.at(0, "settling_t_s")));
        EXPECT_GT(t40.at(0, "force_max_N"), 2.0 * Fn);
        const auto s40 = seriesOf(l.set);
        double lateMax = 0.0, lateMin = Fn;
        for (std::size_t i = s40.rows.size() / 2; i < s40.rows.size(); ++i) {
            lateMax = std::max(lateMax, s40.at(i, "force"));
            lateMin = std::min(lateMin, s40.at(i, "force"));
        }
        EXPECT_EQ(lateMin, 0.0);
        EXPECT_GT(lateMax, 2.0 * Fn);
        // the bound the text derives lies between the runs, and the samples are further apart than 30 ms
        SimSettings s = linkDefaultTask();
        deriveSettings(s);
        const double bound = 2.0 * s.Kv2 / (s.Kp2 - 1.0);
        EXPECT_GT(bound, 0.03);
        EXPECT_LT(bound, 0.04);
        EXPECT_GT(s0.at(1, "t"), 0.03);
    }
    {
        // 11: a softer workpiece, slower fast pole by about r, more overshoot, later settling; Fm = r F
        const Lesson& l = all[10];
        ASSERT_EQ(l.title[0], "A soft workpiece slows the force loop");
        const auto soft = figuresOf(l.set), firmer = figuresOf(l.pins[0]), rigid = figuresOf(l.pins[1]);
        EXPECT_GT(soft.at(0, "overshoot_pct"), firmer.at(0, "overshoot_pct"));
        EXPECT_GT(firmer.at(0, "overshoot_pct"), rigid.at(0, "overshoot_pct"));
        EXPECT_GT(soft.at(0, "settling_t_s"), firmer.at(0, "settling_t_s"));
        EXPECT_GT(firmer.at(0, "settling_t_s"), rigid.at(0, "settling_t_s"));
        const auto softRun = seriesOf(l.set), rigidRun = seriesOf(l.pins[1]);
        // the force rises more slowly
        EXPECT_LT(softRun.at(1, "force"), rigidRun.at(1, "force") - 0.1 * Fn);
        // the measured force is r times the command on the line, the command ends at Fn / r
        const double KW = 500.0, KH = 500.0, r = KW / (KW + KH);
        for (std::size_t i = 1; i < softRun.rows.size(); i += 20)
            EXPECT_NEAR(softRun.at(i, "force"), r * softRun.at(i, "force_cmd"), 1e-9) << i;
        EXPECT_NEAR(soft.at(0, "final_force_N"), Fn, 1e-3);
        EXPECT_NEAR(softRun.at(softRun.rows.size() - 1, "force_cmd"), Fn / r, 1e-3);
        // the fast pole by about r (within 5 %), the slow one within 5 % of -alpha2
        SimSettings s = linkDefaultTask();
        deriveSettings(s);
        const std::vector<Pole> stiff = quadraticRoots(s.Kv2, s.Kp2 - 1.0, s.Ki2);
        const std::vector<Pole> slow = quadraticRoots(s.Kv2, r * (s.Kp2 - 1.0), r * s.Ki2);
        EXPECT_NEAR(slow[0].re / stiff[0].re, r, 0.05 * r);
        EXPECT_NEAR(slow[1].re, -s.alpha2, 0.05 * s.alpha2);
    }
    {
        // 12: method 7's force is the command plus k e; the loop brings it to Fn, integral or not;
        // method 8's force does not see the setting error
        const Lesson& l = all[11];
        ASSERT_EQ(l.title[0], "Method 7's setting error as a force disturbance");
        const double k = 500.0;
        const auto m7 = figuresOf(l.set), m8 = figuresOf(l.pins[0]), pd = figuresOf(l.pins[2]);
        const auto short7 = seriesOf(l.set), deep7 = seriesOf(l.pins[1]);
        const double e = -0.005;
        for (std::size_t i = 0; i < short7.rows.size(); ++i)
            if (short7.at(i, "force") > 0.0) {
                EXPECT_NEAR(short7.at(i, "force"), short7.at(i, "force_cmd") + k * e, 1e-9) << i;
            }
        EXPECT_NEAR(short7.at(short7.rows.size() - 1, "force_cmd"), Fn - k * e, 1e-3);
        EXPECT_NEAR(deep7.at(0, "force"), -k * e, 1e-9);
        EXPECT_EQ(deep7.at(0, "force_cmd"), 0.0);
        EXPECT_NEAR(m7.at(0, "final_force_N"), Fn, 1e-3);
        EXPECT_NEAR(pd.at(0, "final_force_N"), Fn, 1e-3);
        EXPECT_GT(m7.at(0, "overshoot_pct"), m8.at(0, "overshoot_pct"));
        EXPECT_GT(m7.at(0, "settling_t_s"), m8.at(0, "settling_t_s"));
        EXPECT_LT(figuresOf(l.pins[1]).at(0, "settling_t_s"), m8.at(0, "settling_t_s"));
        // method 8: the same force with and without the setting error
        const auto off8 = seriesOf(l.pins[0]), none8 = seriesOf(with(l.pins[0], {"seterror=0"}));
        for (std::size_t i = 0; i < off8.rows.size(); ++i) EXPECT_EQ(off8.at(i, "force"), none8.at(i, "force")) << i;
    }
    {
        // 13: the force climbs before the crest and the command goes below 0; the probe leaves
        // between crest and trough; off the surface the command climbs, peaking as the probe
        // touches again, and the force's largest value comes after that
        const Lesson& l = all[12];
        ASSERT_EQ(l.title[0], "Losing contact: a lagging servo on a fast sine");
        const auto run = seriesOf(l.set);
        const auto lagging = figuresOf(l.set), still = figuresOf(l.pins[0]), less = figuresOf(l.pins[1]);
        SimSettings s = linkDefaultTask();
        const double crest = s.sineX0 + s.sineL / 4.0, trough = s.sineX0 + 3.0 * s.sineL / 4.0;
        const std::size_t lost = static_cast<std::size_t>(std::lround(lagging.at(0, "contact_lost_t_s") / s.dt));
        ASSERT_GT(lost, 1u);
        ASSERT_LT(lost, run.rows.size());
        double climbed = 0.0, lowest = 0.0;
        for (std::size_t i = 0; i < lost; ++i) {
            if (run.at(i, "tip_x") < crest) climbed = std::max(climbed, run.at(i, "force"));
            lowest = std::min(lowest, run.at(i, "force_cmd"));
        }
        EXPECT_GT(climbed, 2.0 * Fn);
        EXPECT_LT(lowest, 0.0);
        // the command falls below 0 only once the command point has passed the crest
        for (std::size_t i = 0; i < lost; ++i) {
            if (run.at(i, "force_cmd") < 0.0) {
                EXPECT_GT(run.at(i, "ref_x"), crest) << i;
            }
        }
        EXPECT_GT(run.at(lost, "tip_x"), crest);
        EXPECT_LT(run.at(lost, "tip_x"), trough);
        EXPECT_EQ(run.at(lost, "force"), 0.0);
        // every stretch off the surface: the command climbs from sample to sample
        std::size_t cmdPeak = 0, forcePeak = 0, firstBack = 0;
        for (std::size_t i = 1; i < run.rows.size(); ++i) {
            if (i > lost && run.at(i, "force") == 0.0 && run.at(i - 1, "force") == 0.0) {
                EXPECT_GT(run.at(i, "force_cmd"), run.at(i - 1, "force_cmd")) << i;
            }
            if (i > lost && firstBack == 0 && run.at(i, "force") > 0.0) firstBack = i;
            if (run.at(i, "force_cmd") > run.at(cmdPeak, "force_cmd")) cmdPeak = i;
            if (run.at(i, "force") > run.at(forcePeak, "force")) forcePeak = i;
        }
        EXPECT_EQ(cmdPeak, firstBack);
        // after the overshoot the probe leaves once more, at the end point (after tf)
        std::size_t again = 0;
        for (std::size_t i = firstBack; i < run.rows.size() && again == 0; ++i)
            if (run.at(i, "force") == 0.0) again = i;
        ASSERT_GT(again, firstBack);
        ASSERT_EQ(l.set[1], "tf=0.5");
        EXPECT_GT(run.at(again, "t"), 0.5);
        EXPECT_GT(forcePeak, firstBack);
        EXPECT_LE(forcePeak, firstBack + 2);
        EXPECT_EQ(run.at(forcePeak, "force"), lagging.at(0, "force_max_N"));
        EXPECT_GT(lagging.at(0, "force_max_N"), 3.0 * Fn);
        // the picture opens off the surface
        EXPECT_EQ(run.at(static_cast<std::size_t>(l.frame), "force"), 0.0);
        // no lag: on the surface; a shorter lag: off it less often
        EXPECT_EQ(still.at(0, "off_surface_samples"), 0.0);
        EXPECT_LT(still.at(0, "force_max_N"), 1.1 * Fn);
        EXPECT_GT(less.at(0, "off_surface_samples"), 0.0);
        EXPECT_LT(less.at(0, "off_surface_samples"), lagging.at(0, "off_surface_samples"));
    }
}

// hybridsim-batch --lesson N: the lesson's task and goals, and with
// --summary its text filled in first; a number that is no lesson refused.
TEST(Lessons, TheBatchRunnerRunsALesson)
{
    const testing::Outcome r = testing::runBatchHere({"--lesson", "1", "--summary"});
    EXPECT_EQ(r.status, exitGoalFailed);
    LessonCard card;
    std::string error;
    ASSERT_TRUE(lessonCard(builtInLessons()[0], "en", card, error)) << error;
    EXPECT_EQ(r.out.rfind("lesson 1: " + card.title + "\n", 0), 0u) << r.out;
    const std::string firstWords = card.text.substr(0, 30);
    EXPECT_NE(r.out.find(firstWords), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("robot b (SCARA), method 7, sine wave, setting error 5 mm"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FAIL  pos_err_max_m = "), std::string::npos) << r.out;
    // the fix, by --set after the lesson's task
    const testing::Outcome fixed = testing::runBatchHere({"--lesson", "1", "--set", "seterror=0"});
    EXPECT_EQ(fixed.status, exitOk) << fixed.out;
    EXPECT_EQ(fixed.out.rfind("pass  pos_err_max_m = ", 0), 0u) << fixed.out;
    // the same run as the lesson's settings given by hand
    const testing::Outcome byHand = testing::runBatchHere(
        {"--set", "method=7", "--set", "fn2=20", "--set", "alpha2=2", "--set", "seterror=0.005", "--summary", "--format", "csv"});
    const testing::Outcome asLesson = testing::runBatchHere({"--lesson", "1", "--summary", "--format", "csv"});
    EXPECT_EQ(asLesson.out.substr(0, asLesson.out.find("\nFAIL")), byHand.out.substr(0, byHand.out.size() - 1));
    for (const char* bad : {"0", "99"}) {
        const testing::Outcome refused = testing::runBatchHere({"--lesson", bad});
        EXPECT_EQ(refused.status, exitUsage);
        EXPECT_NE(refused.err.find("--lesson needs a lesson number from 1 to"), std::string::npos) << refused.err;
    }
    // a word that is not digits alone names a lesson file
    for (const char* missing : {"x", "1.5"}) {
        const testing::Outcome refused = testing::runBatchHere({"--lesson", missing});
        EXPECT_EQ(refused.status, exitUsage);
        EXPECT_EQ(refused.err, std::string("hybridsim-batch: --lesson: cannot read the lesson file '") + missing +
                                   "': No such file or directory\n");
    }
}

}  // namespace
}  // namespace hybridsim

// The browser edition's session: the desktop's start, task files taken whole
// or not at all, settings by name, the frame range, playback on the page's
// clock, scrubbing, and the notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "playback/keys.h"
#include "sim/derivation.h"
#include "study/goals.h"
#include "study/lessons.h"
#include "study/loop_poles.h"
#include "study/loops_chart.h"
#include "study/pole_handles.h"
#include "study/summary.h"
#include "task/report.h"
#include "task/run_notice.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "web/settings_panel.h"
#include "web/web_session.h"

namespace hybridsim {
namespace {

constexpr const char* robotALine = "a 0.7 500 500 7 5 0 10 5 L 0.3 0.0 0.3 0.3 4 0.005 10";
// a circle about (3, 3) m: far beyond robot b's 1 m of reach
constexpr const char* farCircle = "b 0.5 0.5 500 500 8 5 0 20 2 C 3 3 0.1 4 0 10";

TEST(WebSession, StartsLikeTheProgramAndTakesTaskFilesWhole)
{
    WebSession w;
    // the default task at frame 0, 201 samples
    EXPECT_EQ(w.settings().type, 'b');
    EXPECT_EQ(w.settings().curve, 'S');
    EXPECT_EQ(w.frame(), 0);
    EXPECT_EQ(w.lastFrame(), 200);
    EXPECT_EQ(w.unreachable(), 0);
    EXPECT_EQ(w.notice(), "");
    const std::string csv = w.csv();
    const std::string report = w.report();
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 202);

    // a word where a number belongs: the reader's own message, nothing changes
    w.setFrame(50);
    const WebSession::LoadResult bad = w.load("b 0.5 zero", "lesson.dat");
    EXPECT_FALSE(bad.ok);
    SimSettings probe = w.settings();
    EXPECT_EQ(bad.message, parseRobotData("b 0.5 zero", "lesson.dat", probe).error);
    EXPECT_NE(bad.message.find("lesson.dat"), std::string::npos);
    EXPECT_EQ(w.csv(), csv);
    EXPECT_EQ(w.report(), report);
    EXPECT_EQ(w.frame(), 50);

    // a valid file replaces the task, computes its run and shows frame 0
    const WebSession::LoadResult good = w.load(robotALine, "line.dat");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.message, "");
    EXPECT_EQ(w.settings().type, 'a');
    EXPECT_EQ(w.frame(), 0);
    EXPECT_NE(w.csv(), csv);
    EXPECT_EQ(w.csv().substr(0, 40), csv.substr(0, 40));  // the same header
    // the report in the page's language: English at the start
    std::ostringstream printed;
    printSettings(w.settings(), printed, NoticeLanguage::english);
    EXPECT_EQ(w.report(), printed.str());
    EXPECT_NE(w.report(), report);
}

// The settings report in the page's language: the English rendering on
// the English page, the console's own (hybridsim-batch --report's) on the
// Japanese one; either asked for by name whatever the page's language.
TEST(WebSession, TheReportFollowsThePagesLanguage)
{
    WebSession w;
    ASSERT_TRUE(w.set("Fn", "12.5").ok);
    std::ostringstream console, english;
    printSettings(w.settings(), console);
    printSettings(w.settings(), english, NoticeLanguage::english);
    EXPECT_EQ(w.report(), english.str());
    EXPECT_NE(w.report().find("(3-2) contact force         Fn=12.500[N]"), std::string::npos) << w.report();
    ASSERT_TRUE(w.setLanguage("ja"));
    EXPECT_EQ(w.report(), console.str());
    EXPECT_NE(w.report().find("(3-2) 接触力"), std::string::npos);
    EXPECT_EQ(w.report(NoticeLanguage::english), english.str());
    ASSERT_TRUE(w.setLanguage("en"));
    EXPECT_EQ(w.report(NoticeLanguage::japanese), console.str());
}

TEST(WebSession, FrameStaysWithinTheRun)
{
    WebSession w;
    EXPECT_EQ(w.setFrame(100), 100);
    EXPECT_DOUBLE_EQ(w.time(100), 4.0);
    EXPECT_EQ(w.setFrame(-3), 0);
    EXPECT_EQ(w.setFrame(201), 200);
    EXPECT_EQ(w.setFrame(1L << 40), 200);
    EXPECT_EQ(w.frame(), 200);
    // a sample's time is the run's record of it, the last sample's too; a
    // frame outside the run has no time (the page refuses it)
    SimSettings fresh;
    setEntryDefaults(fresh);
    setDefaults(fresh);
    deriveSettings(fresh);
    RunSeries run;
    calcontrol(fresh, run);
    for (const long i : {0L, 1L, 199L, 200L})
        EXPECT_EQ(w.time(i), currentSeries(run, fresh.type).time[static_cast<std::size_t>(i)]) << i;
    EXPECT_GT(w.time(200), w.time(199));
    for (const long outside : {-1L, 201L, -(1L << 40), 1L << 40}) EXPECT_TRUE(std::isnan(w.time(outside))) << outside;
    // the picture follows the frame: one more trail point per sample
    const std::size_t last = w.draw().data().size();
    w.setFrame(199);
    EXPECT_LT(w.draw().data().size(), last);
}

// The samples a run has no posture in, as the summary counts them.
int nanSamples(const WebSession& w)
{
    return summarizeRun(w.settings(), currentSeries(w.run(), w.settings().type)).nanSamples;
}

// (the ASCII and the Greek letters, nothing of the console's Japanese)
bool withoutJapanese(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

TEST(WebSession, UnreachablePointsGiveOneNoticeWithTheirCount)
{
    WebSession w;
    ASSERT_TRUE(w.load(farCircle, "far.dat").ok);
    // the samples without a posture, as the summary counts them: every one
    EXPECT_EQ(w.unreachableSamples(), 201);
    EXPECT_EQ(w.unreachableSamples(), nanSamples(w));
    // the inverse kinematics' failures, as the console counts them: 2 in
    // the derivation, 402 in the run
    EXPECT_EQ(w.unreachable(), 404);
    const std::string& n = w.notice();
    EXPECT_NE(n.find(" 404 "), std::string::npos) << n;
    // one message with the first point's coordinates, one count line
    std::size_t messages = 0;
    for (std::size_t at = n.find("!!!"); at != std::string::npos; at = n.find("!!!", at + 1)) ++messages;
    EXPECT_EQ(messages, 1u) << n;

    // the page's English names the same first point, its distance and the reach
    EXPECT_NE(n.find("位置(x,y)=( 3.100  3.000)"), std::string::npos) << n;
    EXPECT_EQ(w.reachDetail(),
              "The first point out of reach: (x, y) = (3.100, 3.000) m, 4.314 m from the base of robot b, whose probe "
              "tip reaches from 0.000 m to 1.000 m from it (l1 = 0.500 m, l2 + wp = 0.500 m).");

    // the next run that reaches every point clears it
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_EQ(w.unreachable(), 0);
    EXPECT_EQ(w.unreachableSamples(), 0);
    EXPECT_EQ(w.notice(), "");
    EXPECT_EQ(w.reachDetail(), "");
}

// A circle partly out of reach: the samples left without a posture are the
// summary's nan_samples, fewer than the inverse kinematics' failures; when
// the run's numbers also fail for another reason, only the samples before
// that count.
TEST(WebSession, UnreachableSamplesAreThoseWithoutAPosture)
{
    WebSession w;
    for (const auto& [name, value] : {std::pair{"contour", "C"}, {"Ox", "0.75"}, {"Oy", "0.2"}, {"r", "0.3"}})
        ASSERT_TRUE(w.set(name, value).ok) << name;
    EXPECT_EQ(w.unreachableSamples(), 92);
    EXPECT_EQ(w.unreachableSamples(), nanSamples(w));
    EXPECT_EQ(w.unreachable(), 186);
    EXPECT_TRUE(withoutJapanese(w.reachDetail())) << w.reachDetail();
    EXPECT_EQ(w.reachDetail().rfind("The first point out of reach: (x, y) = (", 0), 0u) << w.reachDetail();

    // the force loop too fast for the step: every sample from 1 on fails
    // by it, and only sample 0's unreachable point is to blame for its own
    // the picture in words counts them too, in the page's language
    const auto says = [&w](const std::string& part) { return w.describe().find(part) != std::string::npos; };
    EXPECT_TRUE(says("92 of the 201 samples have no posture")) << w.describe();
    ASSERT_TRUE(w.setLanguage("ja"));
    EXPECT_TRUE(says("201 サンプルのうち 92 サンプル")) << w.describe();
    ASSERT_TRUE(w.setLanguage("en"));

    ASSERT_TRUE(w.set("fn2", "1e5").ok);
    ASSERT_NE(w.runFault(), "");
    EXPECT_LT(w.unreachableSamples(), nanSamples(w));
    // from the fault on, a sample is the fault's and not out of reach
    w.setFrame(100);
    EXPECT_TRUE(says("t = 4.000 s, sample 100 / 200. By this sample the run's values have overflowed to not-a-number (NaN)")) << w.describe();
    const int n = w.unreachableSamples();
    EXPECT_TRUE(n == 0 ? says("No point is out of reach.")
                       : says(". " + std::to_string(n) + " of the 201 samples") && says("This sample is not one of them."))
        << w.describe();
}

TEST(WebSession, SettingsByNameRunAnewOrChangeNothing)
{
    WebSession w;
    w.setFrame(60);
    const std::string csv = w.csv();

    // taken: a new run at the same frame, the run a task file of it gives
    const SettingChange fn = w.set("Fn", "20");
    EXPECT_TRUE(fn.ok);
    EXPECT_EQ(fn.message, "");
    EXPECT_EQ(w.frame(), 60);
    EXPECT_NE(w.csv(), csv);
    EXPECT_NE(w.report().find("Fn=20.000[N]"), std::string::npos) << w.report();
    WebSession saved;
    ASSERT_TRUE(saved.load(w.taskText(), "saved.dat").ok);
    EXPECT_EQ(saved.csv(), w.csv());
    EXPECT_EQ(saved.report(), w.report());

    // refused: setTaskSetting's words, nothing changes
    const std::string csv20 = w.csv();
    const std::string report20 = w.report();
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"KH1", "-1"}, {"Fn", "ten"}, {"Ox", "1"}, {"method", "9"}, {"fn1", "1e308"}, {"speed", "2"},
             {"l2", "1e-17"}}) {
        SimSettings probe = w.settings();
        const SettingChange r = w.set(name, value);
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(r.message, setTaskSetting(probe, name, value).message);
        EXPECT_EQ(w.csv(), csv20) << name;
        EXPECT_EQ(w.report(), report20) << name;
        EXPECT_EQ(w.frame(), 60);
    }

    // a value of a megabyte, a line end: the page shows a short line of it
    const SettingChange huge = w.set("Fn", std::string(1 << 20, '7'));
    EXPECT_EQ(huge.message, "Fn=" + std::string(60, '7') + "...: expected a number for the contact force Fn [N]");
    EXPECT_EQ(w.setSetErrorMm("10\n").message, "seterror=10\\x0a: expected a number for the setting error [mm]");
    EXPECT_EQ(w.csv(), csv20);

    // a new method brings its own gains, and the old ones come back with it
    ASSERT_TRUE(w.set("method", "7").ok);
    EXPECT_NE(w.csv(), csv20);
    ASSERT_TRUE(w.set("method", "8").ok);
    EXPECT_EQ(w.csv(), csv20);
}

TEST(WebSession, SettingTextGivesBackTheValueInForceBitForBit)
{
    WebSession w;
    const std::string task = w.taskText();
    const std::string csv = w.csv();
    EXPECT_EQ(w.settingText("robot"), "b");
    EXPECT_EQ(w.settingText("KH1"), "500");
    EXPECT_EQ(w.settingText("x0"), "0.20000000000000001");  // 17 digits: 0.2 exactly as stored
    // a word choice by its word, a rigid workpiece as the word a task file takes
    EXPECT_EQ(w.settingText("contact"), "ideal");
    EXPECT_EQ(w.settingText("KW"), "inf");
    // names of another contour or robot, and unknown names, have none
    for (const char* none : {"Ox", "l", "speed", ""}) EXPECT_FALSE(w.settingText(none).has_value()) << none;

    // a value changed, then set back from its text: the task and the run as before, to the bit
    for (const char* name : {"KH1", "fn1", "alpha2", "x0", "seterror", "Fn", "KW", "period", "servo"}) {
        const std::string before = w.settingText(name).value();
        ASSERT_TRUE(w.set(name, "0.123456789012345678").ok) << name;
        ASSERT_TRUE(w.set(name, before).ok) << name;
        EXPECT_EQ(w.taskText(), task) << name;
        EXPECT_EQ(w.csv(), csv) << name;
    }
}

TEST(WebSession, SetErrorInMillimetresAsTheDialogueTakesIt)
{
    WebSession w;
    ASSERT_TRUE(w.setSetErrorMm("7.5").ok);
    EXPECT_EQ(w.settings().seterror, 7.5 / 1000.0);
    // every digit typed counts: the stored metres are the millimetres / 1000, to the bit
    ASSERT_TRUE(w.setSetErrorMm("1.2345678").ok);
    EXPECT_EQ(w.settings().seterror, 1.2345678 / 1000.0);
    ASSERT_TRUE(w.setSetErrorMm("7.5").ok);
    EXPECT_NE(settingsPanelValues(w.settings()).find("\"seterror\":\"7.5\""), std::string::npos);
    EXPECT_NE(w.report().find("e =   7.50[mm]"), std::string::npos) << w.report();

    // a refusal names what was typed and the unit it was typed in
    const std::string csv = w.csv();
    const SettingChange word = w.setSetErrorMm("5mm");
    EXPECT_FALSE(word.ok);
    EXPECT_EQ(word.message, "seterror=5mm: expected a number for the setting error [mm]");
    const SettingChange huge = w.setSetErrorMm("1e999");
    EXPECT_EQ(huge.message, "seterror=1e999: the setting error [mm] must be a finite number");
    EXPECT_EQ(w.settings().seterror, 7.5 / 1000.0);
    EXPECT_EQ(w.csv(), csv);
}

TEST(WebSession, PlaybackRunsOnThePagesClock)
{
    WebSession w;
    // Space at t = 100 s: ten sampling periods later, frame 10
    EXPECT_TRUE(w.togglePlay(100.0));
    EXPECT_TRUE(w.tick(100.0 + 10 * 0.04));
    EXPECT_EQ(w.frame(), 10);
    // a display frame stamped before the last call does not step back
    EXPECT_FALSE(w.tick(100.2));
    EXPECT_EQ(w.frame(), 10);
    EXPECT_TRUE(w.playing());
    // twice the speed from there: five periods more are ten frames
    EXPECT_TRUE(w.faster(100.4));
    EXPECT_EQ(w.speedText(), "2");
    w.tick(100.4 + 5 * 0.04);
    EXPECT_EQ(w.frame(), 20);
    // a setting taken keeps it playing at the frame reached
    ASSERT_TRUE(w.set("Fn", "12").ok);
    EXPECT_TRUE(w.playing());
    EXPECT_EQ(w.frame(), 20);
    // paused, time passes and nothing moves
    EXPECT_FALSE(w.togglePlay(100.7));
    EXPECT_FALSE(w.tick(500.0));
    EXPECT_EQ(w.frame(), 20);

    // the keys: End, Left; from 199 the run plays to its end and stops
    w.step(StepKey::end);
    EXPECT_EQ(w.frame(), 200);
    w.step(StepKey::left);
    EXPECT_EQ(w.frame(), 199);
    EXPECT_TRUE(w.togglePlay(600.0));
    w.tick(601.0);
    EXPECT_EQ(w.frame(), 200);
    EXPECT_FALSE(w.playing());
    // Space at the last frame plays from the first
    EXPECT_TRUE(w.togglePlay(602.0));
    EXPECT_EQ(w.frame(), 0);
    // a jump pauses, as does a task file, which shows its run from frame 0
    w.tick(602.0 + 8 * 0.04 / 2);
    EXPECT_EQ(w.frame(), 8);
    w.setFrame(50);
    EXPECT_FALSE(w.playing());
    w.togglePlay(700.0);
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_FALSE(w.playing());
    EXPECT_EQ(w.frame(), 0);

    // the window's 's', '0', 'w': a step and a jump pause, a zoom does not
    w.togglePlay(800.0);
    EXPECT_TRUE(w.viewKey('w'));
    EXPECT_TRUE(w.playing());
    EXPECT_EQ(w.settings().viewScale, 0.9);
    EXPECT_TRUE(w.viewKey('s'));
    EXPECT_FALSE(w.playing());
    EXPECT_EQ(w.frame(), 1);
    EXPECT_FALSE(w.viewKey('x'));
    ASSERT_TRUE(w.set("Fn", "11").ok);
    EXPECT_EQ(w.settings().viewScale, 0.9);  // a setting keeps the view, a task file does not
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_EQ(w.settings().viewScale, 1.0);
}

// The page's keys: the window's but for the dialogue keys, ESC and 'x',
// each with the action of the window's key table; those of the frame and
// the zoom go through viewKey, no other.
TEST(WebSession, OffersTheWindowsKeysButTheDialogueQuitAndSave)
{
    const nlohmann::json keys = nlohmann::json::parse(WebSession::keysJson());
    std::vector<std::string> offered;
    for (const auto& [key, action] : keys.items()) {
        offered.push_back(key);
        const KeyCommand* command = findKey(std::string_view(key));
        ASSERT_NE(command, nullptr) << key;
        EXPECT_EQ(action, actionName(command->action)) << key;
    }
    std::sort(offered.begin(), offered.end());
    std::vector<std::string> expected{" ", "+", "-", "0", "=", "ArrowLeft", "ArrowRight", "End",
                                      "Home", "P", "W", "p", "s", "v", "w"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(offered, expected);

    WebSession w;
    for (int k = 1; k < 128; ++k) {
        const char c = static_cast<char>(k);
        const bool viewed = keys.contains(std::string(1, c)) && std::strchr("s0wW", c) != nullptr;
        EXPECT_EQ(w.viewKey(c), viewed) << k;
    }
}

TEST(WebSession, ScrubbingAtAPointInWindowUnits)
{
    WebSession w;
    const SimSettings& s = w.settings();
    // sample i lies at posGraphX + i graphWidth / nsteps on both time axes
    const auto sampleX = [&](int i) { return s.posGraphX + i * s.graphWidth / s.nsteps; };
    w.togglePlay(1.0);
    EXPECT_TRUE(w.scrubPress(sampleX(100) + 0.0004, s.posGraphY + 0.1));
    EXPECT_EQ(w.frame(), 100);
    EXPECT_FALSE(w.playing());
    EXPECT_TRUE(w.scrubDrag(sampleX(30) - 0.0004));
    EXPECT_EQ(w.frame(), 30);
    EXPECT_TRUE(w.scrubDrag(sampleX(0) - 0.3));  // left of the axis: the first
    EXPECT_EQ(w.frame(), 0);
    w.scrubRelease();
    EXPECT_FALSE(w.scrubDrag(sampleX(70)));
    EXPECT_EQ(w.frame(), 0);
    // in the force graph too; the robot's side of the picture is not a graph
    EXPECT_TRUE(w.scrubPress(sampleX(150), s.forceGraphY + 0.05));
    EXPECT_EQ(w.frame(), 150);
    EXPECT_FALSE(w.inGraph(-0.5, 0.0));
    EXPECT_FALSE(w.scrubPress(-0.5, 0.0));
    EXPECT_FALSE(w.scrubDrag(sampleX(10)));
    EXPECT_EQ(w.frame(), 150);
}

TEST(WebSession, NoticeOfAPositioningTimeLongerThanTheRun)
{
    WebSession w;
    EXPECT_EQ(w.runTooShort(), "");
    ASSERT_TRUE(w.set("tf", "10").ok);
    EXPECT_EQ(w.runTooShort(), runTooShortNotice(w.settings()));
    EXPECT_NE(w.runTooShort().find("tf=10.000[s]"), std::string::npos) << w.runTooShort();
    ASSERT_TRUE(w.set("tf", "4").ok);
    EXPECT_EQ(w.runTooShort(), "");
}

// A run whose numbers overflow: the page's English line, then the console's
// Japanese one; the next run that stays finite clears it.
TEST(WebSession, NoticeOfARunThatBlowsUp)
{
    WebSession w;
    EXPECT_EQ(w.runFault(), "");
    ASSERT_TRUE(w.set("fn2", "1e5").ok);
    const std::string& n = w.runFault();
    ASSERT_EQ(std::count(n.begin(), n.end(), '\n'), 1) << n;
    EXPECT_EQ(n.rfind("From sample 1 (t = 0.04 s) on, the run's numbers are not numbers: the normal force loop "
                      "(fn2 = 100000 Hz) is too fast for the integration step h = 0.0004 s",
                      0),
              0u)
        << n;
    EXPECT_NE(n.find("stays stable up to about fn2 = 222 Hz.\n!!! サンプル 1 (t=0.04[s]) から"), std::string::npos)
        << n;
    EXPECT_EQ(w.unreachable(), 0);
    ASSERT_TRUE(w.set("fn2", "20").ok);
    EXPECT_EQ(w.runFault(), "");
}

// The study graphs: the current run, the others given beside it, the force
// scale fitted by a task file read and grown by settings, and the values at
// the cursor in JSON that reads back to every bit.
TEST(WebSession, StudyGraphsOfTheCurrentRunAndOthersInJsonThatReadsBackExactly)
{
    WebSession w;
    const auto cursor = [&](int frame) { return nlohmann::json::parse(w.studyCursorJson(frame)); };
    const auto state = [&] { return nlohmann::json::parse(w.studyStateJson()); };
    // the CSV's numbers, to the bit
    std::vector<std::vector<std::string>> rows;
    std::istringstream csv(w.csv());
    for (std::string line; std::getline(csv, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) rows.back().push_back(cell);
    }
    const auto number = [](const std::string& text) {
        double v = 0.0;
        parseDouble(text, v);
        return v;
    };
    for (int frame : {0, 1, 77, 200}) {
        const nlohmann::json c = cursor(frame);
        ASSERT_EQ(c["runs"].size(), 1u);
        const nlohmann::json& r = c["runs"][0];
        EXPECT_EQ(c["sample"], frame);
        EXPECT_EQ(r["label"], "current run");
        for (const auto& [key, column] : std::vector<std::pair<const char*, int>>{
                 {"t", 1}, {"refX", 2}, {"refY", 3}, {"tipX", 4}, {"tipY", 5}, {"force", 12}, {"sErr", 14},
                 {"springForce", 15}})
            EXPECT_EQ(r[key].get<double>(), number(rows[static_cast<std::size_t>(frame) + 1][column]))
                << key << " of sample " << frame;
        EXPECT_EQ(r["text"]["force"], format("%.3f N", number(rows[static_cast<std::size_t>(frame) + 1][12])));
        EXPECT_EQ(r["text"]["springForce"], format("%.3f N", number(rows[static_cast<std::size_t>(frame) + 1][15])));
    }
    // numbers that are hard to write short: each reads back to its bits; none is null
    StudyRun odd = studyRun(w.settings(), SeriesSet{}, "odd", studyRunColour(1));
    const double hard[] = {0.1 + 0.2, 5e-324, 1.7976931348623157e308, -2.2250738585072014e-308, 1.0 / 3.0,
                           123456789.12345678, -0.0};
    for (std::size_t i = 0; i < std::size(hard); ++i) odd.tipX[i] = hard[i];
    w.setOtherRuns({odd});
    for (std::size_t i = 0; i < std::size(hard); ++i) {
        const double back = cursor(static_cast<int>(i))["runs"][1]["tipX"].get<double>();
        EXPECT_EQ(std::memcmp(&back, &hard[i], sizeof back), 0) << hard[i];
    }
    // a sample without a posture: its force is null, its text nan
    ASSERT_TRUE(w.load(farCircle, "far.dat").ok);
    const nlohmann::json far = cursor(100)["runs"][0];
    EXPECT_TRUE(far["force"].is_null());
    EXPECT_EQ(far["text"]["force"], "nan N");
    EXPECT_TRUE(far["springForce"].is_null());
    EXPECT_EQ(far["text"]["springForce"], "nan N");

    // a setting grows the force scale; a task file read fits it to its own run
    ASSERT_TRUE(w.set("Fn", "50").ok);
    EXPECT_GE(w.studyGraphs().forceScale().hi, 50.0);
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_LT(w.studyGraphs().forceScale().hi, 50.0);

    // the others stay beside every new run, four at most
    WebSession other;
    ASSERT_TRUE(other.set("Fn", "30").ok);
    std::vector<StudyRun> pins;
    for (int i = 1; i <= 6; ++i)
        pins.push_back(studyRun(other.settings(), SeriesSet{}, "pin " + std::to_string(i), studyRunColour(i)));
    // the other session's run, as a pin would keep it
    pins[0] = other.currentRun();
    pins[0].label = "pin 1";
    pins[0].colour = studyRunColour(1);
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    w.setOtherRuns(pins);
    EXPECT_EQ(w.otherRuns().size(), studyMostRuns - 1);
    ASSERT_TRUE(w.set("Fn", "12").ok);
    const nlohmann::json s = state();
    ASSERT_EQ(s["runs"].size(), studyMostRuns);
    EXPECT_EQ(s["runs"][0]["label"], "current run");
    EXPECT_EQ(s["runs"][1]["label"], "pin 1");
    EXPECT_EQ(s["runs"][1]["colour"], studyRunColour(1));
    // the force scale covers the other run's 30 N, and keeps it through a new run
    EXPECT_GE(s["forceScale"]["hi"].get<double>(), 30.0);
    EXPECT_EQ(s["forceScale"]["ticks"].size(), w.studyGraphs().forceScale().ticks.size());
    EXPECT_EQ(s["forceScale"]["text"][0], "0");
    EXPECT_EQ(s["forceScale"]["text"][1], tickText(w.studyGraphs().forceScale().hi, w.studyGraphs().forceScale().step));
    // a task file read fits it to the runs drawn, the other one's forces included
    ASSERT_TRUE(w.load(robotALine, "line.dat").ok);
    EXPECT_GE(w.studyGraphs().forceScale().hi, 30.0);
    w.setOtherRuns({});
    ASSERT_TRUE(w.set("Fn", "11").ok);
    EXPECT_GE(w.studyGraphs().forceScale().hi, 30.0);  // it stays
    w.fitForceScale();
    EXPECT_LT(w.studyGraphs().forceScale().hi, 30.0);  // and shrinks back when fitted
    EXPECT_EQ(state()["runs"].size(), 1u);
    // the width the page lays them out at
    w.setStudyWidth(390.0);
    EXPECT_EQ(state()["width"], 390.0);
    w.setStudyWidth(10.0);
    EXPECT_EQ(state()["width"], 240.0);
}

TEST(WebSession, PinsStayThroughNewRunsInThePictureAndTheStudyGraphs)
{
    WebSession w;
    const WebSession fresh;
    const auto pins = [&] { return nlohmann::json::parse(w.pinsJson()); };
    w.draw();  // (a text takes the colour in force: that of the frame drawn before)
    const ShapeBuffer& before = w.draw();
    const std::vector<double> data = before.data();
    const std::string bytes = before.bytes();

    // the default run pinned, then Fn changed: its legend line names the change
    EXPECT_EQ(w.pin().message, "pinned as pin 1");
    ASSERT_TRUE(w.set("Fn", "20").ok);
    nlohmann::json p = pins();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0]["label"], "pin 1: Fn = 10 N (now 20 N)");
    EXPECT_EQ(p[0]["colour"], "#ff9900");
    EXPECT_EQ(p[0]["taskText"], fresh.taskText());
    EXPECT_EQ(p[0]["csv"], fresh.csv());
    // the picture draws it as the window does; the graphs beside the current run
    EXPECT_GT(w.draw().data().size(), data.size());
    ASSERT_EQ(w.otherRuns().size(), 1u);
    EXPECT_EQ(w.otherRuns()[0].label, p[0]["label"]);
    EXPECT_EQ(w.otherRuns()[0].colour, "#ff9900");
    EXPECT_EQ(w.otherRuns()[0].force, fresh.currentRun().force);
    EXPECT_EQ(w.otherRuns()[0].tipX, fresh.currentRun().tipX);

    // four more: the fifth takes the oldest one's place and says so
    for (const char* fn : {"30", "40", "50"}) {
        ASSERT_TRUE(w.set("Fn", fn).ok);
        const std::string said = w.pin().message;
        EXPECT_EQ(said, "pinned as pin " + std::to_string(w.pins().size()));
    }
    const WebSession::PinResult fifth = w.pin();
    EXPECT_EQ(fifth.message, "pinned as pin 1 in place of the oldest pin");
    ASSERT_EQ(w.pins().size(), pinCapacity);
    EXPECT_EQ(w.pins().pins()[0].settings.Fn, 50.0);
    EXPECT_EQ(pins()[1]["label"], "pin 2: Fn = 30 N (now 50 N)");
    EXPECT_EQ(w.otherRuns().size(), 4u);

    // a pin removed keeps the others' slots; the next pin takes the free one
    EXPECT_FALSE(w.unpin(4));
    EXPECT_FALSE(w.unpin(-1));
    ASSERT_TRUE(w.unpin(1));
    p = pins();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1]["label"], "pin 3: Fn = 40 N (now 50 N)");
    EXPECT_EQ(w.otherRuns()[1].label, p[1]["label"]);
    EXPECT_EQ(w.otherRuns()[1].colour, "#009999");
    EXPECT_EQ(w.pin().slot, 1);

    // the defaults again: frame 0, the pins staying and named against them
    w.setFrame(80);
    w.resetDefaults();
    EXPECT_EQ(w.taskText(), fresh.taskText());
    EXPECT_EQ(w.csv(), fresh.csv());
    EXPECT_EQ(w.frame(), 0);
    EXPECT_EQ(w.pins().size(), pinCapacity);
    EXPECT_EQ(pins()[2]["label"], "pin 3: Fn = 40 N (now 10 N)");
    EXPECT_EQ(w.otherRuns()[2].label, "pin 3: Fn = 40 N (now 10 N)");

    // none left: the picture as before any pin, to the bit
    w.clearPins();
    EXPECT_EQ(pins().size(), 0u);
    EXPECT_TRUE(w.otherRuns().empty());
    // (as the page does, once redrawn: the first texts record the colour the
    // frame before left in force, which lit text does not show)
    w.draw();
    EXPECT_EQ(w.draw().data(), data);
    EXPECT_EQ(w.draw().bytes(), bytes);
}

// A link opens the same state in a fresh session: the run to the bit, the
// frame, the overlay, the language, the pins in their slots with their
// runs, the oldest the next to make room; a link that is not read at all
// gives the defaults, as a fresh session has them.
TEST(WebSession, ALinkOpensTheSameStateInAFreshSession)
{
    WebSession w;
    for (const char* fn : {"11", "12", "13", "14"}) {
        ASSERT_TRUE(w.set("Fn", fn).ok);
        w.pin();
    }
    ASSERT_TRUE(w.unpin(0));  // slot 1 free
    ASSERT_TRUE(w.set("method", "7").ok);
    ASSERT_TRUE(w.set("fn2", "0.30000000000000004").ok);
    w.pin();  // the newest, in slot 1
    ASSERT_TRUE(w.set("contour", "C").ok);
    w.setFrame(150);
    w.setOverlay(true);
    ASSERT_TRUE(w.setLanguage("ja"));
    EXPECT_FALSE(w.setLanguage("fr"));
    EXPECT_EQ(w.addGoal("overshoot_pct <= 5"), "");
    EXPECT_EQ(w.addGoal("force_rise_t_s>0.001"), "");
    const std::string link = w.link();
    EXPECT_NE(link.find("&goal=overshoot_pct%3C%3D5&goal=force_rise_t_s%3E0.001"), std::string::npos) << link;

    WebSession opened;
    const WebSession::LinkOpened said = opened.openLink("#" + link);
    EXPECT_EQ(said.refused, "");
    EXPECT_EQ(said.skippedCount, 0u);
    EXPECT_EQ(opened.csv(), w.csv());
    EXPECT_EQ(opened.taskText(), w.taskText());
    EXPECT_EQ(opened.pinsJson(), w.pinsJson());
    EXPECT_EQ(opened.frame(), 150);
    EXPECT_TRUE(opened.overlay());
    EXPECT_EQ(opened.language(), "ja");
    EXPECT_EQ(opened.goalsJson(), w.goalsJson());
    EXPECT_EQ(opened.link(), link);
    EXPECT_EQ(opened.draw().data(), w.draw().data());
    // the next pin takes the oldest one's place, slot 2, in both (pinned
    // in slot order, the newest would be oldest)
    EXPECT_EQ(opened.pin().slot, 1);
    EXPECT_EQ(w.pin().slot, 1);
    EXPECT_EQ(opened.pinsJson(), w.pinsJson());

    // another version: the defaults, no pins, and why
    const WebSession fresh;
    const WebSession::LinkOpened other = opened.openLink("v=2&Fn=20");
    EXPECT_EQ(other.refused, "the link is of format version '2'; this page reads version 1");
    EXPECT_EQ(opened.csv(), fresh.csv());
    EXPECT_EQ(opened.pins().size(), 0);
    EXPECT_EQ(opened.language(), "en");
    EXPECT_EQ(nlohmann::json::parse(opened.openLinkJson("v=1&KH1=-1&Fn=20"))["skipped"][0],
              "KH1=-1: the spring constant KH1 [N/m] must be greater than 0");
    // a goal that is not one is skipped with the reader's words, the rest taken
    const nlohmann::json bad = nlohmann::json::parse(opened.openLinkJson("v=1&goal=speed%3C1&goal=force_peak_N%3C%3D2&Fn=20"));
    EXPECT_EQ(bad["skippedCount"], 1);
    EXPECT_EQ(bad["skipped"][0].get<std::string>().rfind("goal=speed<1: 'speed<1': unknown figure 'speed'; the figures are ", 0), 0u)
        << bad["skipped"][0];
    ASSERT_EQ(opened.goals().size(), 1u);
    EXPECT_EQ(opened.goals()[0].name, "force_peak_N");
}

// Goals on the run shown: pass and FAIL follow every run; a goal that
// cannot be read changes nothing and says why without the command line's words.
TEST(WebSession, GoalsAreCheckedOnEveryRun)
{
    WebSession w;
    EXPECT_EQ(w.goalsJson(), "[]");
    EXPECT_EQ(w.addGoal("force_peak_N <= 10.5"), "");
    EXPECT_EQ(w.addGoal("force_steady_err_N < 1"), "");
    EXPECT_EQ(w.addGoal("peak < 3"), "'peak < 3': unknown figure 'peak'; the figures are " +
                                          [] {
                                              std::string l;
                                              for (const std::string& n : goalNames()) l += (l.empty() ? "" : ", ") + n;
                                              return l;
                                          }());
    EXPECT_EQ(w.addGoal("force_peak_N <= ten"), "'force_peak_N <= ten': the value must be a finite number");
    nlohmann::json g = nlohmann::json::parse(w.goalsJson());
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0]["goal"], "force_peak_N <= 10.5");
    const double peak = g[0]["actual"];
    EXPECT_EQ(g[0]["pass"], peak <= 10.5);
    // twice the force: the peak goal fails, its line says so with the figure
    ASSERT_TRUE(w.set("Fn", "20").ok);
    g = nlohmann::json::parse(w.goalsJson());
    EXPECT_FALSE(g[0]["pass"]);
    EXPECT_EQ(g[0]["line"].get<std::string>().rfind("FAIL  force_peak_N = 2", 0), 0u) << g[0]["line"];
    EXPECT_TRUE(w.removeGoal(0));
    EXPECT_FALSE(w.removeGoal(1));
    EXPECT_EQ(nlohmann::json::parse(w.goalsJson()).size(), 1u);
    for (std::size_t k = 1; k < WebSession::mostGoals; ++k) EXPECT_EQ(w.addGoal("overshoot_pct < 99"), "");
    EXPECT_EQ(w.addGoal("overshoot_pct < 99"), "at most 12 goals are kept: remove one first");
}

// Goals typed in the page's units: kept, linked and checked in the CSV
// column's own units, as --require reads them; the results in the page's
// units with the digits that show why; refusals with a word for the page.
TEST(WebSession, GoalsTypedInThePagesUnits)
{
    WebSession w;
    // the figures offered: those that make sense as goals, with their units
    const nlohmann::json figures = nlohmann::json::parse(WebSession::goalFiguresJson());
    std::vector<std::string> offered;
    for (const auto& f : figures) offered.push_back(f["column"]);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "pos_err_max_m"), 1);
    for (const char* column : {"seterror_m", "Fn_N", "samples"})
        EXPECT_EQ(std::count(offered.begin(), offered.end(), column), 0) << column;
    const auto posErr = figures[std::find(offered.begin(), offered.end(), "pos_err_max_m") - offered.begin()];
    EXPECT_EQ(posErr["title"], "largest |posErr|");
    EXPECT_EQ(posErr["unit"], "mm");
    EXPECT_EQ(posErr["factor"], 1000.0);
    // the form for a new goal starts on one of them
    EXPECT_EQ(std::count_if(figures.begin(), figures.end(), [](const auto& f) { return f.value("start", false); }), 1);

    // 5 mm of the largest |posErr|: 0.005 m, in the goal, the link and the line
    const WebSession::GoalAdded mm = w.addShownGoal("pos_err_max_m", "<=", "5");
    EXPECT_EQ(mm.refused, "");
    EXPECT_EQ(mm.goal, "pos_err_max_m<=0.005");
    EXPECT_EQ(mm.shown, "largest |posErr| \u2264 5 mm");
    ASSERT_EQ(w.goals().size(), 1u);
    EXPECT_EQ(w.goals()[0].value, 0.005);
    EXPECT_NE(w.link().find("goal=pos_err_max_m%3C%3D0.005"), std::string::npos) << w.link();
    // a value of many digits comes back as typed, shown in the page's unit
    EXPECT_EQ(w.addShownGoal("s_err_rms_m", ">", "0.25").goal, "s_err_rms_m>0.00025");
    EXPECT_EQ(w.addShownGoal("s_err_max_m", ">=", "3.891").goal, "s_err_max_m>=0.003891");
    // figures of a unit of their own: as typed
    EXPECT_EQ(w.addShownGoal("overshoot_pct", "<", "5").goal, "overshoot_pct<5");
    EXPECT_EQ(w.addShownGoal("nan_samples", "<=", "0").goal, "nan_samples<=0");
    const SimSettings& s = w.settings();
    const RunSummary r = summarizeRun(s, currentSeries(w.run(), s.type));
    nlohmann::json g = nlohmann::json::parse(w.goalsJson());
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[0]["shownLine"], std::string(r.posErrMax <= 0.005 ? "pass" : "FAIL") + "  largest |posErr| = " +
                                     shortestNumber(1000.0 * r.posErrMax, 3) + " mm \u2264 5 mm");
    EXPECT_EQ(g[3]["shown"], "force overshoot < 5 %");
    EXPECT_EQ(g[4]["shownLine"], "pass  samples without a posture = 0 \u2264 0");

    // a goal at the figure's third digit: the line shows the digits that
    // tell the figure from the goal
    const double actual = 1000.0 * r.posErrMax;
    const std::string below = shortestNumber(std::floor(actual * 1000.0) / 1000.0 - 0.0001, 17);
    while (w.removeGoal(0)) {}
    ASSERT_EQ(w.addShownGoal("pos_err_max_m", "<=", below).refused, "");
    g = nlohmann::json::parse(w.goalsJson());
    const std::string line = g[0]["shownLine"];
    ASSERT_EQ(line.rfind("FAIL  largest |posErr| = ", 0), 0u) << line;
    double shown = 0.0;
    ASSERT_TRUE(parseDouble(line.substr(25, line.find(' ', 25) - 25), shown)) << line;
    EXPECT_GT(shown, std::stod(below)) << line;
    // a figure that does not exist: none, without a unit
    ASSERT_EQ(w.addShownGoal("settling_t_s", "<", "0.3").refused, "");
    ASSERT_TRUE(w.load(farCircle, "far.dat").ok);
    EXPECT_EQ(nlohmann::json::parse(w.goalsJson())[1]["shownLine"], "FAIL  force settling time = none < 0.3 s");

    // refusals: a word for the page and an English line; nothing kept
    while (w.removeGoal(0)) {}
    for (const char* typed : {"", "five", "5 mm", "nan", "inf", "1e999"}) {
        const WebSession::GoalAdded bad = w.addShownGoal("pos_err_max_m", "<=", typed);
        EXPECT_EQ(bad.refused, "value") << typed;
        EXPECT_NE(bad.message.find("is not a finite number"), std::string::npos) << bad.message;
    }
    EXPECT_EQ(w.addShownGoal("samples", "<", "3").refused, "figure");
    EXPECT_EQ(w.addShownGoal("speed", "<", "3").refused, "figure");
    EXPECT_EQ(w.addShownGoal("pos_err_max_m", "=", "3").refused, "operator");
    EXPECT_TRUE(w.goals().empty());
    for (std::size_t k = 0; k < WebSession::mostGoals; ++k)
        EXPECT_EQ(w.addShownGoal("overshoot_pct", "<", "99").refused, "");
    EXPECT_EQ(w.addShownGoal("overshoot_pct", "<", "99").refused, "full");
}

// The loops' charts: the step over five time constants of the slowest
// force pole (or the whole run), drawn as wide as asked, the pins in both
// charts; the closed form within the integration error of the run's force;
// the caption's facts of the force loop.
TEST(WebSession, TheLoopsChartHasTheForceStepAndThePoles)
{
    WebSession w;
    nlohmann::json l = nlohmann::json::parse(w.loopsJson(356.0, false));
    const std::string step = l["stepSvg"], poles = l["polesSvg"];
    EXPECT_NE(step.find("model step (closed form)"), std::string::npos);
    EXPECT_NE(step.find("force step: 5 time constants"), std::string::npos);
    EXPECT_NE(step.find("width=\"356.0\""), std::string::npos);
    EXPECT_NE(poles.find("poles of the control loops"), std::string::npos);
    const double error = l["forceError"];
    EXPECT_GT(error, 0.0);
    EXPECT_LT(error, 0.05 * w.settings().Fn);
    EXPECT_NEAR(l["zoomEnd"].get<double>(), 5.0 * slowestForceTimeConstant(w.settings()), 1e-12);
    EXPECT_EQ(l["until"], l["zoomEnd"]);
    EXPECT_EQ(l["runEnd"].get<double>(), w.time(w.lastFrame()));
    const nlohmann::json& c = l["caption"];
    EXPECT_EQ(c["model"].size(), 2u);
    EXPECT_EQ(c["model"][0][0].get<double>(), loopPoles(w.settings())[1].model[0].re);
    EXPECT_TRUE(c["doubleToHalf"]);
    EXPECT_TRUE(c["slowStays"]);
    EXPECT_TRUE(c["unstablePole"].is_null());
    EXPECT_EQ(c["originUnused"], nlohmann::json::array({true, false}));
    // the whole run; a width out of range clamped
    l = nlohmann::json::parse(w.loopsJson(1e9, true));
    EXPECT_EQ(l["until"], l["runEnd"]);
    EXPECT_NE(l["stepSvg"].get<std::string>().find("force step: the whole run"), std::string::npos);
    EXPECT_NE(l["polesSvg"].get<std::string>().find("width=\"4000.0\""), std::string::npos);
    EXPECT_NE(nlohmann::json::parse(w.loopsJson(std::nan(""), false))["stepSvg"].get<std::string>().find(
                  "width=\"240.0\""),
              std::string::npos);
    // a pin: its force and its poles in its colour, named in both legends
    w.pin();
    ASSERT_TRUE(w.set("fn2", "60").ok);
    l = nlohmann::json::parse(w.loopsJson(420.0, false));
    const std::string colour = format("#%06x", static_cast<unsigned>(pinColour(0)));
    for (const char* chart : {"stepSvg", "polesSvg"}) {
        const std::string svg = l[chart];
        EXPECT_NE(svg.find("stroke=\"" + colour + "\""), std::string::npos) << chart;
        EXPECT_NE(svg.find(">pin 1</text>"), std::string::npos) << chart;
    }
    // robot b on a circle it cannot reach at all: no sample to compare
    ASSERT_TRUE(w.load(farCircle, "far.dat").ok);
    const nlohmann::json none = nlohmann::json::parse(w.loopsJson());
    EXPECT_TRUE(none["forceError"].is_null());
    EXPECT_EQ(none["forceErrorNone"], "unreached");
    EXPECT_EQ(none["caption"]["modelNone"], "");
    // a force loop whose gains overflow and whose run blows up after sample
    // 0: no model poles, and no comparison on one sample, each saying why
    WebSession huge;
    ASSERT_TRUE(huge.set("fn2", "1e300").ok);
    const nlohmann::json h = nlohmann::json::parse(huge.loopsJson());
    EXPECT_TRUE(h["forceError"].is_null());
    EXPECT_EQ(h["forceErrorNone"], "oneSample");
    EXPECT_EQ(h["caption"]["modelNone"], "gains");
    EXPECT_TRUE(h["caption"]["model"].empty());
    EXPECT_EQ(h["caption"]["designed"][0][0].get<double>(), -huge.settings().wn2);
    EXPECT_EQ(l["forceErrorNone"], "");
}

// Under contact=spring with a control period: the z-plane beside the
// s-plane and the sampled loop's facts for the caption; an unstable one
// said in the fault notice, English then the console's line; nothing of it
// for the ideal contact.
TEST(WebSession, ASampledForceLoopHasItsZPlaneAndItsNotice)
{
    WebSession w;
    nlohmann::json l = nlohmann::json::parse(w.loopsJson());
    EXPECT_EQ(l["zSvg"], "");
    EXPECT_TRUE(l["caption"]["sampled"].is_null());
    EXPECT_FALSE(l["caption"]["spring"]);
    EXPECT_EQ(l["caption"]["ratio"], 1.0);
    ASSERT_TRUE(w.set("contact", "spring").ok);
    ASSERT_TRUE(w.set("period", "0.04").ok);
    l = nlohmann::json::parse(w.loopsJson());
    const LoopPoles force = loopPoles(w.settings())[1];
    const nlohmann::json& z = l["caption"]["sampled"];
    EXPECT_TRUE(z["unstable"]);
    EXPECT_EQ(z["largest"].get<double>(), force.discrete.largest);
    EXPECT_EQ(z["poles"][1][0].get<double>(), force.sampled[1].re);
    EXPECT_EQ(z["limit"].get<double>(), force.discrete.periodLimit);
    EXPECT_EQ(l["caption"]["ratio"].get<double>(), force.ratio);
    EXPECT_NE(l["zSvg"].get<std::string>().find("sampled force loop, T = 0.04 s"), std::string::npos);
    const std::string& notice = w.runFault();
    const std::size_t end = notice.find('\n');
    ASSERT_NE(end, std::string::npos) << notice;
    EXPECT_EQ(notice.substr(0, end), sampledLoopNotice(w.settings(), NoticeLanguage::english));
    EXPECT_EQ(notice.substr(end + 1), sampledLoopNotice(w.settings()).substr(1));
    EXPECT_EQ(notice.rfind("The force loop sampled every T = 0.04 s, linearised about the contour's start without the servo lag, is unstable", 0), 0u) << notice;
    // a short period: stable, no notice, the z-plane still there
    ASSERT_TRUE(w.set("period", "0.001").ok);
    l = nlohmann::json::parse(w.loopsJson());
    EXPECT_FALSE(l["caption"]["sampled"]["unstable"]);
    EXPECT_NE(l["zSvg"], "");
    EXPECT_EQ(w.runFault(), "");
}

// Every lesson opens as its link: its task, pins, overlay, frame and goals,
// in the page's language.
TEST(WebSession, EachLessonOpensAsItsLink)
{
    const std::vector<Lesson>& lessons = builtInLessons();
    ASSERT_GE(lessons.size(), 1u);
    WebSession w;
    ASSERT_TRUE(w.setLanguage("ja"));
    const nlohmann::json listed = nlohmann::json::parse(w.lessonsJson());
    ASSERT_EQ(listed.size(), lessons.size());
    for (std::size_t k = 0; k < lessons.size(); ++k) {
        const Lesson& l = lessons[k];
        EXPECT_EQ(listed[k]["title"], l.title[1]);
        // its card: the lesson's text filled in, in the page's language
        LessonCard card;
        std::string error;
        ASSERT_TRUE(lessonCard(l, "ja", card, error)) << error;
        const nlohmann::json shown = nlohmann::json::parse(w.lessonCardJson(static_cast<int>(k)));
        EXPECT_EQ(shown["text"], card.text);
        EXPECT_EQ(shown["hint"], card.hint);
        ASSERT_TRUE(w.openLesson(static_cast<int>(k)));
        EXPECT_EQ(w.link(), listed[k]["link"]) << k;
        EXPECT_EQ(w.pins().size(), l.pins.size()) << k;
        EXPECT_EQ(w.goals().size(), l.goals.size()) << k;
        EXPECT_EQ(w.overlay(), l.overlay) << k;
        EXPECT_EQ(w.frame(), l.frame) << k;
        EXPECT_EQ(w.language(), "ja");
        // the task: the default one with the lesson's settings, as --set gives it
        WebSession by;
        for (const std::string& item : l.set) {
            const std::size_t eq = item.find('=');
            ASSERT_TRUE(by.set(item.substr(0, eq), item.substr(eq + 1)).ok) << item;
        }
        EXPECT_EQ(w.csv(), by.csv()) << k;
        const nlohmann::json pins = nlohmann::json::parse(w.pinsJson());
        for (std::size_t p = 0; p < l.pins.size(); ++p) {
            WebSession pin;
            for (const std::string& item : l.pins[p]) {
                const std::size_t eq = item.find('=');
                ASSERT_TRUE(pin.set(item.substr(0, eq), item.substr(eq + 1)).ok) << item;
            }
            EXPECT_EQ(pins[p]["csv"], pin.csv()) << k << " pin " << p;
        }
    }
    EXPECT_FALSE(w.openLesson(static_cast<int>(lessons.size())));
    EXPECT_FALSE(w.openLesson(-1));
    EXPECT_EQ(w.lessonCardJson(-1), "null");
}

// The page's drag of the designed poles: loopsJson gives the s-plane's
// frame and the handles as the chart lays them out; several settings
// taken at once, in an order that works, or none of them with the first
// refusal's words.
TEST(WebSession, TheLoopsGiveThePolesFrameAndTheSettingsGoTogether)
{
    WebSession w;
    ASSERT_TRUE(w.set("zeta2", "0.5").ok);
    const nlohmann::json l = nlohmann::json::parse(w.loopsJson(420.0, false));
    const ChartLayout layout = chartLayout(loopsPolesChart(w.settings(), {}, 420.0));
    const PoleFrame f = poleFrame(layout);
    EXPECT_EQ(l["poleFrame"]["x"].get<double>(), f.x);
    EXPECT_EQ(l["poleFrame"]["height"].get<double>(), f.height);
    EXPECT_EQ(l["poleFrame"]["reMin"].get<double>(), f.reMin);
    EXPECT_EQ(l["poleFrame"]["imMax"].get<double>(), f.imMax);
    const std::vector<PoleHandle> handles = poleHandles(w.settings(), layout);
    ASSERT_EQ(l["handles"].size(), handles.size());
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const nlohmann::json& h = l["handles"][i];
        EXPECT_EQ(h["system"], handles[i].system);
        EXPECT_EQ(h["kind"], handleKindName(handles[i].kind));
        EXPECT_EQ(h["x"].get<double>(), handles[i].x);
        EXPECT_EQ(h["y"].get<double>(), handles[i].y);
        EXPECT_EQ(h["re"].get<double>(), handles[i].re);
    }
    EXPECT_GT(l["handles"][2]["im"].get<double>(), 0.0);  // the force pair, complex at zeta 0.5

    // fn2 and zeta2 at once: one run, the same as set one by one
    WebSession byOne;
    ASSERT_TRUE(byOne.set("fn2", "25").ok);
    ASSERT_TRUE(byOne.set("zeta2", "0.7").ok);
    EXPECT_TRUE(w.setAllJson(R"([["fn2", "25"], ["zeta2", 0.7]])").ok);
    EXPECT_EQ(w.csv(), byOne.csv());
    // alpha2=0 then fn2=0 would leave Kv2 zero on the way; fn2=0 with alpha2=2 is taken
    ASSERT_TRUE(w.set("zeta2", "1").ok);
    ASSERT_TRUE(w.set("alpha2", "0").ok);
    EXPECT_TRUE(w.setAll({{"fn2", "0"}, {"alpha2", "2"}}).ok);
    EXPECT_EQ(*w.settingText("fn2"), "0");
    EXPECT_EQ(*w.settingText("alpha2"), "2");
    // refused: none taken, the run kept, the words set gives
    const std::string csv = w.csv();
    const SettingChange alone = WebSession().set("zeta2", "-1");
    const SettingChange r = w.setAll({{"fn2", "30"}, {"zeta2", "-1"}});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, alone.message);
    EXPECT_EQ(*w.settingText("fn2"), "0");
    EXPECT_EQ(w.csv(), csv);
    ASSERT_TRUE(w.setAll({{"alpha2", "0"}, {"fn2", "20"}}).ok);
    EXPECT_EQ(w.setAll({{"fn2", "0"}}).message, WebSession().setAll({{"alpha2", "0"}, {"fn2", "0"}}).message);
    EXPECT_NE(w.setAll({{"fn2", "0"}}).message.find("velocity gain Kv2 zero"), std::string::npos);
    // not a list of settings
    const std::string kept = w.csv();
    for (const char* bad : {"", "{}", R"([["fn2"]])", R"([[2, "3"]])", R"([["fn2", null]])", "[[\"fn2\""}) {
        const SettingChange b = w.setAllJson(bad);
        EXPECT_FALSE(b.ok) << bad;
        EXPECT_EQ(b.message, "expected a list of settings [[name, value], ...]") << bad;
    }
    EXPECT_EQ(w.csv(), kept);
}

}  // namespace
}  // namespace hybridsim

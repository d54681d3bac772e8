// The page's session with a teacher's lessons: a lesson file read whole,
// its lessons opened as the built-in ones with their locks held, a lesson
// made from the page's state, links that carry a lesson, and the goals'
// results as JSON.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/lesson_file.h"
#include "study/lessons.h"
#include "task/task_link.h"
#include "web/web_session.h"

namespace hybridsim {
namespace {

using nlohmann::json;

// two lessons: one that frees the force loop's design only, one without locks
const std::string lessonFile = R"({"version": 1, "lessons": [
  {"title": {"en": "Own one", "ja": "自作1"},
   "text": {"en": "Overshoot {overshoot_pct}.", "ja": "行き過ぎ {overshoot_pct}。"},
   "set": ["method=7", "fn2=10", "Fn=15"], "pins": [["fn2=30"]], "frame": 40,
   "goals": ["overshoot_pct<=5"], "fix": ["fn2=40"], "free": ["fn2", "alpha2"]},
  {"title": {"en": "Own two", "ja": "自作2"}, "text": {"en": "x", "ja": "y"}, "set": ["Fn=12"]}
]})";

// The session after `items`, each taken as set takes it.
std::string csvAfter(const std::vector<std::string>& items)
{
    WebSession w;
    for (const std::string& item : items) {
        const std::size_t eq = item.find('=');
        EXPECT_TRUE(w.set(item.substr(0, eq), item.substr(eq + 1)).ok) << item;
    }
    return w.csv();
}

// A file's lessons come after the built-in ones, once each, and open as
// theirs do: card, run, pins, frame and goals; while one is open its
// locked settings cannot change by any call, and its link carries it.
TEST(LessonSession, AnOwnLessonOpensWithItsLocks)
{
    WebSession w;
    const int builtIn = static_cast<int>(builtInLessons().size());
    const json read = json::parse(w.readLessonsJson(lessonFile));
    ASSERT_FALSE(read.contains("error")) << read;
    EXPECT_EQ(read["first"], builtIn);
    EXPECT_EQ(read["count"], 2);
    EXPECT_EQ(read["added"], 2);
    // the same file again adds nothing
    const json again = json::parse(w.readLessonsJson(lessonFile));
    EXPECT_EQ(again["added"], 0);
    EXPECT_EQ(again["indices"], json::array({builtIn, builtIn + 1}));
    // a refused file: the reader's line, nothing added
    const json refused = json::parse(w.readLessonsJson(R"({"version": 2, "lessons": []})"));
    EXPECT_EQ(refused["error"], "lessons of version 2: this program reads version 1");

    const json listed = json::parse(w.lessonsJson());
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(builtIn + 2));
    EXPECT_EQ(listed[0]["own"], false);
    EXPECT_EQ(listed[builtIn]["own"], true);
    EXPECT_EQ(listed[builtIn]["title"], "Own one");
    EXPECT_EQ(listed[0]["link"].get<std::string>().find("lesson="), std::string::npos);
    EXPECT_NE(listed[builtIn]["link"].get<std::string>().find("&lesson="), std::string::npos);
    const json card = json::parse(w.lessonCardJson(builtIn));
    EXPECT_EQ(card["title"], "Own one");
    EXPECT_EQ(card["text"].get<std::string>().rfind("Overshoot ", 0), 0u);
    EXPECT_EQ(card["text"].get<std::string>().find('{'), std::string::npos) << card;

    ASSERT_TRUE(w.openLesson(builtIn));
    EXPECT_TRUE(w.csv() == csvAfter({"method=7", "fn2=10", "Fn=15"})) << "not the lesson's run";
    EXPECT_EQ(w.pins().size(), 1u);
    EXPECT_EQ(w.frame(), 40);
    EXPECT_EQ(w.goals().size(), 1u);
    EXPECT_EQ(w.link(), listed[builtIn]["link"]);
    const json locked = json::parse(w.lockedSettingsJson());
    EXPECT_NE(std::find(locked.begin(), locked.end(), "Fn"), locked.end());
    EXPECT_EQ(std::find(locked.begin(), locked.end(), "fn2"), locked.end());
    EXPECT_EQ(locked.size(), taskSettingNames().size() - 2);

    // a locked setting is refused by every path; a free one is taken
    const std::string before = w.csv();
    SettingChange c = w.set("Fn", "20");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.message, "Fn is locked by the lesson");
    c = w.setAll({{"fn2", "30"}, {"Fn", "20"}});
    EXPECT_EQ(c.message, "Fn is locked by the lesson");
    EXPECT_FALSE(w.setSetErrorMm("3").ok);
    // a method brings its own gains: the locked method and what it would change
    EXPECT_EQ(w.set("method", "8").message, "method is locked by the lesson");
    ASSERT_TRUE(w.setLanguage("ja"));
    EXPECT_EQ(w.set("Fn", "20").message, "Fn はレッスンで固定されています");
    ASSERT_TRUE(w.setLanguage("en"));
    EXPECT_TRUE(w.csv() == before) << "the run changed";
    EXPECT_TRUE(w.set("fn2", "30").ok);
    EXPECT_TRUE(w.setAll({{"fn2", "25"}, {"alpha2", "3"}}).ok);

    // its link opens the lesson with its locks in a fresh session, which lists it
    const std::string link = w.link();
    WebSession other;
    const WebSession::LinkOpened opened = other.openLink(link);
    EXPECT_EQ(opened.skippedCount, 0u);
    EXPECT_TRUE(opened.lessonAdded);
    EXPECT_FALSE(other.openLink(link).lessonAdded);
    EXPECT_TRUE(other.csv() == w.csv()) << "not the same run";
    EXPECT_EQ(other.lockedSettingsJson(), w.lockedSettingsJson());
    EXPECT_EQ(json::parse(other.lessonsJson()).size(), static_cast<std::size_t>(builtIn + 1));
    EXPECT_FALSE(other.set("Fn", "20").ok);

    // a link whose task differs in a locked setting: skipped and named, the lesson's value kept
    LinkState state;
    std::string error;
    Lesson lesson;
    ASSERT_TRUE(readLessonJson(json::parse(lessonFile)["lessons"][0].dump(), lesson, error)) << error;
    ASSERT_TRUE(lessonState(lesson, "en", state, error)) << error;
    state.lesson = lessonJson(lesson);
    state.task.Fn = 25.0;
    state.task.KH1 = 800.0;
    WebSession third;
    const WebSession::LinkOpened changed = third.openLink(linkFragment(state));
    EXPECT_EQ(changed.skipped,
              (std::vector<std::string>{"KH1=800: KH1 is locked by the lesson", "Fn=25: Fn is locked by the lesson"}));
    EXPECT_TRUE(third.csv() == csvAfter({"method=7", "fn2=10", "Fn=15"})) << "not the lesson's run";
    // a lesson the link holds that the reader refuses: skipped, the rest opened
    state.lesson = R"({"title": 1})";
    const WebSession::LinkOpened bad = third.openLink(linkFragment(state));
    ASSERT_EQ(bad.skipped.size(), 1u);
    EXPECT_EQ(bad.skipped[0], "lesson={\"title\": 1}: \"title\" must be {\"en\": text, \"ja\": text}");
    EXPECT_EQ(third.lockedSettingsJson(), "[]");

    // the locks end when another task is read
    for (int way = 0; way < 4; ++way) {
        ASSERT_TRUE(w.openLesson(builtIn));
        ASSERT_NE(w.lockedSettingsJson(), "[]");
        if (way == 0) {
            w.resetDefaults();
        } else if (way == 1) {
            ASSERT_TRUE(w.load(w.taskText(), "task.dat").ok);
        } else if (way == 2) {
            w.openLink("v=1&Fn=20");
        } else {
            ASSERT_TRUE(w.openLesson(builtIn + 1));
        }
        EXPECT_EQ(w.lockedSettingsJson(), "[]") << way;
        EXPECT_TRUE(w.set("Fn", "20").ok) << way;
        // (an own lesson without locks still goes into the link)
        EXPECT_EQ(w.link().find("lesson=") == std::string::npos, way != 3) << way;
    }
}

// A lesson made from the page's state is that state: opened, the same run,
// pins, frame and goals; written as a file it reads back; a draft the
// reader refuses says what.
TEST(LessonSession, ALessonMadeFromTheStateOpensAsThatState)
{
    WebSession w;
    ASSERT_TRUE(w.set("fn2", "12").ok);
    w.pin();
    ASSERT_TRUE(w.set("Fn", "18").ok);
    ASSERT_EQ(w.addGoal("overshoot_pct <= 5"), "");
    w.setOverlay(true);
    w.setFrame(60);
    const std::string draft = R"({"title": {"en": "Mine", "ja": "私の"},
        "text": {"en": "Pin: {pin1.fn2}, here {Fn}.", "ja": "ピン {pin1.fn2}、ここ {Fn}。"},
        "hint": {"en": "", "ja": ""}, "fix": ["fn2=40"], "free": ["fn2"]})";
    const json made = json::parse(w.lessonFromStateJson(draft));
    ASSERT_TRUE(made.contains("lesson")) << made;
    const json& l = made["lesson"];
    EXPECT_EQ(l["set"], json::array({"fn2=12", "Fn=18"}));
    EXPECT_EQ(l["pins"], json::array({json::array({"fn2=12"})}));
    EXPECT_EQ(l["frame"], 60);
    EXPECT_EQ(l["overlay"], true);
    EXPECT_EQ(l["goals"], json::array({"overshoot_pct<=5"}));
    EXPECT_EQ(l["free"], json::array({"fn2"}));
    EXPECT_FALSE(l.contains("hint"));

    const std::string csv = w.csv();
    const json added = json::parse(w.addLessonJson(l.dump()));
    const int index = added["index"];
    EXPECT_EQ(index, static_cast<int>(builtInLessons().size()));
    EXPECT_EQ(json::parse(w.addLessonJson(l.dump()))["index"], index);
    w.resetDefaults();
    w.clearPins();
    ASSERT_TRUE(w.openLesson(index));
    EXPECT_TRUE(w.csv() == csv) << "not the run it was made from";
    EXPECT_EQ(w.pins().size(), 1u);
    EXPECT_EQ(w.frame(), 60);
    EXPECT_TRUE(w.overlay());
    EXPECT_EQ(w.lockedSettingsJson().find("\"fn2\""), std::string::npos);

    // the lesson file of a built-in lesson and this one reads back to them
    const json file = json::parse(w.lessonFileJson("[0, " + std::to_string(index) + "]"));
    std::vector<Lesson> back;
    std::string error;
    ASSERT_TRUE(readLessonFile(file["text"], back, error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(lessonJson(back[0]), lessonJson(builtInLessons()[0]));
    EXPECT_EQ(json::parse(lessonJson(back[1])), l);
    for (const char* wrong : {"[]", "[-1]", "[99]", "[0.5]", "{}", "[", "[4294967296]"})
        EXPECT_EQ(json::parse(w.lessonFileJson(wrong))["error"].get<std::string>().rfind("expected the indices", 0), 0u)
            << wrong;

    // what the reader refuses of a draft, named
    const struct {
        std::string draft;
        std::string error;
    } refusals[] = {
        {R"({"text": {"en": "x", "ja": "y"}})", "\"title\" has no text (en or ja)"},
        {R"({"title": {"en": "t", "ja": "t"}, "text": {"en": "{nothing}", "ja": "y"}})",
         "the en text or hint: {nothing}: no figure, setting or poles named 'nothing'"},
        {R"({"title": {"en": "t", "ja": "t"}, "text": {"en": "x", "ja": "y"}, "fix": ["KH1=-1"]})", "fix: KH1=-1: "},
        {R"({"title": {"en": "t", "ja": "t"}, "text": {"en": "x", "ja": "y"}, "free": ["nothing"]})",
         "\"free\": no setting named 'nothing'"},
        {R"({"title": {"en": "t", "ja": "t"}, "text": {"en": "x", "ja": "y"}, "colour": 1})",
         "the draft has an unknown key \"colour\""},
        {"[1]", "the draft must be an object"},
    };
    for (const auto& r : refusals) {
        const json said = json::parse(w.lessonFromStateJson(r.draft));
        ASSERT_TRUE(said.contains("error")) << r.draft;
        EXPECT_EQ(said["error"].get<std::string>().rfind(r.error, 0), 0u) << said;
    }
    EXPECT_EQ(json::parse(w.addLessonJson("{"))["error"].get<std::string>().rfind("the lesson is not JSON", 0), 0u);
}

// The goals' results: one verdict per goal and the figure it was checked
// on (null for none), the count passed and its fraction of all.
TEST(LessonSession, TheGoalResultsCountWhatPasses)
{
    WebSession w;
    const json none = json::parse(w.goalResultsJson());
    EXPECT_EQ(none, json::parse(R"({"passed": 0, "total": 0, "fraction": null, "goals": []})"));
    ASSERT_EQ(w.addGoal("overshoot_pct <= 1000"), "");
    ASSERT_EQ(w.addGoal("overshoot_pct < 0"), "");
    ASSERT_EQ(w.addGoal("final_force_N > 0"), "");
    const json r = json::parse(w.goalResultsJson());
    const json shown = json::parse(w.goalsJson());
    EXPECT_EQ(r["total"], 3);
    int passed = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(r["goals"][k]["pass"], shown[k]["pass"]) << k;
        EXPECT_EQ(r["goals"][k]["measured"], shown[k]["actual"]) << k;
        EXPECT_EQ(r["goals"][k]["figure"], shown[k]["name"]) << k;
        EXPECT_EQ(r["goals"][k]["operator"], shown[k]["op"]) << k;
        passed += shown[k]["pass"].get<bool>() ? 1 : 0;
    }
    EXPECT_EQ(r["goals"][0]["goal"], "overshoot_pct<=1000");
    EXPECT_EQ(r["goals"][0]["value"], 1000);
    EXPECT_EQ(r["goals"][1]["pass"], false);
    EXPECT_EQ(r["passed"], passed);
    EXPECT_DOUBLE_EQ(r["fraction"].get<double>(), passed / 3.0);
    // a figure that does not exist: measured null, and the goal fails
    WebSession far;
    ASSERT_TRUE(far.set("contour", "C").ok);
    ASSERT_TRUE(far.set("Ox", "3").ok);
    ASSERT_EQ(far.addGoal("settling_t_s < 1"), "");
    const json unreached = json::parse(far.goalResultsJson());
    EXPECT_TRUE(unreached["goals"][0]["measured"].is_null()) << unreached;
    EXPECT_EQ(unreached["goals"][0]["pass"], false);
    EXPECT_EQ(unreached["fraction"], 0.0);
}

}  // namespace
}  // namespace hybridsim

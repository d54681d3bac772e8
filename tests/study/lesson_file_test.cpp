// The lesson file: read whole or refused with one line naming the lesson
// and the fault, written back to the same lessons, the built-in file read
// by the same reader, and the settings a lesson locks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "study/lesson_file.h"
#include "study/lessons.h"
#include "task/task_link.h"
#include "task/task_setting.h"

namespace hybridsim {
namespace {

const std::string head =
    R"({"title": {"en": "t", "ja": "題"}, "text": {"en": "x", "ja": "文"}, "set": ["method=7"])";

std::string file(const std::string& lessons, const std::string& version = "1")
{
    return R"({"version": )" + version + R"(, "lessons": [)" + lessons + "]}";
}

// Each field where it belongs, and what the program takes of them.
TEST(LessonFile, AGoodFileGivesEveryField)
{
    std::vector<Lesson> lessons;
    std::string error;
    ASSERT_TRUE(readLessonFile(file(head + "}"), lessons, error)) << error;
    ASSERT_EQ(lessons.size(), 1u);
    EXPECT_EQ(lessons[0].title[1], "題");
    EXPECT_EQ(lessons[0].set, std::vector<std::string>{"method=7"});
    EXPECT_FALSE(lessons[0].locks);

    ASSERT_TRUE(readLessonFile(file(head + R"(, "pins": [["KH1=100"]], "overlay": true, "frame": 200,
        "goals": ["overshoot_pct<=5"], "fix": ["fn2=40"], "hint": {"en": "h", "ja": "ヒント"}},
        )" + head + R"(, "free": []})"),
                               lessons, error))
        << error;
    ASSERT_EQ(lessons.size(), 2u);
    const Lesson& l = lessons[0];
    ASSERT_EQ(l.pins.size(), 1u);
    EXPECT_EQ(l.pins[0], std::vector<std::string>{"KH1=100"});
    EXPECT_TRUE(l.overlay);
    EXPECT_EQ(l.frame, 200);
    EXPECT_EQ(l.goals, std::vector<std::string>{"overshoot_pct<=5"});
    EXPECT_EQ(l.fix, std::vector<std::string>{"fn2=40"});
    EXPECT_EQ(l.hint[1], "ヒント");
    // "free": [] locks every setting
    EXPECT_TRUE(lessons[1].locks);
    EXPECT_TRUE(lessons[1].free.empty());

    // a lesson in English or in Japanese alone shows its words in both; a hint empty in both is none
    ASSERT_TRUE(readLessonFile(file(R"({"title": {"ja": "題"}, "text": {"en": "x", "ja": ""}, "set": [],
                                       "hint": {"en": ""}})"),
                               lessons, error))
        << error;
    EXPECT_EQ(lessons[0].title[0], "題");
    EXPECT_EQ(lessons[0].text[1], "x");
    EXPECT_TRUE(lessons[0].hint[0].empty() && lessons[0].hint[1].empty());
}

// Any fault refuses the whole file, the lessons given unchanged, with one
// line naming the lesson and the fault.
TEST(LessonFile, AFaultRefusesTheFileWholeWithOneLine)
{
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        // the file's form and version
        {"[1", "the lessons are not JSON: "},
        {"{}", "the lessons are not of the form {\"version\": 1, \"lessons\": [...]}"},
        {"[" + head + "}]", "the lessons are not of the form {\"version\": 1, \"lessons\": [...]}"},
        {file(head + "}", "2"), "lessons of version 2: this program reads version 1"},
        {file(head + "}", "\"1\""), "\"version\" must be a whole number"},
        {R"({"version": 1, "lessons": [], "author": "me"})", "unknown key \"author\" beside \"version\" and \"lessons\""},
        {R"({"version": 1, "lessons": {}})", "the lessons are not of the form"},
        {file(""), "the file holds no lessons"},
        // a lesson's form
        {file(head + R"(, "hint": {"en": 5}})"), "lesson 1: \"hint\": its en text must be a text"},
        {file(head + R"(, "colour": 1})"), "lesson 1: unknown key \"colour\""},
        {file(head + "}, 5"), "lesson 2: a lesson must be an object"},
        {file(R"({"title": {}, "text": {"en": "x", "ja": "y"}, "set": []})"),
         "lesson 1: \"title\" has no text (en or ja)"},
        {file(R"({"title": {"en": "", "ja": ""}, "text": {"en": "x", "ja": "y"}, "set": []})"),
         "lesson 1: \"title\" has no text (en or ja)"},
        {file(R"({"title": {"en": "t", "ja": "y", "de": "z"}, "text": {"en": "x", "ja": "y"}, "set": []})"),
         "lesson 1: \"title\" has an unknown key \"de\" (en, ja)"},
        {file(R"({"title": "t", "text": {"en": "x", "ja": "y"}, "set": []})"),
         "lesson 1: \"title\" must be {\"en\": text, \"ja\": text}"},
        {file(R"({"title": {"en": "t", "ja": "y"}, "text": {"en": "x", "ja": "y"}})"),
         "lesson 1: \"set\" must be an array of texts"},
        {file(head + R"(, "pins": [[], [], [], [], []]})"),
         "lesson 1: \"pins\" must be an array of at most 4 pins, each an array of texts"},
        {file(head + R"(, "pins": [[1]]})"), "lesson 1: \"pins\" must be an array of at most 4 pins"},
        {file(head + R"(, "frame": -1})"), "lesson 1: \"frame\" must be a whole number from 0"},
        {file(head + R"(, "frame": 1.5})"), "lesson 1: \"frame\" must be a whole number from 0"},
        {file(head + R"(, "overlay": 1})"), "lesson 1: \"overlay\" must be true or false"},
        {file(head + R"(, "goals": [5]})"), "lesson 1: \"goals\" must be an array of texts"},
        {file(head + R"(, "fix": "method=8"})"), "lesson 1: \"fix\" must be an array of texts"},
        {file(head + R"(, "free": "fn2"})"), "lesson 1: \"free\" must be an array of texts"},
        {file(head + R"(, "free": ["fn2", "fn9"]})"), "lesson 1: \"free\": no setting named 'fn9'"},
        // what the program refuses of its settings, pins, goals and fix
        {file(head + R"(}, {"title": {"en": "t", "ja": "t"}, "text": {"en": "x", "ja": "y"}, "set": ["KH1=-1"]})"),
         "lesson 2: KH1=-1: "},
        {file(head + R"(, "set": ["fn2=-1"]})"), "the lessons are not JSON: the key \"set\" is given twice in one object"},
        {file(head + R"(, "pins": [["KH1=zero"]]})"), "lesson 1: pin 1: KH1=zero: "},
        {file(head + R"(, "goals": ["overshoot <= 5"]})"), "lesson 1: "},
        {file(head + R"(, "fix": ["fn2"]})"), "lesson 1: fix: 'fn2': expected NAME=VALUE"},
        {file(head + R"(, "frame": 201})"), "lesson 1: \"frame\" 201 is after the last sample, 200"},
        // a placeholder that cannot be filled, in either language
        {file(R"({"title": {"en": "t", "ja": "y"}, "text": {"en": "{overshoot_pct}", "ja": "{nothing}"}, "set": []})"),
         "lesson 1: the ja text or hint: {nothing}: no figure, setting or poles named 'nothing'"},
        {file(head + R"(, "hint": {"en": "{pin1.fn2}", "ja": "y"}})"),
         "lesson 1: the en text or hint: {pin1.fn2}: the lesson has no pin1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Lesson> lessons(1);
        lessons[0].title[0] = "kept";
        std::string error;
        EXPECT_FALSE(readLessonFile(c.text, lessons, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        ASSERT_EQ(lessons.size(), 1u);
        EXPECT_EQ(lessons[0].title[0], "kept");
    }
    // the placeholders are the one check a reader without the texts leaves out
    std::vector<Lesson> lessons;
    std::string error;
    EXPECT_TRUE(readLessonFile(file(head + R"(, "hint": {"en": "{pin1.fn2}", "ja": "y"}})"), lessons, error,
                               LessonCheck::withoutTexts))
        << error;
    EXPECT_FALSE(readLessonFile(file(head + R"(, "fix": ["fn2"]})"), lessons, error, LessonCheck::withoutTexts));
}

// A lesson with every field, Japanese, quotes, backslashes and what once
// could not be built in (")lesson\""), written and read back, as one
// object and in a file; and the built-in lessons through the file's text.
TEST(LessonFile, WrittenLessonsReadBackTheSame)
{
    Lesson l;
    l.title[0] = "Quotes \"and\" back\\slashes )lesson\"";
    l.title[1] = "引用符「\"」と \\ の題";
    l.text[0] = "Overshoot {overshoot_pct}, pin {pin1.overshoot_pct}, fixed {fix.overshoot_pct}.\nA new line\ttab.";
    l.text[1] = "行き過ぎ {overshoot_pct}、ピン {pin1.overshoot_pct}、修正後 {fix.overshoot_pct}。";
    l.hint[0] = "Try fn2.";
    l.hint[1] = "fn2 を試しましょう。";
    l.set = {"method=7", "fn2=10", "seterror=0.001"};
    l.pins = {{"method=8"}, {"KH1=100", "KH2=100"}};
    l.overlay = true;
    l.frame = 150;
    l.goals = {"overshoot_pct<=5", "settling_t_s < 0.4"};
    l.fix = {"fn2=40"};
    l.locks = true;
    l.free = {"fn2", "alpha2"};

    auto same = [](const Lesson& a, const Lesson& b) {
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(a.title[k], b.title[k]);
            EXPECT_EQ(a.text[k], b.text[k]);
            EXPECT_EQ(a.hint[k], b.hint[k]);
        }
        EXPECT_EQ(a.set, b.set);
        EXPECT_EQ(a.pins, b.pins);
        EXPECT_EQ(a.overlay, b.overlay);
        EXPECT_EQ(a.frame, b.frame);
        EXPECT_EQ(a.goals, b.goals);
        EXPECT_EQ(a.fix, b.fix);
        EXPECT_EQ(a.locks, b.locks);
        EXPECT_EQ(a.free, b.free);
    };
    const std::string json = lessonJson(l);
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_NE(json.find("引用符"), std::string::npos);  // UTF-8 as it is, not escaped
    Lesson back;
    std::string error;
    ASSERT_TRUE(readLessonJson(json, back, error)) << error;
    same(back, l);
    EXPECT_EQ(lessonJson(back), json);

    // a lesson without the optional fields and one that locks every setting
    Lesson bare;
    bare.title[0] = bare.title[1] = "t";
    bare.text[0] = bare.text[1] = "x";
    Lesson allLocked = bare;
    allLocked.locks = true;
    EXPECT_EQ(lessonJson(bare), R"({"title":{"en":"t","ja":"t"},"text":{"en":"x","ja":"x"},"set":[]})");
    EXPECT_EQ(lessonJson(allLocked), R"({"title":{"en":"t","ja":"t"},"text":{"en":"x","ja":"x"},"set":[],"free":[]})");

    std::vector<Lesson> read;
    ASSERT_TRUE(readLessonFile(lessonFileText({l, bare, allLocked}), read, error)) << error;
    ASSERT_EQ(read.size(), 3u);
    same(read[0], l);
    same(read[1], bare);
    same(read[2], allLocked);
    Lesson wrong;
    EXPECT_FALSE(readLessonJson(R"({"title": 1})", wrong, error));
    EXPECT_EQ(error, "\"title\" must be {\"en\": text, \"ja\": text}");
    EXPECT_FALSE(readLessonJson("{", wrong, error));
    EXPECT_EQ(error.rfind("the lesson is not JSON: ", 0), 0u) << error;

    // the built-in lessons: the file's bytes as they are, read by the same reader
    std::ifstream in(HYBRIDSIM_LESSONS_FILE, std::ios::binary);
    std::ostringstream onDisk;
    onDisk << in.rdbuf();
    EXPECT_EQ(builtInLessonFileText(), onDisk.str());
    std::vector<Lesson> builtIn;
    ASSERT_TRUE(builtInLessonList(builtIn, error)) << error;
    EXPECT_EQ(builtIn.size(), builtInLessons().size());
    EXPECT_GE(builtIn.size(), 13u);
    ASSERT_TRUE(readLessonFile(lessonFileText(builtIn), read, error, LessonCheck::withoutTexts)) << error;
    ASSERT_EQ(read.size(), builtIn.size());
    for (std::size_t k = 0; k < read.size(); ++k) EXPECT_EQ(lessonJson(read[k]), lessonJson(builtIn[k]));
}

// A lesson locks the settings it does not free; a change is found in the
// task whichever way it came (a method brings its own gains).
TEST(LessonFile, TheFirstLockedSettingThatDiffersIsNamed)
{
    Lesson l;
    l.set = {"method=7", "fn2=20"};
    auto after = [&](const std::vector<std::string>& items) {
        SimSettings s = lessonTask(l);
        for (const std::string& item : items) {
            const std::size_t eq = item.find('=');
            EXPECT_TRUE(setTaskSetting(s, item.substr(0, eq), item.substr(eq + 1)).ok) << item;
        }
        return s;
    };
    // without "free": nothing is locked
    EXPECT_EQ(lessonLockedChange(l, after({"fn2=30", "Fn=5"})), "");
    EXPECT_FALSE(lessonLocks(l, "fn2"));

    l.locks = true;
    l.free = {"fn2", "alpha2"};
    EXPECT_TRUE(lessonLocks(l, "Fn"));
    EXPECT_FALSE(lessonLocks(l, "fn2"));
    EXPECT_EQ(lessonLockedChange(l, lessonTask(l)), "");
    EXPECT_EQ(lessonLockedChange(l, after({"fn2=30", "alpha2=4"})), "");
    EXPECT_EQ(lessonLockedChange(l, after({"fn2=30", "Fn=5"})), "Fn");
    // the first in the task file's order
    EXPECT_EQ(lessonLockedChange(l, after({"Fn=5", "KH1=100"})), "KH1");
    // a setting back at the lesson's value is no change
    EXPECT_EQ(lessonLockedChange(l, after({"Fn=5", "Fn=10"})), "");
    // another contour: its numbers are not the lesson's
    l.free = {"contour"};
    const std::string changed = lessonLockedChange(l, after({"contour=C"}));
    EXPECT_NE(changed, "");
    EXPECT_NE(changed, "contour");
    // "free": [] locks every setting
    l.free.clear();
    EXPECT_EQ(lessonLockedChange(l, after({"fn2=30"})), "fn2");
    for (const std::string& name : taskSettingNames()) EXPECT_TRUE(lessonLocks(l, name)) << name;
}

}  // namespace
}  // namespace hybridsim

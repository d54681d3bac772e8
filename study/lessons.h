// The lessons, those that come with the program (lessons/lessons.json,
// built in) and a teacher's own (a lesson file, study/lesson_file.h):
// each a task with a title and a short text of what to try and what to
// look for, in English and Japanese, and optionally pins, the overlay, the
// sample shown and goals.  A lesson opens as the link it makes
// (task/task_link.h), so the page, the batch runner and a link handed out
// give the same run.
//
// A lesson file (study/lesson_file.h: {"version": 1, "lessons": [...]},
// lessons.json one too) holds lessons of the form
//   {"title": {"en", "ja"}, "text": {"en", "ja"},
//    "set": ["NAME=VALUE", ...],          the task: --set items on the default task
//    "pins": [["NAME=VALUE", ...], ...],  optional: each pin's task so (the default
//                                         task with the pin's own items, not
//                                         the lesson's), slots 1, 2, ...
//    "overlay": true, "frame": N,         optional; N a sample of the run (0..200)
//    "goals": ["NAME OP VALUE", ...],     optional: goals on the summary's figures
//    "fix": ["NAME=VALUE", ...],          optional: the change the text proposes,
//                                         with which the goals pass; a lesson
//                                         that has goals and no fix passes them
//                                         as it opens, one with a fix fails them
//    "hint": {"en", "ja"},                optional: what to try, without giving
//                                         the fix away
//    "free": ["NAME", ...]}               optional: the only settings (--set
//                                         names) the student may change while
//                                         the lesson is open; [] locks all
//
// A text (and a hint) quotes the figures of the runs it describes through
// placeholders, filled in from those runs whenever it is shown, so that no
// figure in it can go stale:
//   {NAME}        of the lesson's own run (its "set")
//   {pinN.NAME}   of pin N (1, 2, ...), {fix.NAME} of the run with the fix
//   {NAME:D}      with D significant digits (1 to 6; 3 when not given),
//   {NAME:Df}     with D decimals (0 to 6); below a millionth of its unit a
//                 figure is rounding and reads 0
// NAME is a figure of the run summary by its CSV column ("pos_err_max_m",
// written in the unit the page shows it in with that unit: "3.89 mm"), a
// setting by its --set name ("fn2": "20 Hz"; seterror in mm), or the poles
// of a loop: poles_force_model, poles_force_designed, poles_position_model,
// poles_position_designed ("-62.3 and -2.00 1/s"; under contact=spring the
// model's force poles are those of the loop with the ratio r), or one of the
// contact lab's figures of the force loop about the start, with r the
// measured force per newton of force command (stiffnessRatio,
// sim/contact_model.h: k/kh on a line or a circle with equal hand springs):
//   contact_ratio         r
//   contact_stiffness     k = 1/(1/KH1 + 1/KW) [N/m], when KH1 = KH2
//   period_limit          2 Kv2/(r (Kp2 - 1)) [s], the control period at
//                         which the sampled P-part reaches the pole -1
//   period_poles          the sampled loop's two poles z over one period at
//                         the run's control period (sampledForceLoop; none
//                         when continuous)
//   force_cmd_max_N       the largest force command of the samples (on the
//                         ideal contact the force)
// A figure that does not exist reads "none" ("なし").
#pragma once

#include <string>
#include <vector>

#include "task/task_link.h"

namespace hybridsim {

struct Lesson {
    std::string title[2];  // English, Japanese
    std::string text[2];
    std::vector<std::string> set;
    std::vector<std::vector<std::string>> pins;
    bool overlay = false;
    int frame = 0;
    std::vector<std::string> goals;
    std::vector<std::string> fix;  // applied after `set`
    std::string hint[2];           // English, Japanese; may be empty
    bool locks = false;               // "free" given: only those settings may change
    std::vector<std::string> free;    // --set names the student may change (when locks)
};

// A lesson as a student reads it: its title, text and hint in one
// language, every placeholder filled in from its runs.
struct LessonCard {
    std::string title;
    std::string text;
    std::string hint;
};

// The card of `lesson` in `language` ("en" or "ja"): false with `error`
// naming the first placeholder that cannot be filled (an unknown run or
// name, a pin the lesson does not have, a fix it does not have) or the
// setting that its runs refuse.
bool lessonCard(const Lesson& lesson, const std::string& language, LessonCard& card, std::string& error);

// The text of lessons/lessons.json as the program was built with it
// (study/embed_lessons.cmake embeds the file's bytes).
std::string builtInLessonFileText();

// The built-in lessons read from that text by the lesson file's reader
// (study/lesson_file.h; their texts' placeholders are checked by their
// tests): false with `error` its line when the file does not read.
bool builtInLessonList(std::vector<Lesson>& lessons, std::string& error);

// The built-in lessons, read once (none, and the reader's line on the
// error stream once, when the built-in file does not read).
const std::vector<Lesson>& builtInLessons();

// The lesson's state as a link holds it, in `language` ("en" or "ja"):
// false with `error` when a setting, goal or item of the fix is refused.
bool lessonState(const Lesson& lesson, const std::string& language, LinkState& state, std::string& error);

}  // namespace hybridsim

// The lessons that come with the program (lessons/lessons.json, built in):
// each a task with a title and a short text of what to try and what to
// look for, in English and Japanese, and optionally pins, the overlay, the
// sample shown and goals.  A lesson opens as the link it makes
// (console/task_link.h), so the page, the batch runner and a link handed out
// give the same run.
//
// lessons.json is an array of
//   {"title": {"en", "ja"}, "text": {"en", "ja"},
//    "set": ["NAME=VALUE", ...],          the task: --set items on the default task
//    "pins": [["NAME=VALUE", ...], ...],  optional: each pin's task so, slots 1, 2, ...
//    "overlay": true, "frame": N,         optional
//    "goals": ["NAME OP VALUE", ...],     optional: goals on the summary's figures
//    "fix": ["NAME=VALUE", ...]}          optional: the change the text proposes,
//                                         with which the goals pass; a lesson
//                                         that has goals and no fix passes them
//                                         as it opens, one with a fix fails them
#pragma once

#include <string>
#include <vector>

#include "console/task_link.h"

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
};

// The lessons as lessons/lessons.json gave them when the program was built
// (study/embed_lessons.cmake makes this function from the file, refusing a
// file of another form); what their settings and goals mean lessonState
// checks.
std::vector<Lesson> builtInLessonList();

// The built-in lessons, made once.
const std::vector<Lesson>& builtInLessons();

// The lesson's state as a link holds it, in `language` ("en" or "ja"):
// false with `error` when a setting, goal or item of the fix is refused.
bool lessonState(const Lesson& lesson, const std::string& language, LinkState& state, std::string& error);

}  // namespace hybridsim

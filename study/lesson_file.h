// The lesson file: lessons written by a teacher (or built in,
// lessons/lessons.json) in one versioned JSON form, read whole or not at
// all, and written back in the same form.
//
//   {"version": 1, "lessons": [ {lesson}, ... ]}
//
// A lesson object holds the fields study/lessons.h describes ("title",
// "text", "set", and optionally "hint", "pins", "overlay", "frame",
// "goals", "fix") and optionally
//   "free": ["fn2", "alpha2"]   the settings (by their --set names) the
//                               student may change; every other one is
//                               locked while the lesson is open.  Without
//                               "free" every setting is free; [] locks all.
//
// The reader refuses a file whole, with one line naming the lesson
// (1-based) and the fault, for: text that is not JSON, another form or
// version, an unknown key, a value of the wrong type, a title or text
// without words in either language, a setting, pin, goal or fix item the
// program refuses (lessonState), a frame after the last sample, a "free"
// name that is no setting, and a placeholder of a text or hint that cannot
// be filled (lessonCard).  A title, text or hint given in English or in
// Japanese alone shows the same words in both; a hint empty in both is none.
#pragma once

#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/lessons.h"

namespace hybridsim {

constexpr int lessonFileVersion = 1;

// How much of a lesson the reader checks: its form and what its settings,
// pins, goals and fix mean always; with `whole` its texts' placeholders
// too (that runs the lesson's runs: the built-in lessons' texts are
// checked by their tests instead).
enum class LessonCheck { whole, withoutTexts };

// Reads a lesson file's text, whole or nothing: false with `error` one
// line naming the lesson (1-based) and the fault, `lessons` unchanged.
bool readLessonFile(const std::string& text, std::vector<Lesson>& lessons, std::string& error,
                    LessonCheck check = LessonCheck::whole);

// One lesson object of that format as compact JSON (UTF-8, the optional
// fields only when they hold something), and back: readLessonJson checks
// it as the file reader checks each lesson, `error` one line without a
// lesson number.
std::string lessonJson(const Lesson& lesson);
bool readLessonJson(const std::string& json, Lesson& lesson, std::string& error,
                    LessonCheck check = LessonCheck::whole);

// The file's text of `lessons` (pretty, UTF-8, one field a line);
// readLessonFile gives them back.
std::string lessonFileText(const std::vector<Lesson>& lessons);

// The lesson's own task: the default task with its "set", derived.
SimSettings lessonTask(const Lesson& lesson);

// Whether the lesson locks the setting `name` (a --set name).
bool lessonLocks(const Lesson& lesson, const std::string& name);

// The first setting (its --set name, in the task file's order) in which
// `task` differs from the lesson's own task and which the lesson locks;
// "" when none.
std::string lessonLockedChange(const Lesson& lesson, const SimSettings& task);

}  // namespace hybridsim

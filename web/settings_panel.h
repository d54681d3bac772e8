// The page's settings panel, standing in for the console dialogue: its
// sections in the dialogue's order, with the dialogue's Japanese words
// (task/messages.h) and English ones in the words of the task-file
// messages (task/task_setting.h), and the values of the task's settings
// as the panel's fields show them.
//
//   (1-1) robot   (1-6) KH1 KH2   (2-1) method   (2-2) fn1 alpha1 fn2 alpha2
//   (3-2) contour: line x0 y0 xf yf tf | circle Ox Oy r tf | sine x0 y0 L A tf
//   (3-3) setting error [mm]   (3-4) Fn
//   and, last and closed until opened, the contact model: contact ideal|spring  KW period servo
//
// Every field is one setting of taskFields() by its name; the panel checks
// nothing itself: a value goes to setTaskSetting (web/web_session.h).
#pragma once

#include <string>

#include "sim/settings.h"

namespace hybridsim {

// The panel's sections as JSON, for the page to build its form from:
//   [{"id", "ja", "en", "folded", "selector": null | {"name", "options": [{"key", "ja", "en"}]},
//     "groups": [{"contour": "" | "L" | "C" | "S", "ja", "en",
//                 "fields": [{"id", "name", "ja", "en", "unit", "millimetres"}]}],
//     "note": null | {"ja", "en"}}]
// A field's id is its name, with its contour in front for a contour
// number ("S.x0"); "millimetres" marks the setting error, entered in mm.
// A selector's option keys are its values as a task file writes them: a
// character ("a", "7", "S") or a word ("ideal", "spring").  "folded" marks
// a section the dialogue does not have, shown closed until opened.
std::string settingsPanelLayout();

// The values of `s` as JSON: {"robot", "method", "contour", "contact", "values": {id: text}},
// each selector's value the key of its option ("b", "ideal"), and in
// "values" one text for each field that belongs to the robot and contour in force
// (the others are not shown).  A number is written with the fewest
// significant digits, at most 15, that read back to it (a number typed with
// up to 15 comes back as typed; 0.6000000000000001 shows as 0.6); the
// setting error in millimetres, 1000 times the metres, as the dialogue
// shows it.
std::string settingsPanelValues(const SimSettings& s);

}  // namespace hybridsim

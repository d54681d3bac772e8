// The settings a task consists of, by name: one table of the robot data
// file's fields in their order, with the names the report and the batch
// runner's --set use, the rule each value must meet and how it is stored.
//
// The task-file reader takes its tokens through this table, the writer
// writes them from it, and --set NAME=VALUE (and the browser's settings
// panel) change one of them by name, so that a value is refused in the same
// places, by the same rule, with the same words everywhere.
//
//   robot  l | l1 l2   KH1 KH2   method fn1 alpha1 fn2 alpha2
//   contour  x0 y0 xf yf tf | Ox Oy r tf | x0 y0 L A tf   seterror  Fn
//   [zeta1 n  zeta2 n  contact ideal|spring  KW n  period n  servo n]
//
// The last line is an optional tail of NAME VALUE pairs, written only for
// the settings that differ from their defaults (see docs/task-files.md).
#pragma once

#include <string>
#include <vector>

#include "sim/settings.h"

namespace hybridsim {

// What a value of a field must be.
enum class FieldRule {
    selector,     // one character out of `choices`
    word,         // one word out of `choices` (blank-separated); the value is its place, 0 the first
    finite,       // a finite number
    positive,     // a finite number greater than 0
    stiffness,    // a number greater than 0, inf allowed (rigid)
    nonNegative,  // a finite number, 0 or greater
    period,       // 0 (continuous), or from shortestControlPeriod to longestControlPeriod
};

// The line of a written task file that holds the optional tail: its fields
// are read and written by name, NAME VALUE, not by place.
constexpr int tailLine = 6;

struct TaskField {
    const char* name;        // as --set and the report name it: "KH1", "x0"
    const char* what;        // as messages name it: "the spring constant KH1 [N/m]"
    FieldRule rule;
    const char* choices;     // selector: the keys ("ab"); word: "ideal spring"; numbers: nullptr
    const char* choiceText;  // selector, word: "a or b"
    char robot;              // the field belongs to this robot only ('a', 'b'); 0: every robot
    char contour;            // ... to this contour only ('L', 'C', 'S'); 0: every contour
    int line;                // the line of a written file that holds it (0..5, tailLine)
    // The value as a file holds it (a selector's value is its character
    // code; a frequency in hertz; l2 with the probe; the gains of the
    // method in force as the run uses them), and storing such a value.
    double (*get)(const SimSettings&);
    void (*set)(SimSettings&, double);

    // Whether the field belongs to the robot and contour selected in `s`.
    bool belongsTo(const SimSettings& s) const;
    // Whether its value is one of named choices (a selector or a word), shown
    // as text rather than as a number.
    bool isChoice() const { return rule == FieldRule::selector || rule == FieldRule::word; }
    // A word choice's word at place `index` ("" beyond them), and the place
    // of `word` among them (-1: not one of them).
    std::string word(int index) const;
    int wordIndex(const std::string& word) const;
    // The name with its choices for a selector: "the robot type (a or b)".
    std::string named() const;
    // The description without its unit, "the spring constant KH1", and the
    // unit, "N/m" of "... KH1 [N/m]" ("" and the whole description without one).
    std::string label() const;
    std::string unit() const;
};

// Every field of a task file, in the file's order (the contour numbers of
// all three contours, each marked with its contour).
const std::vector<TaskField>& taskFields();

// The names that --set knows, each once, in the file's order.
std::vector<std::string> taskSettingNames();

// Why `value` cannot be stored in `f` ("must be greater than 0", "must be a
// finite number"), or "" when it can.  Choices are checked apart.
std::string numberRefusal(const TaskField& f, double value);

// Why the value of `f` that `s` holds could not be written to a task file
// and read back: held l2 + wp can round to 0 ("must be greater than 0; as
// the settings hold it, it is 0"), or "" when it can.
std::string heldRefusal(const TaskField& f, const SimSettings& s);

// Why system `system` (1 or 2) cannot have the damping ratio `zeta`, the
// angular frequency `wn` and the inverse time constant `alpha`, or "" when
// it can: 2 pi fn overflows, or the velocity gain Kv = 2 zeta wn + alpha is
// zero, and the model divides by it.
std::string gainRefusal(int system, double zeta, double wn, double alpha);

// The result of changing one setting by name.
struct SettingChange {
    bool ok = false;
    std::string message;  // why not: one line naming NAME=VALUE (each at most 60
                          // characters, other bytes escaped: shownText) and the rule
};

// Changes the setting `name` to `value` (as text, as a task file has it) in
// `s`, as the task-file reader would take it: the robot, method or contour
// selects; a contour number sets the contour selected in `s`; fn and alpha
// set the gains of the method in force and are stored for it, as the
// dialogue does; a new method brings its own stored gains; zeta1 and zeta2
// belong to the task, not to a method, and redesign the gains in force.  A value the
// rules refuse, an unknown name or a number that belongs to another robot
// or contour leaves `s` unchanged.  The caller derives the settings after.
SettingChange setTaskSetting(SimSettings& s, const std::string& name, const std::string& value);

// The value of field `f` in `s` as a task file writes it: a selector's
// character, a word choice's word, a number as the shortest decimal that gives back what `s`
// holds (see robotDataText).  Two settings records whose texts of `f` are
// the same hold the same value of it, as a task file gives it back.
std::string fieldText(const TaskField& f, const SimSettings& s);

// The task of `s` as the text of a robot data file, exactly as the reader
// reads it, every number the shortest decimal whose reading gives back the
// value the settings hold (l2 without the probe, 2 pi fn) to the last bit:
// reading it back gives bit-identical settings of everything the file holds.
// The tail line comes only when a tail field differs from its default, and
// names those that do.
std::string robotDataText(const SimSettings& s);

// Whether the tail field `f` holds its default in `s` (as written).
bool holdsDefault(const TaskField& f, const SimSettings& s);

}  // namespace hybridsim

// Comparing runs: pins, the settings in which two tasks differ, and how far
// one run strays from another.
//
// A pin is a finished run kept with its own task and series, so that the
// live run can be seen against it; pinning computes nothing.  The window,
// the browser edition and the batch runner's --compare all keep their
// runs in a PinSet, name a pin's differences by the one rule below and
// measure differences with compareRuns.
//
//   PinSet            at most pinCapacity pins, a new one in place of the oldest
//   settingDifferences  the settings of a pinned task that differ from another
//   pinLabel          "pin 1: Fn = 10 N (now 20 N)", shortened to fit
//   compareRuns       largest |dF|, |d tip|, |d sErr| and when they occur
//   printComparedSummaries  the batch runner's --summary of several runs
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

// --- pins ---

// Most pins kept at once; pinning one more replaces the oldest.
constexpr int pinCapacity = 4;

// A finished run kept for comparison.
struct Pin {
    SimSettings settings;  // the task as it was run (its display fields are not used)
    SeriesSet series;      // the recorded series of the task's robot [see SeriesSet]
    int slot = 0;          // 0..pinCapacity-1: colour, dash pattern and legend line; named "pin slot+1"
    long serial = 0;       // order of pinning within the set, 1 for the first [-]
};

class PinSet {
public:
    // Keeps a copy of the task `s` and of its robot's series in `run`
    // (currentSeries(run, s.type)): in the first free slot, or in the slot
    // of the oldest pin when every slot is taken.  Returns the slot.
    // oldestReplaced() says afterwards whether a pin made room.
    int pin(const SimSettings& s, const RunSeries& run);
    int pin(const SimSettings& s, const SeriesSet& series);
    // Keeps a copy of `s` and `series` in `slot` (0..pinCapacity-1) as the
    // newest pin, as a link gives its pins back; false (nothing kept) when
    // the slot is out of range or taken.
    bool pinInSlot(const SimSettings& s, const SeriesSet& series, int slot);
    // Forgets every pin.
    void clear();
    // Forgets the pin pins()[index] (an index out of range: nothing); the
    // others keep their slots, and the next pin takes the first free one.
    void remove(int index);
    bool oldestReplaced() const { return replaced_; }

    bool empty() const { return pins_.empty(); }
    int size() const { return static_cast<int>(pins_.size()); }
    // The pins in slot order; without a removal pins()[k].slot == k.
    const std::vector<Pin>& pins() const { return pins_; }

private:
    std::vector<Pin> pins_;
    long serial_ = 0;  // serial of the latest pin [-]
    bool replaced_ = false;  // the latest pin took the oldest one's slot
};

// The colour of a pin's slot as 0xRRGGBB: orange, magenta, teal, brown --
// none of the window's own colours (red, green, blue, yellow, white, black,
// light blue, the dark grey of text); every component a multiple of 0x33,
// so that 8-bit pictures hold it exactly.
std::uint32_t pinColour(int slot);

// --- the settings in which two tasks differ ---

// A setting of a pinned task whose value differs from the other task's.
struct SettingDifference {
    std::string name;   // the report's and the task file's name: "Fn", "method", "x0"
    std::string value;  // the pinned task's value as a task file holds it: "10", "7"
    std::string unit;   // "N", "Hz", "1/s", "m", "N/m"; "" for a selector
    bool selector = false;
    // The other task's value of the same setting, or "" when the setting
    // means something else there: a robot's length under another robot, a
    // method's gains under another method, a contour's numbers under
    // another contour.
    std::string other;
};

// The settings of task `pinned` (those of its robot and contour, in the
// task file's order) whose value differs from the value `other` holds for
// the same setting, compared as a task file writes them (selectors by
// their key, numbers by the shortest decimal that gives the held value
// back: values that differ in any bit differ).  The gains fn1 alpha1 fn2
// alpha2 are compared as each run uses them, those of its own method; a
// robot's lengths or a contour's numbers that `other` does not use are
// compared with what `other` holds for them.  Empty: the same task.
std::vector<SettingDifference> settingDifferences(const SimSettings& pinned, const SimSettings& other);

// One difference as text, `word` naming the other task:
//   "Fn = 10 N (now 20 N)", "method 7 (now 8)", "fn2 = 10 Hz" (no other value).
std::string differenceText(const SettingDifference& d, const std::string& word);

// Every difference joined by ", ", or "same task as WORD" when there is none.
std::string differencesText(const std::vector<SettingDifference>& d, const std::string& word);

// The legend line of pin `number` (1..pinCapacity):
//   "pin 1: Fn = 10 N (now 20 N)"
//   "pin 2: method 7 (now 8), fn2 = 10 Hz, alpha2 = 5 1/s"
//   "pin 3: same task as now"
// As many differences, from the first, as fit (`fits` says whether a text
// fits its place), the rest counted: "pin 4: contour C (now S), +3 more";
// when not even the first fits, "pin 4: 4 settings differ".
std::string pinLabel(int number, const std::vector<SettingDifference>& d,
                     const std::function<bool(const std::string&)>& fits, const std::string& word = "now");

// --- how far one run strays from another ---

// The largest absolute differences between a run and a reference run of
// the same sampling, over samples 0..the last both record, each with the
// first sample where it is reached and that sample's time in the
// reference.  A figure reads only the samples where both of its values
// are numbers; the force only the samples where both runs have a posture
// (study/summary.h: elsewhere the force is the model's, not a contact's).
// A figure with no such sample is nan, its sample -1.
struct RunDifference {
    int samples = 0;  // samples looked at [-]
    double forceMax = std::numeric_limits<double>::quiet_NaN();   // largest |F - F_ref| [N]
    int forceSample = -1;                                         // its sample [-]
    double forceTime = std::numeric_limits<double>::quiet_NaN();  // its time [s]
    double tipMax = std::numeric_limits<double>::quiet_NaN();     // largest |tip - tip_ref| [m]
    int tipSample = -1;                                           // [-]
    double tipTime = std::numeric_limits<double>::quiet_NaN();    // [s]
    double sErrMax = std::numeric_limits<double>::quiet_NaN();    // largest |sErr - sErr_ref| [m]
    int sErrSample = -1;                                          // [-]
    double sErrTime = std::numeric_limits<double>::quiet_NaN();   // [s]
};

RunDifference compareRuns(const SimSettings& refSettings, const SeriesSet& ref, const SimSettings& s,
                          const SeriesSet& set);

// --- the summary of compared runs ---

// One run of a comparison; the first of a list is the reference.
struct ComparedRun {
    std::string name;                     // "main", or the task file as named
    std::string about;                    // the reference's description ("the default task"); "" for none
    const SimSettings* settings = nullptr;  // the task, derived
    const SeriesSet* series = nullptr;      // its robot's series
};

// One block per run, the reference first, blank lines between them: a
// line "run NAME: ...", then printSummary's figures; for every other run
// the line names the settings in which it differs from the reference
// (word: the reference's name) and the block ends with the three
// differences of compareRuns, each with its time and sample.
void printComparedSummaries(const std::vector<ComparedRun>& runs, std::ostream& out);

// The same as CSV: a first column `run`, then the summary's columns, then
// force_diff_max_N, force_diff_t_s, tip_dist_max_m, tip_dist_t_s,
// s_err_diff_max_m, s_err_diff_t_s; one row per run, the reference first
// with the six difference fields empty (it is what the others are compared
// with), a figure with no sample to compare written as nan.
void printComparedSummariesCsv(const std::vector<ComparedRun>& runs, std::ostream& out);
std::string comparedCsvHeader(bool contact = false);

}  // namespace hybridsim

// The steps of one task of the batch runner, shared by a single run and by
// every task of a sweep, so that a sweep's task is computed exactly as the
// single run with the same settings:
//
//   loadTask       the program's start (entry defaults, defaults,
//                  derivation) and the task file, read whole or not at all
//   applySettings  NAME=VALUE settings in order (--set, then swept values)
//   deriveTask     every derived quantity
//   runTask        the whole run
//   summarizeRun   the figures (study/summary)
//
// A derivation or a run reports the points robot b cannot reach as whole
// lines on the stream it is given: standard error for a single run, the
// task's own text for a task of a sweep.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/run.h"
#include "sim/settings.h"
#include "task/task_setting.h"

namespace hybridsim {

// One NAME=VALUE setting, the value as text as a task file holds it.
struct Setting {
    std::string name;
    std::string value;
};

// The settings after the program's start and, when `taskFile` is not
// empty, the task file.  False with `error` set (one line) when the file is
// refused; the settings are then those of the start.
bool loadTask(const std::string& taskFile, SimSettings& s, std::ostream& notices, std::string& error);

// Applies `settings` in order through setTaskSetting; stops at the first
// that is refused and gives its change (ok false, the message naming
// NAME=VALUE and the rule).  The caller derives after.
SettingChange applySettings(SimSettings& s, const std::vector<Setting>& settings);

// The derivation, its unreachable points reported on `notices`.
void deriveTask(SimSettings& s, std::ostream& notices);

// The run of derived settings: first a notice when the path is longer than
// the run, then the run with its unreachable points, then a notice when its
// numbers stopped being numbers, on `notices`.
void runTask(const SimSettings& s, RunSeries& run, std::ostream& notices);

}  // namespace hybridsim

// A sweep of the batch runner: one task per value of one setting, or per
// pair of values of two (a grid), each computed exactly as the single run
// with the same --set would be, on several threads, and handed over in
// input order whatever the scheduling.
//
//   --sweep NAME=FROM:TO:COUNT   COUNT evenly spaced values, both ends included
//   --sweep NAME=V1,V2,...       the values given
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/batch_task.h"
#include "sim/settings.h"
#include "study/summary.h"

namespace hybridsim {

// Most tasks one sweep may have (a grid counts its pairs).
constexpr std::size_t sweepMaxTasks = 1000000;

// One swept setting and its values, as text as --set takes them: a list
// as given, or a range whose values are made when they are needed (a
// million of them cost nothing until then).
struct SweepAxis {
    std::string name;
    std::vector<std::string> list;  // V1,V2,...; empty for a range
    double from = 0.0;              // FROM:TO:COUNT
    double to = 0.0;
    std::size_t count = 0;

    std::size_t size() const { return list.empty() ? count : list.size(); }
    // Value i (0 <= i < size()): the i-th of the list, or of the range to
    // 12 digits after the first of its larger end (0.1:1:10 gives 0.3, not
    // 0.30000000000000004), more where the step is finer so that no two
    // values are the same, the ends as given, in its shortest exact text.
    std::string value(std::size_t i) const;
    std::vector<std::string> values() const;
};

// Reads the text after --sweep; false with `error` set (one line that names
// --sweep and the mistake) when it is no sweep, or a range whose values lie
// closer together than doubles tell apart (a step under 1e-14 of its larger
// end; FROM = TO is no such range).  NAME must be a setting's
// name; the values are not checked against its rule here: each task does
// that when it applies its value.
bool parseSweepAxis(const std::string& argument, SweepAxis& axis, std::string& error);

// The outcome of one task of a sweep.
struct SweepTaskResult {
    std::vector<std::string> values;  // the swept values, one per axis
    bool computed = false;  // false: a value was refused, nothing was computed
    // "ok"; "refused: NAME=VALUE: why"; "notice: " and the run's notices
    // (unreachable points, a path longer than the run) on one line
    std::string status;
    std::string row;     // the summary's CSV row (empty when not computed)
    RunSummary summary;  // its figures
    double Fn = 0.0;     // the task's contact force [N]
    // the contact force of every sample [s, N], when asked for; nan where
    // the robot does not reach (the force of no contact)
    std::vector<double> time;
    std::vector<double> force;
};

// The swept columns of a sweep's table are named by this prefix and the
// name, apart from the summary's own columns (sweep_robot, then robot).
inline constexpr const char* sweepColumnPrefix = "sweep_";

// Whether a sweep's table has the summary's contact columns: when any of
// its tasks may run under contact=spring (the base task does, or the
// contact model is swept).
bool sweepHasContact(const SimSettings& base, const std::vector<SweepAxis>& axes);

// The CSV header of a sweep's table: the swept names (with the prefix), the
// summary's columns (with the contact's as sweepHasContact says), status.
std::string sweepCsvHeader(const std::vector<SweepAxis>& axes, bool contact);
// One row of it (a task not computed has empty figures).
std::string sweepCsvRow(const SweepTaskResult& r, bool contact);

// Computes the task `index` of the sweep (the grid's first axis outermost)
// from the settings `base` (after the task file and every --set), into
// `work` and `run`: the swept values in the order of the axes, then
// derivation, run and summary, as deriveTask, runTask and summarizeRun do
// for a single run.
SweepTaskResult computeSweepTask(const SimSettings& base, const std::vector<SweepAxis>& axes,
                                 std::size_t index, bool keepForce, SimSettings& work, RunSeries& run);

// The number of tasks of a sweep (the product of the axes' value counts).
std::size_t sweepTaskCount(const std::vector<SweepAxis>& axes);

// Computes every task on `jobs` threads, each with its own settings record
// and run, and hands each result to `take` in input order on the calling
// thread; `take` returns false to stop the sweep.  At most a few tasks per
// thread are kept waiting for their turn, so memory does not grow with the
// number of tasks.  `tick` is called on the calling thread with the count
// of tasks handed over, after each and every tenth of a second.
void runSweep(const SimSettings& base, const std::vector<SweepAxis>& axes, int jobs, bool keepForce,
              const std::function<bool(SweepTaskResult&)>& take,
              const std::function<void(std::size_t done, std::size_t total)>& tick);

// The progress line of a sweep on a terminal: nothing during its first
// second, then "hybridsim-batch: sweep: N of M tasks" rewritten in place a
// few times a second; finish() clears it, and so does
// clearSweepProgressNow when the program is interrupted (the line on the
// process's standard error).  Off a terminal it writes nothing.
class SweepProgress {
public:
    using Clock = std::chrono::steady_clock;
    SweepProgress(std::ostream& err, bool terminal, Clock::time_point start = Clock::now());
    void update(std::size_t done, std::size_t total, Clock::time_point now = Clock::now());
    void finish();

private:
    std::ostream& err_;
    bool terminal_;
    bool useSignals_;  // the line is on the process's standard error
    Clock::time_point start_;
    Clock::time_point shown_;  // when the line was last written
    std::size_t width_ = 0;    // its length, 0 while none is shown
};

// Clears the progress line on standard error, if one is shown; safe to call
// in a signal handler.
void clearSweepProgressNow();

}  // namespace hybridsim

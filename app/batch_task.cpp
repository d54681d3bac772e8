#include "app/batch_task.h"

#include "sim/derivation.h"
#include "task/reach_notice.h"
#include "task/report.h"
#include "task/run_notice.h"
#include "task/task_file.h"

namespace hybridsim {
namespace {

// A derivation or a run, with its unreachable points reported as whole
// lines: the notice's message, its count, and a line end after them.
template <class Step>
void reported(std::ostream& notices, Step step)
{
    ReachNotice notice(notices);  // no key wait: nobody is at the keyboard
    notice.beginScope();
    step(&notice);
    const bool any = notice.count() > 0;
    notice.endScope();
    if (any) notices << '\n' << std::flush;
}

}  // namespace

bool loadTask(const std::string& taskFile, SimSettings& s, std::ostream& notices, std::string& error)
{
    // the program's start: entry defaults, defaults, derivation
    setEntryDefaults(s);
    setDefaults(s);
    reported(notices, [&](ReachReporter* r) { deriveSettings(s, r); });
    if (taskFile.empty()) return true;
    const TaskFileResult r = loadRobotDataFile(taskFile, s);
    if (!r.ok) error = r.error;
    return r.ok;
}

SettingChange applySettings(SimSettings& s, const std::vector<Setting>& settings)
{
    for (const Setting& one : settings) {
        const SettingChange change = setTaskSetting(s, one.name, one.value);
        if (!change.ok) return change;
    }
    return {true, ""};
}

void deriveTask(SimSettings& s, std::ostream& notices)
{
    reported(notices, [&](ReachReporter* r) { deriveSettings(s, r); });
}

void runTask(const SimSettings& s, RunSeries& run, std::ostream& notices)
{
    // a path longer than the run is traced only in part: said once
    const std::string tooShort = runTooShortNotice(s);
    if (!tooShort.empty()) notices << tooShort.substr(1) << "\n" << std::flush;
    RunFault fault;
    reported(notices, [&](ReachReporter* r) { fault = calcontrol(s, run, r); });
    // a run whose numbers stopped being numbers: from where and why, once
    const std::string blewUp = runFaultNotice(s, fault);
    if (!blewUp.empty()) notices << blewUp.substr(1) << "\n" << std::flush;
    // a sampled force loop with a pole outside the unit circle
    const std::string sampled = sampledLoopNotice(s);
    if (!sampled.empty()) notices << sampled.substr(1) << "\n" << std::flush;
}

}  // namespace hybridsim

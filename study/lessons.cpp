#include "study/lessons.h"

#include "console/task_setting.h"
#include "console/text_format.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "study/goals.h"

namespace hybridsim {

namespace {

// "NAME=VALUE" through setTaskSetting
bool applied(SimSettings& task, const std::string& item, std::string& why)
{
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos) {
        why = "'" + shownText(item) + "': expected NAME=VALUE";
        return false;
    }
    const SettingChange change = setTaskSetting(task, item.substr(0, eq), item.substr(eq + 1));
    if (!change.ok) why = change.message;
    return change.ok;
}

}  // namespace

const std::vector<Lesson>& builtInLessons()
{
    static const std::vector<Lesson> lessons = builtInLessonList();
    return lessons;
}

bool lessonState(const Lesson& lesson, const std::string& language, LinkState& state, std::string& error)
{
    state = LinkState();
    state.task = linkDefaultTask();
    for (const std::string& item : lesson.set)
        if (!applied(state.task, item, error)) return false;
    deriveSettings(state.task);
    for (std::size_t k = 0; k < lesson.pins.size(); ++k) {
        LinkPin p;
        p.slot = static_cast<int>(k);
        p.task = linkDefaultTask();
        for (const std::string& item : lesson.pins[k])
            if (!applied(p.task, item, error)) {
                error = format("pin %zu: ", k + 1) + error;
                return false;
            }
        deriveSettings(p.task);
        state.pins.push_back(p);
    }
    const int last = lastSample(state.task);
    if (lesson.frame > last) {
        error = format("\"frame\" %d is after the last sample, %d", lesson.frame, last);
        return false;
    }
    state.frame = lesson.frame;
    state.overlay = lesson.overlay;
    state.language = language == "ja" ? "ja" : "en";
    for (const std::string& g : lesson.goals) {
        Goal goal;
        if (!parseGoal(g, goal, error)) {
            error = goalError(error);
            return false;
        }
        state.goals.push_back(goalText(goal));
    }
    SimSettings fixed = state.task;
    for (const std::string& item : lesson.fix)
        if (!applied(fixed, item, error)) {
            error = "fix: " + error;
            return false;
        }
    return true;
}

}  // namespace hybridsim

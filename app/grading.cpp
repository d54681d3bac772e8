#include "app/grading.h"

#include "study/svg_chart.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// the name of the test case of the locked settings
constexpr const char* lockCase = "settings the lesson locks";

// "overshoot_pct = 7.3 <= 5": the goal line without its verdict
std::string checkedText(const Goal& goal, const GoalCheck& check)
{
    const std::string line = goalLine(goal, check);
    return line.substr(line.find("  ") + 2);
}

std::string goalName(const Goal& goal) { return goal.name + " " + goal.op + " " + goal.valueText; }

// the goals' results of a task not run: none measured
std::string refusedJson(const GradedTask& t)
{
    return "{\"task\":" + jsonQuoted(t.name) + ",\"error\":" + jsonQuoted(t.refused) +
           format(",\"passed\":0,\"total\":%zu,\"fraction\":%s,\"goals\":[]}", t.goals.size(),
                  t.goals.empty() ? "null" : "0");
}

// goalResultsJson's object with the task's name first and the locked
// setting last, as the task has them
std::string taskJson(const GradedTask& t)
{
    if (!t.refused.empty()) return refusedJson(t);
    std::string json = t.resultsJson;
    if (t.named) json = "{\"task\":" + jsonQuoted(t.name) + "," + json.substr(1);
    if (!t.locked.empty()) json = json.substr(0, json.size() - 1) + ",\"locked\":" + jsonQuoted(t.locked) + "}";
    return json;
}

// <testcase name="NAME" classname="SUITE"> with its failure or error, or
// closed at once when it passes
std::string testCase(const std::string& suite, const std::string& name, const char* fault,
                     const std::string& message)
{
    const std::string head = "    <testcase name=\"" + xmlText(name) + "\" classname=\"" + xmlText(suite) + "\"";
    if (fault == nullptr) return head + "/>\n";
    return head + ">\n      <" + fault + " message=\"" + xmlText(message) + "\"/>\n    </testcase>\n";
}

}  // namespace

bool GradedTask::passed() const
{
    if (!refused.empty() || !locked.empty()) return false;
    for (const GoalCheck& c : checks)
        if (!c.pass) return false;
    return true;
}

std::string gradeLines(const GradedTask& task)
{
    std::string out = task.named ? "task file " + task.name + "\n" : "";
    if (!task.refused.empty()) return out + "refused  " + task.refused + "\n";
    if (!task.locked.empty()) out += "FAIL  " + task.lockedMessage + "\n";
    for (std::size_t k = 0; k < task.goals.size() && k < task.checks.size(); ++k)
        out += goalLine(task.goals[k], task.checks[k]) + "\n";
    return out;
}

std::string gradesJson(const std::vector<GradedTask>& tasks)
{
    if (tasks.size() == 1 && !tasks[0].named) return taskJson(tasks[0]) + "\n";
    std::string out = "[";
    for (std::size_t k = 0; k < tasks.size(); ++k) out += (k == 0 ? "\n" : ",\n") + taskJson(tasks[k]);
    return out + "\n]\n";
}

std::string junitReport(const std::string& title, const std::vector<GradedTask>& tasks, bool lessonLocks)
{
    std::size_t allTests = 0, allFailures = 0, allErrors = 0;
    std::string suites;
    for (const GradedTask& t : tasks) {
        std::size_t tests = 0, failures = 0, errors = 0;
        std::string cases;
        if (!t.refused.empty()) {
            tests = errors = 1;
            cases = testCase(t.name, "task file", "error", t.refused);
        } else {
            if (lessonLocks) {
                ++tests;
                failures += t.locked.empty() ? 0 : 1;
                cases += testCase(t.name, lockCase, t.locked.empty() ? nullptr : "failure", t.lockedMessage);
            }
            for (std::size_t k = 0; k < t.goals.size() && k < t.checks.size(); ++k) {
                const bool pass = t.checks[k].pass;
                ++tests;
                failures += pass ? 0 : 1;
                cases += testCase(t.name, goalName(t.goals[k]), pass ? nullptr : "failure",
                                  "FAIL  " + checkedText(t.goals[k], t.checks[k]));
            }
        }
        allTests += tests;
        allFailures += failures;
        allErrors += errors;
        suites += "  <testsuite name=\"" + xmlText(t.name) +
                  format("\" tests=\"%zu\" failures=\"%zu\" errors=\"%zu\" skipped=\"0\">\n", tests, failures, errors) +
                  cases + "  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + xmlText(title) +
           format("\" tests=\"%zu\" failures=\"%zu\" errors=\"%zu\">\n", allTests, allFailures, allErrors) + suites +
           "</testsuites>\n";
}

}  // namespace hybridsim

// The grades of the batch runner: each task file's goals, checked on its
// run, as the pass/FAIL lines, as JSON (study/goals.h's goalResultsJson)
// and as a JUnit XML report, the form a course's build server reads.
#pragma once

#include <string>
#include <vector>

#include "study/goals.h"

namespace hybridsim {

// One task graded: the goals on its run, or why it was not run.
struct GradedTask {
    std::string name;     // the task file as given, or what stands for it ("the default task")
    bool named = false;   // several task files: each names itself in the lines and the JSON
    std::string refused;  // the task file refused: the reader's line ("" when it was read and run)
    std::string locked;   // the setting it changes that the lesson locks ("" when none)
    std::string lockedMessage;  // "student.dat changes fn2, which the lesson locks"
    std::vector<Goal> goals;
    std::vector<GoalCheck> checks;  // one per goal (none when refused)
    std::string resultsJson;        // goalResultsJson of the run ("" when refused)

    // every goal met and no locked setting changed
    bool passed() const;
};

// The pass/FAIL lines: a changed locked setting first ("FAIL  student.dat
// changes fn2, which the lesson locks"), then one line per goal; a task
// refused "refused  student.dat: WHY".  A named task starts with the line
// "task file NAME".
std::string gradeLines(const GradedTask& task);

// The JSON document of --goals-format json: goalResultsJson's object, with
// "locked" (the setting's name) when a locked setting is changed; several
// tasks: an array of them, each with "task" (its file) first, a refused one
// {"task", "error", "passed": 0, "total", "fraction": 0 (null without
// goals), "goals": []}.
std::string gradesJson(const std::vector<GradedTask>& tasks);

// The JUnit XML report: one <testsuite> per task, named by it, one
// <testcase> per goal (name: the goal's text) with a <failure> when it
// fails, a first test case "settings the lesson locks" when the lesson
// locks some, and a refused task one test case with an <error>; text
// escaped as study/svg_chart.h's xmlText escapes it.
// `lessonLocks`: whether the lesson locks settings (the test case is
// there, passing or failing).
std::string junitReport(const std::string& title, const std::vector<GradedTask>& tasks, bool lessonLocks);

}  // namespace hybridsim

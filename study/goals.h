// Goals a run's figures must meet: "settling_t_s < 0.3", each naming a
// column of the summary's CSV, a comparison and a value.  A goal is checked
// on the figure's value in the summary (summaryFigures()), the number the
// CSV writes to the last bit; a figure that does not exist (nan: "none",
// "never") meets no goal.
#pragma once

#include <string>
#include <vector>

#include "study/summary.h"

namespace hybridsim {

struct Goal {
    std::string name;       // a column of summaryFigures()
    std::string op;         // "<", "<=", ">" or ">="
    double value = 0.0;
    std::string valueText;  // as read: the shortest text that reads back to `value` ("16" for "0x10")
};

// The columns a goal may name: the summary's numeric ones, in its order.
std::vector<std::string> goalNames();

// Reads "NAME OP VALUE" (spaces around OP optional): false with `error`
// set to one line when the name is not a figure (the line lists them), the
// operator is none of the four, or the value is not a finite number.
bool parseGoal(const std::string& text, Goal& goal, std::string& error);

// The goal as links and lessons write it: "overshoot_pct<=5", which
// parseGoal reads back to the same goal.
std::string goalText(const Goal& goal);

// The line of a refused goal without the batch runner's "--require " in
// front, for readers that are not the command line.
std::string goalError(const std::string& error);

struct GoalCheck {
    bool pass = false;
    double actual = 0.0;  // the figure (nan when it does not exist)
};

// The goal on a run's summary.
GoalCheck checkGoal(const Goal& goal, const RunSummary& r);

// "pass  overshoot_pct = 3.2 <= 5", "FAIL  settling_t_s = none < 0.3".
std::string goalLine(const Goal& goal, const GoalCheck& check);

// The goals on a run as JSON, one form for the batch runner's
// --goals-format json and the page's goalResults():
//   {"passed": N, "total": N, "fraction": passed/total (null without goals),
//    "goals": [{"goal": goalText's, "figure": the column, "operator",
//               "value", "measured": the figure (null when it does not
//               exist), "pass"}]}
// every number the shortest text that reads back to its bits.
std::string goalResultsJson(const std::vector<Goal>& goals, const RunSummary& r);

// A sweep's goals column: "pass", or the failed goals as
// "settling_t_s = 0.41 <= 0.3" joined by "; ".
std::string goalsField(const std::vector<Goal>& goals, const RunSummary& r);

// --- goals as the page shows them: each figure in its own unit ---
// (summaryFigures(): unit and factor from the column's unit to it)

// The goal on `column` (a figure that makes sense as a goal) with `op` and
// a value typed in the unit the page shows the figure in: the value
// divided by the figure's factor, written as the column's own value with
// the fewest digits that show as the value typed (5 mm on pos_err_max_m:
// "pos_err_max_m<=0.005"), read by parseGoal as a link or --require reads
// it.  False when refused, with `why` one word -- "figure" (no figure to
// set a goal on), "operator" (none of <, <=, >, >=), "value" (not a finite
// number) -- and `error` one line saying it.
bool goalFromShown(const std::string& column, const std::string& op, const std::string& shownValue, Goal& goal,
                   std::string& why, std::string& error);

// The goal in the figure's title and unit: "largest |posErr| ≤ 5 mm"
// (goalText for a column that is no figure).
std::string goalShownText(const Goal& goal);

// "pass  largest |posErr| = 3.89 mm ≤ 5 mm", "FAIL  force settling time =
// none < 0.3 s": the figure in the page's unit with three significant
// digits (all those before the point), more where fewer would not show
// why the goal passes or fails.
std::string goalShownLine(const Goal& goal, const GoalCheck& check);

}  // namespace hybridsim

#include "study/goals.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "console/text_format.h"
#include "study/summary.h"

namespace hybridsim {
namespace {

// The fields of a CSV line without quoted commas (the summary has none).
std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ',')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string trimmed(const std::string& s)
{
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// The figure as a goal line writes it: "none" when it does not exist.
std::string figureText(double v) { return std::isnan(v) ? std::string("none") : format("%.6g", v); }

}  // namespace

std::vector<std::string> goalNames()
{
    std::vector<std::string> names;
    for (const std::string& f : fields(summaryCsvHeader()))
        if (f != "robot" && f != "method" && f != "contour") names.push_back(f);
    return names;
}

bool parseGoal(const std::string& text, Goal& goal, std::string& error)
{
    const std::string t = trimmed(text);
    const std::size_t at = t.find_first_of("<>");
    const std::string quoted = "'" + shownText(text) + "'";
    if (at == std::string::npos) {
        error = "--require needs NAME OP VALUE with OP one of <, <=, >, >= (got " + quoted + ")";
        return false;
    }
    goal.name = trimmed(t.substr(0, at));
    const bool orEqual = at + 1 < t.size() && t[at + 1] == '=';
    goal.op = t.substr(at, orEqual ? 2 : 1);
    goal.valueText = trimmed(t.substr(at + goal.op.size()));
    const std::vector<std::string> names = goalNames();
    bool known = false;
    for (const std::string& n : names) known = known || n == goal.name;
    if (!known) {
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
        error = "--require " + quoted + ": " +
                (goal.name.empty() ? std::string("no figure named") : "unknown figure '" + shownText(goal.name) + "'") +
                "; the figures are " + list;
        return false;
    }
    if (!goal.valueText.empty() && (goal.valueText[0] == '<' || goal.valueText[0] == '>' || goal.valueText[0] == '=')) {
        error = "--require " + quoted + ": the operator must be one of <, <=, >, >=";
        return false;
    }
    if (!parseDouble(goal.valueText, goal.value) || !std::isfinite(goal.value)) {
        error = "--require " + quoted + ": the value must be a finite number";
        return false;
    }
    return true;
}

std::string goalText(const Goal& goal) { return goal.name + goal.op + goal.valueText; }

std::string goalError(const std::string& error)
{
    const std::string prefix = "--require ";
    return error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
}

GoalCheck checkGoal(const Goal& goal, const std::string& header, const std::string& row)
{
    GoalCheck c;
    c.actual = std::nan("");
    const std::vector<std::string> names = fields(header);
    const std::vector<std::string> values = fields(row);
    for (std::size_t k = 0; k < names.size() && k < values.size(); ++k)
        if (names[k] == goal.name && !parseDouble(values[k], c.actual)) c.actual = std::nan("");
    const double a = c.actual;
    const double v = goal.value;
    c.pass = goal.op == "<" ? a < v : goal.op == "<=" ? a <= v : goal.op == ">" ? a > v : goal.op == ">=" && a >= v;
    return c;
}

std::string goalLine(const Goal& goal, const GoalCheck& check)
{
    return std::string(check.pass ? "pass  " : "FAIL  ") + goal.name + " = " + figureText(check.actual) + " " +
           goal.op + " " + goal.valueText;
}

std::string goalsField(const std::vector<Goal>& goals, const std::string& header, const std::string& row)
{
    std::string failed;
    for (const Goal& g : goals) {
        const GoalCheck c = checkGoal(g, header, row);
        if (!c.pass)
            failed += (failed.empty() ? "" : "; ") + g.name + " = " + figureText(c.actual) + " " + g.op + " " +
                      g.valueText;
    }
    return failed.empty() ? "pass" : failed;
}

}  // namespace hybridsim

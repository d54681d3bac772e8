#include "study/goals.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "portable_math/portable_math.h"
#include "study/summary.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

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
    for (const SummaryFigure& f : summaryFigures()) names.push_back(f.column);
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
    // the value as read, not as typed: "0x10" and 400 digits of 5 are 16 and 5
    goal.valueText = shortestNumber(goal.value);
    return true;
}

std::string goalText(const Goal& goal) { return goal.name + goal.op + goal.valueText; }

std::string goalError(const std::string& error)
{
    const std::string prefix = "--require ";
    return error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
}

GoalCheck checkGoal(const Goal& goal, const RunSummary& r)
{
    GoalCheck c;
    const SummaryFigure* f = summaryFigure(goal.name);
    c.actual = f ? f->value(r) : std::nan("");
    const double a = c.actual;
    const double v = goal.value;
    c.pass = goal.op == "<" ? a < v : goal.op == "<=" ? a <= v : goal.op == ">" ? a > v : goal.op == ">=" && a >= v;
    return c;
}

std::string goalResultsJson(const std::vector<Goal>& goals, const RunSummary& r)
{
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    int passed = 0;
    for (const Goal& g : goals) {
        const GoalCheck c = checkGoal(g, r);
        passed += c.pass ? 1 : 0;
        // (a figure that does not exist, nan, goes into JSON as null)
        list.push_back({{"goal", goalText(g)},
                        {"figure", g.name},
                        {"operator", g.op},
                        {"value", g.value},
                        {"measured", c.actual},
                        {"pass", c.pass}});
    }
    Json out;
    out["passed"] = passed;
    out["total"] = goals.size();
    out["fraction"] = goals.empty() ? Json() : Json(static_cast<double>(passed) / static_cast<double>(goals.size()));
    out["goals"] = std::move(list);
    return out.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string goalLine(const Goal& goal, const GoalCheck& check)
{
    return std::string(check.pass ? "pass  " : "FAIL  ") + goal.name + " = " + figureText(check.actual) + " " +
           goal.op + " " + goal.valueText;
}

std::string goalsField(const std::vector<Goal>& goals, const RunSummary& r)
{
    std::string failed;
    for (const Goal& g : goals) {
        const GoalCheck c = checkGoal(g, r);
        if (!c.pass)
            failed += (failed.empty() ? "" : "; ") + g.name + " = " + figureText(c.actual) + " " + g.op + " " +
                      g.valueText;
    }
    return failed.empty() ? "pass" : failed;
}

namespace {

// the value of a goal or a figure in the page's unit of its figure
constexpr int shownDigits = 15;

bool compares(double a, const std::string& op, double v)
{
    return op == "<" ? a < v : op == "<=" ? a <= v : op == ">" ? a > v : op == ">=" && a >= v;
}

// "≤" for "<=", "≥" for ">="
std::string opSign(const std::string& op)
{
    return op == "<=" ? "\u2264" : op == ">=" ? "\u2265" : op;
}

// " mm", or nothing for a count
std::string unitAfter(const SummaryFigure& f)
{
    return f.unit[0] == '\0' ? std::string() : std::string(" ") + f.unit;
}

}  // namespace

bool goalFromShown(const std::string& column, const std::string& op, const std::string& shownValue, Goal& goal,
                   std::string& why, std::string& error)
{
    const SummaryFigure* f = summaryFigure(column);
    if (!f || !f->goal) {
        why = "figure";
        error = "'" + shownText(column) + "' is no figure of the run summary to set a goal on";
        return false;
    }
    if (op != "<" && op != "<=" && op != ">" && op != ">=") {
        why = "operator";
        error = "the comparison '" + shownText(op) + "' is none of <, <=, >, >=";
        return false;
    }
    double shown = 0.0;
    const double value = parseDouble(shownValue, shown) ? shown / f->factor : std::nan("");
    if (!std::isfinite(shown) || !std::isfinite(value)) {
        why = "value";
        error = "the value '" + shownText(shownValue) + "' of " + f->title + " is not a finite number";
        return false;
    }
    // the fewest digits whose value shows, in the page's unit, as the value typed
    const std::string typed = shortestNumber(shown, shownDigits);
    std::string text = shortestNumberThat(
        value, [f, &typed](double v) { return shortestNumber(v * f->factor, shownDigits) == typed; });
    if (text.empty()) text = shortestNumber(value);
    // read as a link and --require read it
    if (!parseGoal(column + op + text, goal, error)) {
        why = "value";
        error = goalError(error);
        return false;
    }
    return true;
}

std::string goalShownText(const Goal& goal)
{
    const SummaryFigure* f = summaryFigure(goal.name);
    if (!f) return goalText(goal);
    return std::string(f->title) + " " + opSign(goal.op) + " " + shortestNumber(goal.value * f->factor, shownDigits) +
           unitAfter(*f);
}

std::string goalShownLine(const Goal& goal, const GoalCheck& check)
{
    const SummaryFigure* f = summaryFigure(goal.name);
    if (!f) return goalLine(goal, check);
    const double value = goal.value * f->factor;
    const double actual = check.actual * f->factor;
    std::string figure = "none";
    if (!std::isnan(actual)) {
        // three significant digits, every one before the point, and more
        // until the number shown passes or fails as the figure does
        const double size = std::fabs(actual);
        int digits = std::max(3, size >= 1.0 ? static_cast<int>(std::floor(pmath::log10(size))) + 1 : 0);
        for (digits = std::min(digits, 17);; ++digits) {
            figure = shortestNumber(actual, digits);
            double back = 0.0;
            parseDouble(figure, back);
            if (digits == 17 || compares(back, goal.op, value) == check.pass) break;
        }
    }
    const std::string unit = unitAfter(*f);
    return std::string(check.pass ? "pass  " : "FAIL  ") + f->title + " = " + figure +
           (std::isnan(actual) ? std::string() : unit) + " " + opSign(goal.op) + " " +
           shortestNumber(value, shownDigits) + unit;
}

}  // namespace hybridsim

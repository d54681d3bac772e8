#include "study/lessons.h"

#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "portable_math/portable_math.h"
#include "sim/contact_model.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "study/goals.h"
#include "study/loop_poles.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"

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

// Below this share of its unit a figure is rounding (a nanometre of a
// millimetre, a micronewton).
constexpr double roundingFloor = 1e-6;

// One of the runs a lesson's text quotes: its task, derived, run and summarised.
struct QuotedRun {
    SimSettings task;
    RunSummary summary;
    double forceCommandMax = 0.0;  // the largest force command of the samples [N]
};

// A number as a student reads it: `digits` significant digits (a setting's
// value without its trailing zeros), or that many decimals when `fixed`; no
// exponent (1234 is "1234", not "1.23e+03"); anything below a millionth of
// its unit is rounding and reads 0; "none" when it is not a number.
std::string quoted(double v, int digits, bool fixed, bool japanese, bool trailingZeros = true)
{
    if (!std::isfinite(v)) return japanese ? "なし" : "none";
    if (std::fabs(v) < roundingFloor) v = 0.0;
    if (fixed) return format("%.*f", digits, v + 0.0);
    if (v == 0.0) return "0";
    if (std::fabs(v) >= pmath::pow(10.0, digits)) return format("%.0f", v);
    // the digits that count, their trailing zeros too ("2.00")
    const int magnitude = static_cast<int>(std::floor(pmath::log10(std::fabs(v))));
    const int decimals = std::max(0, digits - 1 - magnitude);
    std::string text = format("%.*f", decimals, v);
    if (!trailingZeros && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

// The number and its unit, joined by a no-break space so that no line
// ends between them.
std::string withUnit(const std::string& number, const std::string& unit)
{
    return unit.empty() || number == "none" || number == "なし" ? number : number + "\u00a0" + unit;
}

// The poles as text: "-62.3 and -2.00", a double pole once with "(twice)",
// a complex pair as "-10.0 ± 5.00i"; then the unit.
std::string polesText(const std::vector<Pole>& poles, int digits, bool japanese, const char* unit = "1/s")
{
    std::vector<std::string> parts;
    for (std::size_t k = 0; k < poles.size(); ++k) {
        const Pole& p = poles[k];
        if (p.im < 0.0) continue;  // the pair's other half
        std::string one = quoted(p.re, digits, false, japanese);
        if (p.im > 0.0) one += " ± " + quoted(p.im, digits, false, japanese) + "i";
        const bool twice = k + 1 < poles.size() && poles[k + 1].re == p.re && poles[k + 1].im == p.im;
        if (twice) {
            one += japanese ? "（重根）" : " (twice)";
            ++k;
        }
        parts.push_back(one);
    }
    std::string text;
    for (std::size_t k = 0; k < parts.size(); ++k)
        text += (k == 0 ? "" : k + 1 == parts.size() ? (japanese ? " と " : " and ") : ", ") + parts[k];
    return withUnit(text, unit);
}

// The runs of a lesson, made when its text first quotes them.
class LessonRuns {
public:
    explicit LessonRuns(const Lesson& l) : lesson_(l) {}

    // run "" (the lesson's own), "pinN" or "fix"; null with `error` set
    const QuotedRun* get(const std::string& which, std::string& error)
    {
        std::vector<std::string> items = lesson_.set;
        if (which == "fix") {
            if (lesson_.fix.empty()) {
                error = "the lesson has no fix";
                return nullptr;
            }
            items.insert(items.end(), lesson_.fix.begin(), lesson_.fix.end());
        } else if (which.rfind("pin", 0) == 0) {
            const std::string n = which.substr(3);
            if (n.size() != 1 || n[0] < '1' || n[0] > '4' ||
                static_cast<std::size_t>(n[0] - '0') > lesson_.pins.size()) {
                error = "the lesson has no " + which;
                return nullptr;
            }
            items = lesson_.pins[static_cast<std::size_t>(n[0] - '1')];
        } else if (!which.empty()) {
            error = "no run named '" + which + "' (pin1 to pin4, fix)";
            return nullptr;
        }
        auto& slot = runs_[which];
        if (!slot) {
            auto made = std::make_unique<QuotedRun>();
            made->task = linkDefaultTask();
            for (const std::string& item : items)
                if (!applied(made->task, item, error)) return nullptr;
            deriveSettings(made->task);
            auto series = std::make_unique<RunSeries>();
            calcontrol(made->task, *series);
            const SeriesSet& set = currentSeries(*series, made->task.type);
            made->summary = summarizeRun(made->task, set);
            made->forceCommandMax = std::nan("");
            for (int i = 0; i <= lastSample(made->task); ++i)
                if (std::isfinite(set.forceCommand[i]) && !(set.forceCommand[i] <= made->forceCommandMax))
                    made->forceCommandMax = set.forceCommand[i];
            slot = std::move(made);
        }
        return slot.get();
    }

private:
    const Lesson& lesson_;
    std::map<std::string, std::unique_ptr<QuotedRun>> runs_;
};

// The contact stiffness k = 1/(1/KH1 + 1/KW) where it does not depend on
// the posture (KH1 = KH2), not a number otherwise.
double contactStiffness(const SimSettings& s)
{
    return s.KH1 == s.KH2 ? 1.0 / (1.0 / s.KH1 + 1.0 / s.KW) : std::nan("");
}

// The text of one placeholder's inside ("pin1.overshoot_pct:2"), or false with `error`.
bool placeholder(const std::string& inside, LessonRuns& runs, bool japanese, std::string& out, std::string& error)
{
    std::string name = inside;
    int digits = 3;
    bool fixed = false;
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos) {
        const std::string d = name.substr(colon + 1);
        fixed = d.size() == 2 && d[1] == 'f';
        if (d.empty() || d.size() > 2 || (d.size() == 2 && !fixed) || d[0] < (fixed ? '0' : '1') || d[0] > '6') {
            error = "after ':' 1 to 6 significant digits, or 0f to 6f decimals";
            return false;
        }
        digits = d[0] - '0';
        name = name.substr(0, colon);
    }
    std::string which;
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        which = name.substr(0, dot);
        name = name.substr(dot + 1);
    }
    const QuotedRun* run = runs.get(which, error);
    if (!run) return false;
    if (const SummaryFigure* f = summaryFigure(name)) {
        const double v = f->factor * f->value(run->summary);
        // a count as a whole number
        out = f->unit[0] == '\0' ? quoted(v, 0, true, japanese) : withUnit(quoted(v, digits, fixed, japanese), f->unit);
        return true;
    }
    // the contact lab's figures of the force loop about the start
    // (sim/contact_model.h: r, the measured force per newton of command)
    const SimSettings& t = run->task;
    if (name == "force_cmd_max_N") {
        out = withUnit(quoted(run->forceCommandMax, digits, fixed, japanese), "N");
        return true;
    }
    if (name == "contact_stiffness") {
        out = withUnit(quoted(contactStiffness(t), digits, fixed, japanese), "N/m");
        return true;
    }
    if (name == "contact_ratio") {
        out = quoted(stiffnessRatio(t), digits, fixed, japanese);
        return true;
    }
    if (name == "period_limit") {
        out = withUnit(quoted(2.0 * t.Kv2 / (stiffnessRatio(t) * (t.Kp2 - 1.0)), digits, fixed, japanese), "s");
        return true;
    }
    if (name == "period_poles") {
        // the sampled loop's poles z over one period (none when continuous)
        const SampledForceLoop z = sampledForceLoop(t);
        out = z.computed ? polesText({{z.re[0], z.im[0]}, {z.re[1], z.im[1]}}, digits, japanese, "")
                         : quoted(std::nan(""), digits, fixed, japanese);
        return true;
    }
    const std::string polesPrefix = "poles_";
    if (name.rfind(polesPrefix, 0) == 0) {
        const std::array<LoopPoles, 2> loops = loopPoles(run->task);
        for (const auto& [loop, system] : {std::pair{"position", 0}, std::pair{"force", 1}})
            for (const char* kind : {"model", "designed"})
                if (name == polesPrefix + loop + "_" + kind) {
                    const LoopPoles& l = loops[static_cast<std::size_t>(system)];
                    out = polesText(std::string(kind) == "model" ? l.model : l.designed, digits, japanese);
                    return true;
                }
    }
    // the field of the run's robot and contour (x0, y0 and tf are each
    // contour's own)
    for (const TaskField& f : taskFields()) {
        if (name != f.name || !f.belongsTo(run->task)) continue;
        const double v = f.get(run->task);
        if (f.isChoice()) {
            out = fieldText(f, run->task);
        } else if (name == "seterror") {
            out = withUnit(quoted(1000.0 * v, digits, fixed, japanese, false), "mm");
        } else {
            out = withUnit(quoted(v, digits, fixed, japanese, false), settingUnit(name));
        }
        return true;
    }
    error = "no figure, setting or poles named '" + name + "'";
    return false;
}

// `text` with every placeholder filled in
bool filled(const std::string& text, LessonRuns& runs, bool japanese, std::string& out, std::string& error)
{
    out.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('{', at);
        if (open == std::string::npos) {
            out += text.substr(at);
            break;
        }
        const std::size_t close = text.find('}', open);
        if (close == std::string::npos) {
            error = "a '{' without its '}'";
            return false;
        }
        out += text.substr(at, open - at);
        std::string value;
        const std::string inside = text.substr(open + 1, close - open - 1);
        if (!placeholder(inside, runs, japanese, value, error)) {
            error = "{" + inside + "}: " + error;
            return false;
        }
        out += value;
        at = close + 1;
    }
    return true;
}

}  // namespace

bool lessonCard(const Lesson& lesson, const std::string& language, LessonCard& card, std::string& error)
{
    const bool japanese = language == "ja";
    const int k = japanese ? 1 : 0;
    LessonRuns runs(lesson);
    card.title = lesson.title[k];
    return filled(lesson.text[k], runs, japanese, card.text, error) &&
           filled(lesson.hint[k], runs, japanese, card.hint, error);
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

#include "web/web_session.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "drawing/frame.h"
#include "drawing/pin_drawing.h"
#include "playback/keys.h"
#include "portable_math/portable_math.h"
#include "sim/derivation.h"
#include "study/lesson_file.h"
#include "study/lessons.h"
#include "study/loop_poles.h"
#include "study/loops_chart.h"
#include "study/pole_handles.h"
#include "study/sample_description.h"
#include "study/design_map.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "study/svg_chart.h"
#include "task/reach_notice.h"
#include "task/report.h"
#include "task/run_notice.h"
#include "task/series_csv.h"
#include "task/task_file.h"
#include "task/task_link.h"
#include "task/text_format.h"
#include "web/loops_figures.h"

namespace hybridsim {

WebSession::WebSession()
{
    // the program's start: entry defaults, defaults, then the first run
    setEntryDefaults(*s_);
    setDefaults(*s_);
    compute(true);
}

namespace {

// Hands every unreachable point on to the console's notice and keeps the first.
class FirstUnreachable : public ReachReporter {
public:
    explicit FirstUnreachable(ReachReporter& next) : next_(next) {}
    void unreachable(double l1, double L2, double x, double y) override
    {
        if (!met) {
            met = true;
            this->l1 = l1;
            this->L2 = L2;
            this->x = x;
            this->y = y;
        }
        next_.unreachable(l1, L2, x, y);
    }
    bool met = false;
    double l1 = 0.0, L2 = 0.0, x = 0.0, y = 0.0;

private:
    ReachReporter& next_;
};

// The console's detail line in the page's English.  Robot b's probe tip
// reaches the points whose distance d from its base satisfies
// |l1 - L2| <= d <= l1 + L2 (L2 link 2 up to the probe tip, l2 + wp); a
// point that is no finite number is an overflow handed on, not a place.
std::string reachDetailText(const FirstUnreachable& p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return format("The first point out of reach is no place: (x, y) = (%.3f, %.3f) m, numbers that overflowed.",
                      plainNan(p.x), plainNan(p.y));
    return format("The first point out of reach: (x, y) = (%.3f, %.3f) m, %.3f m from the base of robot b, whose "
                  "probe tip reaches from %.3f m to %.3f m from it (l1 = %.3f m, l2 + wp = %.3f m).",
                  p.x, p.y, pmath::hypot(p.x, p.y), std::fabs(p.l1 - p.L2), p.l1 + p.L2, p.l1, p.L2);
}

}  // namespace

void WebSession::compute(bool fromStart)
{
    // one notice for the derivation and the run: the first unreachable
    // point with its coordinates, then how many there were
    std::ostringstream out;
    ReachNotice notice(out);
    FirstUnreachable first(notice);
    notice.beginScope();
    deriveSettings(*s_, &first);
    const RunFault fault = calcontrol(*s_, *run_, &first);
    unreachable_ = notice.count();
    notice.endScope();
    notice_ = out.str();
    reachDetail_ = first.met ? reachDetailText(first) : std::string();
    // the samples left without a posture by the unreachable points: every
    // one before the sample from which the run's numbers failed otherwise
    const SeriesSet& set = currentSeries(*run_, s_->type);
    const int lastReached = fault ? fault.sample - 1 : lastFrame();
    faultSample_ = fault ? fault.sample : -1;
    unreachableSamples_ = 0;
    for (int i = 0; i <= lastReached; ++i)
        if (!hasPosture(set, i)) ++unreachableSamples_;
    runTooShort_ = runTooShortNotice(*s_);
    // a run that blew up: in the page's English, then the console's line
    // and a sampled force loop that is unstable, in the same box
    std::string english = runFaultNotice(*s_, fault, NoticeLanguage::english);
    std::string console = fault ? runFaultNotice(*s_, fault).substr(1) : std::string();
    const std::string sampled = sampledLoopNotice(*s_, NoticeLanguage::english);
    if (!sampled.empty()) {
        english += (english.empty() ? "" : " ") + sampled;
        console += (console.empty() ? "" : "\n") + sampledLoopNotice(*s_).substr(1);
    }
    runFault_ = english.empty() ? std::string() : english + "\n" + console;
    if (fromStart) {
        // the view as a settings pass leaves it
        resetView(*s_);
        playback_.pause();
    } else {
        // the same instant of the new run
        s_->pointErrorGain = pointErrorGainShown;
        s_->frame = std::max(0, std::min(s_->frame, lastFrame()));
    }
    // the study graphs take the run when next asked for; a task of its own
    // fits their force scale
    currentDue_ = true;
    runsDue_ = true;
    summaryDue_ = true;
    if (fromStart) fitDue_ = true;
    // the pins' labels name their differences from the new task
    if (!pins_.empty()) showPins();
}

void WebSession::showPins()
{
    std::vector<StudyRun> runs;
    for (std::size_t k = 0; k < pinRuns_.size(); ++k) {
        runs.push_back(pinRuns_[k]);
        runs.back().label = pinLegendText(pins_.pins()[k], *s_);
    }
    setOtherRuns(std::move(runs));
}

namespace {

std::string pinColourText(int slot)
{
    return format("#%06x", static_cast<unsigned>(pinColour(slot)));
}

}  // namespace

WebSession::PinResult WebSession::pin()
{
    PinResult r;
    r.slot = pins_.pin(*s_, *run_);
    r.replaced = pins_.oldestReplaced();
    // the pin's place in pin order is its slot's among the slots taken
    std::size_t at = 0;
    while (pins_.pins()[at].slot != r.slot) ++at;
    addPinRun(at, r.replaced);
    showPins();
    r.message = "pinned as pin " + std::to_string(r.slot + 1) + (r.replaced ? " in place of the oldest pin" : "");
    return r;
}

void WebSession::addPinRun(std::size_t at, bool replace)
{
    const Pin& p = pins_.pins()[at];
    StudyRun run = studyRun(p.settings, p.series, "", pinColourText(p.slot));
    if (replace)
        pinRuns_[at] = std::move(run);
    else
        pinRuns_.insert(pinRuns_.begin() + static_cast<std::ptrdiff_t>(at), std::move(run));
}

bool WebSession::unpin(int index)
{
    if (index < 0 || index >= pins_.size()) return false;
    pins_.remove(index);
    pinRuns_.erase(pinRuns_.begin() + index);
    showPins();
    return true;
}

void WebSession::clearPins()
{
    pins_.clear();
    pinRuns_.clear();
    showPins();
}

void WebSession::resetDefaults()
{
    // the program's start, as the constructor makes it
    auto fresh = std::make_unique<SimSettings>();
    setEntryDefaults(*fresh);
    setDefaults(*fresh);
    *s_ = *fresh;
    lessonOpen_.reset();
    compute(true);
}

bool WebSession::setLanguage(const std::string& language)
{
    if (language != "en" && language != "ja") return false;
    language_ = language;
    return true;
}

std::string WebSession::link() const
{
    LinkState state;
    state.task = *s_;
    state.frame = s_->frame;
    state.overlay = overlay_;
    state.language = language_;
    for (const Goal& g : goals_) state.goals.push_back(goalText(g));
    std::vector<const Pin*> byAge;
    for (const Pin& p : pins_.pins()) byAge.push_back(&p);
    std::sort(byAge.begin(), byAge.end(), [](const Pin* a, const Pin* b) { return a->serial < b->serial; });
    for (const Pin* p : byAge) state.pins.push_back({p->slot, p->settings});
    if (lessonOpen_) state.lesson = lessonJson(*lessonOpen_);
    return linkFragment(state);
}

WebSession::LinkOpened WebSession::openLink(const std::string& fragment)
{
    static_assert(linkMostPins == pinCapacity, "a link holds as many pins as the page");
    std::vector<Goal> goals;
    // (the reader skips the goals after linkMostGoals, as many as the page keeps)
    const LinkGoalReader readGoal = [&goals](std::string& text, std::string& error) {
        Goal g;
        if (!parseGoal(text, g, error)) {
            error = goalError(error);
            return false;
        }
        goals.push_back(g);
        text = goalText(g);
        return true;
    };
    const LinkReading r = readLinkFragment(fragment, readGoal);
    LinkOpened opened{r.refused, r.skipped, r.skippedCount, false};
    auto skip = [&opened](const std::string& why) {
        if (opened.skipped.size() < linkMostReasons) opened.skipped.push_back(why);
        ++opened.skippedCount;
    };
    // the lesson the link opens, and its locks: a locked setting that
    // differs from the lesson's own task is skipped, the lesson's value kept
    std::unique_ptr<Lesson> lesson;
    SimSettings task = r.state.task;
    if (!r.state.lesson.empty()) {
        auto read = std::make_unique<Lesson>();
        std::string error;
        if (readLessonJson(r.state.lesson, *read, error))
            lesson = std::move(read);
        else
            skip("lesson=" + shownText(r.state.lesson.substr(0, 40)) + (r.state.lesson.size() > 40 ? "...: " : ": ") +
                 error);
    }
    if (lesson && lesson->locks) {
        const SimSettings own = lessonTask(*lesson);
        for (std::size_t round = 0; round <= taskFields().size(); ++round) {
            const std::string name = lessonLockedChange(*lesson, task);
            if (name.empty()) break;
            std::string given;
            const TaskField* ownField = nullptr;
            for (const TaskField& f : taskFields()) {
                if (name != f.name) continue;
                if (f.belongsTo(task)) given = fieldText(f, task);
                if (f.belongsTo(own)) ownField = &f;
            }
            skip(name + "=" + given + ": " + name + " is locked by the lesson");
            // (a setting the lesson's task does not have: the lesson's task whole)
            if (!ownField || !setTaskSetting(task, name, fieldText(*ownField, own)).ok) task = own;
        }
        if (!lessonLockedChange(*lesson, task).empty()) task = own;
    }
    if (lesson) {
        const std::size_t before = ownLessons_.size();
        lessonIndex(*lesson);
        opened.lessonAdded = ownLessons_.size() > before;
    }
    lessonOpen_ = std::move(lesson);
    goals_ = goals;
    *s_ = task;
    compute(true);
    clearPins();
    for (const LinkPin& p : r.state.pins) {
        // the pin's task as a run of its own makes it: derived, run, as compute() leaves it
        SimSettings task = p.task;
        auto run = std::make_unique<RunSeries>();
        deriveSettings(task);
        calcontrol(task, *run);
        task.pointErrorGain = pointErrorGainShown;
        if (!pins_.pinInSlot(task, currentSeries(*run, task.type), p.slot)) continue;
        std::size_t at = 0;
        while (pins_.pins()[at].slot != p.slot) ++at;
        addPinRun(at, false);
    }
    showPins();
    setFrame(r.state.frame);
    overlay_ = r.state.overlay;
    language_ = r.state.language;
    return opened;
}

StudyGraphs& WebSession::drawn() const
{
    if (currentDue_) {
        current_ = studyRun(*s_, currentSeries(*run_, s_->type), "current run", studyRunColour(0));
        currentDue_ = false;
    }
    if (runsDue_) {
        std::vector<StudyRun> runs{current_};
        runs.insert(runs.end(), others_.begin(), others_.end());
        graphs_.setRuns(std::move(runs));
        runsDue_ = false;
    }
    if (fitDue_) {
        graphs_.fitForceScale();
        fitDue_ = false;
    }
    return graphs_;
}

void WebSession::setOtherRuns(std::vector<StudyRun> runs)
{
    if (runs.size() > studyMostRuns - 1) runs.resize(studyMostRuns - 1);
    others_ = std::move(runs);
    runsDue_ = true;
}

namespace {

using Json = nlohmann::ordered_json;

std::string jsonText(const Json& j)
{
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string WebSession::studyCursorJson(int frame) const
{
    Json runs = Json::array();
    int sample = 0;
    for (const StudyCursorRun& c : drawn().cursor(frame)) {
        if (runs.empty()) sample = c.sample;
        // (a number that is not one goes into JSON as null)
        runs.push_back({{"label", c.label},
                        {"colour", c.colour},
                        {"sample", c.sample},
                        {"t", c.t},
                        {"force", c.force},
                        {"springForce", c.springForce},
                        {"Fn", c.Fn},
                        {"sErr", c.sErr},
                        {"distance", c.distance},
                        {"tipX", c.tipX},
                        {"tipY", c.tipY},
                        {"refX", c.refX},
                        {"refY", c.refY},
                        {"text",
                         {{"t", c.tText},
                          {"force", c.forceText},
                          {"springForce", c.springForceText},
                          {"Fn", c.FnText},
                          {"sErr", c.sErrText},
                          {"distance", c.distanceText},
                          {"tipX", c.tipXText},
                          {"tipY", c.tipYText},
                          {"refX", c.refXText},
                          {"refY", c.refYText}}}});
    }
    return jsonText({{"sample", sample}, {"runs", std::move(runs)}});
}

std::string WebSession::studySvgJson() const
{
    ChartSvgParts parts = studyGraphs().svgParts();
    return jsonText({{"head", std::move(parts.head)}, {"panels", std::move(parts.panels)}, {"tail", std::move(parts.tail)}});
}

std::string WebSession::studyStateJson() const
{
    const StudyGraphs& graphs = drawn();
    const AxisScale& f = graphs.forceScale();
    Json runs = Json::array();
    for (const StudyRun& r : graphs.runs()) runs.push_back({{"label", r.label}, {"colour", r.colour}});
    return jsonText({{"width", graphs.width()},
                     {"forceScale",
                      {{"lo", f.lo},
                       {"hi", f.hi},
                       {"step", f.step},
                       {"ticks", f.ticks},
                       // the ends as the axis writes its ticks
                       {"text", {tickText(f.lo, f.step), tickText(f.hi, f.step)}}}},
                     {"runs", std::move(runs)}});
}

std::string WebSession::pinsJson(bool withRuns) const
{
    Json pins = Json::array();
    for (const Pin& p : pins_.pins()) {
        Json one = {{"label", pinLegendText(p, *s_)}, {"slot", p.slot}, {"colour", pinColourText(p.slot)}};
        if (withRuns) {
            std::ostringstream csv;
            writeSeriesCsv(p.settings, p.series, csv);
            one["taskText"] = robotDataText(p.settings);
            one["csv"] = csv.str();
        }
        pins.push_back(std::move(one));
    }
    return jsonText(pins);
}

std::string WebSession::openLinkJson(const std::string& fragment)
{
    const LinkOpened opened = openLink(fragment);
    return jsonText({{"refused", opened.refused},
                     {"skipped", opened.skipped},
                     {"skippedCount", opened.skippedCount},
                     {"language", language_},
                     {"lessonAdded", opened.lessonAdded}});
}

WebSession::LoadResult WebSession::load(const std::string& bytes, const std::string& name)
{
    // the reader changes the copy only when the whole file is valid
    SimSettings next = *s_;
    const TaskFileResult r = parseRobotData(bytes, name, next);
    if (!r.ok) return LoadResult{false, r.error};
    *s_ = next;
    lessonOpen_.reset();
    compute(true);
    return LoadResult{true, ""};
}

std::string WebSession::lockedChange(const SimSettings& next) const
{
    if (!lessonOpen_ || !lessonOpen_->locks) return "";
    // a locked field that changes, directly or by another (a method's own gains)
    for (const TaskField& f : taskFields()) {
        if (!lessonLocks(*lessonOpen_, f.name)) continue;
        const bool before = f.belongsTo(*s_);
        if (before != f.belongsTo(next) || (before && fieldText(f, *s_) != fieldText(f, next)))
            return language_ == "ja" ? std::string(f.name) + " はレッスンで固定されています"
                                     : std::string(f.name) + " is locked by the lesson";
    }
    return "";
}

SettingChange WebSession::set(const std::string& name, const std::string& value)
{
    // on a copy: setTaskSetting leaves it as it was when it refuses, and a
    // lesson open may lock what it changes
    SimSettings next = *s_;
    SettingChange change = setTaskSetting(next, name, value);
    if (!change.ok) return change;
    const std::string locked = lockedChange(next);
    if (!locked.empty()) return {false, locked};
    *s_ = next;
    compute(false);
    return change;
}

SettingChange WebSession::setAll(const std::vector<std::pair<std::string, std::string>>& settings)
{
    // on a copy, round after round while one is taken: those refused wait
    SimSettings c = *s_;
    std::vector<std::pair<std::string, std::string>> waiting = settings;
    SettingChange first;
    while (!waiting.empty()) {
        std::vector<std::pair<std::string, std::string>> refused;
        for (const auto& one : waiting) {
            const SettingChange change = setTaskSetting(c, one.first, one.second);
            if (change.ok) continue;
            if (refused.empty()) first = change;
            refused.push_back(one);
        }
        if (refused.size() == waiting.size()) return first;
        waiting = std::move(refused);
    }
    const std::string locked = lockedChange(c);
    if (!locked.empty()) return {false, locked};
    *s_ = c;
    compute(false);
    return {true, ""};
}

SettingChange WebSession::setAllJson(const std::string& json)
{
    const Json list = Json::parse(json, nullptr, false);
    std::vector<std::pair<std::string, std::string>> settings;
    const SettingChange wrong{false, "expected a list of settings [[name, value], ...]"};
    if (!list.is_array()) return wrong;
    for (const Json& one : list) {
        if (!one.is_array() || one.size() != 2 || !one[0].is_string()) return wrong;
        if (one[1].is_string())
            settings.emplace_back(one[0].get<std::string>(), one[1].get<std::string>());
        else if (one[1].is_number())
            settings.emplace_back(one[0].get<std::string>(), format("%.17g", one[1].get<double>()));
        else
            return wrong;
    }
    return setAll(settings);
}

SettingChange WebSession::setSetErrorMm(const std::string& millimetres)
{
    // the typed text by the reader's rules, in place of metres; a refusal
    // names the millimetres the user typed
    SimSettings probe = *s_;
    SettingChange check = setTaskSetting(probe, "seterror", millimetres);
    if (!check.ok) {
        const std::string metres = "[m]";
        const std::size_t at = check.message.rfind(metres);
        if (at != std::string::npos) check.message.replace(at, metres.size(), "[mm]");
        return check;
    }
    // stored as the dialogue stores it, mm / 1000, carried exactly by 17 digits
    double mm = 0.0;
    parseDouble(millimetres, mm);
    return set("seterror", format("%.17g", mm / 1000.0));
}

std::optional<std::string> WebSession::settingText(const std::string& name) const
{
    for (const TaskField& f : taskFields()) {
        if (name != f.name || !f.belongsTo(*s_)) continue;
        if (f.isChoice()) return fieldText(f, *s_);
        return format("%.17g", f.get(*s_));
    }
    return std::nullopt;
}

std::string WebSession::taskText() const
{
    return robotDataText(*s_);
}

std::string WebSession::report() const
{
    return report(language_ == "ja" ? NoticeLanguage::japanese : NoticeLanguage::english);
}

std::string WebSession::report(NoticeLanguage language) const
{
    std::ostringstream out;
    printSettings(*s_, out, language);
    printContactSettings(*s_, out, language);
    return out.str();
}

const RunSummary& WebSession::runSummary() const
{
    if (summaryDue_) {
        summary_ = summarizeRun(*s_, currentSeries(*run_, s_->type));
        summaryDue_ = false;
    }
    return summary_;
}

std::string WebSession::summary() const
{
    std::ostringstream out;
    printSummary(*s_, runSummary(), out);
    return out.str();
}

std::string WebSession::addGoal(const std::string& text)
{
    Goal g;
    std::string error;
    if (goals_.size() == mostGoals) return format("at most %zu goals are kept: remove one first", mostGoals);
    if (!parseGoal(text, g, error)) return goalError(error);
    goals_.push_back(g);
    return "";
}

bool WebSession::removeGoal(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= goals_.size()) return false;
    goals_.erase(goals_.begin() + index);
    return true;
}

std::string WebSession::goalsJson() const
{
    Json out = Json::array();
    if (goals_.empty()) return jsonText(out);
    for (const Goal& g : goals_) {
        const GoalCheck c = checkGoal(g, runSummary());
        out.push_back({{"goal", g.name + " " + g.op + " " + g.valueText},
                       {"name", g.name},
                       {"op", g.op},
                       {"value", g.value},
                       {"pass", c.pass},
                       {"actual", c.actual},
                       {"line", goalLine(g, c)},
                       {"shown", goalShownText(g)},
                       {"shownLine", goalShownLine(g, c)}});
    }
    return jsonText(out);
}

std::string WebSession::goalNamesJson() { return jsonText(goalNames()); }

std::string WebSession::goalFiguresJson()
{
    Json out = Json::array();
    for (const SummaryFigure& f : summaryFigures()) {
        if (!f.goal) continue;
        out.push_back({{"column", f.column}, {"title", f.title}, {"unit", f.unit}, {"factor", f.factor}});
        if (&f == &goalFormStart()) out.back()["start"] = true;
    }
    return jsonText(out);
}

WebSession::GoalAdded WebSession::addShownGoal(const std::string& column, const std::string& op,
                                               const std::string& value)
{
    GoalAdded r;
    if (goals_.size() == mostGoals) {
        r.refused = "full";
        r.message = format("at most %zu goals are kept: remove one first", mostGoals);
        return r;
    }
    Goal g;
    if (!goalFromShown(column, op, value, g, r.refused, r.message)) return r;
    goals_.push_back(g);
    r.goal = goalText(g);
    r.shown = goalShownText(g);
    return r;
}

std::string WebSession::addShownGoalJson(const std::string& column, const std::string& op, const std::string& value)
{
    const GoalAdded r = addShownGoal(column, op, value);
    return jsonText({{"refused", r.refused},
                     {"message", r.message},
                     {"goal", r.goal},
                     {"shown", r.shown},
                     {"most", mostGoals}});
}

std::string WebSession::loopsJson(double width, bool wholeRun) const
{
    const SeriesSet& set = currentSeries(*run_, s_->type);
    const double w = std::isfinite(width) ? std::clamp(width, loopsNarrowest, loopsWidest) : loopsNarrowest;
    // the pins beside the run, in slot order
    std::vector<OtherRun> others;
    for (const Pin& p : pins_.pins())
        others.push_back({&p.settings, &p.series, "pin " + std::to_string(p.slot + 1), pinColourText(p.slot)});
    const StepView view = stepView(*s_, set, wholeRun);
    ForceDifferenceNone none = ForceDifferenceNone::computed;
    const double largest = modelForceDifference(*s_, set, &none);
    // (one member at a time: the page's code stays small)
    Json out;
    out["stepSvg"] = chartSvg(loopsStepChart(*s_, set, runSummary(), view, others, w));
    const Chart poles = loopsPolesChart(*s_, others, w);
    out["polesSvg"] = chartSvg(poles);
    // the z-plane of a sampled force loop, or none
    const Chart zPlane = loopsZPlaneChart(*s_, others, w);
    out["zSvg"] = zPlane.panels.empty() ? std::string() : chartSvg(zPlane);
    out["forceError"] = largest;
    out["forceErrorNone"] = none == ForceDifferenceNone::noSampleInReach    ? "unreached"
                            : none == ForceDifferenceNone::oneSampleInReach ? "oneSample"
                            : none == ForceDifferenceNone::notFinite        ? "notFinite"
                                                                            : "";
    out["from"] = view.from;
    out["until"] = view.until;
    out["zoomEnd"] = view.zoomEnd;
    out["runEnd"] = view.runEnd;
    // the facts of the caption
    const LoopsCaptionFacts c = loopsCaptionFacts(*s_);
    Json& caption = out["caption"];
    for (const auto* poles : {&c.force.designed, &c.force.model}) {
        Json& list = caption[poles == &c.force.designed ? "designed" : "model"] = Json::array();
        for (const Pole& p : *poles) list.push_back(Json::array({p.re, p.im}));
    }
    caption["modelNone"] = c.force.modelNone == PolesNone::gainsNotFinite   ? "gains"
                           : c.force.modelNone == PolesNone::beyondRange    ? "range"
                           : c.force.modelNone == PolesNone::startUnreached ? "unreached"
                                                                            : "";
    caption["wn"] = c.force.wn;
    caption["alpha"] = c.force.alpha;
    caption["doubleToHalf"] = c.doubleToHalf;
    caption["slowStays"] = c.slowStays;
    caption["originStays"] = c.originStays;
    caption["unstablePole"] = c.unstablePole;
    caption["designStable"] = c.designStable;
    caption["originUnused"] = Json::array({c.originUnused[0], c.originUnused[1]});
    // contact=spring: the ratio r, and the sampled loop with a period
    caption["spring"] = c.spring;
    caption["ratio"] = c.ratio;
    caption["servo"] = s_->servoTime;
    if (c.sampled.computed) {
        Json& z = caption["sampled"];
        z["period"] = c.sampled.period;
        Json& list = z["poles"] = Json::array();
        for (int k = 0; k < 2; ++k) list.push_back(Json::array({c.sampled.re[k], c.sampled.im[k]}));
        z["largest"] = c.sampled.largest;
        z["unstable"] = c.sampled.unstable;
        z["limit"] = c.sampled.periodLimit;
    } else {
        caption["sampled"] = nullptr;
    }
    // both loops' poles, designed and as the model integrates them
    Json& loops = out["poles"] = Json::array();
    for (const LoopPoles& p : loopPoles(*s_)) {
        Json designed = Json::array(), model = Json::array();
        for (const Pole& q : p.designed) designed.push_back(Json::array({q.re, q.im}));
        for (const Pole& q : p.model) model.push_back(Json::array({q.re, q.im}));
        loops.push_back({{"system", p.system}, {"designed", std::move(designed)}, {"model", std::move(model)},
                         {"modelNone", polesNoneText(p.modelNone)}});
    }
    // the s-plane's frame and the designed poles' handles on it
    const ChartLayout polesLayout = chartLayout(poles);
    const PoleFrame f = poleFrame(polesLayout);
    out["poleFrame"] = {{"x", f.x},         {"y", f.y},         {"width", f.width}, {"height", f.height},
                        {"reMin", f.reMin}, {"reMax", f.reMax}, {"imMin", f.imMin}, {"imMax", f.imMax}};
    Json& handles = out["handles"] = Json::array();
    for (const PoleHandle& h : poleHandles(*s_, polesLayout))
        handles.push_back({{"system", h.system}, {"kind", handleKindName(h.kind)}, {"re", h.re}, {"im", h.im},
                           {"x", h.x}, {"y", h.y}});
    return jsonText(out);
}

namespace {

// the pins as other runs beside the run, in slot order
std::vector<OtherRun> pinsBeside(const PinSet& pins)
{
    std::vector<OtherRun> others;
    for (const Pin& p : pins.pins())
        others.push_back({&p.settings, &p.series, "pin " + std::to_string(p.slot + 1), pinColourText(p.slot)});
    return others;
}

double loopsWidth(double width)
{
    return std::isfinite(width) ? std::clamp(width, WebSession::loopsNarrowest, WebSession::loopsWidest)
                                : WebSession::loopsNarrowest;
}

}  // namespace

std::string WebSession::responseJson(double width) const
{
    return responseChartJson(*s_, pinsBeside(pins_), loopsWidth(width));
}

std::string WebSession::responseAtJson(int system, double hz) const { return hybridsim::responseAtJson(*s_, system, hz); }

std::string WebSession::locusJson(const std::string& quantity, double width) const
{
    return locusChartJson(*s_, quantity, pinsBeside(pins_), loopsWidth(width));
}

const Lesson* WebSession::lessonAt(int index) const
{
    const std::vector<Lesson>& builtIn = builtInLessons();
    if (index < 0) return nullptr;
    const auto at = static_cast<std::size_t>(index);
    if (at < builtIn.size()) return &builtIn[at];
    return at - builtIn.size() < ownLessons_.size() ? &ownLessons_[at - builtIn.size()] : nullptr;
}

int WebSession::lessonIndex(const Lesson& lesson)
{
    // the same lesson is the same JSON
    const std::string json = lessonJson(lesson);
    const std::size_t count = builtInLessons().size() + ownLessons_.size();
    for (std::size_t k = 0; k < count; ++k)
        if (lessonJson(*lessonAt(static_cast<int>(k))) == json) return static_cast<int>(k);
    ownLessons_.push_back(lesson);
    return static_cast<int>(count);
}

std::string WebSession::lessonsJson() const
{
    Json out = Json::array();
    const int k = language_ == "ja" ? 1 : 0;
    const std::size_t builtIn = builtInLessons().size();
    for (std::size_t n = 0; n < builtIn + ownLessons_.size(); ++n) {
        const Lesson& l = *lessonAt(static_cast<int>(n));
        const bool own = n >= builtIn;
        LinkState state;
        std::string error;
        lessonState(l, language_, state, error);
        if (own) state.lesson = lessonJson(l);
        out.push_back({{"title", l.title[k]}, {"link", linkFragment(state)}, {"own", own}});
    }
    return jsonText(out);
}

std::string WebSession::lessonCardJson(int index) const
{
    const Lesson* lesson = lessonAt(index);
    if (!lesson) return "null";
    const std::string key = language_ + ":" + std::to_string(index);
    auto made = lessonCards_.find(key);
    if (made == lessonCards_.end()) {
        LessonCard card;
        std::string error;
        Json out = lessonCard(*lesson, language_, card, error)
                       ? Json{{"title", card.title}, {"text", card.text}, {"hint", card.hint}}
                       : Json{{"title", card.title}, {"text", "(" + error + ")"}, {"hint", ""}};
        made = lessonCards_.emplace(key, jsonText(out)).first;
    }
    return made->second;
}

bool WebSession::openLesson(int index)
{
    const Lesson* lesson = lessonAt(index);
    if (!lesson) return false;
    LinkState state;
    std::string error;
    if (!lessonState(*lesson, language_, state, error)) return false;
    // an own lesson opens as its link with the lesson in it: its locks hold
    if (static_cast<std::size_t>(index) >= builtInLessons().size()) state.lesson = lessonJson(*lesson);
    openLink(linkFragment(state));
    return true;
}

std::string WebSession::readLessonsJson(const std::string& text)
{
    std::vector<Lesson> read;
    std::string error;
    if (!readLessonFile(text, read, error)) return jsonText({{"error", error}});
    const std::size_t before = ownLessons_.size();
    std::vector<int> indices;
    for (const Lesson& l : read) indices.push_back(lessonIndex(l));
    return jsonText({{"first", indices.front()},
                     {"count", indices.size()},
                     {"added", ownLessons_.size() - before},
                     {"indices", indices}});
}

std::string WebSession::lessonFromStateJson(const std::string& draftText) const
{
    const Json draft = Json::parse(draftText, nullptr, false);
    if (!draft.is_object()) return jsonText({{"error", "the draft must be an object {title, text, hint, fix, free}"}});
    for (const auto& item : draft.items())
        if (item.key() != "title" && item.key() != "text" && item.key() != "hint" && item.key() != "fix" &&
            item.key() != "free")
            return jsonText({{"error", "the draft has an unknown key \"" + shownText(item.key()) + "\""}});
    // the lesson object from the state, read back by the lesson reader, which says what it refuses
    Json lesson;
    lesson["title"] = draft.contains("title") ? draft["title"] : Json::object();
    lesson["text"] = draft.contains("text") ? draft["text"] : Json::object();
    // no hint: none given, null, or both its texts empty
    if (draft.contains("hint") && !draft["hint"].is_null()) {
        const Json& h = draft["hint"];
        const auto empty = [&h](const char* k) { return !h.contains(k) || h[k] == ""; };
        if (!h.is_object() || !empty("en") || !empty("ja")) lesson["hint"] = h;
    }
    lesson["set"] = linkSettingItems(*s_);
    if (!pins_.empty()) {
        Json& pins = lesson["pins"] = Json::array();
        for (const Pin& p : pins_.pins()) pins.push_back(linkSettingItems(p.settings));
    }
    if (overlay_) lesson["overlay"] = true;
    if (s_->frame != 0) lesson["frame"] = s_->frame;
    if (!goals_.empty()) {
        Json& goals = lesson["goals"] = Json::array();
        for (const Goal& g : goals_) goals.push_back(goalText(g));
    }
    if (draft.contains("fix") && !(draft["fix"].is_array() && draft["fix"].empty())) lesson["fix"] = draft["fix"];
    if (draft.contains("free") && !draft["free"].is_null()) lesson["free"] = draft["free"];
    Lesson made;
    std::string error;
    if (!readLessonJson(jsonText(lesson), made, error)) return jsonText({{"error", error}});
    return "{\"lesson\":" + lessonJson(made) + "}";
}

std::string WebSession::addLessonJson(const std::string& json)
{
    Lesson lesson;
    std::string error;
    if (!readLessonJson(json, lesson, error)) return jsonText({{"error", error}});
    return jsonText({{"index", lessonIndex(lesson)}});
}

std::string WebSession::lessonFileJson(const std::string& indicesText) const
{
    const Json indices = Json::parse(indicesText, nullptr, false);
    const std::size_t count = builtInLessons().size() + ownLessons_.size();
    const std::string range = format("expected the indices of lessons, [i, ...] with each from 0 to %zu", count - 1);
    if (!indices.is_array() || indices.empty()) return jsonText({{"error", range}});
    std::vector<Lesson> chosen;
    for (const Json& i : indices) {
        if (!i.is_number_integer() || i.get<long long>() < 0 || i.get<long long>() >= static_cast<long long>(count))
            return jsonText({{"error", range}});
        chosen.push_back(*lessonAt(i.get<int>()));
    }
    return jsonText({{"text", lessonFileText(chosen)}});
}

std::string WebSession::lockedSettingsJson() const
{
    Json out = Json::array();
    if (lessonOpen_)
        for (const std::string& name : taskSettingNames())
            if (lessonLocks(*lessonOpen_, name)) out.push_back(name);
    return jsonText(out);
}

std::string WebSession::goalResultsJson() const { return hybridsim::goalResultsJson(goals_, runSummary()); }

std::string WebSession::csv() const
{
    std::ostringstream out;
    writeSeriesCsv(*s_, currentSeries(*run_, s_->type), out);
    return out.str();
}

int WebSession::lastFrame() const
{
    return lastSample(*s_);
}

int WebSession::setFrame(long frame)
{
    playback_.pause();
    const long last = lastFrame();
    s_->frame = static_cast<int>(frame < 0 ? 0 : frame > last ? last : frame);
    return s_->frame;
}

void WebSession::setClock(double now)
{
    if (now > clock_) clock_ = now;
}

bool WebSession::togglePlay(double now)
{
    setClock(now);
    playback_.toggle(*s_);
    return playback_.playing();
}

bool WebSession::faster(double now)
{
    setClock(now);
    return playback_.faster(*s_);
}

bool WebSession::slower(double now)
{
    setClock(now);
    return playback_.slower(*s_);
}

bool WebSession::tick(double now)
{
    setClock(now);
    return playback_.tick(*s_);
}

void WebSession::step(StepKey key)
{
    onStepKey(playback_, *s_, key);
}

bool WebSession::viewKey(char key)
{
    const auto k = static_cast<unsigned char>(key);
    const KeyCommand* command = findKey(k);
    if (command == nullptr || !command->onPage || !isViewAction(command->action)) return false;
    // a step or a jump pauses, as in the window; a zoom does not
    if (command->stopsPlayback) playback_.pause();
    onKey(*s_, k, nullptr);
    return true;
}

double WebSession::time(long frame) const
{
    if (frame < 0 || frame > lastFrame()) return std::numeric_limits<double>::quiet_NaN();
    return currentSeries(*run_, s_->type).time[static_cast<std::size_t>(frame)];
}

const ShapeBuffer& WebSession::draw()
{
    drawFrame(picture_, *s_, *run_, pins_, overlay_);
    return picture_;
}

std::string WebSession::drawingJson()
{
    Json roles = Json::array();
    for (int r = 0; r <= static_cast<int>(lastRole); ++r) {
        const Role role = static_cast<Role>(r);
        roles.push_back(role == Role::Plain ? Json() : Json(roleName(role)));
    }
    return jsonText(Json{{"windowPixels", windowSize}, {"roles", roles}});
}

std::string WebSession::keysJson()
{
    Json keys = Json::object();
    for (const KeyCommand& c : keyCommands)
        if (c.onPage) keys[std::string(c.key)] = actionName(c.action);
    return jsonText(keys);
}

std::string WebSession::designMapJson(double width, int plane, int figure, double xLo, double xHi, double yLo,
                                      double yHi) const
{
    const std::vector<std::string>& figures = designMapFigures();
    if (plane < 0 || plane > 1)
        return jsonText({{"error", "the plane is 0 (fn2, alpha2) or 1 (fn2, zeta2)"}, {"figures", figures}});
    if (figure < 0 || figure >= static_cast<int>(figures.size()))
        return jsonText({{"error", "the figure is the place of one of figures"}, {"figures", figures}});
    const double w = std::isfinite(width) ? std::clamp(width, loopsNarrowest, loopsWidest) : loopsNarrowest;
    DesignMapRequest request;
    request.plane = plane == 0 ? MapPlane::alpha : MapPlane::zeta;
    request.figure = figures[static_cast<std::size_t>(figure)];
    request.xLo = xLo;
    request.xHi = xHi;
    request.yLo = yLo;
    request.yHi = yHi;
    const DesignMap map = designMap(*s_, request, goals_);
    // the pins' designs in their colours
    const char* other = plane == 0 ? "alpha2" : "zeta2";
    std::vector<MapMark> marks;
    for (const Pin& p : pins_.pins())
        marks.push_back({designValue(p.settings, "fn2"), designValue(p.settings, other),
                         "pin " + std::to_string(p.slot + 1), pinColourText(p.slot)});
    const MapFrame f = designMapFrame(w);
    Json out;
    out["figures"] = figures;
    out["svg"] = designMapSvg(map, marks, w);
    out["frame"] = {{"left", f.left}, {"top", f.top}, {"width", f.width}, {"height", f.height},
                    {"svgWidth", f.svgWidth}, {"svgHeight", f.svgHeight}};
    out["x"] = {{"name", "fn2"}, {"unit", "Hz"}, {"lo", map.x.lo}, {"hi", map.x.hi}, {"log", map.x.log}};
    out["y"] = {{"name", other}, {"unit", plane == 0 ? "1/s" : ""}, {"lo", map.y.lo}, {"hi", map.y.hi},
                {"log", map.y.log}};
    out["columns"] = map.columns;
    out["rows"] = map.rows;
    out["values"] = map.values;
    if (map.pass.empty())
        out["pass"] = nullptr;
    else
        out["pass"] = std::vector<int>(map.pass.begin(), map.pass.end());
    out["figure"] = {{"column", map.figure->column}, {"title", map.figure->title}, {"unit", map.figure->unit}};
    out["current"] = {{"x", map.fn}, {"y", map.other}};
    Json& checked = out["checked"] = Json::array();
    for (const Goal& g : map.checked) checked.push_back(goalShownText(g));
    Json& leftOut = out["leftOut"] = Json::array();
    for (const Goal& g : map.leftOut) leftOut.push_back(goalShownText(g));
    out["spring"] = map.spring;
    out["sampled"] = map.sampled;
    return jsonText(out);
}

std::string WebSession::describe() const
{
    return describeSample(*s_, currentSeries(*run_, s_->type), s_->frame, faultSample_,
                          language_ == "ja" ? NoticeLanguage::japanese : NoticeLanguage::english);
}

}  // namespace hybridsim

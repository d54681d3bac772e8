// The browser edition's state: one set of settings, its run, the picture of
// the current frame and its playback, driven by the page through
// web/bindings.cpp.
//
// Every step is the desktop program's own: the start-up defaults and the
// derivation, the task-file reader, settings by name, the task-file writer,
// the run, the report, the summary, the series CSV, the frame drawing and
// the window's playback.  Nothing here computes the model.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "drawing/shape_buffer.h"
#include "playback/playback.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"
#include "study/goals.h"
#include "study/lessons.h"
#include "study/study_graphs.h"
#include "study/summary.h"
#include "task/run_notice.h"
#include "task/task_link.h"
#include "task/task_setting.h"

namespace hybridsim {

class WebSession {
public:
    // The default task, derived and run, shown at frame 0.
    WebSession();

    struct LoadResult {
        bool ok = false;
        std::string message;  // the reader's one line when refused, else empty
    };
    // Reads a whole task file from `bytes` (named `name` in messages); when
    // it is valid the settings are replaced and the run computed anew,
    // shown from frame 0 and paused; else nothing changes.
    LoadResult load(const std::string& bytes, const std::string& name);

    // One setting by its name (as --set names it) with `value` as a task
    // file has it, by setTaskSetting's rules and words.  Taken: the run is
    // computed anew and shown at the same frame, playing on if it played.
    // Refused: nothing changes.
    SettingChange set(const std::string& name, const std::string& value);
    // The setting error in millimetres, as the console dialogue asks for it:
    // stored as mm / 1000 metres; a refusal names the value as typed and the
    // unit [mm].
    SettingChange setSetErrorMm(const std::string& millimetres);
    // Several settings at once, each by set's rules and words, the run
    // computed once: taken when every one is taken in some order (one that
    // another would refuse alone, fn2=0 while alpha2 is 0 before alpha2=2,
    // is tried again after the others); refused with the first refusal's
    // message, nothing changed, when not.
    SettingChange setAll(const std::vector<std::pair<std::string, std::string>>& settings);
    // the same from JSON [[name, value], ...] (values as texts or numbers)
    SettingChange setAllJson(const std::string& json);

    // The setting `name` (as --set names it) as a task file holds it: a
    // selector its key, a number with 17 significant digits, which set()
    // takes back to the same value bit for bit; none when no setting of
    // that name belongs to the robot and contour in force.
    std::optional<std::string> settingText(const std::string& name) const;

    // the task as a robot data file, as the window's 'x' and --write-task write it
    std::string taskText() const;

    // The settings report in the page's language: the console's own
    // (UTF-8, as hybridsim-batch --report prints it) on the Japanese page,
    // its English rendering, the same figures in the same layout, on the
    // English one; or in the language asked for.
    std::string report() const;
    std::string report(NoticeLanguage language) const;
    // the run summary, as hybridsim-batch --summary prints it
    std::string summary() const;
    // samples 0..nsteps of the task's robot as CSV, as hybridsim-batch --csv
    std::string csv() const;

    // The unreachable-point notice of the latest run (derivation and run
    // together): the console's lines, empty when every point was reachable,
    // and how many points the inverse kinematics could not solve (the
    // console's count: a sample may ask for several).
    const std::string& notice() const { return notice_; }
    int unreachable() const { return unreachable_; }
    // How many samples of the run have no posture because of unreachable
    // points: the summary's nan_samples when nothing else made a sample's
    // numbers stop being numbers, else those before the run's fault.
    int unreachableSamples() const { return unreachableSamples_; }
    // The first unreachable point in English, the page's words for the
    // console's detail line: where it is, how far from robot b's base, and
    // the ring the probe tip reaches; empty when every point was reachable.
    const std::string& reachDetail() const { return reachDetail_; }
    // the notice that the run ends before the positioning time, or empty
    const std::string& runTooShort() const { return runTooShort_; }
    // The notice that the run's numbers stopped being numbers, from which
    // sample and why, and that the sampled force loop is unstable
    // (contact=spring with a control period): an English line, then the
    // console's Japanese lines; empty when neither is so.
    const std::string& runFault() const { return runFault_; }
    // The frame shown in words, in the page's language (study/
    // sample_description.h): the text alternative of the picture.
    std::string describe() const;

    // The frame shown, 0..nsteps; setFrame clamps to that range and pauses
    // the playback, as a jump in the window does.
    int frame() const { return s_->frame; }
    int lastFrame() const;
    int setFrame(long frame);

    // --- playback, by the window's logic (playback/playback.h) ---
    // Its clock is the page's: every call below that reads it passes the
    // time now [s] (performance.now or a display frame's time stamp); the
    // clock never goes back.
    bool playing() const { return playback_.playing(); }
    // Space: play or pause; true when playing after it.
    bool togglePlay(double now);
    void pause() { playback_.pause(); }
    // '+' and '-': true when the speed changed
    bool faster(double now);
    bool slower(double now);
    std::string speedText() const { return playback_.speedText(); }
    // One display frame: moves to the frame the clock has reached; true when
    // the frame changed (playback stops at the last frame).
    bool tick(double now);
    // Left, Right, Home, End
    void step(StepKey key);
    // The window's keys of the frame and the zoom (playback/keys.h: 's' one
    // sample on, '0' the first sample, 'w' and 'W' zoom); false for any
    // other key.
    bool viewKey(char key);
    // Scrubbing in the time graphs, at a point in window units.
    bool scrubPress(double x, double y) { return scrub_.pressAt(playback_, *s_, x, y); }
    bool scrubDrag(double x) { return scrub_.dragAt(playback_, *s_, x); }
    void scrubRelease() { scrub_.release(); }
    bool inGraph(double x, double y) const { return inTimeGraph(*s_, x, y); }
    // The recorded time of sample `frame` (0..nsteps) [s]; not a number
    // for a frame outside the run, which has no sample.
    double time(long frame) const;

    // The picture of the current frame, recorded anew.
    const ShapeBuffer& draw();
    // What the page needs to read a picture, as JSON: {"windowPixels": the
    // window's side, to which line widths and font sizes refer, "roles":
    // [null, "tangent", ...]: each role's name at its number (drawing/canvas.h)}.
    static std::string drawingJson();
    // The keys the page offers (playback/keys.h), each with its action's
    // name, as JSON: {" ": "playPause", "ArrowLeft": "stepBack", ...}.
    static std::string keysJson();

    const SimSettings& settings() const { return *s_; }
    // the run of the settings in force, as the picture draws it
    const RunSeries& run() const { return *run_; }

    // --- the study graphs (study/study_graphs.h) ---
    // They draw the current run ("current run", the first colour) and the
    // other runs given, each with its own label and colour.  A new run is
    // put in them when they are next asked for (a page that does not show
    // them pays nothing for them); it grows the force scale when a value
    // leaves it, and the start and a task file read fit the scale anew, as
    // fitForceScale does.
    const StudyGraphs& studyGraphs() const { return drawn(); }
    // the current run as the graphs draw it ("current run", the first colour):
    // what a run kept for comparing holds, relabelled
    const StudyRun& currentRun() const
    {
        drawn();
        return current_;
    }
    // The runs drawn beside the current one (at most studyMostRuns - 1).
    void setOtherRuns(std::vector<StudyRun> runs);
    const std::vector<StudyRun>& otherRuns() const { return others_; }
    void fitForceScale() { drawn().fitForceScale(); }
    void setStudyWidth(double width) { graphs_.setWidth(width); }
    // As JSON (nlohmann/json; every number the shortest text that reads
    // back to its bits, not-a-number as null):
    //   studyCursorJson  {"sample", "runs": [{"label", "colour", "sample", "t", "force",
    //                     "Fn", "sErr", "distance", "tipX", "tipY", "refX", "refY",
    //                     "text": {the same names: the texts shown}}]}, SI units
    //   studyStateJson   {"width", "forceScale": {"lo", "hi", "step", "ticks", "text": [lo, hi]},
    //                     "runs": [{"label", "colour"}]}
    //   studySvgJson     {"head", "panels": [each panel's SVG], "tail"} (StudyGraphs::svgParts)
    std::string studyCursorJson(int frame) const;
    std::string studyStateJson() const;
    std::string studySvgJson() const;

    // --- pins (study/compare.h), drawn as the window draws them ---
    // Pins the run shown: the picture draws it under the live run and the
    // study graphs draw it beside the current run (setOtherRuns), labelled
    // as its legend line and in its pinColour; it stays through every new
    // run.  The message: "pinned as pin 2", or for a fifth "pinned as pin
    // 1 in place of the oldest pin".
    struct PinResult {
        int slot = 0;
        bool replaced = false;
        std::string message;
    };
    PinResult pin();
    const PinSet& pins() const { return pins_; }
    // Forgets pins()[index]; false (nothing changed) when there is no such pin.
    bool unpin(int index);
    void clearPins();
    // The pins in slot order as JSON: [{"label", "slot", "colour", "taskText", "csv"}],
    // label the picture's legend line against the task in force, taskText
    // and csv as taskText() and csv() write them for the pin's own task;
    // without `withRuns` only "label", "slot" and "colour" (for the page's list).
    std::string pinsJson(bool withRuns = true) const;
    // --- the teaching overlay (drawing/overlay.h), off at the start ---
    bool overlay() const { return overlay_; }
    void setOverlay(bool on) { overlay_ = on; }

    // --- the page's language, "en" (at the start) or "ja"; what its links hold ---
    const std::string& language() const { return language_; }
    // false (nothing changed) for another text
    bool setLanguage(const std::string& language);

    // --- links (task/task_link.h) ---
    // The fragment of the page's state, without '#': the task's
    // differences from the default task, the frame shown, the overlay, the
    // language and the pins, oldest first.
    std::string link() const;
    // What opening a link said: why it was not read at all ("" when it
    // was), the first reasons of the parameters it skipped and how many.
    struct LinkOpened {
        std::string refused;
        std::vector<std::string> skipped;
        std::size_t skippedCount = 0;
        bool lessonAdded = false;  // the link's lesson is new to lessonsJson's list
    };
    // Opens a link's fragment (with or without '#'): its task derived and
    // run, shown at its frame and paused, the force scale fitted, its
    // overlay, language, goals and pins -- each pin's task run anew in its slot --
    // in place of the page's; what it does not give is the default's (no
    // pins, frame 0, overlay off, English).  A link that is not read at all
    // opens the defaults so.
    LinkOpened openLink(const std::string& fragment);
    // The same as JSON: {"refused", "skipped": [...], "skippedCount", "language", "lessonAdded"}.
    std::string openLinkJson(const std::string& fragment);

    // --- goals on the run's figures (study/goals.h), checked on every run ---
    // Adds a goal 'NAME OP VALUE' (at most mostGoals): "" when taken, else
    // why not (one line); removeGoal forgets goals()[index].
    static constexpr std::size_t mostGoals = linkMostGoals;
    std::string addGoal(const std::string& text);
    bool removeGoal(int index);
    const std::vector<Goal>& goals() const { return goals_; }
    // The goals on the run shown, as JSON: [{"goal": "overshoot_pct <= 5",
    // "name", "op", "value", "pass", "actual" (null for none), "line":
    // goalLine's}], and the figures a goal may name: ["seterror_m", "Fn_N", ...].
    // Each also has "shown": the goal in its figure's title and unit
    // (goalShownText), and "shownLine": goalShownLine's.
    std::string goalsJson() const;
    static std::string goalNamesJson();
    // The Goals panel's side: the figures it offers, those of
    // summaryFigures() that make sense as goals, in their order, as JSON
    // [{"column", "title", "unit", "factor"}]; and a goal with its value
    // typed in the figure's unit (goalFromShown), kept in the column's own
    // unit as links and --require carry it.  Refused: `refused` the word
    // of goalFromShown or "full" (mostGoals kept), `message` one English
    // line; the page words the refusal in its language from `refused`.
    static std::string goalFiguresJson();
    struct GoalAdded {
        std::string refused;  // "" when taken
        std::string message;
        std::string goal;   // as links carry it: "pos_err_max_m<=0.005"
        std::string shown;  // "largest |posErr| ≤ 5 mm"
    };
    GoalAdded addShownGoal(const std::string& column, const std::string& op, const std::string& value);
    // the same as JSON {"refused", "message", "goal", "shown", "most"}, most
    // the number of goals kept at most
    std::string addShownGoalJson(const std::string& column, const std::string& op, const std::string& value);

    // --- the control loops (study/loop_poles.h, study/loops_chart.h) ---
    // The loops' two charts, each `width` px wide (clamped to 240..4000):
    // the force step -- the recorded contact force between the samples with
    // the summary's peak, rise and settling time marked, Fn, the model's
    // closed-form step dashed, the pins' forces -- over the first five time
    // constants of the model's slowest force pole (or the whole run, with
    // `wholeRun`), and the s-plane at equal scale -- the poles of both loops,
    // designed (crosses) and modelled (rings), with the circles |s| = wn,
    // and the pins' poles in their colours.  As JSON {"stepSvg", "polesSvg",
    // "forceError": the largest |F - closed form| [N] over the samples in
    // reach (null where it tells nothing), "forceErrorNone": why it is null
    // ("unreached": no sample in reach, "oneSample": only sample 0,
    // "notFinite": a difference beyond the range of numbers; "" when it is
    // not), "from", "until": the step chart's time axis
    // [s], "zoomEnd": its end by default, "runEnd": the last sample's time,
    // "caption": the facts the page's caption tells (study/loops_chart.h),
    // {"designed", "model": the force loop's poles [[re, im], ...],
    // "modelNone": why the model has no poles to show ("gains": its gains
    // are not finite numbers, "range": a root is beyond the largest number;
    // "" when it has them), "wn",
    // "alpha", "doubleToHalf", "slowStays", "originStays", "unstablePole"
    // (null: none), "designStable", "originUnused": [system 1, system 2],
    // "spring": contact=spring, "ratio": its r (1 otherwise; null where the
    // start is out of reach, modelNone "unreached"), "servo": the servo's
    // time constant [s] (left out of the poles), "sampled": null or the
    // sampled force loop {"period" [s], "poles": [[re, im], ...] in the
    // z-plane, "largest": the largest |z|, "unstable", "limit": the longest
    // stable period [s] or null}}, and "zSvg": the z-plane with the unit
    // circle and the sampled poles ("" without a sampled force loop).
    // "poles": both loops' [{"system": 1 or 2, "designed", "model": [[re,
    // im], ...], "modelNone": polesNoneText's words, "" when computed}].
    static constexpr double loopsNarrowest = 240.0;
    static constexpr double loopsWidest = 4000.0;
    std::string loopsJson(double width = 420.0, bool wholeRun = false) const;
    // The loops' frequency response and root loci, with the pins
    // (web/loops_figures.h): the chart `width` px wide (clamped as above)
    // with its frame; one loop's responses at `hz` as the cursor reads
    // them; the root locus of "fn2", "alpha2", "ratio" or "period".
    std::string responseJson(double width) const;
    std::string responseAtJson(int system, double hz) const;
    std::string locusJson(const std::string& quantity, double width) const;

    // --- the design map of the force loop (study/design_map.h) ---
    // The map `width` units wide (clamped as the loops' charts): plane 0
    // (fn2, alpha2) or 1 (fn2, zeta2), figure the place of a column of
    // designMapFigures() ("figures" in the JSON); the ranges kept where given (fn2's
    // xLo..xHi, the other's yLo..yHi; 0, 0 or not usable: around the
    // current design).  As JSON {"svg", "frame": the plot area {"left",
    // "top", "width", "height"} and the SVG's "svgWidth", "svgHeight" in its
    // user units, "x": {"name": "fn2", "unit", "lo", "hi", "log"}, "y": the
    // same of alpha2 or zeta2, "columns", "rows", "values": row by row from
    // the smallest y, each column from the smallest fn2 (null: none),
    // "pass": 1 or 0 each (null without a goal the map checks), "figure":
    // {"column", "title", "unit"}, "current": {"x", "y"}, "checked" and
    // "leftOut": the goals as the page shows them, "spring", "sampled"}, or
    // {"error", "figures"} when plane or figure is none of those.
    std::string designMapJson(double width, int plane, int figure, double xLo = 0.0, double xHi = 0.0,
                              double yLo = 0.0, double yHi = 0.0) const;

    // --- the lessons (study/lessons.h, study/lesson_file.h) ---
    // The lessons that come with the program, then the lessons read or
    // made in this session (own), as [{"title", "link", "own"}] in the
    // page's language, the link the fragment that opens the lesson (an own
    // lesson's carries it as lesson=); openLesson opens lessons[index] so
    // (false when there is no such lesson).
    std::string lessonsJson() const;
    bool openLesson(int index);
    // The lesson as a student reads it, in the page's language:
    // {"title", "text", "hint"}, every figure filled in from the lesson's
    // own runs (computed once per lesson and language); null when there is
    // no such lesson.
    std::string lessonCardJson(int index) const;
    // Adds a lesson file's lessons, whole or none (readLessonFile): {"first":
    // the index of its first lesson, "count": its lessons, "added": those new
    // to the list, "indices": each one's index} -- a lesson already in the
    // list is not added again -- or {"error": the reader's line}.
    std::string readLessonsJson(const std::string& text);
    // The lesson made from the page's state as it stands (its task's
    // settings, its pins in slot order as the lesson's pins 1, 2, ..., the
    // overlay, the frame, the goals) and `draft` {"title": {"en", "ja"},
    // "text", "hint", "fix": ["NAME=VALUE", ...], "free": [names] or null}:
    // {"lesson": the lesson object} or {"error": what is refused, one line}.
    std::string lessonFromStateJson(const std::string& draft) const;
    // Adds one lesson object (JSON): {"index": its place in the list} or {"error"}.
    std::string addLessonJson(const std::string& json);
    // The lesson file's text of the lessons at `indices` (JSON [i, ...]):
    // {"text"} or {"error"}.
    std::string lessonFileJson(const std::string& indices) const;
    // The --set names the lesson open locks now, as JSON (none: []).  While
    // an own lesson with "free" is open, set, setAll and setSetErrorMm
    // refuse a change of a locked setting ("fn2 is locked by the lesson",
    // in the page's language); the locks end when another task is read (a
    // task file, the defaults, a link without a lesson, another lesson).
    std::string lockedSettingsJson() const;
    // The goals on the run shown as goalResultsJson (study/goals.h) writes them.
    std::string goalResultsJson() const;

    // The task back to the built-in defaults, as at the start: derived,
    // run, shown from frame 0 and paused, the force scale fitted; the pins stay.
    void resetDefaults();

    WebSession(const WebSession&) = delete;
    WebSession& operator=(const WebSession&) = delete;

private:
    // Derivation and run of the settings in s_, with their notices; the view
    // as a settings pass leaves it, at frame 0 and paused when `fromStart`.
    void compute(bool fromStart);
    void setClock(double now);
    // the graphs with the latest runs in them: the current one, then the others
    StudyGraphs& drawn() const;

    std::unique_ptr<SimSettings> s_ = std::make_unique<SimSettings>();
    std::unique_ptr<RunSeries> run_ = std::make_unique<RunSeries>();
    ShapeBuffer picture_;
    std::string notice_;
    int unreachable_ = 0;
    int unreachableSamples_ = 0;
    int faultSample_ = -1;  // the run's fault's first sample, -1 for none
    std::string reachDetail_;
    std::string runTooShort_;
    std::string runFault_;
    // the page's clock [s], as the latest call gave it
    double clock_ = 0.0;
    Playback playback_{[this] { return clock_; }};
    Scrub scrub_;
    std::vector<StudyRun> others_;
    PinSet pins_;
    bool overlay_ = false;
    std::string language_ = "en";
    std::vector<Goal> goals_;
    // the summary of the run shown, made when first asked for
    const RunSummary& runSummary() const;
    mutable RunSummary summary_;
    mutable bool summaryDue_ = true;
    // the pins' runs as the study graphs draw them, in the pins' order
    // (made once per pin; their labels follow the task in force)
    std::vector<StudyRun> pinRuns_;
    // the pins' runs into the study graphs, labelled against the task in force
    void showPins();
    // the study graphs' run of pins_.pins()[at], put in place (replacing one there when `replace`)
    void addPinRun(std::size_t at, bool replace);
    // made from the run when the graphs are asked for
    mutable StudyRun current_;
    mutable StudyGraphs graphs_;
    mutable bool currentDue_ = true;  // current_ is of an earlier run
    mutable bool runsDue_ = true;     // the graphs hold earlier runs
    mutable bool fitDue_ = true;      // a task of its own: the force scale to be fitted
    // the lessons' cards made so far, by "language:index"
    mutable std::map<std::string, std::string> lessonCards_;
    // the lessons read or made in this session, after the built-in ones
    std::vector<Lesson> ownLessons_;
    // the own lesson open, which links carry and whose locks hold; null when none
    std::unique_ptr<Lesson> lessonOpen_;
    // lessons()[index], or null
    const Lesson* lessonAt(int index) const;
    // the lesson's index in lessons(), added to the own ones when new
    int lessonIndex(const Lesson& lesson);
    // why `next` may not replace the task (a setting the lesson open locks
    // differs), or "" when it may
    std::string lockedChange(const SimSettings& next) const;
};

}  // namespace hybridsim

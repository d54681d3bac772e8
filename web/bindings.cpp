// The page's way into the C++ core: a few plain C functions over one
// WebSession (web/web_session.h).  JavaScript calls them through the
// module's exports; texts come back as NUL-terminated UTF-8 that stays valid
// until the next call that returns a text, the picture as one buffer of
// doubles and one of bytes that stay valid until the next hs_draw.
#include <emscripten/emscripten.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "task/task_link.h"
#include "web/gif_export.h"
#include "web/settings_panel.h"
#include "web/web_session.h"

using hybridsim::GifExport;
using hybridsim::linkIsAddress;
using hybridsim::SettingChange;
using hybridsim::ShapeBuffer;
using hybridsim::StepKey;
using hybridsim::WebSession;

namespace {

// the session, made by hs_start
std::unique_ptr<WebSession> session;
// the last text handed out
std::string text;
// the latest picture, recorded by hs_draw or hs_gif_draw
const ShapeBuffer* picture = nullptr;
// the animation being made (hs_gif_begin .. hs_gif_end), and its bytes
// handed out last
std::unique_ptr<GifExport> gif;
std::vector<unsigned char> gifBytes;

const char* handOut(std::string t)
{
    text = std::move(t);
    return text.c_str();
}

}  // namespace

extern "C" {

// Starts with the default task; 1 when the session is there.
EMSCRIPTEN_KEEPALIVE int hs_start()
{
    if (!session) session = std::make_unique<WebSession>();
    return session ? 1 : 0;
}

// Reads `size` bytes of a task file named `name`: 1 when taken, 0 when
// refused (hs_message says why) and the run unchanged.
EMSCRIPTEN_KEEPALIVE int hs_load(const char* bytes, int size, const char* name)
{
    const WebSession::LoadResult r =
        session->load(std::string(bytes, static_cast<std::size_t>(size < 0 ? 0 : size)), name);
    handOut(r.message);
    return r.ok ? 1 : 0;
}

// the message of the last hs_load, hs_set or hs_set_seterror_mm, and its
// size in bytes (it may hold a zero byte of the value it names)
EMSCRIPTEN_KEEPALIVE const char* hs_message() { return text.c_str(); }
EMSCRIPTEN_KEEPALIVE int hs_message_size() { return static_cast<int>(text.size()); }

// Sets one setting by name (`nameSize` bytes) to `value` (`valueSize`
// bytes) as a task file has it: 1 when taken and the run computed anew, 0
// when refused (hs_message says why) and nothing changed.
EMSCRIPTEN_KEEPALIVE int hs_set(const char* name, int nameSize, const char* value, int valueSize)
{
    const SettingChange c =
        session->set(std::string(name, static_cast<std::size_t>(nameSize < 0 ? 0 : nameSize)),
                     std::string(value, static_cast<std::size_t>(valueSize < 0 ? 0 : valueSize)));
    handOut(c.message);
    return c.ok ? 1 : 0;
}

// Several settings at once (`json` [[name, value], ...], `size` bytes),
// the run computed once (WebSession::setAll): 1 when all are taken, 0 when
// refused (hs_message says why) and nothing changed.
EMSCRIPTEN_KEEPALIVE int hs_set_all(const char* json, int size)
{
    const SettingChange c = session->setAllJson(std::string(json, static_cast<std::size_t>(size < 0 ? 0 : size)));
    handOut(c.message);
    return c.ok ? 1 : 0;
}

// The setting error in millimetres, as hs_set.
EMSCRIPTEN_KEEPALIVE int hs_set_seterror_mm(const char* value, int valueSize)
{
    const SettingChange c =
        session->setSetErrorMm(std::string(value, static_cast<std::size_t>(valueSize < 0 ? 0 : valueSize)));
    handOut(c.message);
    return c.ok ? 1 : 0;
}

// the settings panel's sections and the values of its fields (JSON)
EMSCRIPTEN_KEEPALIVE const char* hs_panel_layout() { return handOut(hybridsim::settingsPanelLayout()); }
EMSCRIPTEN_KEEPALIVE const char* hs_panel_values()
{
    return handOut(hybridsim::settingsPanelValues(session->settings()));
}
// The setting `name` (`nameSize` bytes) as a task file holds it: 1 and the
// text (hs_message), or 0 when no setting of that name is in force.
EMSCRIPTEN_KEEPALIVE int hs_get(const char* name, int nameSize)
{
    const std::optional<std::string> v =
        session->settingText(std::string(name, static_cast<std::size_t>(nameSize < 0 ? 0 : nameSize)));
    handOut(v ? *v : "");
    return v ? 1 : 0;
}
// the task as a robot data file
EMSCRIPTEN_KEEPALIVE const char* hs_task_text() { return handOut(session->taskText()); }

// the settings report: the console's Japanese (japanese 1) or its English rendering (0)
EMSCRIPTEN_KEEPALIVE const char* hs_report(int japanese)
{
    using hybridsim::NoticeLanguage;
    return handOut(session->report(japanese ? NoticeLanguage::japanese : NoticeLanguage::english));
}
EMSCRIPTEN_KEEPALIVE const char* hs_summary() { return handOut(session->summary()); }
EMSCRIPTEN_KEEPALIVE const char* hs_csv() { return handOut(session->csv()); }
EMSCRIPTEN_KEEPALIVE const char* hs_notice() { return handOut(session->notice()); }
EMSCRIPTEN_KEEPALIVE int hs_unreachable() { return session->unreachable(); }
// the samples without a posture because of unreachable points, and the first point in English
EMSCRIPTEN_KEEPALIVE int hs_unreachable_samples() { return session->unreachableSamples(); }
EMSCRIPTEN_KEEPALIVE const char* hs_reach_detail() { return handOut(session->reachDetail()); }
EMSCRIPTEN_KEEPALIVE const char* hs_run_too_short() { return handOut(session->runTooShort()); }
// the notice that the run's numbers stopped being numbers (English, then Japanese), or empty
EMSCRIPTEN_KEEPALIVE const char* hs_run_fault() { return handOut(session->runFault()); }

// the frame shown and the last one, 0..nsteps; setting clamps and returns it
EMSCRIPTEN_KEEPALIVE int hs_frame() { return session->frame(); }
EMSCRIPTEN_KEEPALIVE int hs_last_frame() { return session->lastFrame(); }
EMSCRIPTEN_KEEPALIVE int hs_set_frame(int frame) { return session->setFrame(frame); }
// the recorded time of a sample [s]; not a number outside 0..nsteps
EMSCRIPTEN_KEEPALIVE double hs_time(int frame) { return session->time(frame); }

// Playback: `nowMs` is the page's clock [ms] (performance.now, or a display
// frame's time stamp).
EMSCRIPTEN_KEEPALIVE int hs_playing() { return session->playing() ? 1 : 0; }
// Space: 1 when playing after it
EMSCRIPTEN_KEEPALIVE int hs_toggle_play(double nowMs) { return session->togglePlay(nowMs / 1000.0) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void hs_pause() { session->pause(); }
// '+' and '-': 1 when the speed changed
EMSCRIPTEN_KEEPALIVE int hs_faster(double nowMs) { return session->faster(nowMs / 1000.0) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int hs_slower(double nowMs) { return session->slower(nowMs / 1000.0) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const char* hs_speed_text() { return handOut(session->speedText()); }
// One display frame: 1 when the frame changed, plus 2 while playing on.
EMSCRIPTEN_KEEPALIVE int hs_tick(double nowMs)
{
    const bool changed = session->tick(nowMs / 1000.0);
    return (changed ? 1 : 0) | (session->playing() ? 2 : 0);
}
// Left, Right, Home, End as 0..3 (others do nothing); each pauses.
EMSCRIPTEN_KEEPALIVE void hs_step(int key)
{
    static const StepKey keys[] = {StepKey::left, StepKey::right, StepKey::home, StepKey::end};
    if (key >= 0 && key < 4) session->step(keys[key]);
}
// The teaching overlay: 1 when it is shown; set it shown (1) or not (0).
EMSCRIPTEN_KEEPALIVE int hs_overlay() { return session->overlay() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void hs_set_overlay(int on) { session->setOverlay(on != 0); }
// The window's 's', '0', 'w' and 'W': 1 when the key is one of them.
EMSCRIPTEN_KEEPALIVE int hs_view_key(int key) { return session->viewKey(static_cast<char>(key)) ? 1 : 0; }
// The keys the page offers and their actions (WebSession::keysJson).
EMSCRIPTEN_KEEPALIVE const char* hs_keys() { return handOut(WebSession::keysJson()); }
// Scrubbing in the time graphs at (x, y) in window units: 1 when the frame
// was moved (and the playback paused).
EMSCRIPTEN_KEEPALIVE int hs_scrub_press(double x, double y) { return session->scrubPress(x, y) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int hs_scrub_drag(double x) { return session->scrubDrag(x) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void hs_scrub_release() { session->scrubRelease(); }
EMSCRIPTEN_KEEPALIVE int hs_in_graph(double x, double y) { return session->inGraph(x, y) ? 1 : 0; }

// The study graphs (study/study_graphs.h) at the width set [px]: the SVG
// element in its parts, the cursor's elements at the frame shown, the values
// at a frame and the graphs' state as JSON (WebSession::studySvgJson,
// studyCursorJson, studyStateJson),
// the sample under x and whether (x, y) is in a plot area [px of the SVG].
EMSCRIPTEN_KEEPALIVE void hs_study_set_width(double width) { session->setStudyWidth(width); }
EMSCRIPTEN_KEEPALIVE const char* hs_study_svg() { return handOut(session->studySvgJson()); }
EMSCRIPTEN_KEEPALIVE const char* hs_study_cursor_svg()
{
    return handOut(session->studyGraphs().cursorSvg(session->frame()));
}
EMSCRIPTEN_KEEPALIVE const char* hs_study_cursor(int frame) { return handOut(session->studyCursorJson(frame)); }
EMSCRIPTEN_KEEPALIVE const char* hs_study_state() { return handOut(session->studyStateJson()); }
EMSCRIPTEN_KEEPALIVE int hs_study_sample_at(double x) { return session->studyGraphs().sampleAt(x); }
EMSCRIPTEN_KEEPALIVE int hs_study_in_plot(double x, double y) { return session->studyGraphs().inPlot(x, y) ? 1 : 0; }
// fits the force scale to the runs drawn
EMSCRIPTEN_KEEPALIVE void hs_study_fit_force() { session->fitForceScale(); }

// Pins (WebSession::pin): pins the run shown and returns its slot, with
// hs_message saying so and hs_pin_replaced 1 when it took the oldest pin's
// place; hs_unpin forgets pins()[index] (1 when there was
// one); hs_pins the pins as JSON (WebSession::pinsJson); hs_reset_defaults
// puts the built-in task back, the pins staying.
EMSCRIPTEN_KEEPALIVE int hs_pin()
{
    const WebSession::PinResult r = session->pin();
    handOut(r.message);
    return r.slot;
}
EMSCRIPTEN_KEEPALIVE int hs_pin_replaced() { return session->pins().oldestReplaced() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int hs_unpin(int index) { return session->unpin(index) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void hs_clear_pins() { session->clearPins(); }
EMSCRIPTEN_KEEPALIVE int hs_pin_count() { return session->pins().size(); }
EMSCRIPTEN_KEEPALIVE const char* hs_pins(int withRuns) { return handOut(session->pinsJson(withRuns != 0)); }
EMSCRIPTEN_KEEPALIVE void hs_reset_defaults() { session->resetDefaults(); }

// The page's language, "en" or "ja"; setting it: 1 when taken, 0 for another text.
EMSCRIPTEN_KEEPALIVE const char* hs_language() { return handOut(session->language()); }
EMSCRIPTEN_KEEPALIVE int hs_set_language(const char* language, int size)
{
    return session->setLanguage(std::string(language, static_cast<std::size_t>(size < 0 ? 0 : size))) ? 1 : 0;
}
// Links (WebSession::link, openLink): the fragment of the page's state, and
// opening one (`size` bytes), which answers with what it said as JSON.
EMSCRIPTEN_KEEPALIVE const char* hs_link() { return handOut(session->link()); }
EMSCRIPTEN_KEEPALIVE const char* hs_open_link(const char* fragment, int size)
{
    return handOut(session->openLinkJson(std::string(fragment, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
// Whether a link (`size` bytes) is an address, a base with or without a
// fragment, not a fragment alone: 1 or 0 (task/task_link.h).
EMSCRIPTEN_KEEPALIVE int hs_link_is_address(const char* link, int size)
{
    return linkIsAddress(std::string(link, static_cast<std::size_t>(size < 0 ? 0 : size))) ? 1 : 0;
}

// Goals (WebSession::addGoal ...): adding one answers "" when taken, else
// why not; hs_goals the goals on the run shown as JSON, hs_goal_names the
// figures a goal may name.
EMSCRIPTEN_KEEPALIVE const char* hs_add_goal(const char* goal, int size)
{
    return handOut(session->addGoal(std::string(goal, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
EMSCRIPTEN_KEEPALIVE int hs_remove_goal(int index) { return session->removeGoal(index) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const char* hs_goals() { return handOut(session->goalsJson()); }
EMSCRIPTEN_KEEPALIVE const char* hs_goal_names() { return handOut(WebSession::goalNamesJson()); }
// The Goals panel's figures, and a goal with its value in the figure's unit (JSON answer).
EMSCRIPTEN_KEEPALIVE const char* hs_goal_figures() { return handOut(WebSession::goalFiguresJson()); }
EMSCRIPTEN_KEEPALIVE const char* hs_add_shown_goal(const char* column, int columnSize, const char* op, int opSize,
                                                   const char* value, int valueSize)
{
    const auto text = [](const char* at, int size) {
        return std::string(at, static_cast<std::size_t>(size < 0 ? 0 : size));
    };
    return handOut(session->addShownGoalJson(text(column, columnSize), text(op, opSize), text(value, valueSize)));
}
// The loops' charts, `width` px wide, the step over the whole run when
// `wholeRun` is 1, and the caption (WebSession::loopsJson).
EMSCRIPTEN_KEEPALIVE const char* hs_loops(double width, int wholeRun)
{
    return handOut(session->loopsJson(width, wholeRun != 0));
}
// The loops' frequency response `width` px wide, one loop's responses at
// `hz`, and the root locus of `quantity` (WebSession::responseJson ...).
EMSCRIPTEN_KEEPALIVE const char* hs_response(double width) { return handOut(session->responseJson(width)); }
EMSCRIPTEN_KEEPALIVE const char* hs_response_at(int system, double hz)
{
    return handOut(session->responseAtJson(system, hz));
}
EMSCRIPTEN_KEEPALIVE const char* hs_locus(const char* quantity, int size, double width)
{
    return handOut(session->locusJson(std::string(quantity, static_cast<std::size_t>(size < 0 ? 0 : size)), width));
}
// The lessons (WebSession::lessonsJson), each opened by its link.
EMSCRIPTEN_KEEPALIVE const char* hs_lessons() { return handOut(session->lessonsJson()); }
// One lesson as a student reads it (WebSession::lessonCardJson).
EMSCRIPTEN_KEEPALIVE const char* hs_lesson_card(int index) { return handOut(session->lessonCardJson(index)); }
// A teacher's lessons (WebSession::readLessonsJson, lessonFromStateJson,
// addLessonJson, lessonFileJson), each given `size` bytes of UTF-8; the
// settings locked now, and the goals' results as JSON.
EMSCRIPTEN_KEEPALIVE const char* hs_read_lessons(const char* file, int size)
{
    return handOut(session->readLessonsJson(std::string(file, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
EMSCRIPTEN_KEEPALIVE const char* hs_lesson_from_state(const char* draft, int size)
{
    return handOut(session->lessonFromStateJson(std::string(draft, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
EMSCRIPTEN_KEEPALIVE const char* hs_add_lesson(const char* lesson, int size)
{
    return handOut(session->addLessonJson(std::string(lesson, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
EMSCRIPTEN_KEEPALIVE const char* hs_lesson_file(const char* indices, int size)
{
    return handOut(session->lessonFileJson(std::string(indices, static_cast<std::size_t>(size < 0 ? 0 : size))));
}
EMSCRIPTEN_KEEPALIVE const char* hs_locked_settings() { return handOut(session->lockedSettingsJson()); }
EMSCRIPTEN_KEEPALIVE const char* hs_goal_results() { return handOut(session->goalResultsJson()); }
// the frame shown in words, in the page's language (WebSession::describe)
EMSCRIPTEN_KEEPALIVE const char* hs_describe() { return handOut(session->describe()); }

// Records the picture of the current frame; returns how many doubles the
// buffer holds (hs_shapes points at them, hs_text_bytes at the texts' bytes).
EMSCRIPTEN_KEEPALIVE int hs_draw()
{
    picture = &session->draw();
    return static_cast<int>(picture->data().size());
}
// What reading a picture needs (WebSession::drawingJson).
EMSCRIPTEN_KEEPALIVE const char* hs_drawing() { return handOut(WebSession::drawingJson()); }
EMSCRIPTEN_KEEPALIVE const double* hs_shapes() { return picture->data().data(); }
EMSCRIPTEN_KEEPALIVE const char* hs_text_bytes() { return picture->bytes().data(); }
EMSCRIPTEN_KEEPALIVE int hs_text_size() { return static_cast<int>(picture->bytes().size()); }

// --- the animation download (web/gif_export.h), one at a time ---
// Begins an animation of the run shown as it is now (settings, zoom, pins,
// overlay; later changes do not reach it), in place of any unfinished one:
// its number of frames.
EMSCRIPTEN_KEEPALIVE int hs_gif_begin()
{
    if (gif) picture = nullptr;  // it may be the unfinished one's
    gif = std::make_unique<GifExport>(session->settings(), session->run(), session->pins(), session->overlay());
    gifBytes.clear();
    return gif->frames();
}
// Records the picture of sample `frame` of the animation, as hs_draw does
// the page's: the size of the buffer (hs_shapes, hs_text_bytes).
EMSCRIPTEN_KEEPALIVE int hs_gif_draw(int frame)
{
    if (!gif) return 0;
    picture = &gif->draw(frame);
    return static_cast<int>(picture->data().size());
}
// where the page puts the 800 x 800 RGBA pixels it drew, top row first
EMSCRIPTEN_KEEPALIVE unsigned char* hs_gif_pixels() { return gif ? gif->pixels() : nullptr; }
// Reduces the pixels to the colours of the picture drawn last.
EMSCRIPTEN_KEEPALIVE void hs_gif_reduce()
{
    if (gif) gif->reduce();
}
// Adds the pixels reduced as the next frame: 1, or 0 with the reason in hs_message.
// The GIF's bytes made by it are at hs_gif_bytes (hs_gif_bytes_size of them).
EMSCRIPTEN_KEEPALIVE int hs_gif_add()
{
    if (!gif) {
        handOut("no animation is being made");
        return 0;
    }
    std::string error;
    const bool ok = gif->add(error);
    handOut(error);
    gifBytes = gif->takeBytes();
    return ok ? 1 : 0;
}
// Ends the animation: its last bytes at hs_gif_bytes.
EMSCRIPTEN_KEEPALIVE void hs_gif_finish()
{
    if (gif) gifBytes = gif->finish();
}
EMSCRIPTEN_KEEPALIVE const unsigned char* hs_gif_bytes() { return gifBytes.data(); }
EMSCRIPTEN_KEEPALIVE int hs_gif_bytes_size() { return static_cast<int>(gifBytes.size()); }
// Forgets the animation (finished or cancelled) and its memory.
EMSCRIPTEN_KEEPALIVE void hs_gif_end()
{
    if (!gif) return;
    picture = nullptr;
    gif.reset();
    gifBytes = std::vector<unsigned char>();
}

// The force loop's design map (WebSession::designMapJson): plane 0 alpha2,
// 1 zeta2; figure 0..2; the ranges kept where given.
EMSCRIPTEN_KEEPALIVE const char* hs_design_map(double width, int plane, int figure, double xLo, double xHi,
                                               double yLo, double yHi)
{
    return handOut(session->designMapJson(width, plane, figure, xLo, xHi, yLo, yHi));
}

}  // extern "C"

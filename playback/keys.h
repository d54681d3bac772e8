// The key commands of the window and the page, in one table: each key,
// what it does, whether it stops the playback first and whether the page
// offers it.  The window (view/window.cpp) and the page's core
// (web/web_session.cpp, and through hs_keys the page's own keys) take their
// keys from it.  onKey, onPinKey and onOverlayKey carry out the commands on
// the settings, the pins and the overlay, so that they are tested without a
// window; the playback commands are Playback's (playback/playback.h).
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "playback/playback.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

// Zoom step of the keys 'w' (times) and 'W' (divided by).
constexpr double zoomStep = 0.9;
// The escape key.
constexpr unsigned char escapeKey = 27;

// What a key does.
enum class KeyAction : unsigned char {
    robot,        // select robot a or b, then the settings dialogue
    contour,      // select the line, circle or sine contour, then the dialogue
    dialogue,     // the dialogue from the key's place; the error gain back to its default
    dialogueKeepingErrorGain,  // the same, the error gain kept
    step,         // one sample on, held within 0..nsteps
    firstSample,  // back to the first sample
    zoomOut,      // the robot picture times zoomStep
    zoomIn,       // the robot picture divided by zoomStep
    quit,         // end the program
    playPause,    // play from the sample shown, or pause
    faster,       // twice the playback speed
    slower,       // half the playback speed
    saveTask,     // save the task as a robot data file (the console asks the name)
    pin,          // pin the run shown
    clearPins,    // remove every pin
    overlay,      // the teaching overlay on or off
    stepBack,     // one sample back (not below the first)
    stepForward,  // one sample on (not past the last)
    jumpFirst,    // the first sample
    jumpLast,     // the last sample
};

// One key of the table.  A key is named as a browser names it
// (KeyboardEvent.key): a character key by its character, ESC "Escape",
// the arrows "ArrowLeft" and "ArrowRight", "Home" and "End".
struct KeyCommand {
    const char* key;
    KeyAction action;
    bool stopsPlayback;  // the playback pauses before the command
    bool onPage;         // the page offers it (no dialogue, quit or save on the page)
};

// clang-format off
inline constexpr KeyCommand keyCommands[] = {
    // the dialogue keys (the window's only)
    {"r", KeyAction::dialogue, true, false},
    {"a", KeyAction::robot, true, false},
    {"b", KeyAction::robot, true, false},
    {"k", KeyAction::dialogue, true, false},
    {"h", KeyAction::dialogueKeepingErrorGain, true, false},
    {"g", KeyAction::dialogueKeepingErrorGain, true, false},
    {"L", KeyAction::contour, true, false},
    {"C", KeyAction::contour, true, false},
    {"S", KeyAction::contour, true, false},
    {"e", KeyAction::dialogue, true, false},
    {"f", KeyAction::dialogue, true, false},
    // the frame and the zoom (a zoom does not stop the playback)
    {"s", KeyAction::step, true, true},
    {"0", KeyAction::firstSample, true, true},
    {"w", KeyAction::zoomOut, false, true},
    {"W", KeyAction::zoomIn, false, true},
    {"Escape", KeyAction::quit, true, false},
    // playback ('=' is the key of '+' unshifted)
    {" ", KeyAction::playPause, false, true},
    {"+", KeyAction::faster, false, true},
    {"=", KeyAction::faster, false, true},
    {"-", KeyAction::slower, false, true},
    {"x", KeyAction::saveTask, true, false},
    // pins and the overlay
    {"p", KeyAction::pin, false, true},
    {"P", KeyAction::clearPins, false, true},
    {"v", KeyAction::overlay, false, true},
    // the special keys
    {"ArrowLeft", KeyAction::stepBack, true, true},
    {"ArrowRight", KeyAction::stepForward, true, true},
    {"Home", KeyAction::jumpFirst, true, true},
    {"End", KeyAction::jumpLast, true, true},
};
// clang-format on

// The command of the key named `key`, or of the window's character `c`
// (escapeKey is "Escape"); nullptr when the key is no command.
const KeyCommand* findKey(std::string_view key);
const KeyCommand* findKey(unsigned char c);

// An action's name in the page's table: "playPause", "stepBack", ...
const char* actionName(KeyAction a);

// The playback step of stepBack, stepForward, jumpFirst and jumpLast;
// none for another action.
std::optional<StepKey> stepKeyOf(KeyAction a);

// The commands onKey carries out on the frame or the zoom alone: step,
// firstSample, zoomOut and zoomIn.
bool isViewAction(KeyAction a);

// What the window does after a key.
enum class KeyResult {
    Ignored,      // not a command: only `key` changed
    Redraw,       // frame or zoom changed: draw the picture now
    DialogueRan,  // the settings dialogue ran; the new run shows at the next redraw
    Quit,         // end the program with status 0
};

// Applies key command `k`: stores it in `key`, makes the changes of the
// command and, for the dialogue keys (r a b k h g L C S e f), runs
// `dialogue` to its end.
KeyResult onKey(SimSettings& s, unsigned char k, const std::function<void()>& dialogue);

// Keys of pinned runs (keys onKey ignores): 'p' pins the run shown -- the
// task `s` and its robot's series in `run`, computing nothing; at most
// pinCapacity pins, a fifth in place of the oldest -- and 'P' removes every
// pin.  True when the pins changed and the picture is to be drawn again.
bool onPinKey(PinSet& pins, const SimSettings& s, const RunSeries& run, unsigned char k);

// The overlay key (a key onKey ignores): 'v' turns the teaching overlay on
// or off.  True when it did and the picture is to be drawn again.
bool onOverlayKey(bool& overlay, unsigned char k);

}  // namespace hybridsim

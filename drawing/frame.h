// One picture of the window and the single-key commands.
//
// drawFrame rebuilds the whole picture from the settings and the recorded
// series at the sample `frame`; it never simulates.  onKey applies a key
// command to the settings and says what the window has to do next, so the
// commands can be tested without a window.
#pragma once

#include <functional>

#include "drawing/canvas.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

// Graph panel: blanks everything right of posGraphX - 0.05 [window units].
constexpr double graphPanelMargin = 0.05;
// Zoom step of the keys 'w' (times) and 'W' (divided by).
constexpr double zoomStep = 0.9;
// The escape key.
constexpr unsigned char escapeKey = 27;

// First step of a picture: clear, identity, and lighting on, so that the
// text drawn before any shape is lit (dark grey) in the very first picture too.
void beginFrame(Canvas& cv);
// Last step: flush and show.
void endFrame(Canvas& cv);

// The whole picture, in painter's order: title and legend, grid, workpiece,
// robot with its command, error and trail points and the graph panel, then
// the position and the force graph.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run);

// The same picture with the runs of `pins` under the live one
// (drawing/pin_drawing.h): their legend lines after the legend, their trails
// after the robot, before its points and trail, their tip rings after the
// trail, their curves in each graph before the live curves.  The pins are only read; an empty
// set draws exactly the picture above.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins);

// The same picture with the teaching overlay (drawing/overlay.h) over the
// robot, after the pins' rings and before the graph panel, when `overlay`
// is true; exactly the picture above when it is false.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay);

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

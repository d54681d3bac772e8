// The graphics window: an 800 x 800 GLUT window that replays the recorded
// run frame by frame and takes the single-key commands.
//
// The program entry runs the console part first (start-up and the first
// dialogue pass, which computes the first run), then openWindow, which never
// returns: from then on everything happens in the window's callbacks.
#pragma once

#include <functional>
#include <string>

#include "drawing/canvas.h"
#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

// The window title: the key help, in UTF-8.
constexpr const char* windowTitle =
    "r:file, a,b:robot, k:ばね, h:hybrid, g:ゲイン，L,C,S:輪郭，e:設置誤差，f;Fn, "
    "W,w:拡大縮小，0:初期へ，s:継続";

// Runs the console settings dialogue to its end for the key stored in
// `key`: asks on the console, derives, reports, computes a new run into the
// series the window shows, and resets frame, zoom and error-point gain.
using DialogueRunner = std::function<void()>;

// What the window does on the console: the settings dialogue of a dialogue
// key, saving the task ('x'), and the line that shows a new playback speed
// ("1/8" .. "8" times real time).  With `interactive` (the console is a
// terminal, where a dialogue or the save prompt waits for the user), the
// keys that reach the window while one of them runs are dropped, not
// replayed once it returns.
struct WindowConsole {
    DialogueRunner runDialogue;
    std::function<void()> saveTask;                      // nothing when empty
    std::function<void(const std::string&)> showSpeed;  // nothing when empty
    bool interactive = false;
};

// The X display the window system will use: the value of a "-display NAME"
// argument, else $DISPLAY (empty when neither is given).
std::string displayName(int argc, char** argv);

// Empty when a window can be opened on `display` (an empty name meaning the
// default display); otherwise the one line that tells the user why not and
// what to do instead.  A connection the server refuses is tried again for
// up to displayRetrySeconds (none when no server can be listening, see
// view/display_connection.h).  When the display is usable, the connection
// that found it so stays open until prepareWindow or openWindow has made
// GLUT's own.
std::string checkDisplay(const std::string& display);

// Opens the window and runs its main loop; never returns.  `settings` and
// `run` must live as long as the program; `runDialogue` is called from
// inside the keyboard callback for the dialogue keys.  Without a usable
// display it prints one line on standard error and ends with status 1; ESC,
// closing the window and the window destroyed by another program end the
// program with status 0.
[[noreturn]] void openWindow(int* argc, char** argv, SimSettings& settings,
                             const RunSeries& run, DialogueRunner runDialogue);
// The same with the console's save key and its own lines.  Beyond the
// single-key commands the window plays the run (Space, '+'/'=', '-'), steps
// and jumps (arrow keys, Home, End) and scrubs on the time graphs (left
// button), see playback/playback.h.
[[noreturn]] void openWindow(int* argc, char** argv, SimSettings& settings,
                             const RunSeries& run, WindowConsole console);

// The window without callbacks or main loop, for drawing and reading the
// picture back (tests, timing): initialises GLUT with argc/argv, creates the
// 800 x 800 double-buffered window with its title, sets the white clear
// colour and the viewport.  Call once per process, after checkDisplay.
void prepareWindow(int* argc, char** argv);

// The GLUT reshape callback: the viewport follows the window; the
// projection stays the identity, so a window that is not square stretches
// the picture.
void reshapeWindow(int width, int height);

}  // namespace hybridsim

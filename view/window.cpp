#include "view/window.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "drawing/frame.h"
#include "playback/keys.h"
#include "playback/playback.h"
#include "view/display_connection.h"
#include "view/gl_canvas.h"

// Xlib's event conversion hook; the header's min and max macros would break
// later C++ code
#include <X11/Xlibint.h>
#undef min
#undef max

namespace hybridsim {
namespace {

// What the callbacks work on; set once by openWindow.
struct WindowState {
    SimSettings* settings = nullptr;
    const RunSeries* run = nullptr;
    WindowConsole console;
    std::unique_ptr<GlCanvas> canvas;  // made once the window's context exists
    Playback playback;
    Scrub scrub;
    PinSet pins;  // runs kept under the live one ('p', 'P')
    bool overlay = false;  // the teaching overlay ('v')
    // GLUT cannot take a timer back: each play, pause and change of speed
    // starts a new generation, and a timer of an earlier one does nothing
    int timerGeneration = 0;
};

WindowState& windowState()
{
    static WindowState state;
    return state;
}

void displayCallback()
{
    WindowState& w = windowState();
    drawFrame(*w.canvas, *w.settings, *w.run, w.pins, w.overlay);
}

void redraw()
{
    WindowState& w = windowState();
    drawFrame(*w.canvas, *w.settings, *w.run, w.pins, w.overlay);
}

void timerCallback(int generation);

// The timer for the next frame of the playback, if it plays.
void armTimer()
{
    WindowState& w = windowState();
    ++w.timerGeneration;
    const int ms = w.playback.msToNextFrame(*w.settings);
    if (ms >= 0) glutTimerFunc(static_cast<unsigned>(ms), timerCallback, w.timerGeneration);
}

void timerCallback(int generation)
{
    WindowState& w = windowState();
    if (generation != w.timerGeneration) return;  // an earlier play, pause or speed
    if (w.playback.tick(*w.settings)) redraw();
    armTimer();
}

// After a dialogue or the save prompt on a terminal: the keys pressed in
// the window meanwhile wait in the connection's queue, and would each run
// once it returns (a second prompt, four more dialogues); they are taken
// out of the queue unread.  XSync first brings in the events that the
// server sent before.
void dropKeysPressedMeanwhile()
{
    WindowState& w = windowState();
    Display* dpy = glXGetCurrentDisplay();
    if (!w.console.interactive || dpy == nullptr) return;
    XSync(dpy, False);
    XEvent event;
    while (XCheckMaskEvent(dpy, KeyPressMask | KeyReleaseMask, &event)) {
    }
}

void pausePlayback()
{
    WindowState& w = windowState();
    if (!w.playback.playing()) return;
    w.playback.pause();
    ++w.timerGeneration;
}

// The playback commands (playback/keys.h): play or pause, faster, slower,
// and saving the task on the console.  False for any other command.
bool playbackCommand(KeyAction action)
{
    WindowState& w = windowState();
    SimSettings& s = *w.settings;
    switch (action) {
    case KeyAction::playPause:
        w.playback.toggle(s);
        armTimer();
        redraw();
        return true;
    case KeyAction::faster:
    case KeyAction::slower: {
        const bool changed = action == KeyAction::slower ? w.playback.slower(s) : w.playback.faster(s);
        if (changed && w.playback.playing()) armTimer();
        if (w.console.showSpeed) w.console.showSpeed(w.playback.speedText());
        return true;
    }
    case KeyAction::saveTask:
        if (w.console.saveTask) w.console.saveTask();
        dropKeysPressedMeanwhile();
        return true;
    default:
        return false;
    }
}

void keyboardCallback(unsigned char key, int /*x*/, int /*y*/)
{
    WindowState& w = windowState();
    const KeyCommand* command = findKey(key);
    // a dialogue key, a step, a jump or saving stops the playback first (a zoom does not)
    if (command != nullptr && command->stopsPlayback) pausePlayback();
    if (command != nullptr && playbackCommand(command->action)) return;
    switch (onKey(*w.settings, key, w.console.runDialogue)) {
    case KeyResult::Redraw:
        redraw();
        break;
    case KeyResult::Quit:
        std::cout.flush();
        std::exit(0);
    case KeyResult::Ignored:
        if (onPinKey(w.pins, *w.settings, *w.run, key) || onOverlayKey(w.overlay, key)) redraw();
        break;
    case KeyResult::DialogueRan:
        dropKeysPressedMeanwhile();
        break;
    }
}

// The arrows, Home and End, by their names in the key table.
void specialCallback(int key, int /*x*/, int /*y*/)
{
    WindowState& w = windowState();
    const char* name = nullptr;
    switch (key) {
    case GLUT_KEY_LEFT: name = "ArrowLeft"; break;
    case GLUT_KEY_RIGHT: name = "ArrowRight"; break;
    case GLUT_KEY_HOME: name = "Home"; break;
    case GLUT_KEY_END: name = "End"; break;
    default: return;
    }
    const KeyCommand* command = findKey(std::string_view(name));
    const std::optional<StepKey> step = command ? stepKeyOf(command->action) : std::nullopt;
    if (!step) return;
    if (command->stopsPlayback) pausePlayback();
    if (onStepKey(w.playback, *w.settings, *step)) redraw();
}

void mouseCallback(int button, int state, int x, int y)
{
    WindowState& w = windowState();
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_UP) {
        w.scrub.release();
        return;
    }
    const bool wasPlaying = w.playback.playing();
    if (w.scrub.press(w.playback, *w.settings, x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT))) {
        if (wasPlaying) ++w.timerGeneration;
        redraw();
    }
}

void motionCallback(int x, int y)
{
    WindowState& w = windowState();
    if (w.scrub.drag(w.playback, *w.settings, x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)))
        redraw();
}

// The title for window managers that read the UTF-8 property, and, as
// compound text, for those that read only the classic one.
void setUtf8Title(const char* title)
{
    Display* dpy = glXGetCurrentDisplay();
    const Window win = glXGetCurrentDrawable();
    if (dpy == nullptr || win == 0) return;

    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const auto* bytes = reinterpret_cast<const unsigned char*>(title);
    const int length = static_cast<int>(std::strlen(title));
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"}) {
        XChangeProperty(dpy, win, XInternAtom(dpy, name, False), utf8, 8, PropModeReplace, bytes,
                        length);
    }

    XTextProperty prop;
    char* list[] = {const_cast<char*>(title)};
    if (Xutf8TextListToTextProperty(dpy, list, 1, XCompoundTextStyle, &prop) == Success) {
        XSetWMName(dpy, win, &prop);
        XSetWMIconName(dpy, win, &prop);
        XFree(prop.value);
    } else {
        XChangeProperty(dpy, win, XA_WM_NAME, utf8, 8, PropModeReplace, bytes, length);
    }
    XFlush(dpy);
}

// --- a window destroyed by another program ---
//
// Another client may destroy the window (XDestroyWindow, `xdotool
// windowclose`).  freeglut receives the DestroyNotify but ignores it, and
// would sleep on for ever with no window.  A hook on Xlib's conversion of
// DestroyNotify events, on the display freeglut uses, sees it instead.  It
// runs inside freeglut's own event reading on the main thread, so the main
// loop ends at once, and nothing wakes up while the program is idle: a timer
// that asks whether the window still exists would, and a thread watching on
// a second connection would need a way to wake the main loop from outside.
// The hook only records the destruction and leaves the main loop (no X
// request, no GLUT call that touches the display); the window then returns
// from the main loop as after a window manager's close, with status 0.
//
// freeglut's deinitialisation destroys the window once more (BadWindow) and
// may make its context current on it: X errors about that one window, once
// it is gone, are ignored; every other error goes to the handler that was
// there before (Xlib's default ends the program with status 1).

// The program's window [X id] and whether the server has destroyed it.
Window watchedWindow = 0;
bool watchedWindowDestroyed = false;

using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);
WireToEvent previousWireToEvent = nullptr;
XErrorHandler previousErrorHandler = nullptr;

// The server's own notification of the watched window's end (a client can
// send a fake one).
bool isWatchedWindowsEnd(const XEvent& event)
{
    return event.type == DestroyNotify && !event.xany.send_event &&
           event.xdestroywindow.window == watchedWindow;
}

Bool onDestroyNotifyWire(Display* dpy, XEvent* event, xEvent* wire)
{
    const Bool queued = previousWireToEvent(dpy, event, wire);
    if (queued && isWatchedWindowsEnd(*event) && !watchedWindowDestroyed) {
        watchedWindowDestroyed = true;
        // not when freeglut is being deinitialised and destroyed the window itself
        if (glutGet(GLUT_INIT_STATE)) glutLeaveMainLoop();
    }
    return queued;
}

int onXError(Display* dpy, XErrorEvent* error)
{
    if (watchedWindowDestroyed && error->resourceid == watchedWindow) return 0;
    return previousErrorHandler != nullptr ? previousErrorHandler(dpy, error) : 0;
}

// Watches the window of the current context from now on.  Installed right
// after the window is made, before any request of ours on it, so that the
// errors of those requests come after the notification.
void watchForDestruction()
{
    Display* dpy = glXGetCurrentDisplay();
    watchedWindow = glXGetCurrentDrawable();
    if (dpy == nullptr || watchedWindow == 0) return;
    previousWireToEvent = XESetWireToEvent(dpy, DestroyNotify, onDestroyNotifyWire);
    previousErrorHandler = XSetErrorHandler(onXError);
    // a notification read before the hook was in place waits in the queue
    XEvent event;
    if (XCheckTypedWindowEvent(dpy, watchedWindow, DestroyNotify, &event) &&
        isWatchedWindowsEnd(event))
        watchedWindowDestroyed = true;
}

// The connection with which checkDisplay found the display usable, held
// until GLUT holds its own: the server then has a client all the while and
// does not reset in between (see view/display_connection.h).
Display* heldDisplay = nullptr;

void releaseHeldDisplay()
{
    if (heldDisplay == nullptr) return;
    XCloseDisplay(heldDisplay);
    heldDisplay = nullptr;
}

// GLUT initialised with argc/argv and the 800 x 800 double-buffered window
// made with its title; `watch`: the main loop ends when another client
// destroys the window.
void createWindow(int* argc, char** argv, bool watch)
{
    glutInitWindowSize(windowSize, windowSize);
    glutInit(argc, argv);
    releaseHeldDisplay();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutCreateWindow(windowTitle);
    if (watch) watchForDestruction();
    setUtf8Title(windowTitle);
    // closing the window hands control back, and the program ends with status 0
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    reshapeWindow(windowSize, windowSize);
}

}  // namespace

std::string displayName(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] != nullptr && std::strcmp(argv[i], "-display") == 0 && argv[i + 1] != nullptr)
            return argv[i + 1];
    const char* env = std::getenv("DISPLAY");
    return env != nullptr ? env : "";
}

std::string checkDisplay(const std::string& display)
{
    std::string reason;
    Display* dpy = openDisplayPatiently(display);
    if (dpy == nullptr) {
        reason = display.empty() ? "there is no X display (DISPLAY is not set)"
                                 : "the X display '" + display + "' cannot be opened";
    } else {
        int errorBase = 0;
        int eventBase = 0;
        if (!glXQueryExtension(dpy, &errorBase, &eventBase))
            reason = std::string("the X display '") + DisplayString(dpy) +
                     "' has no OpenGL (GLX) support";
        if (reason.empty()) {
            // kept until the window is made; an earlier one goes after it
            std::swap(dpy, heldDisplay);
        }
        if (dpy != nullptr) XCloseDisplay(dpy);
    }
    if (reason.empty()) return "";
    return "hybridsim: the run was computed but cannot be shown: " + reason +
           "; start the program under xvfb-run for a virtual display, "
           "or use hybridsim-batch to compute without a window";
}

void prepareWindow(int* argc, char** argv)
{
    createWindow(argc, argv, false);
}

void openWindow(int* argc, char** argv, SimSettings& settings, const RunSeries& run,
                DialogueRunner runDialogue)
{
    openWindow(argc, argv, settings, run, WindowConsole{std::move(runDialogue), {}, {}});
}

void openWindow(int* argc, char** argv, SimSettings& settings, const RunSeries& run,
                WindowConsole console)
{
    const std::string problem = checkDisplay(displayName(*argc, argv));
    if (!problem.empty()) {
        std::cout.flush();
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::exit(1);
    }

    WindowState& w = windowState();
    w.settings = &settings;
    w.run = &run;
    w.console = std::move(console);

    createWindow(argc, argv, true);
    w.canvas = std::make_unique<GlCanvas>([] { glutSwapBuffers(); });
    glutDisplayFunc(displayCallback);
    glutReshapeFunc(reshapeWindow);
    glutKeyboardFunc(keyboardCallback);
    glutSpecialFunc(specialCallback);
    glutMouseFunc(mouseCallback);
    glutMotionFunc(motionCallback);
    // destroyed before the main loop, which would start afresh
    if (!watchedWindowDestroyed) glutMainLoop();
    std::cout.flush();
    std::exit(0);
}

void reshapeWindow(int width, int height)
{
    setPictureViewport(width, height);
}

}  // namespace hybridsim

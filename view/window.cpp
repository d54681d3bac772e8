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

#include "view/frame.h"
#include "view/gl_canvas.h"

namespace hybridsim {
namespace {

// What the callbacks work on; set once by openWindow.
struct WindowState {
    SimSettings* settings = nullptr;
    const RunSeries* run = nullptr;
    DialogueRunner runDialogue;
    std::unique_ptr<GlCanvas> canvas;  // made once the window's context exists
};

WindowState& windowState()
{
    static WindowState state;
    return state;
}

void displayCallback()
{
    WindowState& w = windowState();
    drawFrame(*w.canvas, *w.settings, *w.run);
}

void keyboardCallback(unsigned char key, int /*x*/, int /*y*/)
{
    WindowState& w = windowState();
    switch (onKey(*w.settings, key, w.runDialogue)) {
    case KeyResult::Redraw:
        drawFrame(*w.canvas, *w.settings, *w.run);
        break;
    case KeyResult::Quit:
        std::cout.flush();
        std::exit(0);
    case KeyResult::DialogueRan:
    case KeyResult::Ignored:
        break;
    }
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
    Display* dpy = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (dpy == nullptr) {
        reason = display.empty() ? "there is no X display (DISPLAY is not set)"
                                 : "the X display '" + display + "' cannot be opened";
    } else {
        int errorBase = 0;
        int eventBase = 0;
        if (!glXQueryExtension(dpy, &errorBase, &eventBase))
            reason = std::string("the X display '") + DisplayString(dpy) +
                     "' has no OpenGL (GLX) support";
        XCloseDisplay(dpy);
    }
    if (reason.empty()) return "";
    return "hybridsim: the run was computed but cannot be shown: " + reason +
           "; start the program under xvfb-run for a virtual display, "
           "or use hybridsim-batch to compute without a window";
}

void prepareWindow(int* argc, char** argv)
{
    glutInitWindowSize(windowSize, windowSize);
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutCreateWindow(windowTitle);
    setUtf8Title(windowTitle);
    // closing the window hands control back, and the program ends with status 0
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    reshapeWindow(windowSize, windowSize);
}

void openWindow(int* argc, char** argv, SimSettings& settings, const RunSeries& run,
                DialogueRunner runDialogue)
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
    w.runDialogue = std::move(runDialogue);

    prepareWindow(argc, argv);
    w.canvas = std::make_unique<GlCanvas>([] { glutSwapBuffers(); });
    glutDisplayFunc(displayCallback);
    glutReshapeFunc(reshapeWindow);
    glutKeyboardFunc(keyboardCallback);
    glutMainLoop();
    std::cout.flush();
    std::exit(0);
}

void reshapeWindow(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace hybridsim

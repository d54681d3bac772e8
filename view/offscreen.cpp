#include "view/offscreen.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include "view/display_connection.h"
#include "view/frame.h"
#include "view/window.h"

namespace hybridsim {
namespace {

// The configuration of the pixel buffer.  For the window's display mode
// (GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH) GLUT asks for at least one bit of
// red, green and blue, double buffering and a depth buffer, and takes the
// first configuration the server returns; the server sorts the deepest
// colour and depth first.  The same request with 8 bits a colour gives, on
// a true-colour display (24 bits, also what xvfb-run sets up), that same
// first configuration, and the first of them that can be a pixel buffer is
// taken here.  On a 16-bit display the window would get 5-6-5 colour; the
// pictures keep 8 bits a colour there too.
constexpr int windowModeAttributes[] = {
    GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
    GLX_DOUBLEBUFFER, True, GLX_DEPTH_SIZE, 1, None,
};

// Xlib ends the process on a protocol error unless a handler says otherwise;
// while the pixel buffer is made, an error is only noted.
bool xErrorSeen = false;

int noteXError(Display* /*dpy*/, XErrorEvent* /*event*/)
{
    xErrorSeen = true;
    return 0;
}

}  // namespace

struct OffscreenView::Glx {
    Display* dpy = nullptr;
    GLXPbuffer pbuffer = 0;
    GLXContext context = nullptr;
    bool glutStarted = false;

    ~Glx()
    {
        if (dpy != nullptr) {
            if (context != nullptr && glXGetCurrentContext() == context)
                glXMakeContextCurrent(dpy, None, None, nullptr);
            if (context != nullptr) glXDestroyContext(dpy, context);
            if (pbuffer != 0) glXDestroyPbuffer(dpy, pbuffer);
            XCloseDisplay(dpy);
        }
        if (glutStarted) glutExit();
    }
};

OffscreenView::OffscreenView() : glx_(std::make_unique<Glx>()) {}

OffscreenView::~OffscreenView()
{
    canvas_.reset();
    glx_.reset();
}

std::unique_ptr<OffscreenView> OffscreenView::open(const std::string& display, std::string& error)
{
    std::unique_ptr<OffscreenView> view(new OffscreenView);
    Glx& g = *view->glx_;
    // one connection checks the display and holds it while GLUT opens its
    // own: a server that resets when its last client leaves cannot reset in
    // between (view/display_connection.h)
    g.dpy = openDisplayPatiently(display);
    if (g.dpy == nullptr) {
        error = display.empty() ? "there is no X display (DISPLAY is not set)"
                                : "the X display '" + display + "' cannot be opened";
        return nullptr;
    }
    const std::string name = DisplayString(g.dpy);
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(g.dpy, &errorBase, &eventBase)) {
        error = "the X display '" + name + "' has no OpenGL (GLX) support";
        return nullptr;
    }

    // the bitmap fonts need GLUT initialised; it opens its own connection
    // to the same display and makes no window
    if (!glutGet(GLUT_INIT_STATE)) {
        static char program[] = "hybridsim-batch";
        static char option[] = "-display";
        static std::string displayArg;
        displayArg = name;
        char* argv[] = {program, option, displayArg.data(), nullptr};
        int argc = 3;
        glutInit(&argc, argv);
        g.glutStarted = true;
    }

    int count = 0;
    GLXFBConfig* configs =
        glXChooseFBConfig(g.dpy, DefaultScreen(g.dpy), windowModeAttributes, &count);
    GLXFBConfig chosen = nullptr;
    for (int i = 0; i < count && chosen == nullptr; ++i) {
        int drawables = 0;
        if (glXGetFBConfigAttrib(g.dpy, configs[i], GLX_DRAWABLE_TYPE, &drawables) == Success &&
            (drawables & GLX_PBUFFER_BIT) != 0)
            chosen = configs[i];
    }
    if (configs != nullptr) XFree(configs);
    if (chosen == nullptr) {
        error = "the X display '" + name +
                "' offers no OpenGL configuration with RGB colour, a depth buffer and "
                "double buffering for an off-screen picture";
        return nullptr;
    }

    const int pbufferAttributes[] = {GLX_PBUFFER_WIDTH,      windowSize, GLX_PBUFFER_HEIGHT,
                                     windowSize,             GLX_PRESERVED_CONTENTS, True,
                                     GLX_LARGEST_PBUFFER,    False,      None};
    xErrorSeen = false;
    XSync(g.dpy, False);
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(noteXError);
    g.pbuffer = glXCreatePbuffer(g.dpy, chosen, pbufferAttributes);
    XSync(g.dpy, False);
    if (g.pbuffer != 0 && !xErrorSeen)
        g.context = glXCreateNewContext(g.dpy, chosen, GLX_RGBA_TYPE, nullptr, True);
    XSync(g.dpy, False);
    const bool current = g.pbuffer != 0 && g.context != nullptr && !xErrorSeen &&
                         glXMakeContextCurrent(g.dpy, g.pbuffer, g.pbuffer, g.context);
    XSync(g.dpy, False);
    XSetErrorHandler(previous);
    if (!current || xErrorSeen) {
        error = "an off-screen OpenGL picture of " + std::to_string(windowSize) + " x " +
                std::to_string(windowSize) + " pixels cannot be made on the X display '" + name +
                "'";
        return nullptr;
    }

    // the state the window has when it draws: white clear colour, the
    // viewport over the whole picture, identity projection
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    reshapeWindow(windowSize, windowSize);
    view->canvas_ = std::make_unique<GlCanvas>();
    return view;
}

RgbImage OffscreenView::draw(const SimSettings& s, const RunSeries& run)
{
    drawFrame(*canvas_, s, run);
    return readBackBuffer(windowSize, windowSize);
}

RgbImage OffscreenView::draw(const SimSettings& s, const RunSeries& run, const PinSet& pins)
{
    drawFrame(*canvas_, s, run, pins);
    return readBackBuffer(windowSize, windowSize);
}

RgbImage OffscreenView::draw(const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay)
{
    drawFrame(*canvas_, s, run, pins, overlay);
    return readBackBuffer(windowSize, windowSize);
}

GlCanvas::Order OffscreenView::order() const { return canvas_->order(); }

}  // namespace hybridsim

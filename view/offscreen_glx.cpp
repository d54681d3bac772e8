// The off-screen view through GLX on an X display, and the entry point of
// the GLX picture module.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include "drawing/canvas.h"
#include "view/display_connection.h"
#include "view/offscreen.h"

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

struct GlxSurface : OffscreenView::Surface {
    Display* dpy = nullptr;
    GLXPbuffer pbuffer = 0;
    GLXContext context = nullptr;

    ~GlxSurface() override
    {
        if (dpy == nullptr) return;
        if (context != nullptr && glXGetCurrentContext() == context)
            glXMakeContextCurrent(dpy, None, None, nullptr);
        if (context != nullptr) glXDestroyContext(dpy, context);
        if (pbuffer != 0) glXDestroyPbuffer(dpy, pbuffer);
        XCloseDisplay(dpy);
    }
};

}  // namespace

std::unique_ptr<OffscreenView> OffscreenView::openGlx(const std::string& display, std::string& error)
{
    auto g = std::make_unique<GlxSurface>();
    g->dpy = openDisplayPatiently(display);
    if (g->dpy == nullptr) {
        error = display.empty() ? "there is no X display (DISPLAY is not set)"
                                : "the X display '" + display + "' cannot be opened";
        return nullptr;
    }
    const std::string name = DisplayString(g->dpy);
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(g->dpy, &errorBase, &eventBase)) {
        error = "the X display '" + name + "' has no OpenGL (GLX) support";
        return nullptr;
    }

    int count = 0;
    GLXFBConfig* configs =
        glXChooseFBConfig(g->dpy, DefaultScreen(g->dpy), windowModeAttributes, &count);
    GLXFBConfig chosen = nullptr;
    for (int i = 0; i < count && chosen == nullptr; ++i) {
        int drawables = 0;
        if (glXGetFBConfigAttrib(g->dpy, configs[i], GLX_DRAWABLE_TYPE, &drawables) == Success &&
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
    XSync(g->dpy, False);
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(noteXError);
    g->pbuffer = glXCreatePbuffer(g->dpy, chosen, pbufferAttributes);
    XSync(g->dpy, False);
    if (g->pbuffer != 0 && !xErrorSeen)
        g->context = glXCreateNewContext(g->dpy, chosen, GLX_RGBA_TYPE, nullptr, True);
    XSync(g->dpy, False);
    const bool current = g->pbuffer != 0 && g->context != nullptr && !xErrorSeen &&
                         glXMakeContextCurrent(g->dpy, g->pbuffer, g->pbuffer, g->context);
    XSync(g->dpy, False);
    XSetErrorHandler(previous);
    if (!current || xErrorSeen) {
        error = "an off-screen OpenGL picture of " + std::to_string(windowSize) + " x " +
                std::to_string(windowSize) + " pixels cannot be made on the X display '" + name +
                "'";
        return nullptr;
    }
    return finishOpening(std::move(g), "GLX", error);
}

}  // namespace hybridsim

// The GLX picture module's entry point (view/picture_module.h).
extern "C" hybridsim::PictureDrawer* hybridsimOpenPictureDrawer(int version, const char* display,
                                                               std::string* error)
{
    if (version != hybridsim::pictureModuleVersion) {
        *error = "the GLX picture module belongs to another build of the program";
        return nullptr;
    }
    return hybridsim::OffscreenView::openGlx(display != nullptr ? display : "", *error).release();
}

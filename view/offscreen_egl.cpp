// The off-screen view through EGL's surfaceless platform (no X display),
// and the entry point of the EGL picture module.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "drawing/canvas.h"
#include "view/offscreen.h"

namespace hybridsim {
namespace {

// The name of an EGL error code, for a message.
std::string eglErrorName(EGLint code)
{
    switch (code) {
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    default: return "EGL error " + std::to_string(code);
    }
}

// Whether the space-separated list `extensions` holds `name`.
bool hasExtension(const char* extensions, const char* name)
{
    if (extensions == nullptr) return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += n)
        if ((p == extensions || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    return false;
}

EGLint configAttribute(EGLDisplay dpy, EGLConfig config, EGLint attribute)
{
    EGLint value = 0;
    eglGetConfigAttrib(dpy, config, attribute, &value);
    return value;
}

// The configuration that matches the window's pixel buffer under GLX: red,
// green and blue of 8 bits, no alpha, no multisampling, the deepest depth
// buffer, the least stencil; the first such in EGL's order.  Null when
// there is none.
EGLConfig windowLikeConfig(EGLDisplay dpy)
{
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                             EGL_RED_SIZE,     8,               EGL_GREEN_SIZE,      8,
                             EGL_BLUE_SIZE,    8,               EGL_DEPTH_SIZE,      1,
                             EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(dpy, wanted, nullptr, 0, &count) || count <= 0) return nullptr;
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    if (!eglChooseConfig(dpy, wanted, configs.data(), count, &count)) return nullptr;
    EGLConfig best = nullptr;
    EGLint bestDepth = 0;
    EGLint bestStencil = 0;
    for (EGLint i = 0; i < count; ++i) {
        const EGLConfig c = configs[static_cast<std::size_t>(i)];
        if (configAttribute(dpy, c, EGL_RED_SIZE) != 8 || configAttribute(dpy, c, EGL_GREEN_SIZE) != 8 ||
            configAttribute(dpy, c, EGL_BLUE_SIZE) != 8 || configAttribute(dpy, c, EGL_ALPHA_SIZE) != 0 ||
            configAttribute(dpy, c, EGL_SAMPLE_BUFFERS) != 0)
            continue;
        const EGLint depth = configAttribute(dpy, c, EGL_DEPTH_SIZE);
        const EGLint stencil = configAttribute(dpy, c, EGL_STENCIL_SIZE);
        if (best == nullptr || depth > bestDepth || (depth == bestDepth && stencil < bestStencil)) {
            best = c;
            bestDepth = depth;
            bestStencil = stencil;
        }
    }
    return best;
}

struct EglSurface : OffscreenView::Surface {
    EGLDisplay dpy = EGL_NO_DISPLAY;
    EGLSurface pbuffer = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;

    ~EglSurface() override
    {
        if (dpy == EGL_NO_DISPLAY) return;
        if (context != EGL_NO_CONTEXT && eglGetCurrentContext() == context)
            eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context != EGL_NO_CONTEXT) eglDestroyContext(dpy, context);
        if (pbuffer != EGL_NO_SURFACE) eglDestroySurface(dpy, pbuffer);
        eglTerminate(dpy);
        eglReleaseThread();
    }
};

}  // namespace

std::unique_ptr<OffscreenView> OffscreenView::openEgl(std::string& error)
{
    // the platform comes from the client extensions, before any display
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!hasExtension(client, "EGL_MESA_platform_surfaceless") || getPlatformDisplay == nullptr) {
        error = "EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless; Mesa's EGL, "
                "libegl-mesa0, provides it)";
        return nullptr;
    }
    auto e = std::make_unique<EglSurface>();
    const EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0;
    EGLint minor = 0;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) {
        error = "EGL's surfaceless platform cannot be started (" + eglErrorName(eglGetError()) + ")";
        return nullptr;
    }
    e->dpy = dpy;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL's surfaceless platform offers no desktop OpenGL";
        return nullptr;
    }
    const EGLConfig config = windowLikeConfig(dpy);
    if (config == nullptr) {
        error = "EGL's surfaceless platform offers no OpenGL configuration with 8-bit RGB colour and "
                "a depth buffer for an off-screen picture";
        return nullptr;
    }
    const EGLint size[] = {EGL_WIDTH, windowSize, EGL_HEIGHT, windowSize, EGL_NONE};
    e->pbuffer = eglCreatePbufferSurface(dpy, config, size);
    if (e->pbuffer != EGL_NO_SURFACE) e->context = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
    if (e->pbuffer == EGL_NO_SURFACE || e->context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(dpy, e->pbuffer, e->pbuffer, e->context)) {
        error = "an off-screen OpenGL picture of " + std::to_string(windowSize) + " x " +
                std::to_string(windowSize) + " pixels cannot be made through EGL (" +
                eglErrorName(eglGetError()) + ")";
        return nullptr;
    }
    return finishOpening(std::move(e), "EGL", error);
}

}  // namespace hybridsim

// The EGL picture module's entry point (view/picture_module.h); the display
// is not used.
extern "C" hybridsim::PictureDrawer* hybridsimOpenPictureDrawer(int version, const char* /*display*/,
                                                               std::string* error)
{
    if (version != hybridsim::pictureModuleVersion) {
        *error = "the EGL picture module belongs to another build of the program";
        return nullptr;
    }
    return hybridsim::OffscreenView::openEgl(*error).release();
}

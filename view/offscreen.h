// The window's picture drawn off screen: the same drawing code (drawFrame
// through a GlCanvas in depth order) into an 800 x 800 pixel buffer made
// like the window's, read back with glReadPixels.  Nothing is shown.
//
// Two ways to get the pixel buffer, each the back end of one picture module
// (view/picture_module.h):
//
//   EGL  Mesa's EGL on its surfaceless platform (EGL_MESA_platform_surfaceless):
//        no X display at all.  A pbuffer surface of the configuration that
//        matches what the window gets under Xvfb (8-bit RGB without alpha,
//        a 32-bit depth buffer, no stencil, no multisampling: the deepest
//        depth of the configurations with 8-bit RGB and no alpha), in a
//        desktop OpenGL context, rendered by the same renderer as the window
//        (Mesa's llvmpipe) and so to the same pixels.  A pbuffer rather
//        than a surfaceless context with a frame-buffer object: its buffers
//        come from the same configurations as the window's; a frame-buffer
//        object would carry formats of its own choosing.  The pbuffer has
//        one colour buffer, read where the window's back buffer is read.
//   GLX  a GLX pixel buffer of the frame-buffer configuration the window
//        would get on the X display (the first that glXChooseFBConfig
//        returns for the window's display mode: 8-bit RGB, depth buffer,
//        double buffering), used where EGL cannot draw (no libEGL, no
//        surfaceless platform, no such configuration).
//
// A test draws pictures through both and through the window and finds no
// pixel that differs (StudyPictures.PngIsTheWindowsPictureOfTheFrame);
// another draws two quads a millionth apart in depth through EGL and in the
// window, which a depth buffer shallower than the window's would tell
// apart (OffscreenDepth.QuadsAMillionthApartInDepthLookAsInTheWindow).
// Neither initialises GLUT: the text is drawn from the toolkit's font
// tables (view/bitmap_font.h).
#pragma once

#include <memory>
#include <string>

#include "view/gl_canvas.h"
#include "view/picture_module.h"

namespace hybridsim {

class OffscreenView : public PictureDrawer {
public:
    // What holds the OpenGL context and its pixel buffer, current while the
    // view lives; made by a back end, released last.
    class Surface {
    public:
        virtual ~Surface() = default;
    };

    // Through EGL's surfaceless platform.  Null with `error` set to a phrase
    // such as "Mesa's EGL has no surfaceless platform" when any step fails;
    // nothing is left open then.
    static std::unique_ptr<OffscreenView> openEgl(std::string& error);

    // Through GLX on `display` (empty: $DISPLAY; a refused connection is
    // tried again as openDisplayPatiently does).  Null with `error` set to a
    // phrase such as "there is no X display (DISPLAY is not set)" or "the X
    // display ':5' cannot be opened" when any step fails.
    static std::unique_ptr<OffscreenView> openGlx(const std::string& display, std::string& error);

    ~OffscreenView() override;
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // `paint` draws on the canvas; the picture is read back from the pixel
    // buffer, row 0 at the bottom.
    RgbImage draw(const std::function<void(Canvas&)>& paint) override;
    const char* path() const override { return path_; }

    // Depth when the configuration has a depth buffer, as in the window.
    GlCanvas::Order order() const;

private:
    OffscreenView(std::unique_ptr<Surface> surface, const char* path);
    // With the surface's context current: checks the fonts and sets the
    // state the window draws in.  Null with `error` set when the fonts
    // cannot be read.
    static std::unique_ptr<OffscreenView> finishOpening(std::unique_ptr<Surface> surface,
                                                        const char* path, std::string& error);

    std::unique_ptr<Surface> surface_;
    std::unique_ptr<GlCanvas> canvas_;
    const char* path_;
};

}  // namespace hybridsim

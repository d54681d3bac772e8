// The pictures of the window drawn off screen, as a module of their own.
//
// The OpenGL, EGL, GLX and X libraries are needed only when a picture is
// drawn, so the code that uses them is not part of the batch runner: it is
// built as two shared objects beside the program,
//
//   hybridsim-pictures-egl.so  Mesa's EGL on its surfaceless platform: no
//                              X display at all (view/offscreen.h)
//   hybridsim-pictures-glx.so  a GLX pixel buffer on the X display of
//                              $DISPLAY, the fallback
//
// and loaded (view/picture_loader.h) only when a command asks for a
// picture.  A command that draws none loads no X or OpenGL library and
// starts as a plain program does.
//
// Each module has one entry point, hybridsimOpenPictureDrawer
// (pictureModuleEntryName below), that opens its drawer.  The drawing
// itself stays in the program: the drawer hands the program its canvas (a
// GlCanvas in the module's OpenGL context) and the program draws on it
// (drawFrame, with whatever the command adds), so the module knows nothing
// of what a picture shows.
#pragma once

#include <functional>
#include <string>

#include "drawing/canvas.h"
#include "image/rgb_image.h"

namespace hybridsim {

// The off-screen drawing surface of a module: 800 x 800 pixels, the
// window's size.
class PictureDrawer {
public:
    virtual ~PictureDrawer() = default;

    // Clears nothing itself: `paint` draws a whole picture on the canvas
    // (clear, shapes, present, as drawFrame does); the picture is then read
    // back, row 0 at the bottom.
    virtual RgbImage draw(const std::function<void(Canvas&)>& paint) = 0;

    // How it draws, for messages and the documentation: "EGL" or "GLX".
    virtual const char* path() const = 0;
};

// The interface's version: a module of another build is refused.
constexpr int pictureModuleVersion = 1;

// What a module's entry point is called and its type: it opens the drawer
// (for the GLX module on `display`, empty for $DISPLAY; the EGL module
// needs none), or gives null with `error` set to one phrase that says why.
constexpr const char* pictureModuleEntryName = "hybridsimOpenPictureDrawer";
using PictureModuleEntry = PictureDrawer* (*)(int version, const char* display, std::string* error);

}  // namespace hybridsim

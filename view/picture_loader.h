// The picture module loaded when a command asks for pictures
// (view/picture_module.h): the module files beside the program, the path
// chosen by $HYBRIDSIM_PICTURES.
//
//   HYBRIDSIM_PICTURES unset, empty or "auto"  EGL, and GLX on $DISPLAY
//                                              where EGL cannot draw
//   HYBRIDSIM_PICTURES=egl                     EGL only
//   HYBRIDSIM_PICTURES=glx                     GLX only (the way pictures
//                                              were drawn before EGL)
//
// The drawer's path() says which one draws.  A module, once loaded, stays
// loaded until the process ends.
#pragma once

#include <memory>
#include <string>

#include "view/picture_module.h"

namespace hybridsim {

// The environment variable that chooses the path.
constexpr const char* picturePathVariable = "HYBRIDSIM_PICTURES";

// The folder the modules are looked for in: the running program's own
// (read from /proc/self/exe), with a slash at its end; empty when it cannot
// be read.
std::string pictureModuleFolder();

// Why $HYBRIDSIM_PICTURES names no path (one phrase naming the values it
// takes), or "" when it names one, is empty or is unset: a mistake of the
// set-up, which no display or library mends.
std::string picturePathChoiceError();

// Opens a drawer the way $HYBRIDSIM_PICTURES says, $DISPLAY for GLX.  Null
// with `error` set to one phrase when no path can draw: each path tried and
// why it could not ("through EGL: ...; through GLX: there is no X display
// (DISPLAY is not set)"), or a value of the variable that is none of the
// above.
std::unique_ptr<PictureDrawer> openPictureDrawer(std::string& error);

}  // namespace hybridsim

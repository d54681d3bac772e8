// Connections to the X display that outlast an X server's moments of
// refusal.
//
// An X server that resets when its last client leaves (Xvfb and xvfb-run's
// server as they start by default) refuses the connections that arrive
// while it resets: it accepts the socket and closes it before the set-up
// reply.  A program that opens a connection to check the display, closes it
// and at once opens another (GLUT's) met that about one time in ten.  So
// the connection that checks the display stays open until the window system
// holds its own -- a server with a client does not reset -- and a refused
// connection is tried again for a short while, for a server that another
// program has just left.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace hybridsim {

// How long a refused connection is tried again [s], and the pause between
// two tries [s].
constexpr double displayRetrySeconds = 2.0;
constexpr double displayRetryPause = 0.02;

// False when no X server can be listening for `display`: the name is empty,
// or it names a display of this machine ("[unix]:N[.S]") whose socket
// /tmp/.X11-unix/XN is not there.  True for every other name (a remote
// host, a socket path).
bool displayMayBeServed(const std::string& display);

// XOpenDisplay(display) (an empty name: $DISPLAY).  A refused connection is
// tried again every displayRetryPause for up to displayRetrySeconds while
// displayMayBeServed; whatever Xlib says about those later tries (the reason
// of a refusal it prints on standard error) is not repeated.  Null when no
// connection was made: at once when no server can be listening, else after
// displayRetrySeconds.
Display* openDisplayPatiently(const std::string& display);

}  // namespace hybridsim

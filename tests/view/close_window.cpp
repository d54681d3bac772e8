// Asks a window to close the way a window manager does when its close
// button is pressed: a WM_DELETE_WINDOW message of the WM_PROTOCOLS kind.
// Usage: view_close_window WINDOW-ID (decimal or 0x hex).  Exit status 0
// when the message was sent.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: view_close_window WINDOW-ID\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "view_close_window: cannot open the display\n");
        return 1;
    }
    const Window win = std::strtoul(argv[1], nullptr, 0);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = win;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(dpy, win, False, NoEventMask, &e);
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent != 0 ? 0 : 1;
}

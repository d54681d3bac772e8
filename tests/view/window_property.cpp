#include "window_property.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

namespace hybridsim::testing {

WindowProperty currentWindowProperty(const char* name)
{
    WindowProperty p;
    Display* dpy = glXGetCurrentDisplay();
    const Window win = glXGetCurrentDrawable();
    if (dpy == nullptr || win == 0) return p;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long rest = 0;
    unsigned char* value = nullptr;
    if (XGetWindowProperty(dpy, win, XInternAtom(dpy, name, False), 0, 4096, False,
                           AnyPropertyType, &type, &format, &items, &rest, &value) != Success ||
        value == nullptr)
        return p;
    p.found = true;
    p.format = format;
    p.value.assign(reinterpret_cast<const char*>(value), items * (format / 8));
    XFree(value);
    if (char* typeName = XGetAtomName(dpy, type)) {
        p.type = typeName;
        XFree(typeName);
    }
    return p;
}

}  // namespace hybridsim::testing

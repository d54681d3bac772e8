// Reads a text property of the current OpenGL window back from the X server.
#pragma once

#include <string>

namespace hybridsim::testing {

struct WindowProperty {
    bool found = false;
    std::string type;   // name of the property's type atom
    int format = 0;     // 8, 16 or 32 bits per item
    std::string value;  // the bytes
};

// Property `name` of the window of the current GLX context.
WindowProperty currentWindowProperty(const char* name);

}  // namespace hybridsim::testing

// A picture as 8-bit RGB pixels, the form the pictures of the window take
// when they are read back from OpenGL and when they are written as files.
// Plain data, no OpenGL: the browser edition builds it too.
#pragma once

#include <vector>

namespace hybridsim {

// An RGB picture, row 0 at the bottom (as OpenGL reads it back).
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // width * height * 3 bytes

    // The pixel at column x, row y (from the bottom), as 0xRRGGBB; 0 outside.
    unsigned pixel(int x, int y) const;
};

}  // namespace hybridsim

// Pictures of the window as PNG files (8-bit RGB, no alpha), with libpng.
#pragma once

#include <string>
#include <vector>

#include "image/rgb_image.h"

namespace hybridsim {

// zlib levels.  A picture of the window is mostly white; every row is
// filtered as its difference to the row above ("up"), which finds the long
// white runs and the vertical lines.  Measured on the last frame of the
// default task (800 x 800): level 9 gives 13.8 kB in 48 ms, level 6 gives
// 15.0 kB in 10 ms (the adaptive choice of filters: 14.0 kB in 58 ms and
// 15.1 kB in 20 ms).  One picture takes the smallest file, a sequence of
// 201 frames the fast level.
constexpr int pngLevelSmallest = 9;
constexpr int pngLevelFast = 6;

// The PNG encoding of `img` (row 0 at the bottom, as OpenGL reads it back;
// the PNG's first row is the picture's top), 8-bit RGB, at zlib `level`.
// False with `error` set when the picture is empty or inconsistent or
// libpng fails.
bool encodePng(const RgbImage& img, std::vector<unsigned char>& png, std::string& error,
               int level = pngLevelSmallest);

// Decodes a PNG into an RGB picture, row 0 at the bottom: any bit depth and
// colour type is turned into 8-bit RGB (alpha dropped).  False with `error`
// set when the bytes are not a PNG libpng can read.
bool decodePng(const std::vector<unsigned char>& png, RgbImage& img, std::string& error);

// Reads a PNG file; false with `error` naming the file.
bool readPngFile(const std::string& path, RgbImage& img, std::string& error);

}  // namespace hybridsim

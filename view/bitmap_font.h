// The window's bitmap text drawn by our own code, from the glyphs of the
// window toolkit's own library: a whole string as one bitmap, where the
// toolkit sends a bitmap and saves and restores the pixel state for every
// character, and without the toolkit initialised (glutBitmapCharacter does
// nothing before glutInit, which needs an X display).
//
// The library (libglut.so.3.12 on Debian 12) exports its font tables as
// data symbols (`nm -D -S`: fgFontHelvetica12 and fgFontHelvetica18, 32
// bytes each).  No installed header describes them; their layout was read
// off the data itself, by dumping the bytes and following the pointers:
//
//   offset  0  pointer to the font's X name, a C string
//              ("-adobe-helvetica-medium-r-normal--12-120-75-75-p-67-iso8859-1")
//   offset  8  32-bit count of glyphs: 256, one per byte value
//   offset 12  32-bit height of every glyph in rows: 16 and 23
//   offset 16  pointer to the array of 256 glyph pointers (it lies right
//              after the record)
//   offset 24  float x origin: 0
//   offset 28  float y origin: 4 and 5, the rows below the baseline
//
// A glyph is one byte, its width and advance in pixels, then `height` rows
// of (width + 7) / 8 bytes each, the bottom row first and the leftmost
// pixel in the high bit of a byte: glBitmap's own layout with an unpack
// alignment of 1.  Dumped as text that way, 'A' stands on row 4 of the
// 12-pixel font (its y origin) and 'g' hangs below it.
//
// The toolkit draws a character as glBitmap(width, height, x origin,
// y origin, width, 0, rows) at the current raster position, which moves the
// raster position on by the width.  Every advance being a whole number of
// pixels, a string's glyphs side by side in one bitmap, drawn with the
// same origin and advanced by the sum of the widths, colour the same pixels
// and leave the raster position where the toolkit leaves it.  A test draws
// every character both ways, at whole and fractional raster positions, and
// compares the pictures pixel for pixel (GlRender.OwnTextIsGlutsText).
#pragma once

#include <string>
#include <vector>

#include "drawing/canvas.h"

namespace hybridsim {

// Whether the toolkit's font tables look as described above (a known name
// for each size, 256 glyphs, a sensible height and origin, every glyph
// present and no wider than the font is high twice over); false with
// `error` set when not.  Checked once, before the first text is drawn.
bool bitmapFontsUsable(std::string& error);

// Draws the bytes of `text` (up to a NUL) in `font` at the current raster
// position with one glBitmap, and moves the raster position on by their
// advance, as the toolkit's characters one by one would.  The pixel
// unpacking state is set for it and put back.
void drawBitmapText(Font font, const std::string& text);

// The bitmap drawBitmapText sends for `text`: the glyphs side by side,
// `height` rows of (width + 7) / 8 bytes, bottom row first, leftmost pixel
// in the high bit, and the origin that places it (its lower left corner
// lies `xOrigin`, `yOrigin` pixels left of and below the raster position).
// `width` is 0 when the text has nothing to draw.
struct StringBitmap {
    int width = 0;
    int height = 0;
    float xOrigin = 0.0f;
    float yOrigin = 0.0f;
    std::vector<unsigned char> bits;
};
void stringBitmap(Font font, const std::string& text, StringBitmap& out);

}  // namespace hybridsim

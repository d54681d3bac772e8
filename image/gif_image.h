// Animated GIF (GIF89a) from RGB frames: our own small encoder, pure C++
// with no OpenGL, no window system and no files (bytes in, bytes out), so
// that the browser edition can build it as it is.
//
// Incremental: make a GifEncoder with the frames' size, add the frames one
// by one, finish.  The bytes made so far can be taken at any time (a page
// can hand them on and show its progress); finish gives the rest.
//
//   GifEncoder gif(800, 800);                 // 4/100 s a frame, loops for ever
//   for (...) if (!gif.addFrame(picture, error)) ...;
//   std::vector<unsigned char> bytes = gif.finish();
//
// Every decoded frame is exactly the frame added, pixel for pixel:
// - colours: a frame's colours are its palette, as they are, never
//   approximated.  The first frame's colours are the global colour table;
//   a later frame whose changed pixels have a colour outside it gets a
//   colour table of its own.  A frame that would need more than 256 colours
//   in one table is refused (addFrame gives false and says so), never
//   changed: the pictures of the window use a few dozen.
// - size: each frame after the first holds only the rectangle around the
//   pixels that differ from the frame before, and inside it the unchanged
//   pixels are transparent (a colour-table slot of their own), so the frame
//   before shows through them (disposal "leave in place").  Long transparent
//   runs compress well with LZW.
// - the file: a NETSCAPE2.0 application extension with the loop count (0:
//   for ever), a graphic control extension with the delay on every frame,
//   LZW with variable code sizes up to 12 bits and a clear code whenever
//   the code table is full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/rgb_image.h"

namespace hybridsim {

class GifEncoder {
public:
    struct Options {
        int delayCentiseconds = 4;  // display time of each frame [1/100 s]: 4 is 25 frames a second
        int loopCount = 0;          // times the animation plays again: 0 for ever, -1 no loop extension
    };

    // The order of the rows of a frame handed to addFrame.
    enum class Rows { BottomFirst, TopFirst };

    // An animation of frames of width x height pixels (1..65535 each).
    GifEncoder(int width, int height, Options options);
    GifEncoder(int width, int height) : GifEncoder(width, height, Options{}) {}

    // Adds one frame of width * height RGB pixels (3 bytes each, no padding
    // between the rows).  False with `error` set, and nothing added, when
    // the frame needs more than 256 colours, when the encoder is finished,
    // or when the size is not the animation's.
    bool addFrame(const unsigned char* rgb, Rows rows, std::string& error);
    // An RgbImage, row 0 at the bottom; its size must be the animation's.
    bool addFrame(const RgbImage& image, std::string& error);

    // The bytes made since the last call (all of them at the first call):
    // the header once the first frame is in, then each frame as it is added.
    std::vector<unsigned char> takeBytes();

    // Ends the animation: the bytes not yet taken, with the trailer.  An
    // animation without a frame gives a GIF of one white frame.  Nothing
    // can be added afterwards.
    std::vector<unsigned char> finish();

    int frames() const { return frames_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    // A colour table: the colours in slot order, and a slot for the
    // transparent pixels when there is one (-1 when not).
    struct Palette {
        std::vector<std::uint32_t> colors;
        int transparent = -1;
        int sizeBits() const;  // the table holds 2^sizeBits slots (1..8)
    };

    // A rectangle of the frame, rows top to bottom and columns left to
    // right, inclusive.
    struct Rect {
        std::size_t left = 0, top = 0, right = 0, bottom = 0;
    };

    // the steps of addFrame
    void takePixels(const unsigned char* rgb, Rows rows);
    bool addFirstFrame(const std::string& which, std::string& error);
    Rect changedRect() const;
    bool choosePalette(const Rect& r, Palette& palette, bool& local, const std::string& which,
                       std::string& error);
    void indexRect(const Rect& r, const Palette& palette);

    void writeHeader(const Palette& global);
    void writeFrame(int left, int top, int w, int h, const std::vector<std::uint8_t>& indices,
                    const Palette& palette, bool local);

    int width_;
    int height_;
    Options options_;
    int frames_ = 0;
    bool finished_ = false;
    std::vector<unsigned char> out_;
    Palette global_;
    std::vector<std::uint32_t> previous_;  // the last frame as 0xRRGGBB, top row first
    std::vector<std::uint32_t> current_;
    std::vector<std::uint8_t> indices_;
};

// The LZW data of a GIF image (the bytes after the minimum code size,
// without the sub-block framing): the colour-table indices `indices`, each
// below 2^minCodeSize, coded with minCodeSize from 2 to 8.
std::vector<unsigned char> gifLzw(const std::vector<std::uint8_t>& indices, int minCodeSize);

}  // namespace hybridsim

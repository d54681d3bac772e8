// The page's animation download: every sample of a run, 0..nsteps, drawn
// as the page draws it, into an animated GIF at 25 frames a second that
// loops for ever (image/gif_image.h), one frame at a time so that the page
// can draw, read back and hand over each frame between its own work.
//
// The export keeps a copy of what the picture is drawn from -- the
// settings (the zoom among them), the run, the pins and whether the
// overlay is on -- as they were when it was made: the page may go on
// changing its task while the animation is made, and the animation stays
// that of the run asked for.
//
//   GifExport gif(settings, run, pins, overlay);
//   for (int f = 0; f < gif.frames(); ++f) {
//       const ShapeBuffer& picture = gif.draw(f);  // the page draws it ...
//       ... 800 x 800 RGBA pixels into gif.pixels() ...
//       gif.reduce();
//       if (!gif.add(error)) ...;
//       bytes += gif.takeBytes();
//   }
//   bytes += gif.finish();
#pragma once

#include <string>
#include <vector>

#include "drawing/canvas.h"
#include "drawing/shape_buffer.h"
#include "image/gif_image.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

class GifExport {
public:
    // the frames' side [px]: the window's
    static constexpr int side = windowSize;
    // display time of a frame [1/100 s]: 25 frames a second, as the batch runner's
    static constexpr int delayCentiseconds = 4;

    GifExport(const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay);

    // the samples 0..nsteps of the run: the animation's frames
    int frames() const { return frames_; }
    // frames added so far
    int added() const { return gif_.frames(); }

    // The picture of sample `frame` (clamped to 0..frames() - 1), recorded.
    const ShapeBuffer& draw(int frame);
    // side x side RGBA pixels, the top row first, where the page puts the
    // picture it drew from draw()'s
    unsigned char* pixels() { return rgba_.data(); }

    // Reduces the pixels to the colours of the picture drawn last: each
    // the nearest of them (image/gif_palette.h).
    void reduce();
    // Adds the pixels reduced as the next frame.  False with `error` set
    // when the encoder refuses it or when every frame is in.
    bool add(std::string& error);

    // the GIF's bytes made since the last call
    std::vector<unsigned char> takeBytes() { return gif_.takeBytes(); }
    // the rest of the bytes, with the trailer
    std::vector<unsigned char> finish() { return gif_.finish(); }

private:
    SimSettings s_;
    RunSeries run_;
    PinSet pins_;
    bool overlay_;
    int frames_;
    ShapeBuffer picture_;
    std::vector<unsigned char> rgba_;
    std::vector<unsigned char> rgb_;
    GifEncoder gif_;
};

}  // namespace hybridsim

#include "web/gif_export.h"

#include <algorithm>

#include "drawing/frame.h"
#include "image/gif_palette.h"

namespace hybridsim {

GifExport::GifExport(const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay)
    : s_(s),
      run_(run),
      pins_(pins),
      overlay_(overlay),
      frames_(lastSample(s) + 1),
      rgba_(std::size_t{side} * side * 4, 0xFF),
      rgb_(std::size_t{side} * side * 3, 0xFF),
      gif_(side, side, GifEncoder::Options{delayCentiseconds, 0})
{
}

const ShapeBuffer& GifExport::draw(int frame)
{
    s_.frame = std::clamp(frame, 0, frames_ - 1);
    drawFrame(picture_, s_, run_, pins_, overlay_);
    return picture_;
}

void GifExport::reduce()
{
    NearestColour nearest(pictureColours(picture_));
    nearest.reduce(rgba_.data(), std::size_t{side} * side, rgb_.data());
}

bool GifExport::add(std::string& error)
{
    if (gif_.frames() >= frames_) {
        error = "every frame of the animation is in";
        return false;
    }
    return gif_.addFrame(rgb_.data(), GifEncoder::Rows::TopFirst, error);
}

}  // namespace hybridsim

// The colours of a frame of the page's animation.  The browser's canvas
// antialiases, so a frame it draws holds thousands of colours where the
// picture has a few dozen, and a GIF frame holds at most 256.  Each pixel
// goes to the nearest colour of the picture's own palette: the colours its
// shapes and texts are drawn in, as the shape buffer records them, and the
// white background.  A pixel of a shape's own colour stays exactly that
// colour; an antialiased edge, a blend of a shape's colour and what lies
// under it, snaps to the nearer drawing colour, as the window's own
// pictures, which never blend, have it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/shape_buffer.h"

namespace hybridsim {

// The colours web/shape_view.js paints with besides the records' own: the
// background, and what anything lit shows (as 0xRRGGBB).
constexpr std::uint32_t pageBackground = 0xFFFFFF;
constexpr std::uint32_t pageLitColour = 0x0A0A0A;

// The most colours a palette holds: a GIF colour table's.
constexpr std::size_t paletteMostColours = 256;

// The colours of `picture` as the page draws it, as 0xRRGGBB: the
// background first, then each record's colour in painter's order (a lit
// record's the lit grey; each component rounded from [0, 1] to 0..255 as
// shape_view.js rounds it), each colour once, at most paletteMostColours
// (the first ones).
std::vector<std::uint32_t> pictureColours(const ShapeBuffer& picture);

// Each colour to the nearest colour of a palette, by the distance in RGB
// (the sum of the squared differences of the components; of two as near,
// the one earlier in the palette).  Colours seen before are remembered, so
// that a picture of a few thousand colours costs a few thousand searches.
class NearestColour {
public:
    // `palette` as 0xRRGGBB; an empty one stands for white alone.
    explicit NearestColour(std::vector<std::uint32_t> palette);

    std::uint32_t operator()(std::uint32_t rgb);

    // `pixels` pixels of `rgba` (4 bytes each, the alpha not read) into
    // `rgb` (3 bytes each), each the nearest colour of the palette.
    void reduce(const unsigned char* rgba, std::size_t pixels, unsigned char* rgb);

    const std::vector<std::uint32_t>& palette() const { return palette_; }

private:
    std::uint32_t search(std::uint32_t rgb) const;

    std::vector<std::uint32_t> palette_;
    // a direct-mapped memory of colours looked up: the colour (with bit 24
    // set, so that an empty place matches none) and its nearest
    static constexpr std::size_t memorySize = std::size_t{1} << 14;
    std::vector<std::uint32_t> seen_;
    std::vector<std::uint32_t> nearest_;
};

}  // namespace hybridsim

// Fewer triangles for small round shapes, with the same pixels.
//
// OpenGL colours the pixels whose centres lie inside a polygon.  A small
// disc of 120 vertices covers a few dozen pixel centres, yet costs Mesa's
// software renderer 118 triangles to set up.  Any convex polygon made of a
// subset of its vertices lies inside it; if that smaller polygon still holds
// every pixel centre the disc holds, both colour the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "sim/settings.h"

namespace hybridsim {

// A pixel centre closer than this to an edge [pixels] counts as on the edge,
// where the rasteriser's own rounding decides: above the sub-pixel
// precision of rasterisers (1/256 pixel in Mesa's).
constexpr double pixelCentreMargin = 0.02;

// For the convex polygon `p` in pixel coordinates (either orientation),
// the indices of the vertices of a smaller polygon that holds exactly the
// same pixel centres: every centre at least pixelCentreMargin inside `p`
// lies at least that far inside it, and where a centre lies within the
// margin of an edge of `p`, that edge is kept.  Empty when `p` holds no
// pixel centre at all.  False (use the polygon as it is) when it is wider or
// higher than `maxPixels`, degenerate or not convex.
bool coveringSubset(const std::vector<Vec2>& p, double maxPixels, std::vector<std::size_t>& kept);

// coveringSubset of the polygons met before, kept: a picture drawn again
// (the same frame after a key, the trail of the samples before during
// playback) has the same discs at the same pixels, and finding their
// subsets again would cost more than all the rest of its geometry.
// A polygon is the same only bit for bit.
class CoveringMemo {
public:
    // As coveringSubset(p, maxPixels, kept); `kept` is valid until the next call.
    bool find(const std::vector<Vec2>& p, double maxPixels, const std::vector<std::size_t>*& kept);

    std::size_t size() const { return entries_.size(); }

    // Entries kept at most: the memo starts again when it would hold more
    // (several pictures' discs; a trail has one per sample).
    static constexpr std::size_t capacity = 8192;

private:
    struct Entry {
        std::vector<Vec2> polygon;
        double maxPixels = 0.0;
        bool covered = false;
        std::vector<std::size_t> kept;
    };
    std::unordered_map<std::uint64_t, Entry> entries_;
    std::vector<std::size_t> scratch_;
};

}  // namespace hybridsim

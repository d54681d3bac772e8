#include "view/pixel_cover.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hybridsim {
namespace {

// The line through a and b with its unit normal towards the inside of a
// polygon of orientation `sign` (+1 counter-clockwise).
struct Edge {
    Vec2 a;
    double nx = 0.0;
    double ny = 0.0;
    Edge(Vec2 from, Vec2 to, double sign) : a(from)
    {
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (len > 0.0) {
            nx = -sign * dy / len;
            ny = sign * dx / len;
        }
    }
    // signed distance of q, positive inside
    double inward(Vec2 q) const { return nx * (q.x - a.x) + ny * (q.y - a.y); }
};

// A pixel centre and its distance from the polygon's centre.
struct Centre {
    Vec2 q;
    double d = 0.0;
};

// Kept between calls, so that the discs of a picture allocate nothing.
struct Workspace {
    std::vector<Edge> edges;
    std::vector<Centre> centres;
};

// The bounding box of a polygon, twice its signed area and the mean of its
// vertices.
struct Outline {
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double area2 = 0.0;
    Vec2 c;
};

// The outline of p (at least 3 vertices); false when a vertex is not finite.
bool outlineOf(const std::vector<Vec2>& p, Outline& o)
{
    const std::size_t n = p.size();
    o.xmin = p[0].x, o.xmax = p[0].x, o.ymin = p[0].y, o.ymax = p[0].y;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2& a = p[k];
        const Vec2& b = p[(k + 1) % n];
        if (!std::isfinite(a.x) || !std::isfinite(a.y)) return false;
        o.xmin = std::min(o.xmin, a.x);
        o.xmax = std::max(o.xmax, a.x);
        o.ymin = std::min(o.ymin, a.y);
        o.ymax = std::max(o.ymax, a.y);
        o.area2 += a.x * b.y - a.y * b.x;
        o.c.x += a.x / double(n);
        o.c.y += a.y / double(n);
    }
    return true;
}

// The edges of p, and the radii of the circles about c inside and around
// it; false when p is not convex about c.
bool edgesAbout(const std::vector<Vec2>& p, Vec2 c, double sign, std::vector<Edge>& edges, double& inner,
                double& outer)
{
    const std::size_t n = p.size();
    edges.clear();
    inner = 0.0;
    outer = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        edges.emplace_back(p[k], p[(k + 1) % n], sign);
        const double d = edges.back().inward(c);
        if (d < 0.0) return false;  // not convex about its centre
        inner = k == 0 ? d : std::min(inner, d);
        const double vx = p[k].x - c.x;
        const double vy = p[k].y - c.y;
        outer = std::max(outer, std::sqrt(vx * vx + vy * vy));
    }
    return true;
}

// The pixel centres inside, and those so near an edge that the
// rasteriser's rounding decides: the smaller polygon keeps the edges
// next to these, so that the same rounding decides for it.  Farthest from
// c first.
void centresNear(const Outline& o, const std::vector<Edge>& edges, double inner, double outer,
                 std::vector<Centre>& centres)
{
    const Vec2 c = o.c;
    centres.clear();
    for (double y = std::floor(o.ymin) + 0.5; y <= o.ymax + 0.5; y += 1.0) {
        for (double x = std::floor(o.xmin) + 0.5; x <= o.xmax + 0.5; x += 1.0) {
            const Vec2 q{x, y};
            const double d = std::sqrt((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y));
            if (d >= outer + pixelCentreMargin) continue;
            if (d > inner - pixelCentreMargin) {
                double m = edges[0].inward(q);
                for (const Edge& e : edges) m = std::min(m, e.inward(q));
                if (m <= -pixelCentreMargin) continue;
            }
            centres.push_back(Centre{q, d});
        }
    }
    // farthest first: a chord can only leave out centres farther from c than
    // itself, so each test stops at the first centre nearer than the chord
    std::sort(centres.begin(), centres.end(),
              [](const Centre& u, const Centre& v) { return u.d > v.d; });
}

}  // namespace

bool coveringSubset(const std::vector<Vec2>& p, double maxPixels, std::vector<std::size_t>& kept)
{
    thread_local Workspace work;
    kept.clear();
    const std::size_t n = p.size();
    if (n < 3) return false;
    Outline o;
    if (!outlineOf(p, o)) return false;
    if (o.xmax - o.xmin > maxPixels || o.ymax - o.ymin > maxPixels) return false;
    if (std::fabs(o.area2) < 1e-9) return false;
    const double sign = o.area2 > 0.0 ? 1.0 : -1.0;
    const Vec2 c = o.c;

    std::vector<Edge>& edges = work.edges;
    double inner = 0.0;
    double outer = 0.0;
    if (!edgesAbout(p, c, sign, edges, inner, outer)) return false;
    std::vector<Centre>& centres = work.centres;
    centresNear(o, edges, inner, outer, centres);
    if (centres.empty()) return true;  // nothing to colour

    auto chordHolds = [&](std::size_t a, std::size_t b) {
        const Edge chord(p[a], p[b % n], sign);
        const double reach = chord.inward(c) - pixelCentreMargin;
        for (const Centre& z : centres) {
            if (z.d < reach) break;
            if (chord.inward(z.q) < pixelCentreMargin) return false;
        }
        return true;
    };
    // walk round, keeping a vertex only where the chord from the last kept
    // one to the next vertex would pass within the margin of a centre (an
    // edge of the polygon itself passes every test but near-edge centres,
    // and those make the walk keep that edge)
    kept.push_back(0);
    std::size_t a = 0;
    for (std::size_t b = 1; b < n; ++b) {
        if (!chordHolds(a, b + 1)) {
            kept.push_back(b);
            a = b;
        }
    }
    return true;
}

namespace {

bool sameBits(const std::vector<Vec2>& a, const std::vector<Vec2>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec2)) == 0);
}

std::uint64_t bitsHash(const std::vector<Vec2>& p, double maxPixels)
{
    // word by word: each coordinate's bits mixed in (multiply and shift)
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    auto mix = [&h](double value) {
        std::uint64_t w = 0;
        std::memcpy(&w, &value, sizeof w);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    };
    mix(maxPixels);
    for (const Vec2& v : p) {
        mix(v.x);
        mix(v.y);
    }
    return h;
}

}  // namespace

bool CoveringMemo::find(const std::vector<Vec2>& p, double maxPixels, const std::vector<std::size_t>*& kept)
{
    const std::uint64_t h = bitsHash(p, maxPixels);
    const auto it = entries_.find(h);
    if (it != entries_.end()) {
        const Entry& e = it->second;
        if (e.maxPixels == maxPixels && sameBits(e.polygon, p)) {
            kept = &e.kept;
            return e.covered;
        }
        // another polygon of the same hash: worked out, not kept
        kept = &scratch_;
        return coveringSubset(p, maxPixels, scratch_);
    }
    if (entries_.size() >= capacity) entries_.clear();
    Entry& e = entries_[h];
    e.polygon = p;
    e.maxPixels = maxPixels;
    e.covered = coveringSubset(p, maxPixels, e.kept);
    kept = &e.kept;
    return e.covered;
}

}  // namespace hybridsim

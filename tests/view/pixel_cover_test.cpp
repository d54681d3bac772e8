// The smaller polygon that colours the same pixels as a small disc.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "drawing/primitives.h"
#include "view/pixel_cover.h"

namespace hybridsim {
namespace {

// The 120 vertices of a disc of radius r about c [pixels], as fillDisc makes them.
std::vector<Vec2> disc(Vec2 c, double r, bool clockwise = false)
{
    std::vector<Vec2> p;
    for (int k = 0; k < circleSegments; ++k) {
        const double a = (clockwise ? -1.0 : 1.0) * k * 2.0 * drawingPi / circleSegments;
        p.push_back(Vec2{c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return p;
}

// Distance of q inside convex polygon p (negative outside), and the edge
// nearest to q.
double insideBy(const std::vector<Vec2>& p, Vec2 q, std::size_t* nearestEdge = nullptr)
{
    double area2 = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        const Vec2 a = p[k];
        const Vec2 b = p[(k + 1) % p.size()];
        area2 += a.x * b.y - a.y * b.x;
    }
    const double sign = area2 > 0.0 ? 1.0 : -1.0;
    double m = 1e9;
    for (std::size_t k = 0; k < p.size(); ++k) {
        const Vec2 a = p[k];
        const Vec2 b = p[(k + 1) % p.size()];
        const double cross = (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
        const double d = sign * cross / std::hypot(b.x - a.x, b.y - a.y);
        if (d < m) {
            m = d;
            if (nearestEdge) *nearestEdge = k;
        }
    }
    return m;
}

TEST(PixelCover, SmallDiscsKeepEveryPixelCentreWithFarFewerVertices)
{
    std::mt19937 random(4711);
    std::uniform_real_distribution<double> offset(0.0, 1.0);
    std::uniform_real_distribution<double> radius(0.3, 11.0);
    std::vector<std::size_t> kept;
    std::size_t keptTotal = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const Vec2 c{100.0 + offset(random), 200.0 + offset(random)};
        const double r = trial < 200 ? 3.2 : radius(random);  // the trail's 0.008 units, and others
        const std::vector<Vec2> p = disc(c, r, trial % 2 == 1);
        ASSERT_TRUE(coveringSubset(p, 24.0, kept)) << trial;
        keptTotal += kept.size();
        std::vector<Vec2> q;
        for (std::size_t k : kept) q.push_back(p[k]);
        for (std::size_t k = 1; k < kept.size(); ++k) ASSERT_LT(kept[k - 1], kept[k]);

        // every pixel centre of the box: inside both, outside both, or near
        // an edge of the disc that the smaller polygon keeps
        for (double y = std::floor(c.y - r) - 0.5; y <= c.y + r + 1.0; y += 1.0) {
            for (double x = std::floor(c.x - r) - 0.5; x <= c.x + r + 1.0; x += 1.0) {
                std::size_t edge = 0;
                const double inP = insideBy(p, Vec2{x, y}, &edge);
                if (std::fabs(inP) < pixelCentreMargin) {
                    bool keptEdge = false;
                    for (std::size_t k = 0; k < kept.size(); ++k) {
                        const std::size_t next = kept[(k + 1) % kept.size()];
                        keptEdge |= kept[k] == edge && next == (edge + 1) % p.size();
                    }
                    EXPECT_TRUE(keptEdge) << trial << " at " << x << "," << y;
                } else if (inP > 0.0) {
                    ASSERT_GE(q.size(), 3u) << trial;
                    EXPECT_GE(insideBy(q, Vec2{x, y}), pixelCentreMargin)
                        << trial << " at " << x << "," << y;
                }
            }
        }
    }
    // a 3.2-pixel disc needs about a tenth of its 120 vertices
    EXPECT_LT(keptTotal / 400.0, 30.0);
}

TEST(PixelCover, TinyLargeAndBrokenShapes)
{
    std::vector<std::size_t> kept;
    // a disc between four pixel centres colours nothing
    EXPECT_TRUE(coveringSubset(disc(Vec2{10.0, 10.0}, 0.3), 24.0, kept));
    EXPECT_TRUE(kept.empty());
    // too large to gain from it: used as it is
    EXPECT_FALSE(coveringSubset(disc(Vec2{10.0, 10.0}, 20.0), 24.0, kept));
    // degenerate or broken
    EXPECT_FALSE(coveringSubset({{0, 0}, {1, 1}, {2, 2}}, 24.0, kept));
    EXPECT_FALSE(coveringSubset({{0, 0}, {1, 0}}, 24.0, kept));
    const double nan = std::nan("");
    EXPECT_FALSE(coveringSubset({{0, 0}, {nan, 0}, {0, 3}}, 24.0, kept));
}

TEST(PixelCover, TheMemoAnswersAsTheSubsetItself)
{
    // discs met again and discs a last bit apart, across a restart of the memo
    CoveringMemo memo;
    std::vector<std::size_t> direct;
    const std::vector<Vec2> tiny = disc(Vec2{10.0, 10.0}, 0.3);
    const std::vector<Vec2> large = disc(Vec2{10.0, 10.0}, 20.0);
    for (int round = 0; round < 2; ++round) {
        for (std::size_t k = 0; k < CoveringMemo::capacity + 10; k += 97) {
            std::vector<Vec2> p = disc(Vec2{100.0 + 0.01 * double(k), 200.25}, 3.2 + 0.001 * double(k % 7));
            for (int variant = 0; variant < 2; ++variant) {
                if (variant == 1) p[5].x = std::nextafter(p[5].x, 1e9);
                const std::vector<std::size_t>* kept = nullptr;
                ASSERT_EQ(memo.find(p, 24.0, kept), coveringSubset(p, 24.0, direct));
                ASSERT_EQ(*kept, direct) << "round " << round << " disc " << k;
            }
        }
        const std::vector<std::size_t>* kept = nullptr;
        EXPECT_TRUE(memo.find(tiny, 24.0, kept));
        EXPECT_TRUE(kept->empty());
        EXPECT_FALSE(memo.find(large, 24.0, kept));
        EXPECT_TRUE(memo.find(large, 48.0, kept));  // the same polygon under a wider bound
        EXPECT_LE(memo.size(), CoveringMemo::capacity);
    }
    for (std::size_t k = 0; k < CoveringMemo::capacity + 1; ++k) {
        const std::vector<std::size_t>* kept = nullptr;
        memo.find(disc(Vec2{50.0 + 1e-6 * double(k), 50.0}, 2.0), 24.0, kept);
    }
    EXPECT_LE(memo.size(), CoveringMemo::capacity);
}

}  // namespace
}  // namespace hybridsim

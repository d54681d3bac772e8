// The colours of a frame of the page's animation: the palette a picture is
// drawn in, and each pixel of an antialiased drawing snapped to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "drawing/frame.h"
#include "drawing/primitives.h"
#include "image/gif_palette.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

// the nearest colour by searching the whole palette, for the comparison
std::uint32_t nearestBySearch(const std::vector<std::uint32_t>& palette, std::uint32_t c)
{
    auto distance = [](std::uint32_t a, std::uint32_t b) {
        int d = 0;
        for (int shift : {16, 8, 0}) {
            const int k = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
            d += k * k;
        }
        return d;
    };
    std::uint32_t best = palette[0];
    for (std::uint32_t p : palette)
        if (distance(p, c) < distance(best, c)) best = p;
    return best;
}

TEST(GifPalette, ThePictureColoursAreThoseThePageDrawsWith)
{
    ShapeBuffer buf;
    buf.clear();
    buf.setLighting(false);
    buf.setColor(Color{1.0f, 0.0f, 0.0f, 0.0f});
    buf.begin(Shape::Lines);
    buf.vertex(0.0, 0.0);
    buf.vertex(0.5, 0.5);
    buf.end();
    // half-way components round up, as the page's script rounds them
    buf.setColor(Color{0.5f, 0.2f, 1.0f, 0.0f});
    buf.begin(Shape::Polygon);
    for (int k = 0; k < 3; ++k) buf.vertex(0.1 * k, 0.2);
    buf.end();
    buf.setColor(Color{1.0f, 0.0f, 0.0f, 0.0f});  // again: once in the palette
    buf.text(0.0f, 0.0f, Font::Helvetica12, "x");
    buf.setLighting(true);  // lit: the lit grey, whatever the colour set
    buf.text(0.1f, 0.0f, Font::Helvetica18, "lit");
    EXPECT_EQ(pictureColours(buf), (std::vector<std::uint32_t>{0xFFFFFF, 0xFF0000, 0x8033FF, 0x0A0A0A}));

    // a frame of the default task: white, the lit grey of its texts, the
    // probe tip's red, and no colour twice
    const testing::Task& task = testing::defaultTask();
    SimSettings s = task.s;
    s.frame = 100;
    drawFrame(buf, s, *task.run);
    const std::vector<std::uint32_t> colours = pictureColours(buf);
    EXPECT_EQ(colours.front(), pageBackground);
    for (std::uint32_t c : {pageLitColour, std::uint32_t{0xFF0000}})
        EXPECT_EQ(std::count(colours.begin(), colours.end(), c), 1) << std::hex << c;
    for (std::size_t i = 0; i < colours.size(); ++i)
        EXPECT_EQ(std::count(colours.begin(), colours.end(), colours[i]), 1) << std::hex << colours[i];
}

TEST(GifPalette, EachPixelGoesToTheNearestColour)
{
    const std::vector<std::uint32_t> palette{0xFFFFFF, 0xFF0000, 0x0A0A0A, 0x9999FF, 0x00FF00};
    NearestColour nearest(palette);
    // a colour of the palette stays exactly that colour
    for (std::uint32_t c : palette) EXPECT_EQ(nearest(c), c) << std::hex << c;
    // in between: an edge of red on white goes to the nearer of the two,
    // a grey of text on white to the lit grey or white
    const std::uint32_t cases[][2] = {
        {0xFF4040, 0xFF0000}, {0xFFC0C0, 0xFFFFFF}, {0x303030, 0x0A0A0A}, {0xE0E0E0, 0xFFFFFF},
        {0xA0A0F0, 0x9999FF}, {0x20E020, 0x00FF00}, {0x000000, 0x0A0A0A},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(nearest(in), out) << std::hex << in;
    // two as near: the earlier one
    EXPECT_EQ(NearestColour({0x000000, 0x000002})(0x000001), 0x000000u);
    EXPECT_EQ(NearestColour({0x000002, 0x000000})(0x000001), 0x000002u);

    // a drawing of many colours, each pixel twice (the second time from the
    // colours remembered), against a search of the whole palette; the
    // alpha is not read
    std::vector<unsigned char> rgba;
    std::vector<std::uint32_t> want;
    std::uint32_t seed = 12345;
    for (int k = 0; k < 40000; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t c = seed >> 8;
        for (int twice = 0; twice < 2; ++twice) {
            rgba.insert(rgba.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                     static_cast<unsigned char>(c), static_cast<unsigned char>(k)});
            want.push_back(nearestBySearch(palette, c));
        }
    }
    std::vector<unsigned char> rgb(want.size() * 3);
    nearest.reduce(rgba.data(), want.size(), rgb.data());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const unsigned char* p = &rgb[3 * i];
        const std::uint32_t got = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        ASSERT_EQ(got, want[i]) << "pixel " << i;
    }
}

}  // namespace
}  // namespace hybridsim

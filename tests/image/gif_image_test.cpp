// The animated GIF encoder against the tests' own decoder (gif_reader.h):
// the LZW codes at every width up to the 12-bit limit and across the clear
// code of a full table, frames that change in places with colours old and
// new, and more colours than a table holds refused.
#include <gtest/gtest.h>

#include <random>

#include "image/gif_image.h"
#include "tests/support/gif_reader.h"

namespace hybridsim {
namespace {

using testing::decodeGif;
using testing::decodeGifLzw;

// Indices below 2^bits: random (the table fills fastest), or a few long runs
// of one index (long strings, codes that grow slowly).
std::vector<std::uint8_t> indices(std::size_t n, int bits, bool runs, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> v(n);
    std::uint8_t current = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!runs || random() % 97 == 0) current = static_cast<std::uint8_t>(random() % (1u << bits));
        v[i] = current;
    }
    return v;
}

TEST(GifImage, LzwCodesReadBackAtEveryCodeWidthAndAcrossAFullTable)
{
    const struct {
        int bits;          // the minimum code size
        std::size_t n;     // indices
        bool runs;
        int widest;        // the widest code the stream must use
        bool clears;       // a full table on the way: clear codes after the first
    } rows[] = {
        {2, 0, false, 3, false},        // nothing: a clear and the end code
        {2, 1, false, 3, false},
        {2, 2, false, 3, false},
        {2, 40, false, 6, false},
        {2, 9000, false, 12, false},    // widens to 12 bits, does not fill
        {2, 60000, false, 12, true},    // fills the 4,096 codes several times
        {3, 20000, true, 10, false},    // runs: long strings, few codes
        {4, 2000000, true, 12, true},
        {8, 600, false, 10, false},
        {8, 5000, false, 12, true},     // 256 colours: the table is full after 3,838 codes
        {8, 640000, false, 12, true},   // a whole 800 x 800 frame of noise
        {8, 640000, true, 12, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "code size " << row.bits << ", " << row.n << " indices"
                                          << (row.runs ? " in runs" : ""));
        const std::vector<std::uint8_t> in = indices(row.n, row.bits, row.runs, 11u + row.bits);
        const testing::LzwDecoded back = decodeGifLzw(gifLzw(in, row.bits), row.bits);
        ASSERT_EQ(back.error, "");
        EXPECT_TRUE(back.ended);
        EXPECT_TRUE(back.indices == in);
        EXPECT_EQ(back.widestCode, row.widest);
        EXPECT_EQ(back.clearsAfterFirst > 0, row.clears) << back.clearsAfterFirst;
    }
    // every length around the widths' boundaries, for the smallest code size
    // (each code then adds one string: the width changes after 2, 10, 26 ...
    // codes) and for 256 colours
    for (int bits : {2, 8}) {
        const std::vector<std::uint8_t> all = indices(bits == 2 ? 12000 : 9000, bits, false, 5);
        for (std::size_t n = 0; n < all.size(); n += (n < 600 ? 1 : 37)) {
            const std::vector<std::uint8_t> in(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
            const testing::LzwDecoded back = decodeGifLzw(gifLzw(in, bits), bits);
            ASSERT_EQ(back.error, "") << n;
            ASSERT_TRUE(back.indices == in) << "code size " << bits << ", " << n << " indices";
        }
    }
}

// A picture of w x h, row 0 at the bottom, of the colour `at` gives each pixel.
template <class Colour>
RgbImage picture(int w, int h, Colour at)
{
    RgbImage img;
    img.width = w;
    img.height = h;
    img.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned c = at(x, y);
            unsigned char* p = &img.rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(c >> 16);
            p[1] = static_cast<unsigned char>(c >> 8);
            p[2] = static_cast<unsigned char>(c);
        }
    return img;
}

TEST(GifImage, EveryFrameDecodesToThePictureAddedWithItsDelayAndTheLoop)
{
    const int w = 61, h = 37;
    const unsigned white = 0xFFFFFF, red = 0xFF0000, blue = 0x0000FF;
    std::vector<RgbImage> frames;
    frames.push_back(picture(w, h, [&](int x, int) { return x < 30 ? white : red; }));
    // a rectangle of a colour of the first frame
    frames.push_back(picture(w, h, [&](int x, int y) { return x >= 10 && x < 20 && y >= 5 && y < 9 ? red : x < 30 ? white : red; }));
    // nothing changed
    frames.push_back(frames.back());
    // a new colour in one corner and an old one in the other: a table of its own
    frames.push_back(picture(w, h, [&](int x, int y) {
        if (x == 0 && y == 0) return 0x123456u;
        if (x == w - 1 && y == h - 1) return white;
        return x >= 10 && x < 20 && y >= 5 && y < 9 ? red : x < 30 ? white : red;
    }));
    // 200 colours in a band, each new
    frames.push_back(picture(w, h, [&](int x, int y) { return y == 20 ? 0x010000u * static_cast<unsigned>(x + 1) + 7 : x < 30 ? white : blue; }));

    GifEncoder::Options options;
    options.delayCentiseconds = 7;
    options.loopCount = 3;
    GifEncoder gif(w, h, options);
    std::string error;
    std::vector<unsigned char> bytes;
    for (const RgbImage& f : frames) {
        ASSERT_TRUE(gif.addFrame(f, error)) << error;
        const std::vector<unsigned char> more = gif.takeBytes();
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    const std::vector<unsigned char> rest = gif.finish();
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    EXPECT_FALSE(gif.addFrame(frames[0], error)) << "a frame added after the end";

    const testing::GifFile back = decodeGif(bytes);
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.width, w);
    EXPECT_EQ(back.height, h);
    EXPECT_EQ(back.loopCount, 3);
    ASSERT_EQ(back.frames.size(), frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE(k);
        const testing::GifFrame& f = back.frames[k];
        EXPECT_TRUE(f.picture.rgb == frames[k].rgb);
        EXPECT_EQ(f.delay, 7);
        EXPECT_EQ(f.disposal, 1) << "each frame stays for the next to draw on";
    }
    // the first frame whole and opaque; the second only its rectangle
    // (columns 10..19, GIF rows from the top 28..31), in the first frame's table
    EXPECT_EQ(back.frames[0].transparent, -1);
    EXPECT_EQ(back.frames[0].width * back.frames[0].height, w * h);
    const testing::GifFrame& second = back.frames[1];
    EXPECT_EQ(std::vector<int>({second.left, second.top, second.width, second.height}),
              std::vector<int>({10, 28, 10, 4}));
    EXPECT_FALSE(second.localTable);
    EXPECT_EQ(back.frames[2].width * back.frames[2].height, 1);
    EXPECT_TRUE(back.frames[3].localTable);
    EXPECT_GE(back.frames[3].transparent, 0);

    // rows handed top row first give the same file
    GifEncoder topFirst(w, h, options);
    std::vector<unsigned char> flipped(frames[0].rgb.size());
    for (int y = 0; y < h; ++y)
        std::copy_n(&frames[0].rgb[static_cast<std::size_t>(h - 1 - y) * w * 3], w * 3, &flipped[static_cast<std::size_t>(y) * w * 3]);
    GifEncoder bottomFirst(w, h, options);
    ASSERT_TRUE(topFirst.addFrame(flipped.data(), GifEncoder::Rows::TopFirst, error));
    ASSERT_TRUE(bottomFirst.addFrame(frames[0], error));
    EXPECT_TRUE(topFirst.finish() == bottomFirst.finish());
}

TEST(GifImage, MoreThan256ColoursAreRefusedAndNothingIsAdded)
{
    const int w = 300, h = 2;
    const RgbImage many = picture(w, h, [](int x, int y) { return static_cast<unsigned>(x * 2 + y); });  // 600
    const RgbImage exactly256 = picture(w, h, [](int x, int) { return static_cast<unsigned>(x % 256) * 0x010101u; });
    GifEncoder gif(w, h);
    std::string error;
    EXPECT_FALSE(gif.addFrame(many, error));
    EXPECT_EQ(error, "frame 0 has more than 256 colours; a GIF frame holds at most 256");
    EXPECT_EQ(gif.frames(), 0);
    EXPECT_TRUE(gif.takeBytes().empty());

    // 256 colours fill the global table, with no slot left for transparency
    ASSERT_TRUE(gif.addFrame(exactly256, error)) << error;
    error.clear();
    EXPECT_FALSE(gif.addFrame(many, error));
    EXPECT_EQ(error, "frame 1 has more than 256 colours where it differs from the frame before; a GIF frame "
                     "holds at most 256");
    // the animation goes on from the frame before the one refused
    const RgbImage next = picture(w, h, [](int x, int y) { return y == 1 && x < 10 ? 0xABCDEFu : static_cast<unsigned>(x % 256) * 0x010101u; });
    ASSERT_TRUE(gif.addFrame(next, error)) << error;
    EXPECT_EQ(gif.frames(), 2);
    const testing::GifFile back = decodeGif(gif.finish());
    ASSERT_EQ(back.error, "");
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_TRUE(back.frames[0].picture.rgb == exactly256.rgb);
    EXPECT_TRUE(back.frames[1].picture.rgb == next.rgb);

    // a frame of another size
    EXPECT_FALSE(GifEncoder(w + 1, h).addFrame(next, error));
    EXPECT_NE(error.find("a frame of 300 x 2 pixels in an animation of 301 x 2"), std::string::npos) << error;
}

}  // namespace
}  // namespace hybridsim

// PNG files of pictures: every pixel kept, the top row first in the file as
// every viewer expects, bad data refused without a crash.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <random>

#include "image/png_image.h"

namespace hybridsim {
namespace {

// A picture of odd size with random pixels and a pure red top row.
RgbImage noisePicture(int width, int height)
{
    RgbImage img;
    img.width = width;
    img.height = height;
    img.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    std::mt19937 random(7);
    for (auto& byte : img.rgb) byte = static_cast<unsigned char>(random() & 0xFF);
    for (int x = 0; x < width; ++x) {
        unsigned char* p = img.rgb.data() + (static_cast<std::size_t>(height - 1) * width + x) * 3;
        p[0] = 255;
        p[1] = 0;
        p[2] = 0;
    }
    return img;
}

TEST(PngImage, EveryPixelSurvivesAtBothLevelsAndTheTopRowComesFirst)
{
    const RgbImage img = noisePicture(37, 23);
    for (int level : {pngLevelFast, pngLevelSmallest}) {
        SCOPED_TRACE(level);
        std::vector<unsigned char> png;
        std::string error;
        ASSERT_TRUE(encodePng(img, png, error, level)) << error;
        RgbImage back;
        ASSERT_TRUE(decodePng(png, back, error)) << error;
        EXPECT_EQ(back.width, 37);
        EXPECT_EQ(back.height, 23);
        EXPECT_TRUE(back.rgb == img.rgb);

        // read by libpng alone: 8-bit RGB, and the file's first row is red
        png_image raw;
        std::memset(&raw, 0, sizeof raw);
        raw.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&raw, png.data(), png.size()));
        EXPECT_EQ(raw.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
        std::vector<unsigned char> rows(PNG_IMAGE_SIZE(raw));
        ASSERT_TRUE(png_image_finish_read(&raw, nullptr, rows.data(), 0, nullptr));
        for (int x = 0; x < 37; ++x) {
            EXPECT_EQ(rows[x * 3], 255);
            EXPECT_EQ(rows[x * 3 + 1], 0);
        }
    }
}

TEST(PngImage, BadPicturesAndBadFilesAreRefused)
{
    std::vector<unsigned char> png;
    std::string error;
    RgbImage empty;
    EXPECT_FALSE(encodePng(empty, png, error));
    RgbImage wrong = noisePicture(4, 4);
    wrong.rgb.pop_back();
    EXPECT_FALSE(encodePng(wrong, png, error));
    EXPECT_TRUE(png.empty());

    RgbImage img;
    EXPECT_FALSE(decodePng({}, img, error));
    EXPECT_FALSE(decodePng({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}, img, error));
    EXPECT_NE(error.find("not a readable PNG"), std::string::npos) << error;
    // a PNG cut short
    ASSERT_TRUE(encodePng(noisePicture(40, 40), png, error));
    png.resize(png.size() / 2);
    EXPECT_FALSE(decodePng(png, img, error));
    EXPECT_FALSE(readPngFile("/nonexistent/picture.png", img, error));
    EXPECT_NE(error.find("/nonexistent/picture.png"), std::string::npos);
}

}  // namespace
}  // namespace hybridsim

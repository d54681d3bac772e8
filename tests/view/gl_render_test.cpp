// Pictures drawn by OpenGL (Mesa's software renderer) in the real window on
// a private Xvfb server, read back and probed pixel by pixel.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "drawing/frame.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "drawing/text_legend.h"
#include "sim/derivation.h"
#include "tests/support/drawing_support.h"
#include "tests/support/test_window.h"
#include "view/gl_canvas.h"
#include "view/window.h"
#include "window_property.h"

namespace hybridsim {
namespace {

using testing::defaultTask;
using testing::Task;

constexpr unsigned white = 0xFFFFFF;
constexpr unsigned red = 0xFF0000;
constexpr unsigned blue = 0x0000FF;
constexpr unsigned black = 0x000000;

// The pixel of a window point, (x + 1) * 400 from the left and the bottom.
unsigned at(const RgbImage& img, double x, double y, int height = windowSize)
{
    const double perUnit = height / 2.0;
    return img.pixel(static_cast<int>(std::floor((x + 1.0) * pixelsPerUnit)),
                     static_cast<int>(std::floor((y + 1.0) * perUnit)));
}

// True when a pixel within one of the window point has colour c (a one
// pixel line may fall on either side of a pixel boundary).
bool nearby(const RgbImage& img, double x, double y, unsigned c)
{
    const int px = static_cast<int>(std::floor((x + 1.0) * pixelsPerUnit));
    const int py = static_cast<int>(std::floor((y + 1.0) * pixelsPerUnit));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.pixel(px + dx, py + dy) == c) return true;
    return false;
}

// Dark grey of lit text: 0.04 of full intensity, about 10 of 255.
bool darkGrey(unsigned p)
{
    const int r = (p >> 16) & 0xFF;
    const int g = (p >> 8) & 0xFF;
    const int b = p & 0xFF;
    return r == g && g == b && r >= 8 && r <= 12;
}

// Dark grey pixels in rows [y0, y1) over the left half of the window.
int darkGreyPixels(const RgbImage& img, int y0, int y1)
{
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < windowSize / 2; ++x) count += darkGrey(img.pixel(x, y)) ? 1 : 0;
    return count;
}

class GlRender : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window_ = new testing::TestWindow;
        ready_ = window_->open("view_tests", startError_);
        if (ready_) setenv("DISPLAY", window_->displayName().c_str(), 1);
    }

    static void TearDownTestSuite()
    {
        window_->close();
        delete window_;
        window_ = nullptr;
        ready_ = false;
    }

    void SetUp() override { ASSERT_TRUE(ready_) << startError_; }

    // One picture, left in the back buffer and read from there.
    static RgbImage render(const SimSettings& s, const RunSeries& run,
                           GlCanvas::Order order = GlCanvas::Order::Depth)
    {
        return testing::drawAndReadBack(s, run, order);
    }

    static testing::TestWindow* window_;
    static std::string startError_;
    static bool ready_;
};

testing::TestWindow* GlRender::window_ = nullptr;
std::string GlRender::startError_;
bool GlRender::ready_ = false;

TEST_F(GlRender, MidRunPictureOfTheDefaultTask)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.frame = 100;
    const RgbImage img = render(s, *task.run);

    // white background between the grid lines
    EXPECT_EQ(at(img, -0.85, -0.85), white);
    EXPECT_EQ(at(img, -0.25, -0.45), white);
    // the red probe tip where the mapping puts the recorded tip
    const Vec2 tip = toWindow(s, task.set().tipPos[100]);
    EXPECT_EQ(at(img, tip.x, tip.y), red);
    // the grid line through x = 0.3 is there, the ones through 0.5 and 0.7
    // lie under the graph panel
    EXPECT_TRUE(nearby(img, 0.3, -0.55, black));
    EXPECT_FALSE(nearby(img, 0.5, -0.55, black));
    EXPECT_FALSE(nearby(img, 0.7, -0.55, black));
    for (double x : {0.36, 0.5, 0.7, 0.95}) EXPECT_TRUE(nearby(img, x, -0.55, white)) << x;
    // the title and the legend in dark grey, in the first picture of this context
    EXPECT_GT(darkGreyPixels(img, 780, 800), 200);
    EXPECT_GT(darkGreyPixels(img, 720, 780), 400);
}

TEST_F(GlRender, FirstFrameShowsTheCommandedForceLineAndOneTrailPoint)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.frame = 0;
    const RgbImage img = render(s, *task.run);
    for (double x : {0.45, 0.55, 0.8, 0.88}) EXPECT_EQ(at(img, x, 0.35), blue) << x;
    const Vec2 start = toWindow(s, task.set().tipPos[0]);
    EXPECT_EQ(at(img, start.x, start.y), red);
    // no trail yet where the tip will be later
    const Vec2 later = toWindow(s, task.set().tipPos[150]);
    EXPECT_NE(at(img, later.x, later.y), red);
}

TEST_F(GlRender, ZoomedOutCylindricalRobotOnTheCircle)
{
    Task task = testing::computeTask('a', '7', 'C');
    SimSettings& s = task.s;
    s.frame = 60;
    s.viewScale = 0.5;
    const RgbImage img = render(s, *task.run);
    const Vec2 tip = toWindow(s, task.set().tipPos[60]);
    EXPECT_EQ(at(img, tip.x, tip.y), red);
    // the base joint at half the distance from the centre
    const Vec2 base = toWindow(s, Vec2{});
    EXPECT_EQ(at(img, base.x, base.y), red);
    EXPECT_EQ(at(img, -0.85, -0.85), white);
}

TEST_F(GlRender, ASquashedWindowSqueezesThePicture)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    reshapeWindow(windowSize, windowSize / 2);
    const RgbImage img = render(s, *task.run);
    reshapeWindow(windowSize, windowSize);
    // the title now lies in the top rows of the lower half
    EXPECT_GT(darkGreyPixels(img, 380, 400), 200);
    EXPECT_EQ(darkGreyPixels(img, 780, 800), 0);
    EXPECT_EQ(at(img, 0.6, 0.35, windowSize / 2), blue);
}

TEST_F(GlRender, DepthOrderedBatchesGiveThePaintersPicture)
{
    // the window sends its pictures in depth-ordered batches; every pixel
    // must be what painting shape after shape gives
    Task robotA = testing::computeTask('a', '7', 'C');
    Task line = testing::computeTask('b', '7', 'L');
    struct Case {
        const Task* task;
        int frame;
        double zoom;
        int height;
    };
    for (Case c : {Case{&defaultTask(), 0, 1.0, windowSize},
                   Case{&defaultTask(), 137, 1.0, windowSize},
                   Case{&defaultTask(), 200, std::pow(0.9, 4), windowSize},
                   Case{&robotA, 90, 0.5, windowSize}, Case{&line, 200, 1.0 / 0.81, windowSize},
                   Case{&defaultTask(), 200, 1.0, windowSize / 2}}) {
        SCOPED_TRACE(::testing::Message() << "frame " << c.frame << " zoom " << c.zoom
                                          << " height " << c.height);
        SimSettings s = c.task->s;
        s.frame = c.frame;
        s.viewScale = c.zoom;
        reshapeWindow(windowSize, c.height);
        const RgbImage painted = render(s, *c.task->run, GlCanvas::Order::Painter);
        const RgbImage batched = render(s, *c.task->run, GlCanvas::Order::Depth);
        reshapeWindow(windowSize, windowSize);
        int differing = 0;
        for (std::size_t i = 0; i < painted.rgb.size(); ++i)
            differing += painted.rgb[i] != batched.rgb[i] ? 1 : 0;
        EXPECT_EQ(differing, 0);
    }
    // four pins under the live run: dashed lines, rings and legend lines too
    PinSet pins;
    const Task* pinned[] = {&robotA, &line, &defaultTask(), &robotA};
    for (const Task* t : pinned) pins.pin(t->s, *t->run);
    SimSettings s = defaultTask().s;
    s.frame = 137;
    s.viewScale = 0.9;
    const RgbImage painted = testing::drawAndReadBack(s, *defaultTask().run, pins, GlCanvas::Order::Painter);
    const RgbImage batched = testing::drawAndReadBack(s, *defaultTask().run, pins, GlCanvas::Order::Depth);
    EXPECT_EQ(painted.rgb, batched.rgb);
}

TEST_F(GlRender, OwnTextIsGlutsText)
{
    // a string as one bitmap of the toolkit's glyphs, against the toolkit's
    // characters one by one: every byte value, both fonts, at whole and
    // fractional places, in both orders, the next string after the raster
    // position's advance
    std::string all;
    for (int c = 0x01; c < 0x100; ++c) all += static_cast<char>(c);
    auto picture = [](GlCanvas::Order order, GlCanvas::Text text, const std::string& bytes) {
        GlCanvas canvas({}, order, text);
        canvas.clear();
        canvas.setColor(Color{0.0f, 0.0f, 0.0f, 0.0f});
        for (int k = 0; k * 32 < static_cast<int>(bytes.size()); ++k) {
            const std::string part = bytes.substr(static_cast<std::size_t>(k) * 32, 32);
            const float y = 0.9f - 0.1f * static_cast<float>(k);
            canvas.text(-0.98f, y, Font::Helvetica18, part);
            canvas.text(-0.3137f, y + 0.0123f, Font::Helvetica12, part + part);
        }
        canvas.present();
        return readBackBuffer(windowSize, windowSize);
    };
    for (const GlCanvas::Order order : {GlCanvas::Order::Painter, GlCanvas::Order::Depth}) {
        const RgbImage glut = picture(order, GlCanvas::Text::Characters, all);
        const RgbImage own = picture(order, GlCanvas::Text::Strings, all);
        int inked = 0;
        for (unsigned char v : glut.rgb) inked += v == 0 ? 1 : 0;
        EXPECT_GT(inked, 20000);
        EXPECT_EQ(own.rgb, glut.rgb);
    }
    // pictures of more strings than the atlas holds at once, one of them
    // wider than it: the atlas empties between pictures and the wide one
    // goes as a bitmap; every picture is still the toolkit's
    {
        GlCanvas glut({}, GlCanvas::Order::Painter, GlCanvas::Text::Characters);
        GlCanvas own({}, GlCanvas::Order::Depth, GlCanvas::Text::Strings);
        for (int picture = 0; picture < 3; ++picture) {
            auto draw = [picture](GlCanvas& canvas) {
                canvas.clear();
                canvas.setColor(Color{0.2f, 0.4f, 0.6f, 1.0f});
                for (int k = 0; k < 150; ++k)
                    canvas.text(-1.0f + 0.013f * static_cast<float>(k % 100), 0.95f - 0.0127f * static_cast<float>(k),
                                Font::Helvetica18,
                                "picture " + std::to_string(picture) + ", string " + std::to_string(k) +
                                    " of a hundred and fifty");
                canvas.text(-1.0f, -0.97f, Font::Helvetica18, std::string(120, 'W'));
                canvas.present();
                return readBackBuffer(windowSize, windowSize);
            };
            SCOPED_TRACE(picture);
            EXPECT_EQ(draw(own).rgb, draw(glut).rgb);
        }
    }
    // up to a NUL, as the toolkit's characters
    const std::string cut("ab\0cd", 5);
    EXPECT_EQ(picture(GlCanvas::Order::Painter, GlCanvas::Text::Strings, cut).rgb,
              picture(GlCanvas::Order::Painter, GlCanvas::Text::Characters, cut).rgb);
}

TEST_F(GlRender, TextWidthsAreTheBitmapFontsOwn)
{
    for (const Font font : {Font::Helvetica12, Font::Helvetica18}) {
        void* glut = font == Font::Helvetica12 ? GLUT_BITMAP_HELVETICA_12 : GLUT_BITMAP_HELVETICA_18;
        for (int c = 0x20; c < 0x7F; ++c)
            EXPECT_EQ(textWidth(font, std::string(1, static_cast<char>(c))), glutBitmapWidth(glut, c)) << c;
        const std::string label = "pin 2: method 7 (now 8), fn2 = 10 Hz";
        EXPECT_EQ(textWidth(font, label),
                  glutBitmapLength(glut, reinterpret_cast<const unsigned char*>(label.c_str())));
    }
}

TEST_F(GlRender, TheTitleReadsAsUtf8)
{
    const testing::WindowProperty name = testing::currentWindowProperty("_NET_WM_NAME");
    ASSERT_TRUE(name.found);
    EXPECT_EQ(name.type, "UTF8_STRING");
    EXPECT_EQ(name.format, 8);
    const std::string& title = name.value;
    EXPECT_EQ(title, windowTitle);
    // the classic name as compound text, for window managers that read only that
    EXPECT_EQ(testing::currentWindowProperty("WM_NAME").type, "COMPOUND_TEXT");
    EXPECT_EQ(title,
              "r:file, a,b:robot, k:\xE3\x81\xB0\xE3\x81\xAD, h:hybrid, "
              "g:\xE3\x82\xB2\xE3\x82\xA4\xE3\x83\xB3\xEF\xBC\x8C"
              "L,C,S:\xE8\xBC\xAA\xE9\x83\xAD\xEF\xBC\x8C"
              "e:\xE8\xA8\xAD\xE7\xBD\xAE\xE8\xAA\xA4\xE5\xB7\xAE\xEF\xBC\x8C"
              "f;Fn, W,w:\xE6\x8B\xA1\xE5\xA4\xA7\xE7\xB8\xAE\xE5\xB0\x8F\xEF\xBC\x8C"
              "0:\xE5\x88\x9D\xE6\x9C\x9F\xE3\x81\xB8\xEF\xBC\x8C"
              "s:\xE7\xB6\x99\xE7\xB6\x9A");
}

}  // namespace
}  // namespace hybridsim

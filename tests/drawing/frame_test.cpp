// One picture of the window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "drawing/frame.h"
#include "drawing/primitives.h"
#include "playback/keys.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::centroid;
using testing::defaultTask;
using testing::distance;
using testing::near;
using testing::radiusAbout;
using testing::Task;

// Red discs of the point marker's radius: the trail of the probe tip.
std::vector<const RecordedShape*> trail(const RecordingCanvas& cv, const SimSettings& s)
{
    std::vector<const RecordedShape*> out;
    for (const RecordedShape* d : cv.find(Shape::Polygon, palette::red))
        if (std::fabs(radiusAbout(*d, centroid(*d)) - 0.008 * s.viewScale) < 1e-12)
            out.push_back(d);
    return out;
}

// The graph panel: the white rectangle from (0.35, -1), 1 by 2.
const RecordedShape* panel(const RecordingCanvas& cv)
{
    for (const RecordedShape* r : cv.find(Shape::Polygon, palette::white))
        if (r->vertices.size() == 4 && near(r->vertices[0].x, 0.35, 1e-12) &&
            near(r->vertices[0].y, -1.0, 1e-12) && near(r->vertices[2].x, 1.35, 1e-12) &&
            near(r->vertices[2].y, 1.0, 1e-12))
            return r;
    return nullptr;
}

// FNV-1a over everything a recording holds, in order: each shape's place,
// kind, colour, width, lighting and vertices to the last bit, each text's
// place, position, font, lighting and bytes.  Equal hashes: the same
// picture, to the pixel, on any canvas.
std::uint64_t recordingHash(const RecordingCanvas& cv)
{
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* p, std::size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
    };
    for (const RecordedShape& s : cv.shapes) {
        const int kind = static_cast<int>(s.shape);
        mix(&s.sequence, sizeof s.sequence);
        mix(&kind, sizeof kind);
        mix(&s.color, sizeof s.color);
        mix(&s.lineWidth, sizeof s.lineWidth);
        mix(&s.lighting, sizeof s.lighting);
        for (const Vec2& v : s.vertices) {
            mix(&v.x, sizeof v.x);
            mix(&v.y, sizeof v.y);
        }
    }
    for (const RecordedText& t : cv.texts) {
        const int font = static_cast<int>(t.font);
        mix(&t.sequence, sizeof t.sequence);
        mix(&t.x, sizeof t.x);
        mix(&t.y, sizeof t.y);
        mix(&font, sizeof font);
        mix(&t.lighting, sizeof t.lighting);
        mix(t.bytes.data(), t.bytes.size());
    }
    return h;
}

TEST(Frame, PaintersOrderFromTextToGraphs)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.frame = 120;
    RecordingCanvas cv;  // a fresh context: lighting off, as at the first picture
    drawFrame(cv, s, *task.run);

    EXPECT_EQ(cv.clears, 1);
    EXPECT_EQ(cv.presents, 1);
    EXPECT_EQ(cv.misuses, 0);
    EXPECT_EQ(cv.matrixDepth(), 0);
    EXPECT_EQ(cv.nonFiniteValues, 0);
    // every text lit, so dark grey, from the very first picture on
    for (const RecordedText& t : cv.texts) EXPECT_TRUE(t.lighting) << t.bytes;

    // title and legend, then the grid, then the workpiece
    ASSERT_GE(cv.texts.size(), 8u);
    EXPECT_EQ(cv.texts[0].sequence, 0);
    const int gridFirst = cv.find(Shape::Lines, palette::black).front()->sequence;
    EXPECT_EQ(gridFirst, 8);
    const auto workpiece = cv.find(Shape::Polygon, palette::lightBlue);
    ASSERT_EQ(workpiece.size(), 100u);
    EXPECT_EQ(workpiece.front()->sequence, gridFirst + 82);

    // robot, green and white points, the trail, the panel, the graphs
    const SeriesSet& set = task.set();
    const int i = s.frame;
    const Vec2 g{set.refPos[i].x - 10.0 * set.posErr[i].x,
                 set.refPos[i].y - 10.0 * set.posErr[i].y};
    const auto greens = cv.find(Shape::Polygon, palette::green);
    const RecordedShape* greenPoint = greens.back();
    EXPECT_TRUE(near(distance(centroid(*greenPoint), toWindow(s, g)), 0.0, 1e-12));
    const auto whites = cv.find(Shape::Polygon, palette::white);
    const RecordedShape* commandPoint = nullptr;
    for (const RecordedShape* w : whites)
        if (distance(centroid(*w), toWindow(s, set.refPos[i])) < 1e-12) commandPoint = w;
    ASSERT_NE(commandPoint, nullptr);
    EXPECT_EQ(commandPoint->sequence, greenPoint->sequence + 1);

    const auto dots = trail(cv, s);
    ASSERT_EQ(dots.size(), 121u);
    EXPECT_EQ(dots.front()->sequence, commandPoint->sequence + 1);
    for (int k = 0; k <= i; ++k)
        EXPECT_TRUE(near(distance(centroid(*dots[k]), toWindow(s, set.tipPos[k])), 0.0, 1e-12));
    const RecordedShape* p = panel(cv);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->sequence, dots.back()->sequence + 1);
    const RecordedText* posTitle = cv.findText("Position X(red),Y(black)");
    const RecordedText* forceTitle = cv.findText("Contact force");
    ASSERT_TRUE(posTitle && forceTitle);
    EXPECT_GT(posTitle->sequence, p->sequence);
    EXPECT_GT(forceTitle->sequence, posTitle->sequence);
}

// The picture without pins, as it was before pins existed: the hashes of
// recordings made then (made again when the run's elementary functions
// became the portable ones: the vertices moved in their last bits, and
// every picture of --frames for five tasks stayed the same to the byte).
// A pin set that is empty draws nothing at all.
TEST(Frame, WithoutPinsThePictureIsTheOneOfOld)
{
    struct Case {
        char type, hybrid, curve;
        int frame;
        double zoom;
        std::uint64_t hash;
    };
    for (const Case c : {Case{'b', '8', 'S', 120, 1.0, 0x82522f956315ed09ull}, Case{'b', '8', 'S', 200, 1.0, 0xd68b054b4911a234ull},
                         Case{'a', '7', 'C', 30, 0.81, 0xd99081d72901edbdull}, Case{'b', '7', 'L', 0, 1.2, 0x99566cc97a45040aull}}) {
        SCOPED_TRACE(::testing::Message() << c.type << c.hybrid << c.curve << " frame " << c.frame);
        Task task = testing::computeTask(c.type, c.hybrid, c.curve);
        task.s.frame = c.frame;
        task.s.viewScale = c.zoom;
        RecordingCanvas cv;
        drawFrame(cv, task.s, *task.run);
        EXPECT_EQ(recordingHash(cv), c.hash);
        // no segment of a Lines shape starts where the one before it ended:
        // the page strokes such segments on one subpath, which only the
        // additions' dashes and arrows have, so its picture is drawn as of old
        for (const RecordedShape& l : cv.shapes) {
            if (l.shape != Shape::Lines) continue;
            for (std::size_t k = 2; k + 1 < l.vertices.size(); k += 2) {
                ASSERT_FALSE(l.vertices[k].x == l.vertices[k - 1].x && l.vertices[k].y == l.vertices[k - 1].y)
                    << "shape " << l.sequence << " vertex " << k;
            }
        }
        // an empty pin set, and one emptied by 'P' after a pin
        PinSet pins;
        for (int round = 0; round < 2; ++round) {
            cv.reset();
            drawFrame(cv, task.s, *task.run, pins);
            EXPECT_EQ(recordingHash(cv), c.hash) << "round " << round;
            // and with the overlay asked for and off
            cv.reset();
            drawFrame(cv, task.s, *task.run, pins, false);
            EXPECT_EQ(recordingHash(cv), c.hash) << "overlay off, round " << round;
            EXPECT_TRUE(onPinKey(pins, task.s, *task.run, 'p'));
            EXPECT_TRUE(onPinKey(pins, task.s, *task.run, 'P'));
        }
    }
}

TEST(Frame, FrameZeroShowsOneTrailPointAndFramesOutOfRangeAreHeld)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.frame = 0;
    RecordingCanvas cv;
    drawFrame(cv, s, *task.run);
    auto dots = trail(cv, s);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_TRUE(near(distance(centroid(*dots[0]), toWindow(s, task.set().tipPos[0])), 0.0, 1e-12));

    // a frame past the run, or a run longer than the series hold, is drawn
    // at the last sample there is
    for (auto [frame, nsteps, expected] : {std::tuple{900, 200, 201}, std::tuple{-5, 200, 1},
                                           std::tuple{800, 700, seriesCapacity}}) {
        s.frame = frame;
        s.nsteps = nsteps;
        cv.reset();
        drawFrame(cv, s, *task.run);
        EXPECT_EQ(trail(cv, s).size(), std::size_t(expected)) << frame << " " << nsteps;
        EXPECT_EQ(cv.nonFiniteValues, 0);
    }
}

TEST(Frame, RobotAAndUnknownRobotsAndUnreachableSamples)
{
    Task task = testing::computeTask('a', '7', 'C');
    SimSettings s = task.s;
    s.frame = 30;
    RecordingCanvas cv;
    drawFrame(cv, s, *task.run);
    EXPECT_EQ(trail(cv, s).size(), 31u);
    EXPECT_NE(panel(cv), nullptr);
    EXPECT_NE(cv.findText("(a) cylindrical coordinate robot"), nullptr);

    // a robot outside 'a' and 'b': no robot, points or panel; the graphs
    // still show robot a's series
    s.type = 'x';
    cv.reset();
    drawFrame(cv, s, *task.run);
    EXPECT_TRUE(trail(cv, s).empty());
    EXPECT_EQ(panel(cv), nullptr);
    EXPECT_EQ(cv.find(Shape::Lines, palette::black).size(), 82u + 30u);  // grid, tip y

    // unreachable samples hold not-a-number: they are left out, nothing breaks
    s.type = 'a';
    SeriesSet& set = currentSeries(*task.run, 'a');
    const double nan = std::numeric_limits<double>::quiet_NaN();
    set.jointPos[30] = Joints{nan, nan};
    set.tipPos[30] = set.refPos[30] = set.posErr[30] = Vec2{nan, nan};
    cv.reset();
    drawFrame(cv, s, *task.run);
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_EQ(cv.misuses, 0);
    EXPECT_EQ(trail(cv, s).size(), 30u);
}

}  // namespace
}  // namespace hybridsim

// Pictures written by the built batch runner on a private Xvfb server,
// compared with the window's own picture of the same frame, drawn in this
// process by the real window on the same server and read back from it.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <string>

#include "app/batch.h"
#include "drawing/frame.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "image/png_image.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "tests/support/drawing_support.h"
#include "tests/support/gif_reader.h"
#include "tests/support/study_support.h"
#include "tests/support/test_window.h"
#include "view/gl_canvas.h"
#include "view/window.h"

namespace hybridsim {
namespace {

using testing::Outcome;
using testing::runBatchProgram;
using testing::studyTask;
using testing::Task;

constexpr unsigned red = 0xFF0000;

// The task as the batch runner computes it: the program's start, the task
// file read and derived, the run, the view as a dialogue pass leaves it.
Task batchTask(const std::string& file)
{
    Task t;
    t.s = testing::defaultSettings();
    if (!file.empty()) {
        EXPECT_TRUE(loadRobotDataFile(file, t.s).ok) << file;
        deriveSettings(t.s);
    }
    calcontrol(t.s, *t.run);
    t.s.frame = 0;
    t.s.viewScale = 1.0;
    t.s.pointErrorGain = 10.0;
    return t;
}

// The pixel under window point p.
unsigned pixelAt(const RgbImage& img, Vec2 p)
{
    return img.pixel(static_cast<int>(std::floor((p.x + 1.0) * pixelsPerUnit)),
                     static_cast<int>(std::floor((p.y + 1.0) * pixelsPerUnit)));
}

int differingBytes(const RgbImage& a, const RgbImage& b)
{
    if (a.rgb.size() != b.rgb.size()) return -1;
    int n = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) n += a.rgb[i] != b.rgb[i] ? 1 : 0;
    return n;
}

class StudyPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window_ = new testing::TestWindow;
        ready_ = window_->open("app_tests", startError_);
        brokenEgl_ = testing::makeTempFolder();
        std::ofstream(brokenEgl_ + "/libEGL.so.1").flush();
    }

    static void TearDownTestSuite()
    {
        window_->close();
        delete window_;
        window_ = nullptr;
        ready_ = false;
        testing::removeTree(brokenEgl_);
    }

    void SetUp() override { ASSERT_TRUE(ready_) << startError_; }

    static testing::ChildSetup onDisplay()
    {
        testing::ChildSetup setup;
        setup.display = window_->displayName();
        return setup;
    }

    // The ways a picture is drawn: the program's own choice (EGL) with an X
    // display there, EGL without any X display, GLX alone on the display,
    // and GLX because EGL cannot be loaded (an empty file in its place).
    enum class Way { chosen, withoutX, glx, eglBroken };
    static testing::ChildSetup drawnBy(Way way)
    {
        testing::ChildSetup setup = onDisplay();
        if (way == Way::withoutX) {
            setup.display.clear();
            setup.unsetDisplay = true;
            setup.environment = {"HYBRIDSIM_PICTURES=egl"};
        } else if (way == Way::glx) {
            setup.environment = {"HYBRIDSIM_PICTURES=glx"};
        } else if (way == Way::eglBroken) {
            setup.environment = {"LD_LIBRARY_PATH=" + brokenEgl_};
        }
        return setup;
    }

    // The window's picture, drawn as the window draws it and read back.
    static RgbImage windowPicture(const SimSettings& s, const RunSeries& run)
    {
        return testing::drawAndReadBack(s, run);
    }
    static RgbImage windowPicture(const SimSettings& s, const RunSeries& run, const PinSet& pins,
                                  bool overlay = false)
    {
        return testing::drawAndReadBack(s, run, pins, GlCanvas::Order::Depth, overlay);
    }

    static testing::TestWindow* window_;
    static std::string startError_;
    static bool ready_;
    static std::string brokenEgl_;
};

testing::TestWindow* StudyPictures::window_ = nullptr;
std::string StudyPictures::startError_;
bool StudyPictures::ready_ = false;
std::string StudyPictures::brokenEgl_;

TEST_F(StudyPictures, PngIsTheWindowsPictureOfTheFrame)
{
    const std::string dir = testing::makeTempFolder();
    struct Case {
        const char* task;  // "" for the default task
        int frame;         // -1: no --frame, the last frame
        const char* zoom;  // nullptr: no --zoom
        bool overlay = false;
        Way way = Way::chosen;
    };
    for (const Case c : {Case{"", 137, nullptr}, Case{"", -1, nullptr, false, Way::withoutX},
                         Case{"", 0, "0.81", false, Way::glx}, Case{"robot_a_circle.dat", 60, "0.5", false, Way::withoutX},
                         Case{"robot_a_slanted_line.dat", 200, "1.2345679", false, Way::eglBroken},
                         Case{"", 90, "1.5", true, Way::withoutX}, Case{"", 90, "1.5", true, Way::glx},
                         Case{"robot_a_circle.dat", 60, nullptr, true}}) {
        SCOPED_TRACE(::testing::Message() << "task '" << c.task << "' frame " << c.frame << " zoom "
                                          << (c.zoom ? c.zoom : "-") << (c.overlay ? " overlay" : "") << " way "
                                          << static_cast<int>(c.way));
        std::vector<std::string> args;
        const std::string task = *c.task ? studyTask(c.task) : "";
        if (!task.empty()) args.push_back(task);
        const std::string png = dir + "/picture.png";
        args.insert(args.end(), {"--png", png});
        if (c.frame >= 0) args.insert(args.end(), {"--frame", std::to_string(c.frame)});
        if (c.zoom) args.insert(args.end(), {"--zoom", c.zoom});
        if (c.overlay) args.push_back("--overlay");
        const Outcome r = runBatchProgram(args, drawnBy(c.way));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_TRUE(r.err.empty()) << r.err;
        RgbImage written;
        std::string error;
        ASSERT_TRUE(readPngFile(png, written, error)) << error;
        ASSERT_EQ(written.width, windowSize);
        ASSERT_EQ(written.height, windowSize);

        Task t = batchTask(task);
        t.s.frame = c.frame >= 0 ? c.frame : t.s.nsteps;
        t.s.viewScale = c.zoom ? std::stod(c.zoom) : 1.0;
        const RgbImage window = windowPicture(t.s, *t.run, PinSet{}, c.overlay);
        EXPECT_EQ(differingBytes(written, window), 0);
        // the probe tip where the view mapping puts the recorded tip, under
        // the overlay's arrows when it is drawn
        if (!c.overlay) EXPECT_EQ(pixelAt(written, toWindow(t.s, t.set().tipPos[t.s.frame])), red);
        else EXPECT_GT(differingBytes(written, windowPicture(t.s, *t.run)), 1000);
        EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"picture.png"});
    }
    testing::removeTree(dir);
}

// Pixels of colour c within `reach` pixels of window point p.
int pixelsNear(const RgbImage& img, Vec2 p, unsigned c, int reach)
{
    const int x = static_cast<int>(std::floor((p.x + 1.0) * pixelsPerUnit));
    const int y = static_cast<int>(std::floor((p.y + 1.0) * pixelsPerUnit));
    int n = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) n += img.pixel(x + dx, y + dy) == c ? 1 : 0;
    return n;
}

// The tips and contact forces of a task, read from the batch runner's CSV.
struct Recorded {
    std::vector<Vec2> tips;
    std::vector<double> force;
};
Recorded recorded(const std::string& task)
{
    const testing::CsvTable csv = testing::parseCsv(runBatchProgram({task, "--csv", "-"}).out);
    Recorded r;
    for (std::size_t i = 0; i < csv.rows.size(); ++i) {
        r.tips.push_back({csv.at(i, "tip_x"), csv.at(i, "tip_y")});
        r.force.push_back(csv.at(i, "force"));
    }
    return r;
}

TEST_F(StudyPictures, ComparedRunsAreDrawnAsTheWindowDrawsItsPinsWhereTheirSeriesPutThem)
{
    const std::string dir = testing::makeTempFolder();
    const std::string circle = studyTask("circle_method7.dat");  // Fn 10 N
    const std::string robotA = studyTask("robot_a_circle.dat");
    const int frame = 60;
    const std::string png = dir + "/picture.png";
    const Outcome r = runBatchProgram({circle, "--set", "Fn=20", "--set", "tf=8", "--compare", circle, "--compare",
                                       robotA, "--png", png, "--frame", std::to_string(frame), "--zoom", "0.9"},
                                      drawnBy(Way::withoutX));
    ASSERT_EQ(r.status, 0) << r.err;
    RgbImage written;
    std::string error;
    ASSERT_TRUE(readPngFile(png, written, error)) << error;

    // the window's picture of the main task with the compared tasks pinned
    Task main = batchTask(circle);
    ASSERT_TRUE(setTaskSetting(main.s, "Fn", "20").ok && setTaskSetting(main.s, "tf", "8").ok);
    deriveSettings(main.s);
    calcontrol(main.s, *main.run);
    main.s.frame = frame;
    main.s.viewScale = 0.9;
    const Task first = batchTask(circle);
    const Task second = batchTask(robotA);
    PinSet pins;
    pins.pin(first.s, *first.run);
    pins.pin(second.s, *second.run);
    EXPECT_EQ(differingBytes(written, windowPicture(main.s, *main.run, pins)), 0);

    // where the first compared run's own CSV puts its tip ring and its force
    const Recorded own = recorded(circle);
    ASSERT_EQ(own.tips.size(), 201u);
    const unsigned colour = pinColour(0);
    const Vec2 tip = toWindow(main.s, own.tips[frame]);
    int onRing = 0;
    for (int k = 0; k < 24; ++k) {
        const double a = k * 2.0 * pi / 24.0;
        onRing += pixelsNear(written, {tip.x + pinRingRadius * std::cos(a), tip.y + pinRingRadius * std::sin(a)},
                             colour, 1) > 0;
    }
    EXPECT_GE(onRing, 12) << "of 24 points of the ring about the pinned tip";
    EXPECT_EQ(pixelsNear(written, tip, colour, 2), 0) << "the ring is empty inside";
    // the force: half as high as the live Fn of 20 N puts 10 N; a stroke
    // through most samples, nothing of its colour away from the curve
    const double perNewton = main.s.forceGraphScale / 20.0;
    const double step = main.s.graphWidth / main.s.nsteps;
    // the rows of the force graph, from its time axis to the top of its value axis
    const int forceBottom = static_cast<int>((main.s.forceGraphY + 1.0) * pixelsPerUnit) - 2;
    const int forceTop = static_cast<int>((main.s.forceGraphY + main.s.forceGraphScale + 0.05 + 1.0) * pixelsPerUnit) + 2;
    int stroked = 0;
    for (int i = 1; i <= frame; ++i) {
        const Vec2 at{main.s.forceGraphX + i * step, main.s.forceGraphY + perNewton * own.force[i]};
        stroked += pixelsNear(written, at, colour, 1) > 0;
        const int column = static_cast<int>(std::floor((at.x + 1.0) * pixelsPerUnit));
        const int row = static_cast<int>(std::floor((at.y + 1.0) * pixelsPerUnit));
        const double rise = std::fabs(own.force[i] - own.force[i - 1]) * perNewton * pixelsPerUnit;
        for (int y = forceBottom; y <= forceTop; ++y)
            if (written.pixel(column, y) == colour && std::abs(y - row) > 2 + rise) {
                ADD_FAILURE() << "sample " << i << ": the pin's colour at row " << y << ", its force at row " << row;
                break;
            }
    }
    EXPECT_GE(stroked, frame / 2) << "samples on a stroke of the pinned force";
    // and nothing of it beyond the frame shown
    for (int y = 0; y < windowSize; ++y)
        for (int x = 562 + frame; x < 760; ++x) ASSERT_NE(written.pixel(x, y), colour) << x << " " << y;
    testing::removeTree(dir);
}

// The pins' legend stays over the robot view however far it is zoomed:
// four pins, the view zoomed 3 times (the workpiece and the trail under
// the legend's lines 2 to 4): every pixel of a legend line in a pin's
// colour or the texts' is where the picture at zoom 1 has it, and no other.
TEST_F(StudyPictures, PinLegendLinesStayOverTheZoomedRobotView)
{
    const std::string dir = testing::makeTempFolder();
    std::vector<std::string> args = {"--set", "Fn=20"};
    for (const char* task : {"circle_method7.dat", "circle_method8.dat", "line_method7.dat", "line_method8.dat"})
        args.insert(args.end(), {"--compare", studyTask(task)});
    RgbImage pictures[2];
    const char* zooms[] = {"1", "3"};
    for (int z = 0; z < 2; ++z) {
        std::vector<std::string> with = args;
        const std::string png = dir + "/zoom" + zooms[z] + ".png";
        with.insert(with.end(), {"--zoom", zooms[z], "--png", png});
        const Outcome r = runBatchProgram(with, drawnBy(Way::withoutX));
        ASSERT_EQ(r.status, 0) << r.err;
        std::string error;
        ASSERT_TRUE(readPngFile(png, pictures[z], error)) << error;
    }
    const SimSettings s = testing::defaultSettings();
    const unsigned textColour = 0x0A0A0A;  // lit text
    const int left = static_cast<int>((pinSwatchLeft + 1.0) * pixelsPerUnit) - 2;
    const int right = static_cast<int>((s.posGraphX - graphPanelMargin + 1.0) * pixelsPerUnit) - 1;
    for (int slot = 0; slot < pinCapacity; ++slot) {
        SCOPED_TRACE(::testing::Message() << "legend line " << slot + 1);
        const int baseline = static_cast<int>((pinLegendTop - slot * pinLegendStep + 1.0) * pixelsPerUnit);
        int marked = 0, differing = 0;
        for (int y = baseline - 5; y <= baseline + 15; ++y)
            for (int x = left; x <= right; ++x) {
                auto ink = [&](unsigned c) { return c == textColour || c == pinColour(slot); };
                const unsigned plain = pictures[0].pixel(x, y), zoomed = pictures[1].pixel(x, y);
                marked += ink(plain) ? 1 : 0;
                differing += ink(plain) != ink(zoomed) || (ink(plain) && plain != zoomed) ? 1 : 0;
            }
        EXPECT_GT(marked, 200);  // a swatch and a line of text
        EXPECT_EQ(differing, 0);
    }
    testing::removeTree(dir);
}

TEST_F(StudyPictures, FramesAreWrittenInOrderAndAFailurePartWayLeavesNone)
{
    const std::string dir = testing::makeTempFolder();
    const std::string frames = dir + "/frames";
    const auto started = std::chrono::steady_clock::now();
    const Outcome r = runBatchProgram({"--frames", frames}, onDisplay());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    // about 4 s on the 2-core machine (draw, read back, encode, write 201 times)
    ::testing::Test::RecordProperty("frames_seconds", std::to_string(seconds));
    std::printf("201 frames written in %.2f s\n", seconds);

    // frame_000.png ... frame_200.png and nothing else: sorting by name is
    // sorting by frame
    const std::vector<std::string> names = testing::folderEntries(frames);
    ASSERT_EQ(names.size(), 201u);
    for (int k = 0; k <= 200; ++k) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "frame_%03d.png", k);
        EXPECT_EQ(names[static_cast<std::size_t>(k)], expected);
    }
    // the frames show the run as the window does, frame by frame
    const Task t = batchTask("");
    for (int k : {0, 1, 99, 200}) {
        SCOPED_TRACE(k);
        RgbImage img;
        std::string error;
        ASSERT_TRUE(readPngFile(frames + "/" + names[static_cast<std::size_t>(k)], img, error)) << error;
        SimSettings s = t.s;
        s.frame = k;
        EXPECT_EQ(differingBytes(img, windowPicture(s, *t.run)), 0);
        EXPECT_EQ(pixelAt(img, toWindow(s, t.set().tipPos[k])), red);
    }

    // Again with files limited to a size that the first frames keep within
    // and a later one does not: the command stops at that frame with one
    // line and status 3, and writes nothing: the frames are outputs of the
    // command like its other files, all or none.  The folder it made is
    // gone, and frames there before are as they were (the same files).
    std::vector<std::string> bytes;
    for (const std::string& name : names) bytes.push_back(testing::readFile(frames + "/" + name));
    std::size_t limit = 0;
    for (int k = 0; k < 30; ++k) limit = std::max(limit, bytes[static_cast<std::size_t>(k)].size());
    std::size_t failing = 30;
    while (failing < bytes.size() && bytes[failing].size() <= limit) ++failing;
    ASSERT_LT(failing, bytes.size()) << "no frame is larger than the first 30";

    const std::string cut = dir + "/cut";
    testing::ChildSetup limited = onDisplay();
    limited.fileSizeLimit = static_cast<long long>(limit);
    const Outcome partial = runBatchProgram({"--frames", cut, "--write-task", dir + "/task.dat"}, limited);
    EXPECT_EQ(partial.status, exitOutputFailed) << partial.err;
    ASSERT_EQ(testing::textLines(partial.err).size(), 1u) << partial.err;
    char failedName[32];
    std::snprintf(failedName, sizeof failedName, "frame_%03zu.png", failing);
    EXPECT_NE(partial.err.find(cut + "/" + failedName), std::string::npos) << partial.err;
    EXPECT_NE(partial.err.find("File too large"), std::string::npos) << partial.err;
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"frames"});

    struct stat before, after;
    ASSERT_EQ(stat((frames + "/" + names[0]).c_str(), &before), 0);
    EXPECT_EQ(runBatchProgram({"--frames", frames}, limited).status, exitOutputFailed);
    EXPECT_EQ(testing::folderEntries(frames), names);
    ASSERT_EQ(stat((frames + "/" + names[0]).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "a frame was replaced by a command that failed";
    testing::removeTree(dir);
}

// The animation of a run with a compared run pinned, zoomed, with the
// overlay, drawn without any X display: 201 frames of 4/100 s, looping for
// ever, each decoded frame the picture that --png gives of that frame; and
// written whole or not at all.
TEST_F(StudyPictures, GifHoldsEveryFrameAsThePngOfThatFrame)
{
    const std::string dir = testing::makeTempFolder();
    const std::vector<std::string> options = {"--set", "Fn=20", "--compare", studyTask("circle_method7.dat"),
                                              "--zoom", "0.9", "--overlay"};
    const std::string gif = dir + "/run.gif";
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--gif", gif});
    const auto started = std::chrono::steady_clock::now();
    const Outcome r = runBatchProgram(args, drawnBy(Way::withoutX));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(r.err.empty()) << r.err;
    ::testing::Test::RecordProperty("gif_seconds", std::to_string(seconds));
    const std::string file = testing::readFile(gif);
    std::printf("201 frames as a GIF of %zu bytes in %.2f s\n", file.size(), seconds);
    EXPECT_LE(file.size(), 3000000u);

    const std::vector<int> checked = {0, 1, 57, 133, 200};
    const testing::GifFile back = testing::decodeGif(
        std::vector<unsigned char>(file.begin(), file.end()),
        [&](int k) { return std::find(checked.begin(), checked.end(), k) != checked.end(); });
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.width, windowSize);
    EXPECT_EQ(back.height, windowSize);
    EXPECT_EQ(back.loopCount, 0) << "NETSCAPE2.0: loops for ever";
    ASSERT_EQ(back.frames.size(), 201u);
    for (std::size_t k = 0; k < back.frames.size(); ++k) {
        EXPECT_EQ(back.frames[k].delay, 4) << k;
        EXPECT_EQ(back.frames[k].disposal, 1) << k;
    }
    EXPECT_EQ(back.frames[0].width * back.frames[0].height, windowSize * windowSize);
    for (int k : checked) {
        SCOPED_TRACE(k);
        const std::string png = dir + "/frame.png";
        std::vector<std::string> one = options;
        one.insert(one.end(), {"--png", png, "--frame", std::to_string(k)});
        const Outcome p = runBatchProgram(one, drawnBy(Way::withoutX));
        ASSERT_EQ(p.status, 0) << p.err;
        RgbImage picture;
        std::string error;
        ASSERT_TRUE(readPngFile(png, picture, error)) << error;
        EXPECT_EQ(differingBytes(back.frames[static_cast<std::size_t>(k)].picture, picture), 0);
    }
    EXPECT_GT(differingBytes(back.frames[1].picture, back.frames[200].picture), 1000);

    // past a file-size limit: one line, status 3, and neither the animation
    // nor the task written with it, nor a temporary file left
    testing::ChildSetup limited = drawnBy(Way::withoutX);
    limited.fileSizeLimit = static_cast<long long>(file.size()) - 1;
    const Outcome cut = runBatchProgram({"--set", "Fn=20", "--compare", studyTask("circle_method7.dat"), "--zoom",
                                         "0.9", "--overlay", "--gif", dir + "/cut.gif", "--write-task", dir + "/t.dat"},
                                        limited);
    EXPECT_EQ(cut.status, exitOutputFailed);
    EXPECT_EQ(cut.err, "hybridsim-batch: cannot write '" + dir + "/cut.gif': File too large\n");
    EXPECT_EQ(testing::folderEntries(dir), (std::vector<std::string>{"frame.png", "run.gif"}));
    testing::removeTree(dir);
}

}  // namespace
}  // namespace hybridsim

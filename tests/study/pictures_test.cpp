// Pictures written by the built batch runner on a private Xvfb server,
// compared with the window's own picture of the same frame, drawn in this
// process by the real window on the same server and read back from it.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <string>

#include "console/task_file.h"
#include "study_support.h"
#include "tests/view/view_support.h"
#include "tests/view/test_window.h"
#include "view/frame.h"
#include "view/gl_canvas.h"
#include "view/png_image.h"
#include "view/primitives.h"
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
        ready_ = window_->open("study_tests", startError_);
    }

    static void TearDownTestSuite()
    {
        window_->close();
        delete window_;
        window_ = nullptr;
        ready_ = false;
    }

    void SetUp() override { ASSERT_TRUE(ready_) << startError_; }

    static testing::ChildSetup onDisplay()
    {
        testing::ChildSetup setup;
        setup.display = window_->displayName();
        return setup;
    }

    // The window's picture, drawn as the window draws it and read back.
    static RgbImage windowPicture(const SimSettings& s, const RunSeries& run)
    {
        return testing::drawAndReadBack(s, run);
    }

    static testing::TestWindow* window_;
    static std::string startError_;
    static bool ready_;
};

testing::TestWindow* StudyPictures::window_ = nullptr;
std::string StudyPictures::startError_;
bool StudyPictures::ready_ = false;

TEST_F(StudyPictures, PngIsTheWindowsPictureOfTheFrame)
{
    const std::string dir = testing::makeTempFolder();
    struct Case {
        const char* task;  // "" for the default task
        int frame;         // -1: no --frame, the last frame
        const char* zoom;  // nullptr: no --zoom
    };
    for (const Case c : {Case{"", 137, nullptr}, Case{"", -1, nullptr}, Case{"", 0, "0.81"},
                         Case{"robot_a_circle.dat", 60, "0.5"},
                         Case{"robot_a_slanted_line.dat", 200, "1.2345679"}}) {
        SCOPED_TRACE(::testing::Message() << "task '" << c.task << "' frame " << c.frame << " zoom "
                                          << (c.zoom ? c.zoom : "-"));
        std::vector<std::string> args;
        const std::string task = *c.task ? studyTask(c.task) : "";
        if (!task.empty()) args.push_back(task);
        const std::string png = dir + "/picture.png";
        args.insert(args.end(), {"--png", png});
        if (c.frame >= 0) args.insert(args.end(), {"--frame", std::to_string(c.frame)});
        if (c.zoom) args.insert(args.end(), {"--zoom", c.zoom});
        const Outcome r = runBatchProgram(args, onDisplay());
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
        const RgbImage window = windowPicture(t.s, *t.run);
        EXPECT_EQ(differingBytes(written, window), 0);
        // the probe tip where the view mapping puts the recorded tip
        EXPECT_EQ(pixelAt(written, toWindow(t.s, t.set().tipPos[t.s.frame])), red);
        EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"picture.png"});
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
    // line and status 2, and writes nothing: the frames are outputs of the
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
    EXPECT_EQ(partial.status, 2) << partial.err;
    ASSERT_EQ(testing::textLines(partial.err).size(), 1u) << partial.err;
    char failedName[32];
    std::snprintf(failedName, sizeof failedName, "frame_%03zu.png", failing);
    EXPECT_NE(partial.err.find(cut + "/" + failedName), std::string::npos) << partial.err;
    EXPECT_NE(partial.err.find("File too large"), std::string::npos) << partial.err;
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"frames"});

    struct stat before, after;
    ASSERT_EQ(stat((frames + "/" + names[0]).c_str(), &before), 0);
    EXPECT_EQ(runBatchProgram({"--frames", frames}, limited).status, 2);
    EXPECT_EQ(testing::folderEntries(frames), names);
    ASSERT_EQ(stat((frames + "/" + names[0]).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "a frame was replaced by a command that failed";
    testing::removeTree(dir);
}

}  // namespace
}  // namespace hybridsim

#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/batch_option_table.h"
#include "app/batch_options.h"
#include "app/batch_task.h"
#include "app/grading.h"
#include "app/sweep.h"
#include "drawing/frame.h"
#include "image/gif_image.h"
#include "image/png_image.h"
#include "sim/run.h"
#include "study/compare.h"
#include "study/goals.h"
#include "study/lesson_file.h"
#include "study/lessons.h"
#include "study/loop_poles.h"
#include "study/loops_plot.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "study/svg_chart.h"
#include "task/file_output.h"
#include "task/report.h"
#include "task/series_csv.h"
#include "task/task_link.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "view/picture_loader.h"

namespace hybridsim {
namespace {

// Whether `dir` is a folder, or can be made as one.
bool outputFolderAllowed(const std::string& dir, std::string& error)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            error = "cannot write frames into '" + dir + "': it is not a folder";
            return false;
        }
        if (access(dir.c_str(), W_OK | X_OK) != 0) {
            error = "cannot write frames into '" + dir + "': " + std::strerror(errno);
            return false;
        }
        return true;
    }
    std::string parent = dir;
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    parent = folderOf(parent);
    int problem = 0;
    if (stat(parent.c_str(), &st) != 0)
        problem = errno;
    else if (!S_ISDIR(st.st_mode))
        problem = ENOTDIR;
    else if (access(parent.c_str(), W_OK | X_OK) != 0)
        problem = errno;
    if (problem != 0) {
        error = "cannot make the folder '" + dir + "': " + std::strerror(problem);
        return false;
    }
    return true;
}

// A picture as a PNG file, staged with the command's other files.
bool stagePicture(StagedFiles& files, const std::string& path, const RgbImage& img, int level,
                  std::string& error)
{
    std::vector<unsigned char> png;
    if (!encodePng(img, png, error, level)) {
        error = "cannot write '" + path + "': " + error;
        return false;
    }
    return files.add(path, reinterpret_cast<const char*>(png.data()), png.size(), error);
}

// frame_000.png ... with as many digits as the last frame number has, so
// that the names sort in frame order.
std::string frameFileName(int frame, int last)
{
    const int digits = static_cast<int>(std::to_string(last < 0 ? 0 : last).size());
    return format("frame_%0*d.png", digits, frame);
}

// The folder of the frames with a slash at its end.
std::string framesFolder(const std::string& dir)
{
    return dir.back() == '/' ? dir : dir + "/";
}

// The pictures of a command.  Every picture output (--png, --frames,
// --gif) takes its frames from frame(): one way to draw a frame, whatever
// the output.
struct FramePictures {
    PictureDrawer& drawer;
    SimSettings shown;  // the view as a dialogue pass leaves it, at the zoom asked for
    const RunSeries& run;
    const PinSet& pins;
    bool overlay;

    RgbImage frame(int n)
    {
        shown.frame = n;
        return drawer.draw([this](Canvas& cv) { drawFrame(cv, shown, run, pins, overlay); });
    }
};

// Every frame 0..last, each drawn once, into `dir` (--frames) and as one
// animation into `gifPath` (--gif), whichever is asked for (an empty name:
// not asked for), staged with the command's other files: they come into
// place together, or none of them does.  The folder is made when it is
// missing; `made` says so, for the caller to remove it again when the
// command fails.
//
// The frames are drawn on this thread, where the OpenGL context is
// current, and encoded (PNG, GIF) in frame order on a second one, at most
// a few frames behind: on two cores the two take about as long as the
// longer of them alone.
bool stageFrameSequences(StagedFiles& files, FramePictures& pictures, int last, const std::string& dir,
                         const std::string& gifPath, bool& made, std::string& error)
{
    struct stat st;
    made = false;
    if (!dir.empty() && stat(dir.c_str(), &st) != 0) {
        if (mkdir(dir.c_str(), 0777) != 0) {
            error = "cannot make the folder '" + dir + "': " + std::strerror(errno);
            return false;
        }
        made = true;
    }
    constexpr std::size_t framesAhead = 3;
    std::mutex m;
    std::condition_variable changed;
    std::deque<RgbImage> drawn;
    bool allDrawn = false;
    bool failed = false;
    std::string why;  // the encoder's failure

    GifEncoder gif(windowSize, windowSize);
    std::thread encoder([&] {
        for (int frame = 0;; ++frame) {
            RgbImage img;
            {
                std::unique_lock<std::mutex> lock(m);
                changed.wait(lock, [&] { return !drawn.empty() || allDrawn; });
                if (drawn.empty()) return;
                img = std::move(drawn.front());
                drawn.pop_front();
            }
            changed.notify_all();
            std::string problem;
            bool ok = dir.empty() ||
                      stagePicture(files, framesFolder(dir) + frameFileName(frame, last), img, pngLevelFast, problem);
            if (ok && !gifPath.empty() && !gif.addFrame(img, problem)) {
                problem = "cannot write '" + gifPath + "': " + problem;
                ok = false;
            }
            if (!ok) {
                std::lock_guard<std::mutex> lock(m);
                failed = true;
                why = problem;
                changed.notify_all();
                return;
            }
        }
    });
    for (int frame = 0; frame <= last; ++frame) {
        RgbImage img = pictures.frame(frame);
        std::unique_lock<std::mutex> lock(m);
        changed.wait(lock, [&] { return drawn.size() < framesAhead || failed; });
        if (failed) break;
        drawn.push_back(std::move(img));
        lock.unlock();
        changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(m);
        allDrawn = true;
    }
    changed.notify_all();
    encoder.join();
    if (failed) {
        error = why;
        return false;
    }
    if (gifPath.empty()) return true;
    const std::vector<unsigned char> bytes = gif.finish();
    return files.add(gifPath, reinterpret_cast<const char*>(bytes.data()), bytes.size(), error);
}

// Flushes standard output and checks that everything written reached it
// (a full disk, /dev/full): one line and exitOutputFailed when not.  The reason is
// the buffer's when it is an FdOutputBuf, which remembers it.
int finishOutput(std::ostream& out, std::ostream& err)
{
    out.flush();
    if (out) return exitOk;
    const auto* fdBuf = dynamic_cast<const FdOutputBuf*>(out.rdbuf());
    const int problem = fdBuf != nullptr && fdBuf->error() != 0 ? fdBuf->error() : EIO;
    err << "hybridsim-batch: cannot write to standard output: " << std::strerror(problem) << "\n"
        << std::flush;
    return exitOutputFailed;
}

// One output file of a command, as a message names it.
struct NamedOutput {
    std::string label;  // "--csv 'run.csv'"
    FileIdentity id;
    bool editsTask;  // --write-task: it may name the task file (an edit in place)
};

// Whether the command writes to standard output.
bool usesStandardOutput(const BatchOptions& o)
{
    return o.sweep() || o.report || o.summary || o.csvPath == "-";
}

// No output of the command lands in the file of another, nor in the task
// file read (but for --write-task: an edit in place), nor in the file that
// standard output goes to when the command writes there (`outFd`, -1 when
// standard output is no descriptor): one line naming both when one does.
bool outputsApart(const BatchOptions& o, int lastFrame, int outFd, std::string& error)
{
    std::vector<NamedOutput> outputs;
    auto add = [&](const std::string& option, const std::string& path) {
        outputs.push_back({option + " '" + path + "'", fileIdentity(path), option == "--write-task"});
    };
    if (!o.writeTaskPath.empty()) add("--write-task", o.writeTaskPath);
    if (!o.csvPath.empty() && o.csvPath != "-") add("--csv", o.csvPath);
    if (!o.plotPath.empty()) add("--plot", o.plotPath);
    if (!o.pngPath.empty()) add("--png", o.pngPath);
    if (!o.gifPath.empty()) add("--gif", o.gifPath);
    if (!o.junitPath.empty()) add("--junit", o.junitPath);
    if (!o.framesDir.empty()) {
        add("--frames", o.framesDir);
        for (int frame = 0; frame <= lastFrame; ++frame) {
            const std::string path = framesFolder(o.framesDir) + frameFileName(frame, lastFrame);
            outputs.push_back({"the frame '" + path + "' of --frames", fileIdentity(path), false});
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            if (sameFile(outputs[i].id, outputs[j].id)) {
                error = outputs[i].label + " and " + outputs[j].label +
                        " are the same file; each output needs a file of its own";
                return false;
            }
    const FileIdentity task = o.taskFile.empty() ? FileIdentity{} : fileIdentity(o.taskFile);
    for (const NamedOutput& out : outputs)
        if (!out.editsTask && sameFile(out.id, task)) {
            error = out.label + " is the task file read; only --write-task may write over it";
            return false;
        }
    // the tasks compared are read, never written: by no output at all
    std::vector<FileIdentity> compared;
    for (const std::string& file : o.compareFiles) compared.push_back(fileIdentity(file));
    for (const NamedOutput& out : outputs)
        for (std::size_t k = 0; k < compared.size(); ++k)
            if (sameFile(out.id, compared[k])) {
                error = out.label + " is the task file read by --compare '" + o.compareFiles[k] +
                        "'; no output may write over it";
                return false;
            }
    if (outFd < 0 || !usesStandardOutput(o)) return true;
    const FileIdentity stdOut = descriptorIdentity(outFd);
    if (sameFile(stdOut, task)) {
        error = "standard output goes to the task file read '" + o.taskFile +
                "'; only --write-task may write over it";
        return false;
    }
    for (std::size_t k = 0; k < compared.size(); ++k)
        if (sameFile(stdOut, compared[k])) {
            error = "standard output goes to the task file read by --compare '" + o.compareFiles[k] +
                    "'; no output may write over it";
            return false;
        }
    for (const NamedOutput& out : outputs)
        if (sameFile(out.id, stdOut)) {
            error = out.label + " is the file that standard output goes to; standard output and each "
                                "output need a file of their own";
            return false;
        }
    return true;
}

// The descriptor behind `out`, -1 when it is no FdOutputBuf.
int descriptorOf(const std::ostream& out)
{
    const auto* fdBuf = dynamic_cast<const FdOutputBuf*>(out.rdbuf());
    return fdBuf != nullptr ? fdBuf->fd() : -1;
}

// Whether descriptors a and b are one and the same terminal.
bool sameTerminal(int a, int b)
{
    struct stat sa, sb;
    return a >= 0 && b >= 0 && isatty(a) == 1 && isatty(b) == 1 && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 &&
           sa.st_rdev == sb.st_rdev;
}

// The files a task asks for that need no run, checked before anything is
// computed: --write-task and --plot.
bool taskFilesAllowed(const BatchOptions& o, std::string& error)
{
    if (!o.writeTaskPath.empty() && !outputFileAllowed(o.writeTaskPath, error)) return false;
    if (!o.plotPath.empty() && !outputFileAllowed(o.plotPath, error)) return false;
    return true;
}

// The task as a robot data file, when --write-task asks for it.
bool stageTaskFile(StagedFiles& files, const BatchOptions& o, const SimSettings& s, std::string& error)
{
    return o.writeTaskPath.empty() || files.add(o.writeTaskPath, robotDataText(s), error);
}

// Whether the error stream is the process's own standard error on a terminal.
bool errorIsTerminal(const std::ostream& err)
{
    return err.rdbuf() == std::cerr.rdbuf() && isatty(STDERR_FILENO) == 1;
}

// The loops' poles, as text or CSV as --format says.
void printLoopTables(const BatchOptions& o, const SimSettings& s, std::ostream& out)
{
    if (o.summaryCsv)
        printLoopsCsv(s, out);
    else
        printLoops(s, out);
}

// The sweep: its table to standard output as the tasks come in, then the
// plot when asked for.
int runSweepTasks(const BatchOptions& o, const SimSettings& base, std::ostream& out, std::ostream& err,
                  const std::function<int(int, const std::string&)>& fail)
{
    std::string error;
    const int jobs = o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const bool plot = !o.plotPath.empty();
    const std::size_t total = sweepTaskCount(o.sweeps);
    // the force histories are drawn for one name over a few values only
    const bool keepForce = plot && sweepOverlaysForce(o.sweeps.size(), total);

    SweepPlotInput plotted;
    for (const SweepAxis& a : o.sweeps) {
        plotted.names.push_back(a.name);
        if (plot) plotted.values.push_back(a.values());
    }
    plotted.task = o.taskFile.empty() ? "the default task" : "task file " + o.taskFile;
    for (const Setting& one : o.sets) plotted.task += ", " + one.name + "=" + one.value;

    // the task file now, the plot after the table: both come into place
    // only when the table has reached standard output
    StagedFiles files;
    if (!stageTaskFile(files, o, base, error)) return fail(exitOutputFailed, error);

    // on a terminal the rows show how far the sweep is, each as it comes:
    // no progress line among them when both go to the same terminal
    const int outFd = descriptorOf(out);
    const bool rowsOnTerminal = outFd >= 0 && isatty(outFd) == 1;
    SweepProgress progress(err, errorIsTerminal(err) && !sameTerminal(outFd, STDERR_FILENO));
    const bool goals = !o.goals.empty();
    const bool contact = sweepHasContact(base, o.sweeps);
    out << sweepCsvHeader(o.sweeps, contact) << (goals ? ",goals" : "") << '\n';
    runSweep(
        base, o.sweeps, jobs, keepForce,
        [&](SweepTaskResult& r) {
            out << sweepCsvRow(r, contact);
            if (goals) out << ',' << (r.computed ? goalsField(o.goals, r.summary) : "no run");
            out << '\n';
            if (rowsOnTerminal) out.flush();
            if (plot) {
                // the figures only: a few numbers a task
                plotted.tasks.push_back({r.values, r.computed, r.summary, r.Fn, std::move(r.time), std::move(r.force)});
            }
            return static_cast<bool>(out);  // standard output that fails ends the sweep
        },
        [&](std::size_t done, std::size_t all) { progress.update(done, all); });
    progress.finish();
    out.flush();
    if (!out) return finishOutput(out, err);
    if (plot && !files.add(o.plotPath, chartSvg(sweepChart(plotted)), error)) return fail(exitOutputFailed, error);
    if (!files.commit(error)) return fail(exitOutputFailed, error);
    return finishOutput(out, err);
}

// A task of --compare: its file, its settings after the program's start
// and the file, its run, and the notices of its derivation and run.
struct ComparedTask {
    std::string file;
    std::unique_ptr<SimSettings> settings = std::make_unique<SimSettings>();
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    std::ostringstream notices;

    // The notices so far on `err` under one line that names the file;
    // nothing when there are none.
    void tell(std::ostream& err)
    {
        const std::string text = notices.str();
        if (!text.empty()) err << "--compare " << file << ":" << text << std::flush;
        notices.str("");
    }
};

// What the main run is, for the first line of its summary.
std::string mainTaskText(const BatchOptions& o)
{
    std::string text = o.taskFile.empty() ? "the default task" : "task file " + o.taskFile;
    for (const Setting& one : o.sets) text += ", " + one.name + "=" + one.value;
    return text;
}

// The address of --link: BASE up to its own fragment, every blank and byte
// outside printable ASCII percent-encoded as a browser would, then '#' and
// the fragment of the task, its view, its goals and the compared tasks as
// pins; false with `why` set when the page would not read that link whole.
bool linkText(const BatchOptions& o, const SimSettings& s, const std::vector<ComparedTask>& compared,
              const LinkState* lesson, std::string& text, std::string& why)
{
    LinkState state;
    state.task = s;
    state.frame = o.frameGiven ? static_cast<int>(o.frame) : lesson ? lesson->frame : 0;
    state.overlay = o.overlay || (lesson && lesson->overlay);
    if (lesson) {
        state.pins = lesson->pins;
        state.lesson = lesson->lesson;
    }
    for (const ComparedTask& t : compared)
        state.pins.push_back({static_cast<int>(state.pins.size()), *t.settings});
    for (const Goal& g : o.goals) state.goals.push_back(goalText(g));
    const std::string fragment = linkFragment(state);
    why = linkNotReadWhole(state, fragment);
    if (!why.empty()) return false;
    text.clear();
    for (unsigned char c : o.linkBase.substr(0, o.linkBase.find('#')))
        text += c <= 0x20 || c >= 0x7f ? format("%%%02X", c) : std::string(1, static_cast<char>(c));
    text += "#" + fragment + "\n";
    return true;
}

// A paragraph broken into lines of at most `width` characters (counted as
// bytes; a longer word stands alone), each ended by a line feed.
std::string wrapped(const std::string& text, std::size_t width)
{
    std::string out;
    std::string line;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) out += line + "\n";
    return out;
}

// A command of the batch runner as it goes: what it asks for, its task and
// lesson, the tasks it compares, and how it fails.
struct BatchCommand {
    BatchCommand(std::ostream& output, std::ostream& errors) : out(output), err(errors) {}

    BatchOptions o;
    std::ostream& out;
    std::ostream& err;
    std::unique_ptr<SimSettings> settings = std::make_unique<SimSettings>();
    const Lesson* lesson = nullptr;
    std::vector<Lesson> fileLessons;  // the lessons of --lesson FILE
    std::string lessonName;  // "--lesson 2", "--lesson lab.json:2": as messages name it
    LinkState lessonLink;    // the lesson's pins, overlay and sample
    std::string locked;      // the setting the task file changes that the lesson locks ("" when none)
    std::vector<ComparedTask> compared;
    int lastFrame = 0;
    bool outputFailed = false;  // an output could not be made (said once)
    std::string error;

    // refused, or an output that failed before anything was written: one line
    int fail(int status, const std::string& message)
    {
        err << "hybridsim-batch: " << message << "\n" << std::flush;
        return status;
    }

    // an output that cannot be made: said in one line (the first such), every
    // file left as it was and standard output given the goal lines alone; the
    // goals are still checked
    void failOutput(const std::string& message)
    {
        if (!outputFailed) err << "hybridsim-batch: " << message << "\n" << std::flush;
        outputFailed = true;
    }
};

// Whether the command's lesson locks settings.
bool locksSettings(const BatchCommand& c) { return c.lesson != nullptr && c.lesson->locks; }

// The setting the task `s` (a task file as read) changes that the lesson
// locks; "" when none.
std::string lockedChange(const BatchCommand& c, const SimSettings& s)
{
    return locksSettings(c) ? lessonLockedChange(*c.lesson, s) : std::string();
}

// The lesson's task (without TASKFILE), its goals before those of
// --require, and no more compared tasks in its link than there are pins left.
int loadLesson(BatchCommand& c)
{
    BatchOptions& o = c.o;
    const std::string named = c.lessonName + ": ";
    if (!lessonState(*c.lesson, "en", c.lessonLink, c.error)) return c.fail(exitUsage, named + c.error);
    if (o.taskFile.empty()) {
        std::vector<Setting> items;
        for (const std::string& item : c.lesson->set) {
            const std::size_t eq = item.find('=');
            items.push_back({item.substr(0, eq), eq == std::string::npos ? "" : item.substr(eq + 1)});
        }
        const SettingChange taken = applySettings(*c.settings, items);
        if (!taken.ok) return c.fail(exitUsage, named + taken.message);
    }
    std::vector<Goal> goals;
    for (const std::string& text : c.lesson->goals) {
        Goal g;
        if (!parseGoal(text, g, c.error)) return c.fail(exitUsage, named + goalError(c.error));
        goals.push_back(g);
    }
    goals.insert(goals.end(), o.goals.begin(), o.goals.end());
    o.goals = goals;
    const std::size_t pins = c.lessonLink.pins.size();
    if (o.link && pins + o.compareFiles.size() > static_cast<std::size_t>(pinCapacity))
        return c.fail(exitUsage, named + format("the lesson has %zu pins: at most %zu --compare go with it", pins,
                                                static_cast<std::size_t>(pinCapacity) - pins));
    return exitOk;
}

// The lesson of --lesson: built in, or read from its file.
int findLesson(BatchCommand& c)
{
    const BatchOptions& o = c.o;
    if (o.lessonFile.empty()) {
        c.lessonName = "--lesson " + std::to_string(o.lesson);
        c.lesson = &builtInLessons()[static_cast<std::size_t>(o.lesson) - 1];
        return exitOk;
    }
    c.lessonName = "--lesson " + o.lessonFile + ":" + std::to_string(o.lessonIndex);
    errno = 0;
    std::ifstream in(o.lessonFile, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        const int problem = errno != 0 ? errno : EIO;
        return c.fail(exitUsage, "--lesson: cannot read the lesson file '" + o.lessonFile + "': " +
                                     std::strerror(problem));
    }
    if (!readLessonFile(text.str(), c.fileLessons, c.error))
        return c.fail(exitUsage, "--lesson " + o.lessonFile + ": " + c.error);
    if (static_cast<std::size_t>(o.lessonIndex) > c.fileLessons.size())
        return c.fail(exitUsage, c.lessonName + ": the file has " +
                                     (c.fileLessons.size() == 1 ? std::string("1 lesson")
                                                                : std::to_string(c.fileLessons.size()) + " lessons"));
    c.lesson = &c.fileLessons[static_cast<std::size_t>(o.lessonIndex) - 1];
    return exitOk;
}

// Loading: the program's start and the task file (or the lesson's task),
// then every --set in order, then the tasks compared, each read whole or
// not at all.
int loadTasks(BatchCommand& c)
{
    const BatchOptions& o = c.o;
    if (!loadTask(o.taskFile, *c.settings, c.err, c.error)) return c.fail(exitUsage, c.error);
    if (o.lessonGiven()) {
        const int status = findLesson(c);
        if (status != exitOk) return status;
        const int loaded = loadLesson(c);
        if (loaded != exitOk) return loaded;
        if (!o.taskFile.empty()) c.locked = lockedChange(c, *c.settings);
        // a teacher's lesson travels in the link itself
        if (!o.lessonFile.empty()) c.lessonLink.lesson = lessonJson(*c.lesson);
    }
    const SettingChange change = applySettings(*c.settings, o.sets);
    if (!change.ok) return c.fail(exitUsage, "--set " + change.message);
    c.compared.resize(o.compareFiles.size());
    for (std::size_t k = 0; k < c.compared.size(); ++k) {
        ComparedTask& t = c.compared[k];
        t.file = o.compareFiles[k];
        if (!loadTask(t.file, *t.settings, t.notices, c.error)) return c.fail(exitUsage, "--compare " + c.error);
    }
    return exitOk;
}

// Everything that can be found wrong before the run is computed: outputs
// over each other, the frame asked for (--png without --frame: the last),
// the way pictures are drawn.
int refusedBeforeRun(BatchCommand& c)
{
    BatchOptions& o = c.o;
    c.lastFrame = lastSample(*c.settings);
    if (!outputsApart(o, c.lastFrame, descriptorOf(c.out), c.error)) return c.fail(exitUsage, c.error);
    if (!o.pngPath.empty() && !o.frameGiven) o.frame = c.lastFrame;
    if ((o.frameGiven || !o.pngPath.empty()) && (o.frame < 0 || o.frame > c.lastFrame))
        return c.fail(exitUsage, "--frame " + std::to_string(o.frame) + " is out of range: the run has frames 0.." +
                                     std::to_string(c.lastFrame));
    if (o.pictures()) {
        const std::string choice = picturePathChoiceError();
        if (!choice.empty()) return c.fail(exitUsage, choice);
    }
    return exitOk;
}

// --link: the link alone to standard output.
int printLink(BatchCommand& c)
{
    std::string text;
    if (!linkText(c.o, *c.settings, c.compared, c.lesson ? &c.lessonLink : nullptr, text, c.error))
        return c.fail(exitUsage, "--link: the page would not read this link whole: " + c.error);
    c.out << text;
    return finishOutput(c.out, c.err);
}

// Each output's file or folder, checked before the run; the picture module,
// opened only when pictures are asked for.
std::unique_ptr<PictureDrawer> prepareOutputs(BatchCommand& c)
{
    const BatchOptions& o = c.o;
    std::string& error = c.error;
    const bool csvFile = !o.csvPath.empty() && o.csvPath != "-";
    if (!c.outputFailed && !((o.pngPath.empty() || outputFileAllowed(o.pngPath, error)) &&
                             (o.framesDir.empty() || outputFolderAllowed(o.framesDir, error)) &&
                             (!csvFile || outputFileAllowed(o.csvPath, error)) &&
                             (o.gifPath.empty() || outputFileAllowed(o.gifPath, error)) &&
                             (o.junitPath.empty() || outputFileAllowed(o.junitPath, error))))
        c.failOutput(error);
    std::unique_ptr<PictureDrawer> drawer;
    if (!c.outputFailed && o.pictures()) {
        drawer = openPictureDrawer(error);
        if (!drawer)
            c.failOutput("cannot draw pictures: " + error +
                         " (where EGL cannot draw, run it under xvfb-run: xvfb-run -a "
                         "hybridsim-batch ...; --csv, --report and --summary need no "
                         "pictures)");
    }
    return drawer;
}

// The runs of a command: the main run first, then each task compared as its pin.
struct CommandRuns {
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    const SeriesSet* set = nullptr;
    std::vector<ComparedRun> runs;
    PinSet pins;
};

void runTasks(BatchCommand& c, CommandRuns& r)
{
    const SimSettings& s = *c.settings;
    runTask(s, *r.run, c.err);
    r.set = &currentSeries(*r.run, s.type);
    r.runs.push_back({"main", mainTaskText(c.o), &s, r.set});
    for (ComparedTask& t : c.compared) {
        runTask(*t.settings, *t.run, t.notices);
        t.tell(c.err);
        r.runs.push_back({t.file, "", t.settings.get(), &currentSeries(*t.run, t.settings->type)});
        r.pins.pin(*t.settings, *t.run);
    }
}

// The SVG of --plot: with --loops the loops' figures and the design map
// (the compared runs in them in their colours, the goals' pass region on
// the map), else the runs compared or the run's chart.
std::string plotSvg(const BatchOptions& o, const SimSettings& s, const CommandRuns& r)
{
    if (!o.loops) return chartSvg(o.compare() ? compareChart(r.runs) : runChart(s, *r.set));
    std::vector<OtherRun> others;
    for (std::size_t k = 1; k < r.runs.size(); ++k)
        others.push_back({r.runs[k].settings, r.runs[k].series, r.runs[k].name,
                          format("#%06x", static_cast<unsigned>(pinColour(static_cast<int>(k) - 1)))});
    return loopsFiguresSvg(s, *r.set, others, o.goals);
}

// The files of the run, each staged whole, then all renamed into place;
// false with the command's error set when one cannot be made.
bool stageRunFiles(BatchCommand& c, const CommandRuns& r, PictureDrawer* drawer, const std::string& junit,
                   StagedFiles& files, bool& madeFolder)
{
    const BatchOptions& o = c.o;
    const SimSettings& s = *c.settings;
    std::string& error = c.error;
    if (!stageTaskFile(files, o, s, error)) return false;
    if (!o.csvPath.empty() && o.csvPath != "-") {
        std::ostringstream csv;
        writeSeriesCsv(s, *r.set, csv);
        if (!files.add(o.csvPath, csv.str(), error)) return false;
    }
    if (!o.plotPath.empty() && !files.add(o.plotPath, plotSvg(o, s, r), error)) return false;
    if (drawer) {
        // the pictures: the view as a dialogue pass leaves it, at the zoom asked for
        FramePictures pictures{*drawer, s, *r.run, r.pins, o.overlay};
        resetView(pictures.shown);
        pictures.shown.viewScale = o.zoom;
        if (!o.pngPath.empty() &&
            !stagePicture(files, o.pngPath, pictures.frame(static_cast<int>(o.frame)), pngLevelSmallest, error))
            return false;
        if ((!o.framesDir.empty() || !o.gifPath.empty()) &&
            !stageFrameSequences(files, pictures, c.lastFrame, o.framesDir, o.gifPath, madeFolder, error))
            return false;
    }
    if (!c.o.junitPath.empty() && !files.add(c.o.junitPath, junit, error)) return false;
    return files.commit(error);
}

// What the task is, as its grades name it: the task file, or the lesson
// when there is none.
std::string gradedName(const BatchCommand& c)
{
    if (!c.o.taskFile.empty()) return c.o.taskFile;
    return c.lesson ? c.lesson->title[0] : "the default task";
}

// The title of a JUnit report: the lesson's, or the program's.
std::string reportTitle(const BatchCommand& c) { return c.lesson ? c.lesson->title[0] : "hybridsim-batch"; }

// The main run's goals checked on its figures, with the locked setting it changes.
GradedTask gradedRun(const BatchCommand& c, const RunSummary& summary)
{
    GradedTask t;
    t.name = gradedName(c);
    t.goals = c.o.goals;
    for (const Goal& g : t.goals) t.checks.push_back(checkGoal(g, summary));
    t.resultsJson = goalResultsJson(t.goals, summary);
    t.locked = c.locked;
    if (!t.locked.empty()) t.lockedMessage = t.name + " changes " + t.locked + ", which the lesson locks";
    return t;
}

// Whether the command grades its run: goals to check, or a report of them.
bool grades(const BatchOptions& o) { return !o.goals.empty() || o.goalsJson || !o.junitPath.empty(); }

// What goes to standard output after the run: the report, the lesson's
// text, the summary, the samples, the loops; then the goals' lines (or
// their JSON), and whether every goal is met.
int printRunResults(BatchCommand& c, const CommandRuns& r, const std::optional<RunSummary>& summary,
                    const GradedTask& graded, bool& met)
{
    const BatchOptions& o = c.o;
    const SimSettings& s = *c.settings;
    std::ostream& out = c.out;
    if (!c.outputFailed && o.report) {
        printSettings(s, out);
        printContactSettings(s, out);
    }
    if (!c.outputFailed && c.lesson && o.summary && !o.summaryCsv) {
        LessonCard card;
        if (!lessonCard(*c.lesson, "en", card, c.error)) return c.fail(exitUsage, "--lesson: " + c.error);
        out << c.lessonName.substr(2) << ": " << card.title << "\n" << wrapped(card.text, 79);
        if (!card.hint.empty()) out << wrapped("To try: " + card.hint, 79);
        out << "\n";
    }
    if (!c.outputFailed) {
        if (o.summary && o.compare())
            o.summaryCsv ? printComparedSummariesCsv(r.runs, out) : printComparedSummaries(r.runs, out);
        else if (o.summary)
            o.summaryCsv ? printSummaryCsv(s, *summary, out) : printSummary(s, *summary, out);
        if (o.csvPath == "-") writeSeriesCsv(s, *r.set, out);
        if (o.loops) printLoopTables(o, s, out);
    }
    met = graded.passed();
    if (o.goalsJson)
        out << gradesJson({graded});
    else
        out << gradeLines(graded);
    return exitOk;
}

// A command with a run: derived, its outputs checked, run, its files
// staged and committed all or nothing, then standard output.
int runCommand(BatchCommand& c)
{
    const BatchOptions& o = c.o;
    deriveTask(*c.settings, c.err);
    for (ComparedTask& t : c.compared) deriveTask(*t.settings, t.notices);
    std::unique_ptr<PictureDrawer> drawer = prepareOutputs(c);
    // without goals to check, nothing more to do
    if (c.outputFailed && !grades(o)) return exitOutputFailed;

    // a task file alone needs no run
    StagedFiles files;
    if (!(o.report || o.summary || !o.csvPath.empty() || o.pictures() || !o.plotPath.empty() || grades(o))) {
        if (!stageTaskFile(files, o, *c.settings, c.error) || !files.commit(c.error)) {
            c.failOutput(c.error);
            return exitOutputFailed;
        }
        if (o.loops) printLoopTables(o, *c.settings, c.out);
        return finishOutput(c.out, c.err);
    }
    CommandRuns r;
    runTasks(c, r);
    // the main run's figures, once, for the summary and the goals
    std::optional<RunSummary> summary;
    if ((o.summary && !o.compare()) || grades(o)) summary = summarizeRun(*c.settings, *r.set);
    GradedTask graded;
    if (grades(o)) graded = gradedRun(c, *summary);
    const std::string junit = o.junitPath.empty() ? "" : junitReport(reportTitle(c), {graded}, locksSettings(c));
    // a failure leaves the files as they were and standard output untouched but for the goals
    bool madeFolder = false;
    if (!c.outputFailed && !stageRunFiles(c, r, drawer.get(), junit, files, madeFolder)) {
        files.discard();
        if (madeFolder) rmdir(o.framesDir.c_str());
        c.failOutput(c.error);
    }
    bool met = true;
    const int refused = printRunResults(c, r, summary, graded, met);
    if (refused != exitOk) return refused;
    const int status = finishOutput(c.out, c.err);
    if (status != exitOk) return status;
    if (c.outputFailed) return exitOutputFailed;
    return met ? exitOk : exitGoalFailed;
}

// One of several task files graded on the command's goals: read, checked
// against the lesson's locks, --set applied, run; its notices on `err`
// under its name.
GradedTask gradeTaskFile(const BatchCommand& c, const std::string& file)
{
    GradedTask t;
    t.name = file;
    t.named = true;
    t.goals = c.o.goals;
    std::ostringstream notices;
    const auto settings = std::make_unique<SimSettings>();
    SimSettings& s = *settings;
    if (!loadTask(file, s, notices, t.refused)) return t;
    t.locked = lockedChange(c, s);
    if (!t.locked.empty()) t.lockedMessage = file + " changes " + t.locked + ", which the lesson locks";
    const SettingChange change = applySettings(s, c.o.sets);
    if (!change.ok) {
        t.refused = file + ": --set " + change.message;
        return t;
    }
    deriveTask(s, notices);
    const auto run = std::make_unique<RunSeries>();
    runTask(s, *run, notices);
    const RunSummary summary = summarizeRun(s, currentSeries(*run, s.type));
    for (const Goal& g : t.goals) t.checks.push_back(checkGoal(g, summary));
    t.resultsJson = goalResultsJson(t.goals, summary);
    std::istringstream lines(notices.str());
    for (std::string line; std::getline(lines, line);) c.err << file << ": " << line << "\n";
    c.err << std::flush;
    return t;
}

// Several task files graded on the lesson's goals (and those of --require),
// one after the other: the lines or the JSON of every one to standard
// output, the JUnit report of all; the status the worst of them (a file
// refused, then a report not written, then a goal not met).
int gradeTaskFiles(BatchCommand& c)
{
    const BatchOptions& o = c.o;
    if (o.lessonGiven()) {
        int status = findLesson(c);
        if (status == exitOk) status = loadLesson(c);
        if (status != exitOk) return status;
    }
    if (!o.junitPath.empty()) {
        const FileIdentity report = fileIdentity(o.junitPath);
        for (const std::string& file : o.taskFiles)
            if (sameFile(report, fileIdentity(file)))
                return c.fail(exitUsage, "--junit '" + o.junitPath + "' is the task file read '" + file +
                                             "'; no output may write over it");
        if (!outputFileAllowed(o.junitPath, c.error)) c.failOutput(c.error);
    }
    std::vector<GradedTask> tasks;
    bool refused = false, met = true;
    for (const std::string& file : o.taskFiles) {
        tasks.push_back(gradeTaskFile(c, file));
        const GradedTask& t = tasks.back();
        if (!t.refused.empty()) c.err << "hybridsim-batch: " << t.refused << "\n" << std::flush;
        refused = refused || !t.refused.empty();
        met = met && t.passed();
        if (!o.goalsJson) c.out << (tasks.size() > 1 ? "\n" : "") << gradeLines(t);
    }
    if (o.goalsJson) c.out << gradesJson(tasks);
    if (!c.outputFailed && !o.junitPath.empty()) {
        StagedFiles files;
        if (!files.add(o.junitPath, junitReport(reportTitle(c), tasks, locksSettings(c)), c.error) ||
            !files.commit(c.error))
            c.failOutput(c.error);
    }
    const int written = finishOutput(c.out, c.err);
    if (refused) return exitUsage;
    if (written != exitOk || c.outputFailed) return exitOutputFailed;
    return met ? exitOk : exitGoalFailed;
}

}  // namespace

int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    BatchCommand c(out, err);
    if (!parseBatchOptions(argc, argv, c.o, c.error)) return c.fail(exitUsage, c.error + " (see --help)");
    if (c.o.help) {
        out << batchUsage();
        return finishOutput(out, err);
    }
    if (c.o.grading()) return gradeTaskFiles(c);
    int status = loadTasks(c);
    if (status == exitOk) status = refusedBeforeRun(c);
    if (status != exitOk) return status;
    if (c.o.link) return printLink(c);
    if (!taskFilesAllowed(c.o, c.error)) c.failOutput(c.error);
    if (c.o.sweep()) {
        auto fail = [&c](int failure, const std::string& message) { return c.fail(failure, message); };
        return c.outputFailed ? exitOutputFailed : runSweepTasks(c.o, *c.settings, out, err, fail);
    }
    return runCommand(c);
}

}  // namespace hybridsim

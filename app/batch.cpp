#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/batch_options.h"
#include "app/batch_task.h"
#include "app/sweep.h"
#include "console/file_output.h"
#include "console/report.h"
#include "console/series_csv.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "study/svg_chart.h"
#include "console/task_setting.h"
#include "console/text_format.h"
#include "sim/run.h"
#include "view/offscreen.h"
#include "view/png_image.h"

namespace hybridsim {
namespace {

// Whether `dir` is a folder, or can be made as one.
bool outputFolderAllowed(const std::string& dir, std::string& error)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = "cannot write frames into '" + dir + "': it is not a folder";
        return false;
    }
    std::string parent = dir;
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    parent = folderOf(parent);
    int problem = 0;
    if (stat(parent.c_str(), &st) != 0)
        problem = errno;
    else if (!S_ISDIR(st.st_mode))
        problem = ENOTDIR;
    if (problem != 0) {
        error = "cannot make the folder '" + dir + "': " + std::strerror(problem);
        return false;
    }
    return true;
}

bool writePicture(const std::string& path, const RgbImage& img, int level, std::string& error)
{
    std::vector<unsigned char> png;
    if (!encodePng(img, png, error, level)) {
        error = "cannot write '" + path + "': " + error;
        return false;
    }
    return writeFileAtomically(path, reinterpret_cast<const char*>(png.data()), png.size(), error);
}

// frame_000.png ... with as many digits as the last frame number has, so
// that the names sort in frame order.
std::string frameFileName(int frame, int last)
{
    const int digits = static_cast<int>(std::to_string(last < 0 ? 0 : last).size());
    return format("frame_%0*d.png", digits, frame);
}

// Every frame 0..last into `dir`, in order, each written whole.  A failure
// stops the sequence: the frames before it stay complete, the failing one
// leaves nothing behind, and `error` says which frames are there.
bool writeFrames(OffscreenView& view, SimSettings& s, const RunSeries& run, int last,
                 const std::string& dir, std::string& error)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 && mkdir(dir.c_str(), 0777) != 0) {
        error = "cannot make the folder '" + dir + "': " + std::strerror(errno);
        return false;
    }
    const std::string folder = dir.back() == '/' ? dir : dir + "/";
    for (int frame = 0; frame <= last; ++frame) {
        s.frame = frame;
        const std::string path = folder + frameFileName(frame, last);
        if (!writePicture(path, view.draw(s, run), pngLevelFast, error)) {
            if (frame == 0)
                error += " (no frame written)";
            else
                error += " (frames " + frameFileName(0, last) + " to " +
                         frameFileName(frame - 1, last) + " are complete)";
            return false;
        }
    }
    return true;
}

// Flushes standard output and checks that everything written reached it
// (a full disk, /dev/full): one line and exitUsage when not.  The reason is
// the buffer's when it is an FdOutputBuf, which remembers it.
int finishOutput(std::ostream& out, std::ostream& err)
{
    out.flush();
    if (out) return exitOk;
    const auto* fdBuf = dynamic_cast<const FdOutputBuf*>(out.rdbuf());
    const int problem = fdBuf != nullptr && fdBuf->error() != 0 ? fdBuf->error() : EIO;
    err << "hybridsim-batch: cannot write to standard output: " << std::strerror(problem) << "\n"
        << std::flush;
    return exitUsage;
}

// Writes a chart as an SVG file, whole.
bool writeChart(const std::string& path, const Chart& chart, std::string& error)
{
    return writeFileAtomically(path, chartSvg(chart), error);
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
bool writeTaskFile(const BatchOptions& o, const SimSettings& s, std::string& error)
{
    return o.writeTaskPath.empty() || writeFileAtomically(o.writeTaskPath, robotDataText(s), error);
}

// Whether the error stream is the process's own standard error on a terminal.
bool errorIsTerminal(const std::ostream& err)
{
    return err.rdbuf() == std::cerr.rdbuf() && isatty(STDERR_FILENO) == 1;
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

    SweepProgress progress(err, errorIsTerminal(err));
    out << sweepCsvHeader(o.sweeps) << '\n';
    runSweep(
        base, o.sweeps, jobs, keepForce,
        [&](SweepTaskResult& r) {
            out << sweepCsvRow(r) << '\n';
            if (plot) {
                // the figures only: a few numbers a task
                plotted.tasks.push_back({r.values, r.computed, r.summary, r.Fn, std::move(r.time), std::move(r.force)});
            }
            return static_cast<bool>(out);  // standard output that fails ends the sweep
        },
        [&](std::size_t done, std::size_t all) { progress.update(done, all); });
    progress.finish();
    if (!out) return finishOutput(out, err);
    if (plot && !writeChart(o.plotPath, sweepChart(plotted), error)) return fail(exitUsage, error);
    return finishOutput(out, err);
}

}  // namespace

int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    BatchOptions o;
    std::string error;
    auto fail = [&err](int status, const std::string& message) {
        err << "hybridsim-batch: " << message << "\n" << std::flush;
        return status;
    };
    if (!parseBatchOptions(argc, argv, o, error)) return fail(exitUsage, error + " (see --help)");
    if (o.help) {
        out << batchUsage;
        return finishOutput(out, err);
    }

    // loading: the program's start and the task file, then every --set in order
    auto settings = std::make_unique<SimSettings>();
    SimSettings& s = *settings;
    if (!loadTask(o.taskFile, s, err, error)) return fail(exitUsage, error);
    const SettingChange change = applySettings(s, o.sets);
    if (!change.ok) return fail(exitUsage, "--set " + change.message);
    if (!taskFilesAllowed(o, error)) return fail(exitUsage, error);
    if (o.sweep()) {
        if (!writeTaskFile(o, s, error)) return fail(exitUsage, error);
        return runSweepTasks(o, s, out, err, fail);
    }

    // deriving
    deriveTask(s, err);

    // everything that can be found wrong before the run is computed
    const int lastFrame = lastSample(s);
    if (!o.pngPath.empty()) {
        if (!o.frameGiven) o.frame = lastFrame;
        if (o.frame < 0 || o.frame > lastFrame)
            return fail(exitUsage, "--frame " + std::to_string(o.frame) +
                                       " is out of range: the run has frames 0.." +
                                       std::to_string(lastFrame));
        if (!outputFileAllowed(o.pngPath, error)) return fail(exitUsage, error);
    }
    if (!o.framesDir.empty() && !outputFolderAllowed(o.framesDir, error))
        return fail(exitUsage, error);
    if (!o.csvPath.empty() && o.csvPath != "-" && !outputFileAllowed(o.csvPath, error))
        return fail(exitUsage, error);

    // the display, only when pictures are asked for
    std::unique_ptr<OffscreenView> view;
    if (o.pictures()) {
        const char* display = std::getenv("DISPLAY");
        view = OffscreenView::open(display != nullptr ? display : "", error);
        if (!view)
            return fail(exitNoDisplay,
                        "cannot draw pictures: " + error +
                            "; run it under xvfb-run (xvfb-run -a hybridsim-batch ...) "
                            "or with DISPLAY set (--csv, --report and --summary need no display)");
    }

    // a task file alone needs no run
    const bool needsRun = o.report || o.summary || !o.csvPath.empty() || o.pictures() || !o.plotPath.empty();
    if (!needsRun) {
        if (!writeTaskFile(o, s, error)) return fail(exitUsage, error);
        return finishOutput(out, err);
    }

    // running
    auto run = std::make_unique<RunSeries>();
    runTask(s, *run, err);
    const SeriesSet& set = currentSeries(*run, s.type);
    // the pictures: the view as a dialogue pass leaves it, at the zoom asked for
    SimSettings shown = s;
    shown.frame = 0;
    shown.viewScale = o.zoom;
    shown.pointErrorGain = 10.0;

    // files first: a failure leaves standard output untouched
    if (!writeTaskFile(o, s, error)) return fail(exitUsage, error);
    if (!o.csvPath.empty() && o.csvPath != "-") {
        std::ostringstream csv;
        writeSeriesCsv(s, set, csv);
        if (!writeFileAtomically(o.csvPath, csv.str(), error)) return fail(exitUsage, error);
    }
    if (!o.plotPath.empty() && !writeChart(o.plotPath, runChart(s, set), error)) return fail(exitUsage, error);
    if (!o.pngPath.empty()) {
        shown.frame = static_cast<int>(o.frame);
        if (!writePicture(o.pngPath, view->draw(shown, *run), pngLevelSmallest, error))
            return fail(exitUsage, error);
    }
    if (!o.framesDir.empty() && !writeFrames(*view, shown, *run, lastFrame, o.framesDir, error))
        return fail(exitUsage, error);

    // summarising, and what goes to standard output
    if (o.report) printSettings(s, out);
    if (o.summary) {
        const RunSummary summary = summarizeRun(s, set);
        if (o.summaryCsv)
            printSummaryCsv(s, summary, out);
        else
            printSummary(s, summary, out);
    }
    if (o.csvPath == "-") writeSeriesCsv(s, set, out);
    return finishOutput(out, err);
}

}  // namespace hybridsim

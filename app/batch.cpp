#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console/file_output.h"
#include "console/reach_notice.h"
#include "console/report.h"
#include "console/series_csv.h"
#include "console/summary.h"
#include "console/task_file.h"
#include "console/text_format.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "view/offscreen.h"
#include "view/png_image.h"

namespace hybridsim {
namespace {

constexpr const char* usage =
    "usage: hybridsim-batch [TASKFILE] [--csv FILE|-] [--report] [--summary [--format csv]]\n"
    "                       [--png FILE [--frame N]] [--frames DIR] [--zoom F] [--help]\n"
    "  Computes the task (the default task without TASKFILE) and writes:\n"
    "  --csv FILE     every recorded sample as CSV to FILE ('-' for standard output)\n"
    "  --report       the settings report to standard output\n"
    "  --summary      figures of the run (forces, errors) to standard output;\n"
    "                 --format csv gives them as one header line and one row\n"
    "  --png FILE     the window's picture of frame N (--frame N, 0..200, default the\n"
    "                 last) as an 800 x 800 PNG\n"
    "  --frames DIR   every frame as DIR/frame_000.png ... (DIR is made if missing)\n"
    "  --zoom F       zoom of the robot view in the pictures (default 1; 'w' is 0.9)\n"
    "  Pictures need an X display with OpenGL (run under xvfb-run on a machine\n"
    "  without a screen); the other outputs need none.\n"
    "  Without any of --csv, --report, --summary, --png and --frames the CSV goes to\n"
    "  standard output.\n";

struct Options {
    std::string taskFile;
    std::string csvPath;  // empty: no CSV, "-": standard output
    bool report = false;
    bool summary = false;
    bool summaryCsv = false;
    bool formatGiven = false;
    std::string pngPath;    // empty: no picture
    long frame = 0;
    bool frameGiven = false;
    std::string framesDir;  // empty: no frame sequence
    double zoom = 1.0;
    bool zoomGiven = false;
    bool help = false;

    bool pictures() const { return !pngPath.empty() || !framesDir.empty(); }
};

// A whole token as a whole number.
bool parseWhole(const std::string& token, long& value)
{
    if (token.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(token.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0' && !std::isspace(static_cast<unsigned char>(token[0]));
}

// Parses the command line; on a mistake fills `error` and returns false.
bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error)
{
    bool csvGiven = false;
    // the value after option argv[i], or false with `error` set
    auto value = [&](int& i, const char* what, std::string& v) {
        if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
            error = std::string(argv[i]) + " needs " + what;
            return false;
        }
        v = argv[++i];
        return true;
    };
    std::vector<std::string> seen;  // the options given so far
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        // each option names one output or one setting of it: a second one
        // would silently win over the first
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (std::find(seen.begin(), seen.end(), a) != seen.end()) {
                error = a + " is given more than once";
                return false;
            }
            seen.push_back(a);
        }
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--report") {
            o.report = true;
        } else if (a == "--summary") {
            o.summary = true;
        } else if (a == "--csv") {
            if (!value(i, "a file name or '-'", o.csvPath)) return false;
            csvGiven = true;
        } else if (a == "--format") {
            if (!value(i, "'csv' or 'text'", v)) return false;
            if (v != "csv" && v != "text") {
                error = "--format needs 'csv' or 'text' (got '" + v + "')";
                return false;
            }
            o.summaryCsv = v == "csv";
            o.formatGiven = true;
        } else if (a == "--png") {
            if (!value(i, "a file name", o.pngPath)) return false;
            if (o.pngPath == "-") {
                error = "--png writes a file; standard output ('-') is not supported";
                return false;
            }
        } else if (a == "--frame") {
            if (!value(i, "a frame number", v)) return false;
            if (!parseWhole(v, o.frame)) {
                error = "--frame needs a whole number (got '" + v + "')";
                return false;
            }
            o.frameGiven = true;
        } else if (a == "--frames") {
            if (!value(i, "a folder name", o.framesDir)) return false;
        } else if (a == "--zoom") {
            if (!value(i, "a number", v)) return false;
            if (!parseDouble(v, o.zoom) || !std::isfinite(o.zoom) || !(o.zoom > 0.0)) {
                error = "--zoom needs a finite number greater than 0 (got '" + v + "')";
                return false;
            }
            o.zoomGiven = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else if (o.taskFile.empty()) {
            o.taskFile = a;
        } else {
            error = "only one task file may be given (got '" + o.taskFile + "' and '" + a + "')";
            return false;
        }
    }
    if (o.frameGiven && o.pngPath.empty()) {
        error = "--frame goes with --png FILE";
        return false;
    }
    if (o.zoomGiven && !o.pictures()) {
        error = "--zoom goes with --png or --frames";
        return false;
    }
    if (o.formatGiven && !o.summary) {
        error = "--format goes with --summary";
        return false;
    }
    if (!csvGiven && !o.report && !o.summary && !o.pictures()) o.csvPath = "-";
    return true;
}

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

}  // namespace

int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    Options o;
    std::string error;
    auto fail = [&err](int status, const std::string& message) {
        err << "hybridsim-batch: " << message << "\n" << std::flush;
        return status;
    };
    if (!parseOptions(argc, argv, o, error)) return fail(exitUsage, error + " (see --help)");
    if (o.help) {
        out << usage;
        return finishOutput(out, err);
    }

    // the program's start: entry defaults, defaults, derivation
    auto settings = std::make_unique<SimSettings>();
    auto run = std::make_unique<RunSeries>();
    SimSettings& s = *settings;
    ReachNotice notice(err);  // no key wait: nobody is at the keyboard
    // a derivation or a run, with its unreachable points reported as whole lines
    auto reported = [&](auto step) {
        notice.beginScope();
        step();
        const bool any = notice.count() > 0;
        notice.endScope();
        if (any) err << '\n' << std::flush;
    };
    setEntryDefaults(s);
    setDefaults(s);
    reported([&] { deriveSettings(s, &notice); });

    if (!o.taskFile.empty()) {
        const TaskFileResult r = loadRobotDataFile(o.taskFile, s);
        if (!r.ok) return fail(exitUsage, r.error);
        reported([&] { deriveSettings(s, &notice); });
    }

    // everything that can be found wrong before the run is computed
    const int lastFrame = s.nsteps < seriesCapacity ? s.nsteps : seriesCapacity - 1;
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

    // a path longer than the run is traced only in part: said once
    const std::string tooShort = runTooShortNotice(s);
    if (!tooShort.empty()) err << tooShort.substr(1) << "\n" << std::flush;
    reported([&] { calcontrol(s, *run, &notice); });
    const SeriesSet& set = currentSeries(*run, s.type);
    // the pictures: the view as a dialogue pass leaves it, at the zoom asked for
    SimSettings shown = s;
    shown.frame = 0;
    shown.viewScale = o.zoom;
    shown.pointErrorGain = 10.0;

    // files first: a failure leaves standard output untouched
    if (!o.csvPath.empty() && o.csvPath != "-") {
        std::ostringstream csv;
        writeSeriesCsv(s, set, csv);
        if (!writeFileAtomically(o.csvPath, csv.str(), error)) return fail(exitUsage, error);
    }
    if (!o.pngPath.empty()) {
        shown.frame = static_cast<int>(o.frame);
        if (!writePicture(o.pngPath, view->draw(shown, *run), pngLevelSmallest, error))
            return fail(exitUsage, error);
    }
    if (!o.framesDir.empty() && !writeFrames(*view, shown, *run, lastFrame, o.framesDir, error))
        return fail(exitUsage, error);

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

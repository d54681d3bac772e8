#include "app/batch_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "console/task_link.h"
#include "console/text_format.h"
#include "study/compare.h"
#include "study/lessons.h"

namespace hybridsim {

const char* const batchUsage =
    "usage: hybridsim-batch [TASKFILE] [--set NAME=VALUE]... [--write-task FILE]\n"
    "                       [--csv FILE|-] [--report] [--summary [--format csv]]\n"
    "                       [--png FILE [--frame N]] [--frames DIR] [--gif FILE]\n"
    "                       [--zoom F] [--overlay]\n"
    "                       [--sweep NAME=FROM:TO:COUNT | --sweep NAME=V1,V2,...]... [--jobs N]\n"
    "                       [--plot FILE.svg] [--compare TASKFILE]... [--loops [--format csv]]\n"
    "                       [--require 'NAME OP VALUE']... [--lesson N] [--link [BASE]] [--help]\n"
    "  Computes the task (the default task without TASKFILE) and writes:\n"
    "  --set NAME=VALUE  changes one setting after TASKFILE, as a task file would\n"
    "                 hold it (repeatable, in order); the names: robot l l1 l2 KH1 KH2\n"
    "                 method fn1 alpha1 fn2 alpha2 contour, the contour's numbers\n"
    "                 (line x0 y0 xf yf tf, circle Ox Oy r tf, sine x0 y0 L A tf),\n"
    "                 seterror [m], Fn [N]\n"
    "  --write-task FILE  the task after TASKFILE and every --set as a task file\n"
    "  --csv FILE     every recorded sample as CSV to FILE ('-' for standard output)\n"
    "  --report       the settings report to standard output\n"
    "  --summary      figures of the run (forces, errors) to standard output;\n"
    "                 --format csv gives them as one header line and one row\n"
    "  --png FILE     the window's picture of frame N (--frame N, 0..200, default the\n"
    "                 last) as an 800 x 800 PNG\n"
    "  --frames DIR   every frame as DIR/frame_000.png ... (DIR is made if missing)\n"
    "  --gif FILE     every frame as one animated GIF, 25 frames a second, looping;\n"
    "                 each frame is the picture --png gives of it\n"
    "  --zoom F       zoom of the robot view in the pictures (default 1; 'w' is 0.9)\n"
    "  --overlay      the pictures with the teaching overlay ('v' in the window):\n"
    "                 contact frame, forces, hand spring and robot b's reach\n"
    "  --sweep NAME=FROM:TO:COUNT  one task per value (COUNT values, both ends\n"
    "                 included), or NAME=V1,V2,... one per value given; two --sweep\n"
    "                 options make a grid.  The summary of every task as CSV to\n"
    "                 standard output, the swept values first (columns\n"
    "                 sweep_NAME), a status last\n"
    "  --jobs N       threads of a sweep (default: one per processor)\n"
    "  --plot FILE.svg  graphs as SVG: force, tangential error and distance to the\n"
    "                 command point over time; for a sweep, every figure against\n"
    "                 the swept value and the force of each run\n"
    "  --compare TASKFILE  computes that task too (up to 4 times; --set applies\n"
    "                 to the main task only) and compares it with the main run:\n"
    "                 --summary gives a block (--format csv: a row, first column\n"
    "                 run) per run with the largest differences from the main run;\n"
    "                 --png, --frames and --gif draw the compared runs as the\n"
    "                 window's pins; --plot overlays every run and adds its\n"
    "                 differences.\n"
    "                 Not with --csv, --report or --sweep\n"
    "  --loops        the poles of both control loops, as designed ((s^2 + 2 zeta wn s\n"
    "                 + wn^2)(s + alpha)) and as the model integrates them (Kv s^2 +\n"
    "                 (Kp - 1) s + Ki); --format csv: rows system,kind,re,im\n"
    "  --require 'NAME OP VALUE'  a goal on a figure of --summary --format csv (OP\n"
    "                 <, <=, > or >=; repeatable): one line per goal, pass or FAIL,\n"
    "                 and exit status 1 when one fails (a figure that is none\n"
    "                 fails); with --sweep a goals column instead\n"
    "  --lesson N     lesson N of the built-in lessons (1, 2, ...): its task (TASKFILE,\n"
    "                 if given, in its place; --set after it) and its goals before\n"
    "                 any --require; --summary starts with the lesson's text, its\n"
    "                 figures filled in from the lesson's own runs; with --link the\n"
    "                 lesson's pins, overlay and sample go into the link\n"
    "  --link [BASE]  the link that opens the task in the browser edition, to\n"
    "                 standard output: BASE (an address such as\n"
    "                 https://host/hybridsim/index.html; http:, https: or file:)\n"
    "                 followed by '#' and the task's fragment; without BASE the\n"
    "                 fragment alone ('#v=1...').  --frame N the sample shown,\n"
    "                 --overlay the overlay on, --require a goal (at most 12),\n"
    "                 each --compare TASKFILE a pin; no other output goes with\n"
    "                 it.  A link the page would not read whole is refused with\n"
    "                 the reason\n"
    "  Pictures are drawn off screen through Mesa's EGL and need no X display;\n"
    "  only where EGL cannot draw, through GLX on the X display of $DISPLAY\n"
    "  (xvfb-run gives one).  HYBRIDSIM_PICTURES=egl or =glx takes that way alone.\n"
    "  The other outputs load no graphics library at all.\n"
    "  Without any of --csv, --report, --summary, --png, --frames, --gif, --plot,\n"
    "  --write-task, --sweep, --loops, --require, --lesson and --link the CSV goes\n"
    "  to standard output.\n"
    "  Exit status:\n"
    "    0  done; every goal met\n"
    "    1  a goal (--require, the lesson's) not met, and nothing else wrong\n"
    "    2  refused, nothing computed or written: a bad option, setting or task\n"
    "       file, a frame out of range, outputs that would write over each other\n"
    "       or the task file, a link the page would not read whole,\n"
    "       HYBRIDSIM_PICTURES other than egl, glx or auto\n"
    "    3  an output could not be made: pictures that cannot be drawn, a file or\n"
    "       standard output that cannot be written; no file is written, and the\n"
    "       goals are still checked and their lines printed\n"
    "  When several apply, 2 comes before 3 and 3 before 1.\n";

namespace {

// Most threads --jobs takes.
constexpr long maxJobs = 256;

// A whole token as a whole number.
bool parseWhole(const std::string& token, long& value)
{
    if (token.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(token.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0' && !std::isspace(static_cast<unsigned char>(token[0]));
}

// The options there are: a value that is one of them is a value forgotten.
bool isOption(const std::string& token)
{
    static const char* const options[] = {"--help", "-h",     "--report",     "--summary", "--csv",
                                          "--format", "--png", "--frame",     "--frames",  "--gif", "--zoom",  "--overlay",
                                          "--set",  "--write-task", "--sweep", "--jobs",   "--plot",
                                          "--compare", "--loops", "--require", "--lesson", "--link"};
    for (const char* o : options)
        if (token == o) return true;
    return false;
}

// "(got 'VALUE')": the value on one line and short.
std::string got(const std::string& value)
{
    return "(got '" + shownText(value) + "')";
}

// Whether an address's scheme is one a page is opened from: http, https or
// file (in any case).  A link on another (javascript:, data:) is no page's.
bool pageScheme(const std::string& address)
{
    std::string scheme = address.substr(0, address.find(':'));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    return scheme == "http" || scheme == "https" || scheme == "file";
}

bool endsWithSvg(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    return end == ".svg";
}

}  // namespace

bool parseBatchOptions(int argc, const char* const* argv, BatchOptions& o, std::string& error)
{
    bool csvGiven = false;
    // the value after option argv[i], or false with `error` set: none, or
    // an option in its place (--write-task --csv would make a file "--csv")
    auto value = [&](int& i, const char* what, std::string& v) {
        if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
            error = std::string(argv[i]) + " needs " + what;
            return false;
        }
        if (isOption(argv[i + 1])) {
            error = std::string(argv[i]) + " needs " + what + " (got the option '" + argv[i + 1] + "')";
            return false;
        }
        v = argv[++i];
        return true;
    };
    // the name of a file that option argv[i] writes: standard output ('-') is not one
    auto fileName = [&](int& i, std::string& path) {
        const std::string option = argv[i];
        if (!value(i, "a file name", path)) return false;
        if (path == "-") {
            error = option + " writes a file; standard output ('-') is not supported";
            return false;
        }
        return true;
    };
    std::vector<std::string> seen;  // the options given so far
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        // each option names one output or one setting of it: a second one
        // would silently win over the first (--set and --sweep add up)
        if (a.size() > 2 && a.compare(0, 2, "--") == 0 && a != "--set" && a != "--sweep" && a != "--compare" &&
            a != "--require") {
            if (std::find(seen.begin(), seen.end(), a) != seen.end()) {
                error = shownText(a) + " is given more than once";
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
                error = "--format needs 'csv' or 'text' " + got(v);
                return false;
            }
            o.summaryCsv = v == "csv";
            o.formatGiven = true;
        } else if (a == "--png") {
            if (!fileName(i, o.pngPath)) return false;
        } else if (a == "--frame") {
            if (!value(i, "a frame number", v)) return false;
            if (!parseWhole(v, o.frame)) {
                error = "--frame needs a whole number " + got(v);
                return false;
            }
            o.frameGiven = true;
        } else if (a == "--frames") {
            if (!value(i, "a folder name", o.framesDir)) return false;
        } else if (a == "--gif") {
            if (!fileName(i, o.gifPath)) return false;
        } else if (a == "--overlay") {
            o.overlay = true;
        } else if (a == "--loops") {
            o.loops = true;
        } else if (a == "--require") {
            if (!value(i, "a goal 'NAME OP VALUE'", v)) return false;
            Goal goal;
            if (!parseGoal(v, goal, error)) return false;
            o.goals.push_back(goal);
        } else if (a == "--lesson") {
            if (!value(i, "a lesson number", v)) return false;
            long n = 0;
            const long count = static_cast<long>(builtInLessons().size());
            if (!parseWhole(v, n) || n < 1 || n > count) {
                error = format("--lesson needs a lesson number from 1 to %ld ", count) + got(v);
                return false;
            }
            o.lesson = static_cast<int>(n);
        } else if (a == "--zoom") {
            if (!value(i, "a number", v)) return false;
            if (!parseDouble(v, o.zoom) || !std::isfinite(o.zoom) || !(o.zoom > 0.0)) {
                error = "--zoom needs a finite number greater than 0 " + got(v);
                return false;
            }
            o.zoomGiven = true;
        } else if (a == "--set") {
            if (!value(i, "NAME=VALUE", v)) return false;
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set needs NAME=VALUE " + got(v);
                return false;
            }
            o.sets.push_back({v.substr(0, eq), v.substr(eq + 1)});
        } else if (a == "--write-task") {
            if (!fileName(i, o.writeTaskPath)) return false;
        } else if (a == "--sweep") {
            if (!value(i, "NAME=FROM:TO:COUNT or NAME=V1,V2,...", v)) return false;
            SweepAxis axis;
            if (!parseSweepAxis(v, axis, error)) return false;
            for (const SweepAxis& other : o.sweeps)
                if (other.name == axis.name) {
                    error = "--sweep " + axis.name + " is given twice; a grid sweeps two different names";
                    return false;
                }
            if (o.sweeps.size() == 2) {
                error = "--sweep is given more than twice; a sweep has one name, a grid two";
                return false;
            }
            o.sweeps.push_back(axis);
        } else if (a == "--jobs") {
            if (!value(i, "a number of threads", v)) return false;
            long jobs = 0;
            if (!parseWhole(v, jobs) || jobs < 1 || jobs > maxJobs) {
                error = format("--jobs needs a whole number from 1 to %ld ", maxJobs) + got(v);
                return false;
            }
            o.jobs = static_cast<int>(jobs);
        } else if (a == "--compare") {
            if (!value(i, "a task file", v)) return false;
            if (o.compareFiles.size() == static_cast<std::size_t>(pinCapacity)) {
                error = format("--compare is given more than %d times; at most %d runs are compared with the "
                               "main run",
                               pinCapacity, pinCapacity);
                return false;
            }
            o.compareFiles.push_back(v);
        } else if (a == "--link") {
            o.link = true;
            if (i + 1 < argc && linkIsAddress(argv[i + 1])) {
                o.linkBase = argv[++i];
                if (!pageScheme(o.linkBase)) {
                    error = "--link takes a base address of http:, https: or file: " + got(o.linkBase);
                    return false;
                }
            }
        } else if (a == "--plot") {
            if (!value(i, "a file name ending in .svg", o.plotPath)) return false;
            if (!endsWithSvg(o.plotPath)) {
                error = "--plot writes SVG: the file name must end in .svg " + got(o.plotPath);
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + shownText(a) + "'";
            return false;
        } else if (o.taskFile.empty()) {
            o.taskFile = a;
        } else {
            error = "only one task file may be given (got '" + shownText(o.taskFile) + "' and '" + shownText(a) + "')";
            return false;
        }
    }
    if (o.link) {
        // the link is all that is printed; no run is computed for it
        const std::pair<bool, const char*> outputs[] = {
            {csvGiven, "--csv"}, {o.report, "--report"}, {o.summary, "--summary"}, {!o.pngPath.empty(), "--png"},
            {!o.framesDir.empty(), "--frames"}, {!o.gifPath.empty(), "--gif"}, {!o.plotPath.empty(), "--plot"},
            {o.sweep(), "--sweep"}, {o.loops, "--loops"},
            {!o.writeTaskPath.empty(), "--write-task"}, {o.zoomGiven, "--zoom"}, {o.jobs != 0, "--jobs"}};
        for (const auto& [given, name] : outputs)
            if (given) {
                error = std::string(name) + " does not go with --link (it prints the link alone; --frame, "
                                            "--overlay, --require and --compare go into the link)";
                return false;
            }
        return true;
    }
    if (o.frameGiven && o.pngPath.empty()) {
        error = o.gifPath.empty() && o.framesDir.empty()
                    ? "--frame goes with --png FILE or --link"
                    : "--frame goes with --png FILE or --link (--frames and --gif have every frame)";
        return false;
    }
    if (o.zoomGiven && !o.pictures()) {
        error = "--zoom goes with --png, --frames or --gif";
        return false;
    }
    if (o.overlay && !o.pictures()) {
        error = "--overlay goes with --png, --frames, --gif or --link";
        return false;
    }
    if (o.formatGiven && !o.summary && !o.loops) {
        error = "--format goes with --summary or --loops";
        return false;
    }
    if (o.jobs != 0 && !o.sweep()) {
        error = "--jobs goes with --sweep";
        return false;
    }
    if (o.compare()) {
        // the outputs of one run's numbers have no place for a second run
        const std::pair<bool, const char*> single[] = {
            {o.sweep(), "--sweep does not go with --compare (a sweep compares its own tasks in its table)"},
            {csvGiven, "--csv does not go with --compare (the CSV holds the samples of one run)"},
            {o.report, "--report does not go with --compare (the report is of one task)"}};
        for (const auto& [given, message] : single)
            if (given) {
                error = std::string(message) + "; --compare goes with --summary, --png, --frames, --gif and --plot";
                return false;
            }
        if (!o.summary && !o.pictures() && o.plotPath.empty()) {
            error = "--compare needs an output that compares: --summary, --png, --frames, --gif or --plot (or --link)";
            return false;
        }
        return true;
    }
    if (o.sweep()) {
        // a sweep writes one table; the outputs of one run have no place in it
        const std::pair<bool, const char*> single[] = {
            {csvGiven, "--csv"}, {o.report, "--report"}, {!o.pngPath.empty(), "--png"},
            {!o.framesDir.empty(), "--frames"}, {!o.gifPath.empty(), "--gif"}};
        for (const auto& [given, name] : single)
            if (given) {
                error = std::string(name) + " does not go with --sweep (a sweep writes the summary "
                                            "of every task as CSV to standard output)";
                return false;
            }
        if (o.formatGiven && !o.summaryCsv) {
            error = "--format text does not go with --sweep (a sweep writes its summaries as CSV)";
            return false;
        }
        if (sweepTaskCount(o.sweeps) > sweepMaxTasks) {
            error = format("--sweep: the grid has %zu x %zu tasks, more than %zu", o.sweeps[0].size(),
                           o.sweeps[1].size(), sweepMaxTasks);
            return false;
        }
        return true;
    }
    if (!csvGiven && !o.report && !o.summary && !o.pictures() && o.plotPath.empty() &&
        o.writeTaskPath.empty() && !o.loops && o.goals.empty() && o.lesson == 0)
        o.csvPath = "-";
    return true;
}

}  // namespace hybridsim

#include "app/batch_option_table.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "study/compare.h"
#include "study/lessons.h"
#include "task/text_format.h"

namespace hybridsim {
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

// The name of a file that `option` writes: standard output ('-') is not one.
bool writtenFile(const char* option, const std::string& value, std::string& path, std::string& error)
{
    if (value == "-") {
        error = std::string(option) + " writes a file; standard output ('-') is not supported";
        return false;
    }
    path = value;
    return true;
}

// --- how each option stores its value ---

bool takeFormat(BatchOptions& o, const std::string& v, std::string& error)
{
    if (v != "csv" && v != "text") {
        error = "--format needs 'csv' or 'text' " + got(v);
        return false;
    }
    o.summaryCsv = v == "csv";
    return true;
}

bool takeFrame(BatchOptions& o, const std::string& v, std::string& error)
{
    if (!parseWhole(v, o.frame)) {
        error = "--frame needs a whole number " + got(v);
        return false;
    }
    o.frameGiven = true;
    return true;
}

bool takeZoom(BatchOptions& o, const std::string& v, std::string& error)
{
    if (!parseDouble(v, o.zoom) || !std::isfinite(o.zoom) || !(o.zoom > 0.0)) {
        error = "--zoom needs a finite number greater than 0 " + got(v);
        return false;
    }
    return true;
}

bool takeSet(BatchOptions& o, const std::string& v, std::string& error)
{
    const std::size_t eq = v.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "--set needs NAME=VALUE " + got(v);
        return false;
    }
    o.sets.push_back({v.substr(0, eq), v.substr(eq + 1)});
    return true;
}

// one name a sweep, two a grid
bool takeSweep(BatchOptions& o, const std::string& v, std::string& error)
{
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
    return true;
}

bool takeJobs(BatchOptions& o, const std::string& v, std::string& error)
{
    long jobs = 0;
    if (!parseWhole(v, jobs) || jobs < 1 || jobs > maxJobs) {
        error = format("--jobs needs a whole number from 1 to %ld ", maxJobs) + got(v);
        return false;
    }
    o.jobs = static_cast<int>(jobs);
    return true;
}

bool takePlot(BatchOptions& o, const std::string& v, std::string& error)
{
    if (!endsWithSvg(v)) {
        error = "--plot writes SVG: the file name must end in .svg " + got(v);
        return false;
    }
    o.plotPath = v;
    return true;
}

bool takeCompare(BatchOptions& o, const std::string& v, std::string& error)
{
    if (o.compareFiles.size() == static_cast<std::size_t>(pinCapacity)) {
        error = format("--compare is given more than %d times; at most %d runs are compared with the main run",
                       pinCapacity, pinCapacity);
        return false;
    }
    o.compareFiles.push_back(v);
    return true;
}

bool takeRequire(BatchOptions& o, const std::string& v, std::string& error)
{
    Goal goal;
    if (!parseGoal(v, goal, error)) return false;
    o.goals.push_back(goal);
    return true;
}

// a word of digits alone: a built-in lesson; else a lesson file, with
// ':N' after it lesson N of the file (1 when not given)
bool takeLesson(BatchOptions& o, const std::string& v, std::string& error)
{
    const bool digits = v.find_first_not_of("0123456789") == std::string::npos;
    long n = 0;
    if (digits) {
        const long count = static_cast<long>(builtInLessons().size());
        if (!parseWhole(v, n) || n < 1 || n > count) {
            error = format("--lesson needs a lesson number from 1 to %ld or a lesson file ", count) + got(v);
            return false;
        }
        o.lesson = static_cast<int>(n);
        return true;
    }
    o.lessonFile = v;
    o.lessonIndex = 1;
    const std::size_t colon = v.rfind(':');
    if (colon == std::string::npos || colon + 1 == v.size() ||
        v.find_first_not_of("0123456789", colon + 1) != std::string::npos)
        return true;
    if (colon == 0 || !parseWhole(v.substr(colon + 1), n) || n < 1 || n > 1000000) {
        error = "--lesson FILE:N needs a file name and a lesson number N from 1 " + got(v);
        return false;
    }
    o.lessonFile = v.substr(0, colon);
    o.lessonIndex = static_cast<int>(n);
    return true;
}

bool takeGoalsFormat(BatchOptions& o, const std::string& v, std::string& error)
{
    if (v != "json" && v != "text") {
        error = "--goals-format needs 'text' or 'json' " + got(v);
        return false;
    }
    o.goalsJson = v == "json";
    return true;
}

bool takeLink(BatchOptions& o, const std::string& base, std::string& error)
{
    o.link = true;
    o.linkBase = base;
    if (!base.empty() && !pageScheme(base)) {
        error = "--link takes a base address of http:, https: or file: " + got(base);
        return false;
    }
    return true;
}

// --- the table ---

constexpr OptionValue none = OptionValue::none;
constexpr OptionValue one = OptionValue::one;
constexpr bool repeatable = true;
constexpr bool once = false;
constexpr bool endsLine = true;

// the reasons the outputs that exclude others give
constexpr const char* linkAlone =
    "it prints the link alone; --frame, --overlay, --require and --compare go into the link";
constexpr const char* sweepTable = "a sweep writes the summary of every task as CSV to standard output";
constexpr const char* sweepGoals = "a sweep writes the goals of every task as a column of its table";

std::vector<BatchOption> makeTable()
{
    return {
        {"--set", nullptr, one, "NAME=VALUE", takeSet, repeatable, 0, {}, nullptr, {}, {}, nullptr,
         "[--set NAME=VALUE]...", false, "--set NAME=VALUE",
         "changes one setting after TASKFILE, as a task file would\n"
         "hold it (repeatable, in order); the names: robot l l1 l2 KH1 KH2\n"
         "method fn1 alpha1 fn2 alpha2 contour, the contour's numbers\n"
         "(line x0 y0 xf yf tf, circle Ox Oy r tf, sine x0 y0 L A tf),\n"
         "seterror [m], Fn [N]"},
        {"--write-task", nullptr, one, "a file name",
         [](BatchOptions& o, const std::string& v, std::string& e) {
             return writtenFile("--write-task", v, o.writeTaskPath, e);
         },
         once, 8, {}, nullptr, {}, {}, nullptr, "[--write-task FILE]", endsLine, "--write-task FILE",
         "the task after TASKFILE and every --set as a task file"},
        {"--csv", nullptr, one, "a file name or '-'",
         [](BatchOptions& o, const std::string& v, std::string&) {
             o.csvPath = v;
             return true;
         },
         once, 1, {}, nullptr, {}, {}, nullptr, "[--csv FILE|-]", false, "--csv FILE",
         "every recorded sample as CSV to FILE ('-' for standard output)"},
        {"--report", nullptr, none, nullptr,
         [](BatchOptions& o, const std::string&, std::string&) { return o.report = true; },
         once, 2, {}, nullptr, {}, {}, nullptr, "[--report]", false, "--report",
         "the settings report to standard output"},
        {"--summary", nullptr, none, nullptr,
         [](BatchOptions& o, const std::string&, std::string&) { return o.summary = true; },
         once, 3, {}, nullptr, {}, {}, nullptr, "[--summary [--format csv]]", endsLine, "--summary",
         "figures of the run (forces, errors) to standard output;\n"
         "--format csv gives them as one header line and one row"},
        {"--png", nullptr, one, "a file name",
         [](BatchOptions& o, const std::string& v, std::string& e) { return writtenFile("--png", v, o.pngPath, e); },
         once, 4, {}, nullptr, {}, {}, nullptr, "[--png FILE [--frame N]]", false, "--png FILE",
         "the window's picture of frame N (--frame N, 0..200, default the\n"
         "last) as an 800 x 800 PNG"},
        {"--frames", nullptr, one, "a folder name",
         [](BatchOptions& o, const std::string& v, std::string&) {
             o.framesDir = v;
             return true;
         },
         once, 5, {}, nullptr, {}, {}, nullptr, "[--frames DIR]", false, "--frames DIR",
         "every frame as DIR/frame_000.png ... (DIR is made if missing)"},
        {"--gif", nullptr, one, "a file name",
         [](BatchOptions& o, const std::string& v, std::string& e) { return writtenFile("--gif", v, o.gifPath, e); },
         once, 6, {}, nullptr, {}, {}, nullptr, "[--gif FILE]", endsLine, "--gif FILE",
         "every frame as one animated GIF, 25 frames a second, looping;\n"
         "each frame is the picture --png gives of it"},
        {"--frame", nullptr, one, "a frame number", takeFrame, once, 0, {"--png FILE", "--link"},
         "--frames and --gif have every frame", {"--frames", "--gif"}, {}, nullptr, "", false, nullptr, nullptr},
        {"--zoom", nullptr, one, "a number", takeZoom, once, 0, {"--png", "--frames", "--gif"}, nullptr, {}, {},
         nullptr, "[--zoom F]", false, "--zoom F",
         "zoom of the robot view in the pictures (default 1; 'w' is 0.9)"},
        {"--overlay", nullptr, none, nullptr,
         [](BatchOptions& o, const std::string&, std::string&) { return o.overlay = true; },
         once, 0, {"--png", "--frames", "--gif", "--link"}, nullptr, {}, {}, nullptr, "[--overlay]", endsLine,
         "--overlay",
         "the pictures with the teaching overlay ('v' in the window):\n"
         "contact frame, forces, hand spring and robot b's reach"},
        {"--format", nullptr, one, "'csv' or 'text'", takeFormat, once, 0, {"--summary", "--loops"}, nullptr, {}, {},
         nullptr, "", false, nullptr, nullptr},
        {"--sweep", nullptr, one, "NAME=FROM:TO:COUNT or NAME=V1,V2,...", takeSweep, repeatable, 9, {}, nullptr, {},
         {{"--csv", nullptr}, {"--report", nullptr}, {"--png", nullptr}, {"--frames", nullptr}, {"--gif", nullptr},
          {"--goals-format", sweepGoals}, {"--junit", sweepGoals}},
         sweepTable, "[--sweep NAME=FROM:TO:COUNT | --sweep NAME=V1,V2,...]...", false,
         "--sweep NAME=FROM:TO:COUNT",
         "one task per value (COUNT values, both ends\n"
         "included), or NAME=V1,V2,... one per value given; two --sweep\n"
         "options make a grid.  The summary of every task as CSV to\n"
         "standard output, the swept values first (columns\n"
         "sweep_NAME), a status last"},
        {"--jobs", nullptr, one, "a number of threads", takeJobs, once, 0, {"--sweep"}, nullptr, {}, {}, nullptr,
         "[--jobs N]", endsLine, "--jobs N", "threads of a sweep (default: one per processor)"},
        {"--plot", nullptr, one, "a file name ending in .svg", takePlot, once, 7, {}, nullptr, {}, {}, nullptr,
         "[--plot FILE.svg]", false, "--plot FILE.svg",
         "graphs as SVG: force, tangential error and distance to the\n"
         "command point over time; for a sweep, every figure against\n"
         "the swept value and the force of each run"},
        {"--compare", nullptr, one, "a task file", takeCompare, repeatable, 0,
         {"--summary", "--png", "--frames", "--gif", "--plot"}, nullptr, {},
         {{"--sweep", "a sweep compares its own tasks in its table"},
          {"--csv", "the CSV holds the samples of one run"},
          {"--report", "the report is of one task"}},
         nullptr, "[--compare TASKFILE]...", false, "--compare TASKFILE",
         "computes that task too (up to 4 times; --set applies\n"
         "to the main task only) and compares it with the main run:\n"
         "--summary gives a block (--format csv: a row, first column\n"
         "run) per run with the largest differences from the main run;\n"
         "--png, --frames and --gif draw the compared runs as the\n"
         "window's pins; --plot overlays every run and adds its\n"
         "differences.\n"
         "Not with --csv, --report or --sweep"},
        {"--loops", nullptr, none, nullptr,
         [](BatchOptions& o, const std::string&, std::string&) { return o.loops = true; },
         once, 10, {}, nullptr, {}, {}, nullptr, "[--loops [--format csv]]", endsLine, "--loops",
         "the poles of both control loops, as designed ((s^2 + 2 zeta wn s\n"
         "+ wn^2)(s + alpha)) and as the model integrates them (Kv s^2 +\n"
         "(Kp - 1) s + Ki); --format csv: rows system,kind,re,im"},
        {"--require", nullptr, one, "a goal 'NAME OP VALUE'", takeRequire, repeatable, 11, {}, nullptr, {}, {},
         nullptr, "[--require 'NAME OP VALUE']...", false, "--require 'NAME OP VALUE'",
         "a goal on a figure of --summary --format csv (OP\n"
         "<, <=, > or >=; repeatable): one line per goal, pass or FAIL,\n"
         "and exit status 1 when one fails (a figure that is none\n"
         "fails); with --sweep a goals column instead"},
        {"--goals-format", nullptr, one, "'text' or 'json'", takeGoalsFormat, once, 0, {"--require", "--lesson"},
         nullptr, {}, {}, nullptr, "[--goals-format text|json]", endsLine, "--goals-format json",
         "the goals' results as one JSON document on\n"
         "standard output in place of the pass/FAIL lines: {passed,\n"
         "total, fraction, goals: [{goal, figure, operator, value,\n"
         "measured, pass}]}; several task files: an array of them,\n"
         "each with its \"task\""},
        {"--junit", nullptr, one, "a file name",
         [](BatchOptions& o, const std::string& v, std::string& e) { return writtenFile("--junit", v, o.junitPath, e); },
         once, 0, {"--require", "--lesson"}, nullptr, {}, {}, nullptr, "[--junit FILE]", false, "--junit FILE",
         "the goals as a JUnit XML report: a testsuite per task file\n"
         "(or the lesson), a testcase per goal, failing when not met"},
        {"--lesson", nullptr, one, "a lesson number or a lesson file", takeLesson, once, 12, {}, nullptr, {}, {},
         nullptr, "[--lesson N|FILE[:N]]", false, "--lesson N|FILE[:N]",
         "lesson N of the built-in lessons (1, 2, ...), or\n"
         "lesson N (default 1) of a lesson FILE: its task (TASKFILE, if\n"
         "given, in its place; --set after it) and its goals before any\n"
         "--require; a TASKFILE that changes a setting the lesson locks\n"
         "fails; --summary starts with the lesson's text, its figures\n"
         "filled in from the lesson's own runs; with --link the lesson's\n"
         "pins, overlay and sample go into the link.  With --lesson\n"
         "several TASKFILEs may be given, each graded on the goals\n"
         "alone: its own lines, JSON entry and JUnit testsuite"},
        {"--link", nullptr, OptionValue::optionalAddress, nullptr, takeLink, once, 13, {}, nullptr, {},
         {{"--csv", nullptr}, {"--report", nullptr}, {"--summary", nullptr}, {"--png", nullptr},
          {"--frames", nullptr}, {"--gif", nullptr}, {"--plot", nullptr}, {"--sweep", nullptr},
          {"--loops", nullptr}, {"--write-task", nullptr}, {"--zoom", nullptr}, {"--jobs", nullptr},
          {"--goals-format", nullptr}, {"--junit", nullptr}},
         linkAlone, "[--link [BASE]]", false, "--link [BASE]",
         "the link that opens the task in the browser edition, to\n"
         "standard output: BASE (an address such as\n"
         "https://host/hybridsim/index.html; http:, https: or file:)\n"
         "followed by '#' and the task's fragment; without BASE the\n"
         "fragment alone ('#v=1...').  --frame N the sample shown,\n"
         "--overlay the overlay on, --require a goal (at most 12),\n"
         "each --compare TASKFILE a pin; no other output goes with\n"
         "it.  A link the page would not read whole is refused with\n"
         "the reason"},
        {"--help", "-h", none, nullptr,
         [](BatchOptions& o, const std::string&, std::string&) { return o.help = true; },
         once, 0, {}, nullptr, {}, {}, nullptr, "[--help]", endsLine, nullptr, nullptr},
    };
}

// --- the text of --help ---

// The usage lines: every option's part, the lines broken where the table says.
std::string usageLines(const std::vector<BatchOption>& table)
{
    std::string out = "usage: hybridsim-batch [TASKFILE]...";
    for (const BatchOption& row : table) {
        if (*row.usage == '\0') continue;
        out += std::string(out.back() == '\n' ? "                       " : " ") + row.usage;
        if (row.endsUsageLine) out += "\n";
    }
    return out;
}

// The paragraph of each option: its head, at least two blanks to the 17th
// column, its lines under one another.
std::string optionParagraphs(const std::vector<BatchOption>& table)
{
    constexpr std::size_t column = 17;
    std::string out;
    for (const BatchOption& row : table) {
        if (row.head == nullptr) continue;
        const std::string head = std::string("  ") + row.head;
        out += head + std::string(std::max<std::size_t>(2, column - std::min(column, head.size())), ' ');
        std::istringstream lines(row.help);
        std::string line;
        for (bool first = true; std::getline(lines, line); first = false)
            out += (first ? "" : std::string(column, ' ')) + line + "\n";
    }
    return out;
}

// The default-output rule: the outputs in their order, in lines of at most
// 79 characters.
std::string defaultOutputRule(const std::vector<BatchOption>& table)
{
    std::vector<const BatchOption*> outputs;
    for (const BatchOption& row : table)
        if (row.outputRank > 0) outputs.push_back(&row);
    std::sort(outputs.begin(), outputs.end(),
              [](const BatchOption* a, const BatchOption* b) { return a->outputRank < b->outputRank; });
    std::vector<std::string> words{"Without", "any", "of"};
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        if (k + 1 == outputs.size()) words.push_back("and");
        words.push_back(std::string(outputs[k]->name) + (k + 2 < outputs.size() ? "," : ""));
    }
    for (const char* w : {"the", "CSV", "goes", "to", "standard", "output."}) words.push_back(w);
    std::string out;
    std::string line = " ";
    for (const std::string& w : words) {
        if (line.size() + 1 + w.size() > 79) {
            out += line + "\n";
            line = " ";
        }
        line += " " + w;
    }
    return out + line + "\n";
}

std::string makeUsage(const std::vector<BatchOption>& table)
{
    return usageLines(table) + "  Computes the task (the default task without TASKFILE) and writes:\n" +
           optionParagraphs(table) +
           "  Pictures are drawn off screen through Mesa's EGL and need no X display;\n"
           "  only where EGL cannot draw, through GLX on the X display of $DISPLAY\n"
           "  (xvfb-run gives one).  HYBRIDSIM_PICTURES=egl or =glx takes that way alone.\n"
           "  The other outputs load no graphics library at all.\n" +
           defaultOutputRule(table) +
           "  Exit status:\n"
           "    0  done; every goal met\n"
           "    1  a goal (--require, the lesson's) not met, or a task file that changes\n"
           "       a setting the lesson locks, and nothing else wrong\n"
           "    2  refused, nothing computed or written: a bad option, setting or task\n"
           "       file, a frame out of range, outputs that would write over each other\n"
           "       or the task file, a link the page would not read whole,\n"
           "       HYBRIDSIM_PICTURES other than egl, glx or auto; of several task\n"
           "       files, one refused (the others are graded and reported all the same)\n"
           "    3  an output could not be made: pictures that cannot be drawn, a file or\n"
           "       standard output that cannot be written; no file is written, and the\n"
           "       goals are still checked and their lines printed\n"
           "  When several apply, 2 comes before 3 and 3 before 1.\n";
}

}  // namespace

const std::vector<BatchOption>& batchOptionTable()
{
    static const std::vector<BatchOption> table = makeTable();
    return table;
}

const BatchOption* findBatchOption(const std::string& token)
{
    for (const BatchOption& row : batchOptionTable())
        if (token == row.name || (row.alias != nullptr && token == row.alias)) return &row;
    return nullptr;
}

const std::string& batchUsage()
{
    static const std::string text = makeUsage(batchOptionTable());
    return text;
}

}  // namespace hybridsim

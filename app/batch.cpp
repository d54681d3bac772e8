#include "app/batch.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "console/reach_notice.h"
#include "console/report.h"
#include "console/task_file.h"
#include "console/text_format.h"
#include "sim/derivation.h"
#include "sim/run.h"

namespace hybridsim {
namespace {

constexpr const char* usage =
    "usage: hybridsim-batch [TASKFILE] [--csv FILE|-] [--report] [--help]\n"
    "  Computes the task (the default task without TASKFILE) and writes:\n"
    "  --csv FILE   every recorded sample as CSV to FILE ('-' for standard output)\n"
    "  --report     the settings report to standard output\n"
    "  Without --csv and --report the CSV goes to standard output.\n";

struct Options {
    std::string taskFile;
    std::string csvPath;  // empty: no CSV, "-": standard output
    bool report = false;
    bool help = false;
};

// Parses the command line; on a mistake fills `error` and returns false.
bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error)
{
    bool csvGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--report") {
            o.report = true;
        } else if (a == "--csv") {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
                error = "--csv needs a file name or '-'";
                return false;
            }
            o.csvPath = argv[++i];
            csvGiven = true;
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
    if (!csvGiven && !o.report) o.csvPath = "-";
    return true;
}

void writeCsv(const SimSettings& s, const SeriesSet& set, std::ostream& out)
{
    out << "i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err\n";
    const int last = s.nsteps < seriesCapacity ? s.nsteps : seriesCapacity - 1;
    for (int i = 0; i <= last; ++i) {
        out << i;
        const double v[14] = {set.time[i],           set.refPos[i].x,        set.refPos[i].y,
                              set.tipPos[i].x,        set.tipPos[i].y,        set.posErr[i].x,
                              set.posErr[i].y,        set.jointPos[i].phi1,   set.jointPos[i].phi2,
                              set.handDeflection[i].x, set.handDeflection[i].y, set.contactForce[i],
                              set.forceErr[i],        set.sErr[i]};
        for (double x : v) out << ',' << format("%.17g", x);
        out << '\n';
    }
}

// Writes through a temporary file beside `path` and renames it into place,
// so that a failure leaves no half-written file.
bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error)
{
    const std::string tmp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            return false;
        }
        f << content;
        f.flush();
        if (!f) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            f.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    Options o;
    std::string error;
    if (!parseOptions(argc, argv, o, error)) {
        err << "hybridsim-batch: " << error << " (see --help)\n";
        return exitUsage;
    }
    if (o.help) {
        out << usage;
        return exitOk;
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
        if (!r.ok) {
            err << "hybridsim-batch: " << r.error << "\n";
            return exitUsage;
        }
        reported([&] { deriveSettings(s, &notice); });
    }
    reported([&] { calcontrol(s, *run, &notice); });

    if (o.report) printSettings(s, out);
    if (!o.csvPath.empty()) {
        const SeriesSet& set = currentSeries(*run, s.type);
        if (o.csvPath == "-") {
            writeCsv(s, set, out);
        } else {
            std::ostringstream csv;
            writeCsv(s, set, csv);
            if (!writeFileAtomically(o.csvPath, csv.str(), error)) {
                err << "hybridsim-batch: " << error << "\n";
                return exitUsage;
            }
        }
    }
    out << std::flush;
    return exitOk;
}

}  // namespace hybridsim

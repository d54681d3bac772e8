#include "fuzz/entry_points.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "console/dialogue.h"
#include "console/session.h"
#include "console/startup.h"
#include "console/terminal.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "task/reach_notice.h"
#include "task/report.h"
#include "task/run_notice.h"
#include "task/task_file.h"

namespace hybridsim::fuzz {
namespace {

// The settings after the program's start.
SimSettings startSettings()
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    deriveSettings(s);
    return s;
}

// The bytes of the record as it lies in memory: a record that nobody
// assigned to has the same bytes afterwards.
std::vector<unsigned char> bytesOf(const SimSettings& s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&s);
    return std::vector<unsigned char>(p, p + sizeof s);
}

// Counts unreachable points without printing them.
class CountingReporter : public ReachReporter {
public:
    void unreachable(double, double, double, double) override { ++count; }
    int count = 0;
};

// The first value the model cannot take, or "" when there is none: every
// value that a file or the dialogue stores must be finite, spring
// constants, lengths, radius, wavelength and times positive, no control
// system (active or stored for a method) may lose its velocity gain, and
// robot, method and contour are among their choices.
std::string unusable(const SimSettings& s)
{
    struct Named {
        const char* name;
        double value;
    };
    const Named finite[] = {
        {"l", s.l},
        {"l1", s.l1},
        {"l2", s.l2},
        {"KH1", s.KH1},
        {"KH2", s.KH2},
        {"wn1", s.wn1},
        {"wn2", s.wn2},
        {"alpha1", s.alpha1},
        {"alpha2", s.alpha2},
        {"wn1Hybrid7", s.wn1Hybrid7},
        {"wn2Hybrid7", s.wn2Hybrid7},
        {"alpha1Hybrid7", s.alpha1Hybrid7},
        {"alpha2Hybrid7", s.alpha2Hybrid7},
        {"wn1Hybrid8", s.wn1Hybrid8},
        {"wn2Hybrid8", s.wn2Hybrid8},
        {"alpha1Hybrid8", s.alpha1Hybrid8},
        {"alpha2Hybrid8", s.alpha2Hybrid8},
        {"Fn", s.Fn},
        {"seterror", s.seterror},
        {"lineX0", s.lineX0},
        {"lineY0", s.lineY0},
        {"lineXf", s.lineXf},
        {"lineYf", s.lineYf},
        {"lineTf", s.lineTf},
        {"circleOx", s.circleOx},
        {"circleOy", s.circleOy},
        {"circleR", s.circleR},
        {"circleTf", s.circleTf},
        {"sineX0", s.sineX0},
        {"sineY0", s.sineY0},
        {"sineL", s.sineL},
        {"sineA", s.sineA},
        {"sineTf", s.sineTf},
    };
    for (const Named& f : finite) {
        if (!std::isfinite(f.value)) return std::string(f.name) + " = " + std::to_string(f.value);
    }
    // (l2 itself may be negative: the file holds l2 + wp, which must be positive)
    const Named positive[] = {
        {"l", s.l},           {"l1", s.l1},         {"KH1", s.KH1},     {"KH2", s.KH2},
        {"lineTf", s.lineTf}, {"circleTf", s.circleTf}, {"circleR", s.circleR},
        {"sineL", s.sineL},   {"sineTf", s.sineTf},
    };
    for (const Named& f : positive) {
        if (!(f.value > 0.0)) return std::string(f.name) + " = " + std::to_string(f.value) + " (not positive)";
    }
    const Named velocityGains[] = {
        {"system 1 (active)", 2.0 * s.wn1 + s.alpha1},
        {"system 2 (active)", 2.0 * s.wn2 + s.alpha2},
        {"system 1 of method 7", 2.0 * s.wn1Hybrid7 + s.alpha1Hybrid7},
        {"system 2 of method 7", 2.0 * s.wn2Hybrid7 + s.alpha2Hybrid7},
        {"system 1 of method 8", 2.0 * s.wn1Hybrid8 + s.alpha1Hybrid8},
        {"system 2 of method 8", 2.0 * s.wn2Hybrid8 + s.alpha2Hybrid8},
    };
    for (const Named& f : velocityGains) {
        if (f.value == 0.0) return std::string("no velocity gain in ") + f.name;
    }
    // every selector is one the model knows: no branch may do nothing
    if (s.type != 'a' && s.type != 'b') return "robot type " + std::to_string(s.type);
    if (s.hybrid != '7' && s.hybrid != '8') return "method " + std::to_string(s.hybrid);
    if (s.curve != 'L' && s.curve != 'C' && s.curve != 'S') return "contour " + std::to_string(s.curve);
    return "";
}

// What a dialogue pass leaves for the window.
std::string passEnd(const SimSettings& s)
{
    if (s.frame != 0 || s.viewScale != 1.0 || s.pointErrorGain != 10.0)
        return "the pass did not reset frame, view scale and point error gain";
    if (s.zeta1 != 1.0 || s.zeta2 != 1.0) return "a damping ratio is not 1";
    return "";
}

bool isDialogueKey(char k)
{
    const std::string keys = "rabkhgLCSef";
    return keys.find(k) != std::string::npos;
}

}  // namespace

std::string taskFileInput(const uint8_t* data, size_t size)
{
    if (size > maxInputBytes) return "";
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string name = "fuzz.dat";
    auto s = std::make_unique<SimSettings>(startSettings());
    const std::vector<unsigned char> before = bytesOf(*s);

    const TaskFileResult r = parseRobotData(text, name, *s);
    if (!r.ok) {
        if (bytesOf(*s) != before) return "a refused file changed the settings: " + r.error;
        if (r.error.compare(0, name.size() + 2, name + ": ") != 0)
            return "the refusal does not begin with the file's name: " + r.error;
        if (r.error.find('\n') != std::string::npos) return "the refusal is more than one line: " + r.error;
        return "";
    }
    if (!r.error.empty()) return "an accepted file has an error text: " + r.error;
    const std::string bad = unusable(*s);
    if (!bad.empty()) return "an accepted file left " + bad;

    // A NUL byte is part of its token like any other character that is not
    // a blank: the file with each NUL made an 'x' must read the same.
    if (text.find('\0') != std::string::npos) {
        std::string visible = text;
        std::replace(visible.begin(), visible.end(), '\0', 'x');
        auto t = std::make_unique<SimSettings>(startSettings());
        const TaskFileResult rv = parseRobotData(visible, name, *t);
        if (!rv.ok) return "a NUL byte made a token acceptable: " + rv.error;
    }

    // what the batch runner does with it: derive, run, report, and the
    // notice of a run that blew up: one line, about a sample that holds a
    // number that is not finite
    CountingReporter reporter;
    deriveSettings(*s, &reporter);
    auto run = std::make_unique<RunSeries>();
    const RunFault fault = calcontrol(*s, *run, &reporter);
    std::ostringstream report;
    printSettings(*s, report);
    const std::string notice = runFaultNotice(*s, fault);
    if (fault) {
        if (notice.empty() || notice.find('\n', 1) != std::string::npos)
            return "the notice of a run that blew up is not one line: " + notice;
        const SeriesSet& set = currentSeries(*run, s->type);
        const int i = fault.sample;
        if (i < 0 || i > lastSample(*s)) return "the notice names a sample outside the run: " + notice;
        const double v[] = {set.tipPos[i].x, set.tipPos[i].y, set.refPos[i].x, set.refPos[i].y,
                            set.jointPos[i].phi1, set.jointPos[i].phi2, set.handDeflection[i].x,
                            set.handDeflection[i].y, set.contactForce[i], set.forceErr[i], set.sErr[i]};
        if (std::all_of(std::begin(v), std::end(v), [](double x) { return std::isfinite(x); }))
            return "the notice names a sample whose numbers are all finite: " + notice;
    }
    return "";
}

std::string consoleInput(const uint8_t* data, size_t size)
{
    if (size > maxInputBytes) return "";
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    Terminal terminal(in, out, false);
    auto settings = std::make_unique<SimSettings>();
    auto run = std::make_unique<RunSeries>();
    Session session{*settings, *run, terminal};
    SimSettings& s = *settings;

    startUp(session);
    if (s.key != 'r' && s.key != s.type) return "the first pass would not begin with 'r' or the robot";
    settingsDialogue(session);
    std::string bad = unusable(s);
    if (bad.empty()) bad = passEnd(s);
    if (!bad.empty()) return "after the first pass: " + bad;

    // further passes, entered as the window enters them: 'a', 'b' select the
    // robot and 'L', 'C', 'S' the contour before the dialogue starts
    for (int pass = 0; pass < extraPasses; ++pass) {
        std::optional<char> k;
        while ((k = terminal.readKey()) && !isDialogueKey(*k)) {
        }
        if (!k) break;
        if (*k == 'a' || *k == 'b') s.type = *k;
        if (*k == 'L' || *k == 'C' || *k == 'S') s.curve = *k;
        s.key = *k;
        settingsDialogue(session);
        bad = unusable(s);
        if (bad.empty()) bad = passEnd(s);
        if (!bad.empty()) return "after pass " + std::to_string(pass + 2) + ": " + bad;
    }
    terminal.flush();
    return "";
}

}  // namespace hybridsim::fuzz

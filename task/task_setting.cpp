#include "task/task_setting.h"

#include <cmath>
#include <cstring>

#include "sim/contact_model.h"
#include "sim/gain_design.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The stored values of the method in force: what the run uses.
double storedWn(const SimSettings& s, int system)
{
    if (s.hybrid == '7') return system == 1 ? s.wn1Hybrid7 : s.wn2Hybrid7;
    if (s.hybrid == '8') return system == 1 ? s.wn1Hybrid8 : s.wn2Hybrid8;
    return system == 1 ? s.wn1 : s.wn2;
}

double storedAlpha(const SimSettings& s, int system)
{
    if (s.hybrid == '7') return system == 1 ? s.alpha1Hybrid7 : s.alpha2Hybrid7;
    if (s.hybrid == '8') return system == 1 ? s.alpha1Hybrid8 : s.alpha2Hybrid8;
    return system == 1 ? s.alpha1 : s.alpha2;
}

// A field that is one member of the record, taken as it is.
#define PLAIN(member) \
    [](const SimSettings& s) { return s.member; }, [](SimSettings& s, double v) { s.member = v; }
// A selector: its character code as the value.
#define SELECTOR(member)                                             \
    [](const SimSettings& s) { return static_cast<double>(s.member); }, \
        [](SimSettings& s, double v) { s.member = static_cast<char>(v); }

const std::vector<TaskField> fields = {
    // robot and its lengths
    {"robot", "the robot type", FieldRule::selector, "ab", "a or b", 0, 0, 0, SELECTOR(type)},
    {"l", "the arm length l [m]", FieldRule::positive, nullptr, nullptr, 'a', 0, 0, PLAIN(l)},
    {"l1", "the first link length l1 [m]", FieldRule::positive, nullptr, nullptr, 'b', 0, 0, PLAIN(l1)},
    {"l2", "the second link length l2 + wp [m]", FieldRule::positive, nullptr, nullptr, 'b', 0, 0,
     [](const SimSettings& s) { return s.l2 + s.wp; },
     [](SimSettings& s, double v) { s.l2 = v - s.wp; }},
    // hand springs
    {"KH1", "the spring constant KH1 [N/m]", FieldRule::positive, nullptr, nullptr, 0, 0, 1, PLAIN(KH1)},
    {"KH2", "the spring constant KH2 [N/m]", FieldRule::positive, nullptr, nullptr, 0, 0, 1, PLAIN(KH2)},
    // method and the control characteristics it uses (frequencies in hertz)
    {"method", "the hybrid control method", FieldRule::selector, "78", "7 or 8", 0, 0, 2, SELECTOR(hybrid)},
    {"fn1", "fn1 [Hz]", FieldRule::finite, nullptr, nullptr, 0, 0, 2,
     [](const SimSettings& s) { return hertz(storedWn(s, 1)); },
     [](SimSettings& s, double v) { s.wn1 = twoPi * v; }},
    {"alpha1", "alpha1 [1/s]", FieldRule::finite, nullptr, nullptr, 0, 0, 2,
     [](const SimSettings& s) { return storedAlpha(s, 1); }, [](SimSettings& s, double v) { s.alpha1 = v; }},
    {"fn2", "fn2 [Hz]", FieldRule::finite, nullptr, nullptr, 0, 0, 2,
     [](const SimSettings& s) { return hertz(storedWn(s, 2)); },
     [](SimSettings& s, double v) { s.wn2 = twoPi * v; }},
    {"alpha2", "alpha2 [1/s]", FieldRule::finite, nullptr, nullptr, 0, 0, 2,
     [](const SimSettings& s) { return storedAlpha(s, 2); }, [](SimSettings& s, double v) { s.alpha2 = v; }},
    // the contour and its numbers
    {"contour", "the contour", FieldRule::selector, "LCS", "L, C or S", 0, 0, 3, SELECTOR(curve)},
    {"x0", "the line start x0 [m]", FieldRule::finite, nullptr, nullptr, 0, 'L', 3, PLAIN(lineX0)},
    {"y0", "the line start y0 [m]", FieldRule::finite, nullptr, nullptr, 0, 'L', 3, PLAIN(lineY0)},
    {"xf", "the line end xf [m]", FieldRule::finite, nullptr, nullptr, 0, 'L', 3, PLAIN(lineXf)},
    {"yf", "the line end yf [m]", FieldRule::finite, nullptr, nullptr, 0, 'L', 3, PLAIN(lineYf)},
    {"tf", "the positioning time tf [s]", FieldRule::positive, nullptr, nullptr, 0, 'L', 3, PLAIN(lineTf)},
    {"Ox", "the circle centre Ox [m]", FieldRule::finite, nullptr, nullptr, 0, 'C', 3, PLAIN(circleOx)},
    {"Oy", "the circle centre Oy [m]", FieldRule::finite, nullptr, nullptr, 0, 'C', 3, PLAIN(circleOy)},
    {"r", "the circle radius r [m]", FieldRule::positive, nullptr, nullptr, 0, 'C', 3, PLAIN(circleR)},
    {"tf", "the positioning time tf [s]", FieldRule::positive, nullptr, nullptr, 0, 'C', 3, PLAIN(circleTf)},
    {"x0", "the sine start x0 [m]", FieldRule::finite, nullptr, nullptr, 0, 'S', 3, PLAIN(sineX0)},
    {"y0", "the sine start y0 [m]", FieldRule::finite, nullptr, nullptr, 0, 'S', 3, PLAIN(sineY0)},
    {"L", "the wavelength L [m]", FieldRule::positive, nullptr, nullptr, 0, 'S', 3, PLAIN(sineL)},
    {"A", "the amplitude A [m]", FieldRule::finite, nullptr, nullptr, 0, 'S', 3, PLAIN(sineA)},
    {"tf", "the positioning time tf [s]", FieldRule::positive, nullptr, nullptr, 0, 'S', 3, PLAIN(sineTf)},
    // setting error (metres in the file) and contact force
    {"seterror", "the setting error [m]", FieldRule::finite, nullptr, nullptr, 0, 0, 4, PLAIN(seterror)},
    {"Fn", "the contact force Fn [N]", FieldRule::finite, nullptr, nullptr, 0, 0, 5, PLAIN(Fn)},
    // the optional tail, by name: the damping ratios of both loops (the
    // task's, whatever the method), the contact model and its knobs
    {"zeta1", "the damping ratio zeta1", FieldRule::nonNegative, nullptr, nullptr, 0, 0, tailLine, PLAIN(zeta1)},
    {"zeta2", "the damping ratio zeta2", FieldRule::nonNegative, nullptr, nullptr, 0, 0, tailLine, PLAIN(zeta2)},
    {"contact", "the contact model", FieldRule::word, "ideal spring", "ideal or spring", 0, 0, tailLine,
     [](const SimSettings& s) { return s.springContact ? 1.0 : 0.0; },
     [](SimSettings& s, double v) { s.springContact = v != 0.0; }},
    {"KW", "the workpiece stiffness KW [N/m]", FieldRule::stiffness, nullptr, nullptr, 0, 0, tailLine, PLAIN(KW)},
    {"period", "the control period [s]", FieldRule::period, nullptr, nullptr, 0, 0, tailLine,
     PLAIN(controlPeriod)},
    {"servo", "the servo time constant [s]", FieldRule::nonNegative, nullptr, nullptr, 0, 0, tailLine,
     PLAIN(servoTime)},
};

#undef PLAIN
#undef SELECTOR

// The names of the fields that `pred` picks, once each, joined by blanks.
template <class Pred>
std::string namesWhere(Pred pred)
{
    std::string out;
    for (const TaskField& f : fields) {
        if (!pred(f)) continue;
        const std::string name = f.name;
        if ((" " + out + " ").find(" " + name + " ") != std::string::npos) continue;
        out += (out.empty() ? "" : " ") + name;
    }
    return out;
}

const char* contourName(char c)
{
    return c == 'L' ? "the line" : c == 'C' ? "the circle" : "the sine";
}

// What the settings hold of field f, and what reading the file's value v
// would make them hold: l2 is held without the probe and a frequency as
// 2 pi fn in the method's store; every other field as the file has it.
double heldNow(const TaskField& f, const SimSettings& s)
{
    const std::string name = f.name;
    if (name == "l2") return s.l2;
    if (name == "fn1" || name == "fn2") return storedWn(s, name == "fn1" ? 1 : 2);
    return f.get(s);
}

double heldAfterReading(const TaskField& f, const SimSettings& s, double v)
{
    const std::string name = f.name;
    if (name == "l2") return v - s.wp;
    if (name == "fn1" || name == "fn2") return twoPi * v;
    return v;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The number a task file holds for field f of s: the shortest decimal that
// the reader takes and that gives back what s holds, to the last bit.  Every
// value read from a file or set by name has one; an l2 held otherwise (a
// default) may have none, when no l2 + wp minus wp gives it: then the
// shortest decimal of l2 + wp itself, which the run uses.
std::string writtenNumber(const TaskField& f, const SimSettings& s)
{
    const double v = f.get(s);
    const double held = heldNow(f, s);
    const std::string text = shortestNumberThat(v, [&](double back) {
        return numberRefusal(f, back).empty() && sameBits(heldAfterReading(f, s, back), held);
    });
    return text.empty() ? shortestNumber(v) : text;
}

}  // namespace

bool TaskField::belongsTo(const SimSettings& s) const
{
    return (robot == 0 || robot == s.type) && (contour == 0 || contour == s.curve);
}

std::string TaskField::named() const
{
    return isChoice() ? std::string(what) + " (" + choiceText + ")" : what;
}

std::string TaskField::word(int index) const
{
    if (rule != FieldRule::word || index < 0) return "";
    const std::string all = choices;
    std::size_t at = 0;
    for (int i = 0; i < index; ++i) {
        at = all.find(' ', at);
        if (at == std::string::npos) return "";
        ++at;
    }
    return all.substr(at, all.find(' ', at) - at);
}

int TaskField::wordIndex(const std::string& w) const
{
    if (w.empty()) return -1;
    for (int i = 0;; ++i) {
        const std::string candidate = word(i);
        if (candidate.empty()) return -1;
        if (candidate == w) return i;
    }
}

namespace {

// where " [unit]" begins at the end of a description; npos without one
std::size_t unitAt(const std::string& what)
{
    const std::size_t at = what.rfind(" [");
    return at != std::string::npos && what.back() == ']' ? at : std::string::npos;
}

}  // namespace

std::string TaskField::label() const
{
    const std::string w = what;
    return w.substr(0, unitAt(w));
}

std::string TaskField::unit() const
{
    const std::string w = what;
    const std::size_t at = unitAt(w);
    return at == std::string::npos ? std::string() : w.substr(at + 2, w.size() - at - 3);
}

const std::vector<TaskField>& taskFields()
{
    return fields;
}

std::vector<std::string> taskSettingNames()
{
    std::vector<std::string> names;
    const std::string all = namesWhere([](const TaskField&) { return true; });
    for (size_t at = 0; at < all.size();) {
        const size_t blank = all.find(' ', at);
        const size_t end = blank == std::string::npos ? all.size() : blank;
        names.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

std::string numberRefusal(const TaskField& f, double value)
{
    // a stiffness may be infinite: a rigid body
    if (f.rule == FieldRule::stiffness) return value > 0.0 ? "" : "must be greater than 0 (inf: rigid)";
    if (!std::isfinite(value)) return "must be a finite number";
    if (f.rule == FieldRule::positive && !(value > 0.0)) return "must be greater than 0";
    if (f.rule == FieldRule::nonNegative && !(value >= 0.0)) return "must be 0 or greater";
    if (f.rule == FieldRule::period && value != 0.0 &&
        !(value >= shortestControlPeriod && value <= longestControlPeriod))
        return format("must be 0 (continuous) or from %g to %g", shortestControlPeriod, longestControlPeriod);
    return "";
}

std::string heldRefusal(const TaskField& f, const SimSettings& s)
{
    const double v = f.get(s);
    const std::string why = numberRefusal(f, v);
    if (why.empty()) return "";
    return why + "; as the settings hold it, it is " + shortestNumber(v);
}

std::string gainRefusal(int system, double zeta, double wn, double alpha)
{
    if (!std::isfinite(wn))
        return format("fn%d is too large: 2 pi fn%d is not a finite number", system, system);
    // the velocity gain Kv = 2 zeta wn + alpha, as the gain design makes it
    const LoopGains g = loopGains(zeta, wn, alpha);
    if (zeta != 1.0 && !(std::isfinite(g.Kp) && std::isfinite(g.Kv)))
        return format("zeta%d is too large: the gains Kp%d and Kv%d are not finite numbers", system, system, system);
    if (g.Kv == 0.0) {
        if (zeta == 1.0) return format("fn%d and alpha%d make the velocity gain Kv%d zero", system, system, system);
        return format("zeta%d, fn%d and alpha%d make the velocity gain Kv%d zero", system, system, system, system);
    }
    return "";
}

SettingChange setTaskSetting(SimSettings& s, const std::string& name, const std::string& value)
{
    SettingChange change;
    // the setting as typed, on one line and short (a value may be a megabyte)
    const std::string given = shownText(name) + "=" + shownText(value);
    auto refuse = [&](const std::string& why) {
        change.message = given + ": " + why;
        return change;
    };

    // the field of that name that belongs to the robot and contour in force
    const TaskField* field = nullptr;
    bool known = false;
    for (const TaskField& f : fields) {
        if (name != f.name) continue;
        known = true;
        if (f.belongsTo(s)) field = &f;
    }
    if (!known)
        return refuse("unknown name '" + shownText(name) + "'; the names are " +
                      namesWhere([](const TaskField&) { return true; }));
    if (!field) {
        for (const TaskField& f : fields) {
            if (name != f.name) continue;
            if (f.robot != 0 && f.robot != s.type)
                return refuse(format("%s belongs to robot %c; the robot in force is %c (its lengths: %s)",
                                     name.c_str(), f.robot, s.type,
                                     namesWhere([&](const TaskField& g) { return g.robot == s.type; }).c_str()));
        }
        return refuse(name + " is not a number of " + contourName(s.curve) + "; its numbers are " +
                      namesWhere([&](const TaskField& g) { return g.contour == s.curve; }) +
                      " (set the contour first)");
    }

    // a selector: one of its keys
    if (field->rule == FieldRule::selector) {
        if (value.size() != 1) return refuse("expected one character for " + field->named());
        if (value[0] == '\0' || std::strchr(field->choices, value[0]) == nullptr)
            return refuse(std::string(field->what) + " must be " + field->choiceText);
        field->set(s, static_cast<unsigned char>(value[0]));
        // a new method brings its own stored gains, as in the dialogue
        if (name == "method") designGains(s);
        return {true, ""};
    }
    // a word choice: one of its words
    if (field->rule == FieldRule::word) {
        const int index = field->wordIndex(value);
        if (index < 0) return refuse(std::string(field->what) + " must be " + field->choiceText);
        field->set(s, index);
        return {true, ""};
    }

    // a number, as the reader takes it
    double v = 0.0;
    if (value.size() > 256 || !parseDouble(value, v))
        return refuse("expected a number for " + field->named());
    const std::string why = numberRefusal(*field, v);
    if (!why.empty()) return refuse(field->named() + " " + why);

    // fn and alpha: the gains of the method in force, stored for it; zeta:
    // the task's, whatever the method (the derivation designs the gains)
    const int system = name == "fn1" || name == "alpha1" || name == "zeta1"   ? 1
                       : name == "fn2" || name == "alpha2" || name == "zeta2" ? 2
                                                                              : 0;
    SimSettings c = s;
    if (system != 0) designGains(c);  // the method's stored values in force
    field->set(c, v);
    if (system != 0) {
        const std::string gainWhy = system == 1 ? gainRefusal(1, c.zeta1, c.wn1, c.alpha1)
                                                : gainRefusal(2, c.zeta2, c.wn2, c.alpha2);
        if (!gainWhy.empty()) return refuse(gainWhy);
        storeControlValues(c);
    }
    // as held, the value must be one a task file can give back
    const std::string heldWhy = heldRefusal(*field, c);
    if (!heldWhy.empty()) return refuse(field->named() + " " + heldWhy);
    s = c;
    return {true, ""};
}

std::string fieldText(const TaskField& f, const SimSettings& s)
{
    if (f.rule == FieldRule::selector) return std::string(1, static_cast<char>(f.get(s)));
    if (f.rule == FieldRule::word) return f.word(static_cast<int>(f.get(s)));
    return writtenNumber(f, s);
}

bool holdsDefault(const TaskField& f, const SimSettings& s)
{
    static const SimSettings defaults;
    return fieldText(f, s) == fieldText(f, defaults);
}

std::string robotDataText(const SimSettings& s)
{
    std::string text;
    int line = 0;
    for (const TaskField& f : fields) {
        if (!f.belongsTo(s) || f.line == tailLine) continue;
        if (f.line != line) {
            text += '\n';
            line = f.line;
        } else if (!text.empty()) {
            text += ' ';
        }
        text += fieldText(f, s);
    }
    // the tail: the settings that differ from their defaults, by name
    std::string tail;
    for (const TaskField& f : fields) {
        if (f.line != tailLine || holdsDefault(f, s)) continue;
        tail += (tail.empty() ? "" : " ") + std::string(f.name) + " " + fieldText(f, s);
    }
    return text + '\n' + (tail.empty() ? "" : tail + '\n');
}

}  // namespace hybridsim

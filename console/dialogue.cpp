#include "console/dialogue.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "sim/derivation.h"
#include "sim/gain_design.h"
#include "task/file_output.h"
#include "task/messages.h"
#include "task/report.h"
#include "task/run_notice.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The sections of a pass in their order, and the closing step.
enum class Section { springs, method, gains, contourChoice, contourParams, setError, force, closing };

// What an entered value must be for the model to stay defined.
enum class Rule { finite, positive };

struct Field {
    const char* name;  // as the prompt names it
    Rule rule;
};

class Pass {
public:
    explicit Pass(Session& session)
        : s_(session.settings), run_(session.run), t_(session.terminal), out_(t_.out()),
          notice_(makeReachNotice(session))
    {
    }

    void run(Session& session);

private:
    // An answer key: the end of the input answers 'n' (change nothing).
    char answer()
    {
        const std::optional<char> k = t_.readKey();
        return k ? *k : 'n';
    }

    // A selector key out of `choices`; the end of the input keeps the
    // current one.  Returns whether the field changed.
    bool select(char& field, const char* choices, const std::function<void()>& ask)
    {
        const std::optional<char> k = readChoice(t_, choices, ask);
        const bool changed = k && *k != field;
        if (k) field = *k;
        return changed;
    }

    // Reads numbers for `fields`; the values read (for the first fields) when
    // every one is acceptable, none when one is refused.
    std::vector<double> enter(const std::vector<Field>& fields)
    {
        NumberRead r = t_.readNumbers(static_cast<int>(fields.size()));
        for (size_t i = 0; i < r.values.size(); ++i) {
            const double v = r.values[i];
            const char* refusal = nullptr;
            if (!std::isfinite(v)) {
                refusal = msg::notFinite;
            } else if (fields[i].rule == Rule::positive && !(v > 0.0)) {
                refusal = msg::notPositive;
            }
            if (refusal) {
                out_ << format(refusal, fields[i].name);
                return {};
            }
        }
        return r.values;
    }

    // Each field takes its value when one was read.
    static void apply(const std::vector<double>& values, std::initializer_list<double*> targets)
    {
        size_t i = 0;
        for (double* t : targets) {
            if (i >= values.size()) break;
            *t = values[i++];
        }
    }

    // A derivation step with its unreachable points reported.
    template <typename Step>
    void reported(Step step)
    {
        notice_.beginScope();
        step();
        notice_.endScope();
    }

    Section springs();
    Section method();
    Section gains();
    // fn [Hz] and alpha of system `n` into wn, alpha (both unchanged when refused)
    void enterSystem(int n, double& wn, double& alpha);
    Section contourChoice();
    Section contourParams();
    Section setError();
    Section force();
    void closing();

    SimSettings& s_;
    RunSeries& run_;
    Terminal& t_;
    std::ostream& out_;
    ReachNotice notice_;
};

void Pass::run(Session& session)
{
    out_ << msg::menuTitle << msg::menuFile << msg::menuRobot << msg::menuSprings << msg::menuMethod
         << msg::menuGains << msg::menuContour << msg::menuSetError << msg::menuForce
         << msg::menuDrawing << msg::menuStep << msg::menuReset << msg::menuZoom << msg::menuEscape;

    if (s_.key == 'r') {
        readRobotDataFile(session);
        closing();
        return;
    }
    printSettings(s_, out_);
    if (s_.key == 'a') out_ << msg::headingRobotA;
    if (s_.key == 'b') out_ << msg::headingRobotB;
    if (s_.key == 'a' || s_.key == 'b') {
        out_ << msg::openingQuestion;
        if (answer() == 'n') {
            closing();
            return;
        }
    }

    Section next = Section::springs;
    switch (s_.key) {
    case 'h': next = Section::method; break;
    case 'g': next = Section::gains; break;
    case 'L':
    case 'C':
    case 'S': next = Section::contourParams; break;
    case 'e': next = Section::setError; break;
    case 'f': next = Section::force; break;
    default: break;
    }
    while (next != Section::closing) {
        switch (next) {
        case Section::springs: next = springs(); break;
        case Section::method: next = method(); break;
        case Section::gains: next = gains(); break;
        case Section::contourChoice: next = contourChoice(); break;
        case Section::contourParams: next = contourParams(); break;
        case Section::setError: next = setError(); break;
        case Section::force: next = force(); break;
        case Section::closing: break;
        }
    }
    closing();
}

Section Pass::springs()
{
    out_ << format(msg::springsOld, s_.KH1, s_.KH2) << msg::springsQuestion;
    const char a = answer();
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::method;
    out_ << msg::springsInput;
    apply(enter({{"KH1", Rule::positive}, {"KH2", Rule::positive}}), {&s_.KH1, &s_.KH2});
    return Section::method;
}

Section Pass::method()
{
    out_ << format(msg::methodOld, s_.hybrid) << msg::methodQuestion;
    const char a = answer();
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::gains;
    out_ << msg::methodDescription7 << msg::methodDescription8;
    auto ask = [&] { out_ << format(msg::methodInput, s_.hybrid); };
    ask();
    // a new method brings its own stored gains: the gains section shows,
    // keeps and stores those, not the ones of the method it replaces
    if (select(s_.hybrid, "78", ask)) designGains(s_);
    return Section::gains;
}

void Pass::enterSystem(int n, double& wn, double& alpha)
{
    const std::vector<double> v =
        enter({{n == 1 ? "fn1" : "fn2", Rule::finite}, {n == 1 ? "α1" : "α2", Rule::finite}});
    // a frequency that was not typed keeps its exact angular value
    const double newWn = v.size() > 0 ? twoPi * v[0] : wn;
    const double newAlpha = v.size() > 1 ? v[1] : alpha;
    // a finite frequency can still overflow as an angular one
    if (!std::isfinite(newWn)) {
        out_ << format(msg::notFinite, n == 1 ? "2π·fn1" : "2π·fn2");
        return;
    }
    // the model divides by the velocity gain Kv = 2 zeta wn + alpha (zeta = 1)
    if (!v.empty() && 2.0 * newWn + newAlpha == 0.0) {
        out_ << format(msg::velocityGainZero, n, n, n);
        return;
    }
    wn = newWn;
    alpha = newAlpha;
}

Section Pass::gains()
{
    out_ << format(msg::gainsOld1, s_.wn1 / twoPi, s_.alpha1)
         << format(msg::gainsOld2, s_.wn2 / twoPi, s_.alpha2) << msg::gainsQuestion;
    const char a = answer();
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::contourChoice;
    out_ << msg::gainsExplain1 << msg::gainsExplain2 << msg::gainsExplain3 << msg::gainsExplain4;
    out_ << format(msg::gainsInput1, s_.wn1 / twoPi, s_.alpha1);
    enterSystem(1, s_.wn1, s_.alpha1);
    out_ << format(msg::gainsInput2, s_.wn2 / twoPi, s_.alpha2);
    enterSystem(2, s_.wn2, s_.alpha2);
    // the design with zeta = 1, as the questions say; a system whose kept
    // fn and alpha (a task with another ratio) make Kv = 2 wn + alpha zero
    // keeps its ratio, for the model divides by Kv
    if (2.0 * s_.wn1 + s_.alpha1 != 0.0) s_.zeta1 = 1.0;
    if (2.0 * s_.wn2 + s_.alpha2 != 0.0) s_.zeta2 = 1.0;
    // the selected method keeps them: the gain design copies them back
    storeControlValues(s_);
    designGains(s_);
    return Section::contourChoice;
}

Section Pass::contourChoice()
{
    out_ << format(msg::contourOld, s_.curve);
    if (s_.curve == 'L') out_ << msg::contourNameLine;
    if (s_.curve == 'C') out_ << msg::contourNameCircle;
    if (s_.curve == 'S') out_ << msg::contourNameSine;
    out_ << msg::contourQuestion;
    const char a = answer();
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::setError;
    auto ask = [&] { out_ << msg::contourInput; };
    ask();
    select(s_.curve, "LCS", ask);
    return Section::contourParams;
}

Section Pass::contourParams()
{
    char a;
    if (s_.curve == 'L') {
        out_ << msg::lineHeading << format(msg::lineOldStart, s_.lineX0, s_.lineY0)
             << format(msg::lineOldEnd, s_.lineXf, s_.lineYf, s_.lineTf) << msg::lineQuestion;
        a = answer();
        if (a == 'y') {
            out_ << msg::lineInput;
            apply(enter({{"x0", Rule::finite},
                         {"y0", Rule::finite},
                         {"xf", Rule::finite},
                         {"yf", Rule::finite},
                         {"tf", Rule::positive}}),
                  {&s_.lineX0, &s_.lineY0, &s_.lineXf, &s_.lineYf, &s_.lineTf});
        }
    } else if (s_.curve == 'C') {
        out_ << msg::circleHeading << format(msg::circleOldCentre, s_.circleOx, s_.circleOy, s_.circleR)
             << format(msg::circleOldTime, s_.circleTf) << msg::circleQuestion;
        a = answer();
        if (a == 'y') {
            out_ << msg::circleInput;
            apply(enter({{"Ox", Rule::finite},
                         {"Oy", Rule::finite},
                         {"r", Rule::positive},
                         {"tf", Rule::positive}}),
                  {&s_.circleOx, &s_.circleOy, &s_.circleR, &s_.circleTf});
        }
    } else if (s_.curve == 'S') {
        out_ << msg::sineHeading << format(msg::sineOldStart, s_.sineX0, s_.sineY0)
             << format(msg::sineOldShape, s_.sineL, s_.sineA, s_.sineTf) << msg::sineQuestion;
        a = answer();
        if (a == 'y') {
            out_ << msg::sineInput;
            apply(enter({{"x0", Rule::finite},
                         {"y0", Rule::finite},
                         {"L", Rule::positive},
                         {"A", Rule::finite},
                         {"tf", Rule::positive}}),
                  {&s_.sineX0, &s_.sineY0, &s_.sineL, &s_.sineA, &s_.sineTf});
        }
    } else {
        return Section::setError;
    }
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::setError;
    // 'y' and any other key: start point, its joints and the set-up at once
    reported([&] { updateContourStart(s_, &notice_); });
    return Section::setError;
}

Section Pass::setError()
{
    out_ << format(msg::setErrorOld, 1000.0 * s_.seterror) << msg::setErrorQuestion;
    const char a = answer();
    if (a == 'n') return Section::closing;
    if (a == 'z') return Section::force;
    out_ << msg::setErrorInput;
    const std::vector<double> v = enter({{"seterror", Rule::finite}});
    if (!v.empty()) s_.seterror = v[0] / 1000.0;
    return Section::force;
}

Section Pass::force()
{
    out_ << format(msg::forceOld, s_.Fn) << msg::forceQuestion;
    const char a = answer();
    if (a == 'n' || a == 'z') return Section::closing;
    out_ << msg::forceInput;
    apply(enter({{"Fn", Rule::finite}}), {&s_.Fn});
    return Section::closing;
}

void Pass::closing()
{
    reported([&] { deriveSettings(s_, &notice_); });
    printSettings(s_, out_);
    out_ << runTooShortNotice(s_);
    const bool sine = s_.curve == 'S';
    if (sine) out_ << msg::computing;
    t_.flush();
    RunFault fault;
    reported([&] { fault = calcontrol(s_, run_, &notice_); });
    out_ << msg::runFinished;
    if (sine) out_ << msg::computed;
    // a run whose numbers stopped being numbers: from where and why, once
    out_ << runFaultNotice(s_, fault);
    // a sampled force loop with a pole outside the unit circle
    out_ << sampledLoopNotice(s_);
    out_ << msg::toWindow;
    resetView(s_);
    t_.flush();
}

// A key as a notice shows it: printable characters as they are, others as \xNN.
std::string shownKey(char k)
{
    const auto c = static_cast<unsigned char>(k);
    return c >= 0x20 && c < 0x7f ? std::string(1, k) : format("\\x%02x", c);
}

// A name that 'r' could not read back (it reads one word) or that holds a
// control character (an arrow key typed at the prompt, say) gets its notice,
// the control characters shown as \xNN; true then.
bool refusedName(Terminal& t, const std::string& name)
{
    std::string visible;
    bool control = false;
    bool blank = false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b == ' ' || b == '\t') {
            blank = true;
            visible.push_back(c);
        } else if (b < 0x20 || b == 0x7f) {
            control = true;
            visible += format("\\x%02x", b);
        } else {
            visible.push_back(c);
        }
    }
    if (!control && !blank) return false;
    t.writeWithRaw(control ? msg::saveNameControl : msg::saveNameBlank, visible);
    return true;
}

}  // namespace

bool saveRobotDataFile(Session& session)
{
    Terminal& t = session.terminal;
    std::ostream& out = t.out();
    const std::string text = robotDataText(session.settings);
    for (;;) {
        out << msg::saveTitle << msg::fileNamePrompt;
        const std::optional<std::string> name = t.readLine();
        if (!name) {
            out << msg::saveInputEnded;
            t.flush();
            return false;
        }
        if (name->empty()) {
            out << msg::saveNameEmpty;
            t.flush();
            return false;
        }
        if (refusedName(t, *name)) continue;
        // a file that is there already is replaced only on 'y'
        struct stat st;
        if (stat(name->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            t.writeWithRaw(msg::saveReplaceQuestion, *name);
            const std::optional<char> k = t.readKey();
            if (!k) {
                out << msg::saveInputEnded;
                t.flush();
                return false;
            }
            if (*k != 'y') continue;
        }
        std::string error;
        if (writeFileAtomically(*name, text, error)) {
            t.writeWithRaw(msg::saveDone, *name);
            t.flush();
            return true;
        }
        t.writeWithRaw(msg::saveFailed, error);
    }
}

std::optional<char> readChoice(Terminal& t, const char* choices, const std::function<void()>& ask)
{
    // the choices as the notice names them: "a, b"
    std::string named;
    for (const char* c = choices; *c; ++c) named += (named.empty() ? "" : ", ") + std::string(1, *c);
    for (;;) {
        const std::optional<char> k = t.readKey();
        if (!k || (*k != '\0' && std::strchr(choices, *k) != nullptr)) return k;
        t.out() << format(msg::keyNotOffered, shownKey(*k).c_str(), named.c_str());
        ask();
    }
}

ReachNotice makeReachNotice(Session& session)
{
    Terminal& t = session.terminal;
    return ReachNotice(t.out(), [&t] { t.waitKey(); });
}

void settingsDialogue(Session& session)
{
    Pass pass(session);
    pass.run(session);
}

bool readRobotDataFile(Session& session)
{
    Terminal& t = session.terminal;
    std::ostream& out = t.out();
    for (;;) {
        out << msg::fileTitle << msg::fileNamePrompt;
        const std::optional<std::string> name = t.readWord();
        if (!name) {
            out << msg::fileInputEnded;
            return false;
        }
        t.writeWithRaw(msg::fileNameConfirm, *name);
        out << msg::fileConfirmQuestion;
        const std::optional<char> k = t.readKey();
        if (!k) {
            out << msg::fileInputEnded;
            return false;
        }
        if (*k != 'y') continue;
        const TaskFileResult r = loadRobotDataFile(*name, session.settings);
        if (r.ok) return true;
        t.writeWithRaw(msg::fileNotRead, r.error);
    }
}

}  // namespace hybridsim

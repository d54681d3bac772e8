// The bad-input matrix: each row gives one of the built programs a bad
// input -- a task file, a typed session, a file name, a locale -- and says
// what must come of it: the message the program promises, the settings kept
// where the input is refused, a normal end with the documented exit status,
// and all of it within the row's time limit.
//
// Rows are grouped by what they feed (see `allRows` at the end); a new
// group is a function returning rows, added to that list.  docs/reliability.md
// lists the rows with their outcome.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "task/messages.h"
#include "task/text_format.h"
#include "tests/console/console_test_support.h"
#include "tests/hardening/process_runner.h"

namespace hybridsim::testing {
namespace {

// --- what a row is ---

enum class Program { batch, console };

// The row's task file, made in the row's own folder as {file}.
enum class FileKind {
    none,        // no file
    text,        // a file holding `fileText`
    directory,   // a folder
    unreadable,  // a file holding `fileText` that its reader may not read
    readOnly,    // a file holding `fileText` of mode 444 in a folder anyone may write
    longName,    // a name of 10,000 characters (no such file)
};

enum class Outcome {
    accepted,      // batch: status 0, the report on stdout; console: the input taken
    refused,       // batch: status 2, one line on stderr, no CSV; console: refused, settings kept
    finished,      // console: the session runs to its end (nothing refused nor taken in particular)
    outputFailed,  // batch: status 3, one line on stderr, no CSV; stdout the goal lines of `out`, one each
    goalFailed,    // batch: status 1, the goal lines of `out` on stdout
};

struct Row {
    std::string name;
    Program program = Program::console;
    FileKind file = FileKind::none;
    std::string fileText;
    std::vector<std::string> args;  // batch arguments after the program ("{file}", "{out}")
    std::vector<std::pair<std::string, std::string>> env;  // batch: more of its environment
    std::string input;              // console input ("{file}" is replaced)
    std::string inputFile;          // console input read from this file (a device) instead
    // console: a session after which the settings must be exactly as after
    // `input` (the final reports are compared); empty: not compared
    std::string sameAs;
    Outcome outcome = Outcome::finished;
    std::vector<std::string> out;  // texts that must appear on stdout ("{file}" is replaced)
    std::vector<std::string> err;  // texts that must appear on stderr
    std::string checkedFile;             // a file written ("{out}.svg") that must not hold ...
    std::vector<std::string> fileLacks;  // ... these texts
    bool german = false;           // run under de_DE.UTF-8 and compare with the "C" locale
    double seconds = 10.0;         // time limit of each run
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

// --- the default task and its variants, as tokens ---

// b l1 l2+wp KH1 KH2 8 fn1 a1 fn2 a2 S x0 y0 L A tf seterror Fn
const std::vector<std::string> sineTask = {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20",
                                           "2", "S", "0.2", "0.3", "0.6", "0.2", "4", "0.005", "10"};
const std::vector<std::string> circleTask = {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20",
                                             "2", "C", "0.4", "0", "0.25", "6", "0.005", "10"};
// the circle about (3, 3): out of robot b's reach everywhere
const std::vector<std::string> farCircle = {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20",
                                            "2", "C", "3", "3", "0.25", "6", "0.005", "10"};
const std::vector<std::string> lineTask = {"b", "0.5", "0.5", "500", "500", "8", "5", "0", "20",
                                           "2", "L", "0.3", "0", "0.3", "0.3", "4", "0.005", "10"};
const std::vector<std::string> robotATask = {"a", "0.7", "500", "500", "7", "5", "0", "10", "5",
                                             "L", "0.3", "0", "0.3", "0.3", "4", "0.005", "10"};

std::string taskText(const std::vector<std::string>& tokens)
{
    std::string text;
    for (const std::string& t : tokens) text += t + " ";
    return text + "\n";
}

// The task with token `position` (1-based) replaced by `value`.
std::string taskWith(std::vector<std::string> tokens, int position, const std::string& value)
{
    tokens.at(static_cast<size_t>(position - 1)) = value;
    return taskText(tokens);
}

// Bytes that are no text: every value but the blanks, from a fixed sequence.
std::string binaryGarbage(size_t n)
{
    std::string bytes;
    unsigned x = 12345u;
    while (bytes.size() < n) {
        x = x * 1103515245u + 12345u;
        const char c = static_cast<char>((x >> 16) & 0xff);
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '\v' && c != '\f') bytes.push_back(c);
    }
    return bytes;
}

// The numbers that stress a formatted read: the largest magnitudes, no
// number, infinity, hexadecimal, a subnormal.
struct Special {
    const char* id;    // in the row's name
    const char* text;  // as typed
    bool positive;     // greater than 0
    bool finite;
    bool frequencyFinite;  // as a frequency: 2 pi times it is finite too
};
const Special specials[] = {
    {"1e308", "1e308", true, true, false},    {"Minus1e308", "-1e308", false, true, false},
    {"Nan", "nan", false, false, false},      {"Inf", "inf", true, false, false},
    {"Hex0x1p3", "0x1p3", true, true, true},  {"Subnormal1e_320", "1e-320", true, true, true},
};

// A message's text up to its first argument.
std::string prefixOf(const char* message)
{
    const std::string text = message;
    return text.substr(0, text.find('%'));
}

// --- the rows ---

// A task file given to both programs: to the batch runner on its command
// line, and to the console through the file dialogue at start-up.  A refused
// file names the problem, and the console then keeps its settings (those of
// a session that reads no file) and asks for the name again.
std::vector<Row> bothPrograms(const std::string& name, FileKind kind, const std::string& text,
                              Outcome outcome, const std::vector<std::string>& messages)
{
    Row batch;
    batch.name = "Batch_" + name;
    batch.program = Program::batch;
    batch.file = kind;
    batch.fileText = text;
    batch.args = {"{file}", "--report", "--csv", "{out}"};
    batch.outcome = outcome;
    (outcome == Outcome::refused ? batch.err : batch.out) = messages;

    Row console;
    console.name = "ConsoleFile_" + name;
    console.file = kind;
    console.fileText = text;
    console.input = "r\n{file}\ny\n";
    console.outcome = outcome;
    console.out = messages;
    if (outcome == Outcome::refused) {
        console.out.push_back(prefixOf(msg::fileNotRead) + "*");
        console.out.push_back(msg::fileInputEnded);  // asked again, then the input ends
        console.sameAs = "r\n";
    }
    return {batch, console};
}

// The start of the notice of a run whose numbers stop being numbers at
// `sample` (0.04 s apart), and the start of its reason, as the console
// prints it; the batch runner's line lacks the line end in front.
std::string blowUp(int sample, const std::string& why)
{
    return format(msg::runFaultFrom, sample, 0.04 * sample) + why;
}

// Rows of both programs whose task is taken and whose run blows up.
std::vector<Row> blowUpRows(const std::string& name, const std::string& text, const std::string& notice,
                            const std::vector<std::string>& more = {})
{
    std::vector<Row> rows = bothPrograms(name, FileKind::text, text, Outcome::accepted, more);
    rows[0].err.push_back(notice.substr(1));
    rows[1].out.push_back(notice);
    return rows;
}

std::vector<Row> taskFileRows()
{
    std::vector<Row> rows;
    auto add = [&](const std::vector<Row>& more) { rows.insert(rows.end(), more.begin(), more.end()); };
    const Outcome refused = Outcome::refused, accepted = Outcome::accepted;

    add(bothPrograms("EmptyFile", FileKind::text, "", refused,
                     {"{file}: the file ends after 0 tokens; expected the robot type (a or b) as token 1"}));
    add(bothPrograms("BinaryGarbage", FileKind::text, binaryGarbage(3000), refused,
                     {"{file}: token 1 ", "expected one character for the robot type (a or b)"}));
    // a NUL byte inside a number is part of that token, which is then no number
    add(bothPrograms("NulByteInANumber", FileKind::text, taskWith(sineTask, 4, std::string("500\0zz", 6)),
                     refused, {"{file}: token 4 ", "expected a number for the spring constant KH1 [N/m]"}));
    add(bothPrograms("Directory", FileKind::directory, "", refused,
                     {"{file}: is a directory, not a robot data file"}));
    add(bothPrograms("TenThousandCharacterName", FileKind::longName, "", refused,
                     {"{file}: cannot open: File name too long"}));
    add(bothPrograms("UnreadableFile", FileKind::unreadable, taskText(sineTask), refused,
                     {"{file}: cannot open: Permission denied"}));
    add(bothPrograms("SelectorOfSeveralCharacters", FileKind::text, taskWith(sineTask, 1, "bb"), refused,
                     {"{file}: token 1 'bb': expected one character for the robot type (a or b)"}));
    add(bothPrograms("ContourSelectorOfSeveralCharacters", FileKind::text, taskWith(sineTask, 11, "SSS"),
                     refused, {"{file}: token 11 'SSS': expected one character for the contour (L, C or S)"}));

    // selectors outside their sets: refused at their token, with the choices
    add(bothPrograms("UnknownRobotType", FileKind::text, taskWith(sineTask, 1, "x"), refused,
                     {"{file}: token 1 'x': the robot type must be a or b"}));
    add(bothPrograms("UnknownMethod", FileKind::text, taskWith(sineTask, 6, "9"), refused,
                     {"{file}: token 6 '9': the hybrid control method must be 7 or 8"}));
    add(bothPrograms("UnknownContour", FileKind::text,
                     "a 0.5 500 500 7 5 0 10 5 l 0.3 0 0.3 0.3 4 0.005 10", refused,
                     {"{file}: token 10 'l': the contour must be L, C or S"}));
    // a number of 302 characters is refused whole, never cut in two
    add(bothPrograms("OverlongNumber", FileKind::text, taskWith(sineTask, 17, "0." + std::string(300, '0')),
                     refused, {"{file}: token 17 '0.000*...': expected a number for the setting error [m]"}));
    // a byte-order mark at the start is read as if it were absent
    add(bothPrograms("ByteOrderMark", FileKind::text, "\xEF\xBB\xBF" + taskText(robotATask), accepted,
                     {msg::reportRobotA}));
    // a positioning time longer than the run: taken, and said once
    {
        std::vector<Row> slow = bothPrograms("PositioningTimeLongerThanTheRun", FileKind::text,
                                             taskWith(sineTask, 16, "12"), accepted,
                                             {format(msg::reportSineTime, 12.0)});
        slow[0].err = {format(msg::runShorterThanPath, 12.0, 8.0).substr(1)};
        slow[1].out.push_back(format(msg::runShorterThanPath, 12.0, 8.0));
        add(slow);
    }

    // the special numbers in a spring constant (positive), a natural
    // frequency (finite, and 2 pi fn finite too) and the contact force
    // (finite); those that make the run's numbers overflow are said so
    const std::string stiff = blowUp(1, "ハンドのばね定数 KH1=1e+308, KH2=500[N/m] が大きすぎて");
    for (const Special& v : specials) {
        const std::string id = v.id;
        const std::string quoted = std::string("'") + v.text + "'";
        const double x = std::strtod(v.text, nullptr);
        if (id == "1e308") {
            add(blowUpRows("SpringConstant" + id, taskWith(sineTask, 4, v.text), stiff,
                           {format(msg::reportSpringsN, x, 500.0)}));
        } else if (v.finite && v.positive) {
            add(bothPrograms("SpringConstant" + id, FileKind::text, taskWith(sineTask, 4, v.text), accepted,
                             {format(msg::reportSpringsN, x, 500.0)}));
        } else {
            add(bothPrograms("SpringConstant" + id, FileKind::text, taskWith(sineTask, 4, v.text), refused,
                             {"{file}: token 4 " + quoted + ": the spring constant KH1 [N/m] must be " +
                              (v.finite ? "greater than 0" : "a finite number")}));
        }
        if (id == "Subnormal1e_320") {
            add(blowUpRows("Frequency" + id, taskWith(sineTask, 7, v.text),
                           blowUp(1, "fn1=9.99989e-321[Hz], α1=0[1/s] では速度ゲイン Kv1="),
                           {format(msg::reportSystem1, twoPi * x / twoPi, 1.0, 0.0)}));
        } else if (v.frequencyFinite) {
            add(bothPrograms("Frequency" + id, FileKind::text, taskWith(sineTask, 7, v.text), accepted,
                             {format(msg::reportSystem1, twoPi * x / twoPi, 1.0, 0.0)}));
        } else {
            add(bothPrograms("Frequency" + id, FileKind::text, taskWith(sineTask, 7, v.text), refused,
                             {"{file}: token *fn1"}));
        }
        if (std::fabs(x) == 1e308) {
            add(blowUpRows("ContactForce" + id, taskWith(sineTask, 18, v.text),
                           blowUp(1, std::string("接触力 Fn=") + (x < 0 ? "-" : "") + "1e+308[N] が大きすぎて"),
                           {format(msg::reportForce, x)}));
        } else if (v.finite) {
            add(bothPrograms("ContactForce" + id, FileKind::text, taskWith(sineTask, 18, v.text), accepted,
                             {format(msg::reportForce, x)}));
        } else {
            add(bothPrograms("ContactForce" + id, FileKind::text, taskWith(sineTask, 18, v.text), refused,
                             {"{file}: token 18 " + quoted + ": the contact force Fn [N] must be a finite number"}));
        }
    }

    // zero and negative lengths, radius, wavelength, times, spring constants
    struct NotPositive {
        const char* id;
        const std::vector<std::string>& task;
        int token;
        const char* value;
        const char* what;
    };
    const NotPositive notPositive[] = {
        {"LinkLengthZero", sineTask, 2, "0", "the first link length l1 [m]"},
        {"LinkLengthNegative", sineTask, 3, "-0.5", "the second link length l2 + wp [m]"},
        {"ArmLengthNegative", robotATask, 2, "-0.7", "the arm length l [m]"},
        {"RadiusZero", circleTask, 14, "0", "the circle radius r [m]"},
        {"RadiusNegative", circleTask, 14, "-0.25", "the circle radius r [m]"},
        {"WavelengthZero", sineTask, 14, "0", "the wavelength L [m]"},
        {"WavelengthNegative", sineTask, 14, "-0.6", "the wavelength L [m]"},
        {"TimeZero", sineTask, 16, "0", "the positioning time tf [s]"},
        {"TimeNegative", lineTask, 16, "-4", "the positioning time tf [s]"},
        {"SpringConstantZero", sineTask, 5, "0", "the spring constant KH2 [N/m]"},
        {"SpringConstantNegative", sineTask, 4, "-500", "the spring constant KH1 [N/m]"},
    };
    for (const NotPositive& v : notPositive) {
        add(bothPrograms(v.id, FileKind::text, taskWith(v.task, v.token, v.value), refused,
                         {"{file}: token " + std::to_string(v.token) + " '" + v.value + "': " + v.what +
                          " must be greater than 0"}));
    }

    // a link length that, held without the probe, comes to 0 + 0.2 - 0.2
    const std::string heldAsZero =
        "the second link length l2 + wp [m] must be greater than 0; as the settings hold it, it is 0";
    add(bothPrograms("LinkLengthHeldAsZero", FileKind::text, taskWith(sineTask, 3, "1e-17"), refused,
                     {"{file}: token 3 '1e-17': " + heldAsZero}));
    {
        Row set;
        set.name = "Batch_SetLinkLengthHeldAsZeroThenWriteTheTask";
        set.program = Program::batch;
        set.args = {"--set", "l2=1e-17", "--write-task", "{out}"};
        set.outcome = refused;
        set.err = {"hybridsim-batch: --set l2=1e-17: " + heldAsZero};
        rows.push_back(set);
    }

    // values taken as they are
    add(bothPrograms("SettingErrorMinus5mm", FileKind::text, taskWith(sineTask, 17, "-0.005"), accepted,
                     {format(msg::reportSetError, -5.0)}));
    add(bothPrograms("SettingError150mm", FileKind::text, taskWith(sineTask, 17, "0.15"), accepted,
                     {format(msg::reportSetError, 150.0)}));
    add(bothPrograms("ContactForceZero", FileKind::text, taskWith(sineTask, 18, "0"), accepted,
                     {format(msg::reportForce, 0.0)}));
    // values taken as typed whose runs overflow: from which sample and why
    add(blowUpRows("ForceLoopTooFastForTheStep", taskWith(sineTask, 9, "1e5"),
                   blowUp(1, "法線力制御系 (fn2=100000[Hz]) が速すぎて，積分の刻み h=0.0004[s] では"
                             "数値積分が発散します．この計算の刻み（最長 0.004[s]）で安定なのは fn2 が約 222[Hz] までです．")));
    add(blowUpRows("PositionLoopTooFastForTheStep", taskWith(sineTask, 7, "1e5"),
                   blowUp(1, "接線位置制御系 (fn1=100000[Hz]) が速すぎて")));
    add(blowUpRows("SineSteeperThanNumbersGo", taskWith(sineTask, 15, "1e200"),
                   blowUp(0, "振幅 A=1e+200[m] が波長 L=0.6[m] に比べて大きすぎて")));
    std::vector<std::string> stiffer = sineTask;
    stiffer[3] = stiffer[4] = "1e200";
    add(blowUpRows("SpringsStifferThanNumbersGo", taskText(stiffer),
                   blowUp(0, "ハンドのばね定数 KH1=1e+200, KH2=1e+200[N/m] が大きすぎて")));

    // a circle robot b cannot reach anywhere: the run goes on with
    // not-a-number samples, the first point and the count are reported
    {
        std::vector<Row> far = bothPrograms("ContourOutOfReach", FileKind::text, taskText(farCircle), accepted,
                                            {format(msg::reportCircleShape, 3.0, 3.0, 0.25)});
        far[0].err = {msg::noSolution, prefixOf(msg::unreachableCount)};
        far[1].out.push_back(msg::noSolution);
        far[1].out.push_back(prefixOf(msg::unreachableCount));
        add(far);
    }
    // a whole task under a locale whose decimal mark is a comma
    {
        Row german;
        german.name = "Batch_GermanLocaleWholeTask";
        german.program = Program::batch;
        german.file = FileKind::text;
        german.fileText = taskText(circleTask);
        german.args = {"{file}", "--report", "--csv", "{out}"};
        german.outcome = Outcome::accepted;
        german.out = {format(msg::reportCircleShape, 0.4, 0.0, 0.25), "0.500"};
        german.german = true;
        rows.push_back(german);
    }
    return rows;
}

// A session typed at the console program (standard input not a terminal).
Row typed(const std::string& name, const std::string& input, Outcome outcome,
          const std::vector<std::string>& out, const std::string& sameAs = "")
{
    Row r;
    r.name = "Console_" + name;
    r.input = input;
    r.outcome = outcome;
    r.out = out;
    r.sameAs = sameAs;
    return r;
}

// Start-up keys for robot b, method 8 and the sine, then 'y' at the opening
// question: the pass walks from the hand springs.
const std::string sine = "nb8Sy";
// Answers that reach a section: springs, method, gains, contour choice,
// setting error, force ('z' passes a section by).
const std::string atSprings = sine, atMethod = sine + "z", atGains = sine + "zz",
                  atContour = sine + "zzz", atSetError = sine + "zzzz", atForce = sine + "zzzzz";
// The sessions that change nothing after reaching a section.
const std::string unchanged = "nb8Sn";

std::vector<Row> typedNumberRows()
{
    std::vector<Row> rows;
    const Outcome refused = Outcome::refused, accepted = Outcome::accepted;
    for (const Special& v : specials) {
        const std::string id = v.id;
        const double x = std::strtod(v.text, nullptr);
        const std::string t = v.text;
        // the runs that overflow say from where and why; the others show a report
        const std::string report = msg::reportTitle;
        // KH1
        if (v.finite && v.positive) {
            rows.push_back(typed("SpringConstant" + id, atSprings + "y\n" + t + " 500\nn", accepted,
                                 {format(msg::reportSpringsN, x, 500.0),
                                  id == "1e308" ? blowUp(1, "ハンドのばね定数 KH1=1e+308") : report}));
        } else {
            rows.push_back(typed("SpringConstant" + id, atSprings + "y\n" + t + " 500\nn", refused,
                                 {format(v.finite ? msg::notPositive : msg::notFinite, "KH1")},
                                 atSprings + "zn"));
        }
        // fn1 (with alpha1 0; system 2 as it was)
        if (v.frequencyFinite) {
            rows.push_back(typed("Frequency" + id, atGains + "y\n" + t + " 0\n20 2\nn", accepted,
                                 {format(msg::reportSystem1, twoPi * x / twoPi, 1.0, 0.0),
                                  x < 1e-300 ? blowUp(1, "fn1=9.99989e-321[Hz], α1=0[1/s] では速度ゲイン Kv1=") : report}));
        } else {
            rows.push_back(typed("Frequency" + id, atGains + "y\n" + t + " 0\n20 2\nn", refused,
                                 {"\n!!! *fn1"}, atGains + "zn"));
        }
        // Fn
        if (v.finite) {
            rows.push_back(typed("ContactForce" + id, atForce + "y\n" + t + "\n", accepted,
                                 {format(msg::reportForce, x),
                                  std::fabs(x) == 1e308 ? blowUp(1, std::string("接触力 Fn=") + (x < 0 ? "-" : "") + "1e+308[N]")
                                                        : report}));
        } else {
            rows.push_back(typed("ContactForce" + id, atForce + "y\n" + t + "\n", refused,
                                 {format(msg::notFinite, "Fn")}, atForce + "n"));
        }
        // the setting error, typed in millimetres
        if (v.finite) {
            rows.push_back(typed("SettingError" + id, atSetError + "y\n" + t + "\nn", accepted,
                                 {format(msg::reportSetError, 1000.0 * (x / 1000.0))}));
        } else {
            rows.push_back(typed("SettingError" + id, atSetError + "y\n" + t + "\nn", refused,
                                 {format(msg::notFinite, "seterror")}, atSetError + "zn"));
        }
    }
    // a number of 10,000 digits overflows to infinity
    rows.push_back(typed("TenThousandDigitNumber", atSprings + "y\n" + std::string(10000, '9') + " 500\nn",
                         refused, {format(msg::notFinite, "KH1")}, atSprings + "zn"));
    // a NUL byte inside a typed number makes it no number
    rows.push_back(typed("NulByteInANumber", atSprings + "y\n" + std::string("600\0abc 700\nn", 13), refused,
                         {prefixOf(msg::notANumber) + "600"}, atSprings + "zn"));
    // two megabytes without a blank where numbers are asked for
    rows.push_back(typed("TwoMegabyteToken", atSprings + "y\n" + std::string(2 << 20, 'x') + "\nn", refused,
                         {prefixOf(msg::notANumber) + "xxxxxxxxxx"}, atSprings + "zn"));
    // several characters where one key is asked for: each is the next key
    rows.push_back(typed("SeveralCharactersAtTheMethodKey", atMethod + "y78\n5 0\n20 2\nn", accepted,
                         {msg::reportMethod7}));
    // binary garbage as the whole input
    rows.push_back(typed("BinaryGarbage", binaryGarbage(3000), Outcome::finished, {}));
    // keys outside a selector's choices: a notice, the question again
    rows.push_back(typed("UnknownSelectorKeys", "n" "xb" "97" "lS" "yz" "y58" "z" "yQC" "n", accepted,
                         {prefixOf(msg::keyNotOffered) + "x'", prefixOf(msg::keyNotOffered) + "9'",
                          prefixOf(msg::keyNotOffered) + "l'", prefixOf(msg::keyNotOffered) + "5'",
                          prefixOf(msg::keyNotOffered) + "Q'", msg::reportMethod8,
                          format(msg::reportCircleShape, 0.4, 0.0, 0.25)},
                         "nb8Cn"));
    // a switch of method keeps the new method's own gains through a gains
    // section answered with unreadable numbers
    rows.push_back(typed("MethodSwitchThenUnreadableGains", "nb8S\nyzy7y\nx\nx\nn", refused,
                         {prefixOf(msg::notANumber) + "x'"}, "nb7Sn"));
    // input that never ends a line: the read ends, the input counts as ended
    {
        Row zero = typed("EndlessInputWithoutALineEnd", "", Outcome::finished, {}, unchanged);
        zero.inputFile = "/dev/zero";
        rows.push_back(zero);
    }
    return rows;
}

std::vector<Row> typedValueRows()
{
    std::vector<Row> rows;
    const Outcome refused = Outcome::refused, accepted = Outcome::accepted;
    // zero and negative spring constants, times, radius, wavelength
    rows.push_back(typed("SpringConstantZero", atSprings + "y\n0 500\nn", refused,
                         {format(msg::notPositive, "KH1")}, atSprings + "zn"));
    rows.push_back(typed("SpringConstantNegative", atSprings + "y\n500 -500\nn", refused,
                         {format(msg::notPositive, "KH2")}, atSprings + "zn"));
    const std::string line = "nb8Lyzzzy";  // the line, then the contour choice 'y'
    rows.push_back(typed("TimeZero", line + "L" + "y\n0.3 0 0.3 0.3 0\nn", refused,
                         {format(msg::notPositive, "tf")}, line + "Lzn"));
    const std::string circle = "nb8Cyzzzy";
    rows.push_back(typed("RadiusZero", circle + "C" + "y\n0.4 0 0 6\nn", refused,
                         {format(msg::notPositive, "r")}, circle + "Czn"));
    rows.push_back(typed("RadiusNegative", circle + "C" + "y\n0.4 0 -0.25 6\nn", refused,
                         {format(msg::notPositive, "r")}, circle + "Czn"));
    const std::string wave = atContour + "y";
    rows.push_back(typed("WavelengthZero", wave + "S" + "y\n0.2 0.3 0 0.2 4\nn", refused,
                         {format(msg::notPositive, "L")}, wave + "Szn"));
    rows.push_back(typed("WavelengthNegative", wave + "S" + "y\n0.2 0.3 -0.6 0.2 4\nn", refused,
                         {format(msg::notPositive, "L")}, wave + "Szn"));
    rows.push_back(typed("TimeNegative", wave + "S" + "y\n0.2 0.3 0.6 0.2 -4\nn", refused,
                         {format(msg::notPositive, "tf")}, wave + "Szn"));
    // a circle wholly out of robot b's reach
    rows.push_back(typed("ContourOutOfReach", circle + "C" + "y\n3 3 0.25 6\nn", accepted,
                         {msg::noSolution, prefixOf(msg::unreachableCount),
                          format(msg::reportCircleShape, 3.0, 3.0, 0.25)}));
    // setting errors of -5 mm and 150 mm, a contact force of 0
    rows.push_back(typed("SettingErrorMinus5mm", atSetError + "y\n-5\nn", accepted,
                         {format(msg::reportSetError, -5.0)}));
    rows.push_back(typed("SettingError150mm", atSetError + "y\n150\nn", accepted,
                         {format(msg::reportSetError, 150.0)}));
    rows.push_back(typed("ContactForceZero", atForce + "y\n0\n", accepted, {format(msg::reportForce, 0.0)}));
    // a whole session with decimals under a locale whose decimal mark is a comma
    Row german = typed("GermanLocaleWholeSession",
                       sine + "y\n600.5 700.25\nzzyC\ny\n0.45 0.05 0.2 6.5\ny\n12.5\ny\n10.5\n", accepted,
                       {format(msg::reportSpringsN, 600.5, 700.25),
                        format(msg::reportCircleShape, 0.45, 0.05, 0.2), format(msg::reportSetError, 12.5),
                        format(msg::reportForce, 10.5)});
    german.german = true;
    rows.push_back(german);
    return rows;
}

// The input ends at each kind of question: every question takes the answer
// that changes nothing, and the session runs to its end.
std::vector<Row> endOfInputRows()
{
    std::vector<Row> rows;
    const Outcome finished = Outcome::finished;
    rows.push_back(typed("EndAtTheFileQuestion", "", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheRobotKey", "n", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheMethodKey", "nb", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheContourKey", "nb8", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheOpeningQuestion", "nb8S", finished, {}, unchanged));
    rows.push_back(typed("EndAtASectionQuestion", atSprings, finished, {}, unchanged));
    rows.push_back(typed("EndAtANumberRead", atSprings + "y", finished, {}, unchanged));
    rows.push_back(typed("EndInsideANumberRead", atSprings + "y\n600", Outcome::accepted,
                         {format(msg::reportSpringsN, 600.0, 500.0)}, atSprings + "y\n600 500\nn"));
    rows.push_back(typed("EndAtTheNewMethodKey", atMethod + "y", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheGainNumbers", atGains + "y", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheNewContourKey", atContour + "y", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheContourNumbers", atContour + "yS\ny", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheSettingErrorNumber", atSetError + "y", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheContactForceNumber", atForce + "y", finished, {}, unchanged));
    rows.push_back(typed("EndAtTheFileName", "r", finished, {msg::fileInputEnded}, unchanged));
    rows.push_back(typed("EndAtTheFileConfirmation", "r\nrobot51.dat\n", finished, {msg::fileInputEnded},
                         unchanged));
    return rows;
}

// Output files of the batch runner that it must not write: one the user
// may not write, the task file read named as another output, an option in
// place of a file name.  Each is refused before anything is computed (status
// 2), or is an output that cannot be made (status 3, the goals still
// checked); the task file stays as it was.
std::vector<Row> outputFileRows()
{
    auto batch = [](const std::string& name, FileKind kind, const std::vector<std::string>& args,
                    Outcome outcome, const std::vector<std::string>& err) {
        Row r;
        r.name = "Batch_" + name;
        r.program = Program::batch;
        r.file = kind;
        r.fileText = taskText(sineTask);
        r.args = args;
        r.outcome = outcome;
        r.err = err;
        return r;
    };
    const Outcome refused = Outcome::refused, failed = Outcome::outputFailed;
    std::vector<Row> rows = {
        // mode 444: a rename in the folder would replace it all the same
        batch("ReadOnlyTaskFileWrittenInPlace", FileKind::readOnly,
              {"{file}", "--set", "Fn=12", "--write-task", "{file}", "--csv", "{out}"}, failed,
              {"cannot write '{file}': Permission denied"}),
        batch("ReadOnlyOutputFile", FileKind::readOnly, {"--csv", "{out}", "--write-task", "{file}"}, failed,
              {"cannot write '{file}': Permission denied"}),
        batch("CsvOverTheTaskFile", FileKind::text, {"{file}", "--csv", "{file}"}, refused,
              {"--csv '{file}' is the task file read; only --write-task may write over it"}),
        batch("TwoOutputsInOneFile", FileKind::text, {"{file}", "--csv", "{out}", "--plot", "{out}.svg",
                                                      "--write-task", "{out}"}, refused,
              {"--write-task '{out}' and --csv '{out}' are the same file"}),
        batch("AnOptionForAFileName", FileKind::text, {"{file}", "--write-task", "--csv", "{out}"}, refused,
              {"--write-task needs a file name (got the option '--csv')"}),
        // an edit in place is taken
        batch("TaskFileWrittenInPlace", FileKind::text,
              {"{file}", "--set", "Fn=12", "--write-task", "{file}", "--csv", "{out}"}, Outcome::accepted, {}),
        // a task of --compare: read as the task file is, and written by no output
        batch("ComparedTaskWrittenOver", FileKind::text, {"--compare", "{file}", "--summary", "--write-task", "{file}"},
              refused, {"--write-task '{file}' is the task file read by --compare '{file}'; no output may write over it"}),
        batch("ComparedTaskUnreadable", FileKind::unreadable, {"--compare", "{file}", "--summary", "--write-task", "{out}"},
              refused, {"--compare {file}: cannot open: Permission denied"}),
        batch("ComparedTaskIsAFolder", FileKind::directory, {"--compare", "{file}", "--summary", "--write-task", "{out}"},
              refused, {"--compare {file}: is a directory, not a robot data file"}),
        batch("ComparedTaskTakenWithTheMainTaskWritten", FileKind::text,
              {"--compare", "{file}", "--summary", "--write-task", "{out}"}, Outcome::accepted, {}),
        // the animation: a file like the others, and every frame its own
        batch("GifToAFolderThatIsNotThere", FileKind::none, {"--gif", "/nonexistent-dir/run.gif", "--csv", "{out}"},
              failed, {"cannot write '/nonexistent-dir/run.gif'"}),
        batch("GifIntoAFolder", FileKind::directory, {"--gif", "{file}", "--csv", "{out}"}, failed,
              {"cannot write '{file}'", "it is a folder"}),
        batch("GifReadOnly", FileKind::readOnly, {"--gif", "{file}", "--csv", "{out}"}, failed,
              {"cannot write '{file}': Permission denied"}),
        batch("GifTwice", FileKind::none, {"--gif", "{out}.a.gif", "--gif", "{out}.b.gif"}, refused,
              {"--gif is given more than once"}),
        batch("GifWithAFrame", FileKind::none, {"--gif", "{out}.gif", "--frame", "3"}, refused,
              {"--frame goes with --png FILE or --link (--frames and --gif have every frame)"}),
        batch("GifToStandardOutput", FileKind::none, {"--gif", "-"}, refused,
              {"--gif writes a file; standard output ('-') is not supported"}),
        batch("GifWithoutAName", FileKind::none, {"--csv", "{out}", "--gif"}, refused, {"--gif needs a file name"}),
        batch("GifOverTheTaskFile", FileKind::text, {"{file}", "--gif", "{file}"}, refused,
              {"--gif '{file}' is the task file read; only --write-task may write over it"}),
        batch("GifAndPngInOneFile", FileKind::none, {"--png", "{out}", "--gif", "{out}"}, refused,
              {"--png '{out}' and --gif '{out}' are the same file"}),
        batch("GifWithASweep", FileKind::none, {"--sweep", "Fn=5,10", "--gif", "{out}"}, refused,
              {"--gif does not go with --sweep"}),
        // the matrix runs without DISPLAY: a picture is drawn all the same
        batch("PictureWithoutADisplay", FileKind::none, {"--png", "{out}", "--frame", "7", "--overlay"},
              Outcome::accepted, {}),
    };
    // pictures that cannot be drawn (GLX alone, no display): status 3, not a
    // goal's 1; the goals are checked all the same, and a way of drawing
    // that is none is a mistake of the set-up
    {
        Row glx = batch("PictureThatCannotBeDrawnWithGoals", FileKind::none,
                        {"--png", "{out}.png", "--csv", "{out}", "--summary", "--require", "overshoot_pct < 5",
                         "--require", "settling_t_s < 0.1"},
                        failed, {"cannot draw pictures: through GLX: there is no X display (DISPLAY is not set)"});
        glx.env = {{"HYBRIDSIM_PICTURES", "glx"}};
        glx.out = {"pass  overshoot_pct = 2.55565 < 5\n", "FAIL  settling_t_s = 0.252874 < 0.1\n"};
        rows.push_back(glx);
        Row none = batch("PictureWayThatIsNone", FileKind::none,
                         {"--png", "{out}.png", "--csv", "{out}", "--require", "overshoot_pct < 5"}, refused,
                         {"hybridsim-batch: HYBRIDSIM_PICTURES must be egl, glx or auto (got 'bogus'); unset or "
                          "empty it is auto: EGL, then GLX\n"});
        none.env = {{"HYBRIDSIM_PICTURES", "bogus"}};
        rows.push_back(none);
    }
    // --link: the link alone, of a task read and set as every task is
    const std::vector<Row> link = {
        batch("LinkWithAnotherOutput", FileKind::text, {"{file}", "--link", "--csv", "{out}"}, refused,
              {"--csv does not go with --link"}),
        batch("LinkOfARefusedSetting", FileKind::text, {"{file}", "--set", "Fn=nan", "--link"}, refused,
              {"--set Fn=nan: the contact force Fn [N] must be a finite number"}),
        batch("LinkOfAFrameOutOfRange", FileKind::text, {"{file}", "--link", "https://x/", "--frame", "201"}, refused,
              {"--frame 201 is out of range: the run has frames 0..200"}),
        batch("LinkOfAComparedFolder", FileKind::directory, {"--link", "--compare", "{file}"}, refused,
              {"--compare {file}: is a directory, not a robot data file"}),
        // a base that no page is opened from
        batch("LinkOnAScriptAddress", FileKind::none, {"--link", "javascript://%0Aalert(1)"}, refused,
              {"hybridsim-batch: --link takes a base address of http:, https: or file: (got "
               "'javascript://%0Aalert(1)') (see --help)\n"}),
        batch("LinkOnADataAddress", FileKind::none, {"--link", "data://text/html,x", "--require", "Fn_N > 1"},
              refused, {"--link takes a base address of http:, https: or file: (got 'data://text/html,x')"}),
    };
    rows.insert(rows.end(), link.begin(), link.end());
    // a failing goal before a passing one: the status says a goal failed
    {
        Row order = batch("FailingGoalBeforeAPassingOne", FileKind::none,
                          {"--require", "settling_t_s < 0.25", "--require", "overshoot_pct <= 5"},
                          Outcome::goalFailed, {});
        order.out = {"FAIL  settling_t_s = 0.252874 < 0.25\npass  overshoot_pct = 2.55565 <= 5\n"};
        rows.push_back(order);
    }
    // a goal's value echoed as read, not as typed
    {
        Row hex = batch("GoalValueInHexadecimal", FileKind::none,
                        {"--require", "overshoot_pct < 0x10", "--csv", "{out}"}, Outcome::accepted, {});
        hex.out = {"pass  overshoot_pct = 2.55565 < 16\n"};
        rows.push_back(hex);
        Row digits = batch("GoalValueOf400Digits", FileKind::none,
                           {"--require", "overshoot_pct < 5." + std::string(398, '0'), "--csv", "{out}"},
                           Outcome::accepted, {});
        digits.out = {"pass  overshoot_pct = 2.55565 < 5\n"};
        rows.push_back(digits);
    }
    // a goal on a step figure of a run that blew up after sample 0: the step
    // is not in the samples, and the goal fails on "none"
    {
        Row blown = batch("GoalOnTheStepOfARunThatBlewUp", FileKind::none,
                          {"--set", "fn2=1e9", "--require", "overshoot_pct <= 3", "--require", "settling_t_s < 1",
                           "--require", "force_rise_t_s > 0"},
                          Outcome::goalFailed, {blowUp(1, "法線力制御系 (fn2=1e+09[Hz]) が速すぎて").substr(1)});
        blown.out = {"FAIL  overshoot_pct = none <= 3\nFAIL  settling_t_s = none < 1\nFAIL  force_rise_t_s = none > 0\n"};
        rows.push_back(blown);
    }
    // a link the page would not read whole: more goals than it keeps, or
    // longer than it reads at all
    for (const auto& [name, count, why] :
         {std::tuple{"LinkOfThirteenGoals", 13, "it has 13 goals; a link holds at most 12 goals"},
          std::tuple{"LinkOfAThousandGoals", 1000,
                     "the link is 24896 characters long, more than a link of this page can be (16384)"}}) {
        Row many = batch(name, FileKind::none, {"--link"}, refused,
                         {std::string("hybridsim-batch: --link: the page would not read this link whole: ") + why +
                          "\n"});
        for (int k = 1; k <= count; ++k) many.args.insert(many.args.end(), {"--require", format("overshoot_pct < %d", k)});
        rows.push_back(many);
    }
    Row linkGarbage = batch("LinkOfBinaryGarbage", FileKind::text, {"{file}", "--link"}, refused,
                            {"{file}: token 1 ", "expected one character for the robot type (a or b)"});
    linkGarbage.fileText = binaryGarbage(3000);
    rows.push_back(linkGarbage);
    Row garbage = batch("ComparedTaskOfBinaryGarbage", FileKind::text,
                        {"--compare", "{file}", "--summary", "--write-task", "{out}"}, refused,
                        {"--compare {file}: token 1 ", "expected one character for the robot type (a or b)"});
    garbage.fileText = binaryGarbage(3000);
    rows.push_back(garbage);
    return rows;
}

// Values at the edges of the doubles, taken as typed: the outputs that
// draw or tell of them stay numbers or say "none" and why.  The chart of
// a subnormal force holds no not-a-number; the loops' poles are the closed
// forms -wn (twice) and -alpha, or none with the reason.
std::vector<Row> extremeValueRows()
{
    auto batch = [](const std::string& name, const std::vector<std::string>& args, const std::vector<std::string>& out,
                    const std::vector<std::string>& svgLacks) {
        Row r;
        r.name = "Batch_" + name;
        r.program = Program::batch;
        r.args = args;
        // the file {out} that an accepted row writes (a sweep's table goes to standard output)
        if (args[0] == "--sweep")
            r.args.insert(r.args.end(), {"--write-task", "{out}"});
        else
            r.args.insert(r.args.end(), {"--csv", "{out}"});
        r.outcome = Outcome::accepted;
        r.out = out;
        if (!svgLacks.empty()) r.checkedFile = "{out}.svg";
        r.fileLacks = svgLacks;
        return r;
    };
    return {
        batch("PlotOfTheSmallestSubnormalForce", {"--set", "Fn=5e-324", "--plot", "{out}.svg"}, {}, {"nan", "inf"}),
        batch("PlotOfASweepOfSubnormalAndHugeForces", {"--sweep", "Fn=5e-324,1e-320,1e308", "--plot", "{out}.svg"}, {},
              {"nan", "inf"}),
        batch("LoopsOfATinyPositionFrequency", {"--set", "fn1=1e-300", "--loops"},
              {"-6.28319e-300   (time constant 1.59155e+299 s)\n     -6.28319e-300   (time constant 1.59155e+299 s)\n"
               "                 0\n"},
              {}),
        batch("LoopsOfAHugeForceFrequency", {"--set", "fn2=1e300", "--loops"},
              {"-6.28319e+300   (time constant 1.59155e-301 s)\n     -6.28319e+300   (time constant 1.59155e-301 s)\n"
               "                -2   (time constant 0.5 s)\n",
               "Ki = 1.25664e+301 s^2 + inf s + inf:\n    none: the gains are not all finite numbers (they overflow)\n"},
              {}),
        batch("LoopsOfASubnormalPositionFrequency", {"--set", "fn1=1e-320", "--loops"},
              {"-6.28303e-320   (time constant none, beyond the largest number)\n",
               "s + 0:\n    none: a root lies beyond the largest number (about 1.8e308)\n"},
              {}),
    };
}

std::vector<Row> allRows()
{
    std::vector<Row> rows;
    const std::vector<std::function<std::vector<Row>()>> groups = {
        taskFileRows,
        outputFileRows,
        typedNumberRows,
        typedValueRows,
        endOfInputRows,
        extremeValueRows,
    };
    for (const auto& group : groups) {
        const std::vector<Row> more = group();
        rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
}

// --- running a row ---

#ifndef HYBRIDSIM_BATCH
#error "HYBRIDSIM_BATCH must name the built hybridsim-batch"
#endif
#ifndef HYBRIDSIM_PROGRAM
#error "HYBRIDSIM_PROGRAM must name the built hybridsim"
#endif

// Sanitizer builds run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double timeScale = 4.0;
#else
constexpr double timeScale = 1.0;
#endif

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// `pattern` occurs in `text`; a '*' in it stands for anything within one line.
bool containsPattern(const std::string& text, const std::string& pattern)
{
    const size_t star = pattern.find('*');
    if (star == std::string::npos) return text.find(pattern) != std::string::npos;
    const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        const size_t lineEnd = text.find('\n', at + head.size());
        const size_t found = text.find(tail, at + head.size());
        if (found != std::string::npos && (lineEnd == std::string::npos || found + tail.size() <= lineEnd))
            return true;
    }
    return false;
}

// The report that closes the session and what follows it.
std::string finalReport(const std::string& out)
{
    const size_t at = out.rfind(msg::reportTitle);
    return at == std::string::npos ? std::string() : out.substr(at);
}

int lineCount(const std::string& text)
{
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// The row's own folder with its task file, removed afterwards.
class RowFolder {
public:
    explicit RowFolder(const Row& row)
    {
        // under /tmp: an unprivileged reader must be able to reach it
        char name[] = "/tmp/hybridsim-matrix-XXXXXX";
        if (mkdtemp(name) == nullptr) return;
        dir_ = name;
        chmod(dir_.c_str(), 0755);
        out_ = dir_ + "/run.csv";
        switch (row.file) {
        case FileKind::none: break;
        case FileKind::text:
        case FileKind::unreadable:
        case FileKind::readOnly:
            file_ = dir_ + "/task.dat";
            std::ofstream(file_, std::ios::binary) << row.fileText;
            if (row.file == FileKind::unreadable) chmod(file_.c_str(), 0);
            // the folder lets anyone make and rename files: only the file's
            // own mode stands in the way of writing over it
            if (row.file == FileKind::readOnly) {
                chmod(file_.c_str(), 0444);
                chmod(dir_.c_str(), 0777);
            }
            break;
        case FileKind::directory:
            file_ = dir_ + "/folder.dat";
            mkdir(file_.c_str(), 0755);
            break;
        case FileKind::longName:
            file_ = dir_ + "/";
            file_ += std::string(10000 - file_.size(), 'n');
            break;
        }
    }
    ~RowFolder()
    {
        if (dir_.empty()) return;
        const int rc = std::system(("rm -rf '" + dir_ + "'").c_str());
        (void)rc;
    }
    RowFolder(const RowFolder&) = delete;
    RowFolder& operator=(const RowFolder&) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::string& dir() const { return dir_; }
    const std::string& file() const { return file_; }
    const std::string& out() const { return out_; }
    // Copies a program where an unprivileged user may run it.
    std::string copyProgram(const std::string& path) const
    {
        const std::string copy = dir_ + "/program";
        const int rc = std::system(("cp '" + path + "' '" + copy + "' && chmod 755 '" + copy + "'").c_str());
        return rc == 0 ? copy : path;
    }
    std::string fill(const std::string& text) const
    {
        return replaced(replaced(text, "{file}", file_), "{out}", out_);
    }

private:
    std::string dir_;
    std::string file_;
    std::string out_;
};

class BadInputMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(BadInputMatrix, EndsAsPromisedInTime)
{
    const Row& row = GetParam();
    RowFolder folder(row);
    ASSERT_TRUE(folder.ok()) << "cannot make a folder under /tmp";

    std::string locPath;
    if (row.german) {
        std::string why;
        ASSERT_TRUE(ensureLocale("de_DE.UTF-8", "de_DE", "UTF-8", why)) << why;
        locPath = HYBRIDSIM_TEST_LOCALE_DIR;
    }

    // a file that its reader may not read or write: as root, run as nobody
    const bool unprivileged =
        (row.file == FileKind::unreadable || row.file == FileKind::readOnly) && canDropPrivileges();
    std::string program = row.program == Program::batch ? HYBRIDSIM_BATCH : HYBRIDSIM_PROGRAM;
    if (unprivileged) program = folder.copyProgram(program);

    auto run = [&](const std::string& input, bool german) {
        ProcessJob job;
        job.argv.push_back(program);
        for (const std::string& a : row.args) job.argv.push_back(folder.fill(a));
        job.input = folder.fill(input);
        if (input == row.input) job.inputFile = row.inputFile;
        job.unsetEnv = {"DISPLAY", "LANG", "LANGUAGE"};
        if (german) {
            job.setEnv = {{"LC_ALL", "de_DE.UTF-8"}, {"LOCPATH", locPath}};
        } else {
            job.setEnv = {{"LC_ALL", "C"}};
        }
        job.setEnv.insert(job.setEnv.end(), row.env.begin(), row.env.end());
        job.timeLimit = row.seconds * timeScale;
        job.unprivileged = unprivileged;
        return runProcess(job);
    };

    const ProcessResult r = run(row.input, row.german);
    ASSERT_TRUE(r.started) << r.err;
    ASSERT_FALSE(r.timedOut) << "did not end within " << row.seconds * timeScale << " s";
    if (unprivileged && r.status == 126 && r.err.find("cannot become nobody") != std::string::npos) {
        GTEST_SKIP() << "this system does not let root run a program as nobody";
    }
    const std::string csv = [&] {
        std::ifstream f(folder.out(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }();
    struct stat st {};
    const bool csvWritten = stat(folder.out().c_str(), &st) == 0;

    if (row.program == Program::batch) {
        if (row.outcome == Outcome::refused || row.outcome == Outcome::outputFailed) {
            const bool refused = row.outcome == Outcome::refused;
            EXPECT_EQ(r.status, refused ? 2 : 3) << r.err;
            // an output that cannot be made leaves the goal lines alone on stdout
            EXPECT_EQ(lineCount(r.out), refused ? 0 : static_cast<int>(row.out.size())) << r.out;
            EXPECT_EQ(lineCount(r.err), 1) << r.err;
            EXPECT_FALSE(csvWritten) << "a CSV was written for a refused task";
            // a refused command loses nothing: the task file is as it was
            if (row.file == FileKind::text || row.file == FileKind::readOnly) {
                std::ifstream f(folder.file(), std::ios::binary);
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()),
                          row.fileText)
                    << "the task file was changed";
            }
        } else if (row.outcome == Outcome::goalFailed) {
            EXPECT_EQ(r.status, 1) << r.err;
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(csvWritten);
        }
        for (const std::string& e : row.err)
            EXPECT_TRUE(containsPattern(r.err, folder.fill(e))) << "stderr lacks: " << folder.fill(e) << "\n" << r.err;
    } else {
        // the console part ends normally; without a display the window then
        // cannot open: one line on stderr that says so, and status 1
        const bool noDisplay = r.status == 1 && lineCount(r.err) == 1 &&
                               r.err.find("cannot be shown") != std::string::npos &&
                               r.err.find("xvfb-run") != std::string::npos;
        EXPECT_TRUE(noDisplay) << "status " << r.status << ", stderr:\n" << r.err;
        EXPECT_NE(r.out.find(msg::toWindow), std::string::npos) << "the pass did not close";
        if (row.outcome == Outcome::accepted) {
            EXPECT_EQ(r.out.find(msg::fileNotRead), std::string::npos);
        }
    }
    if (!row.checkedFile.empty()) {
        std::ifstream f(folder.fill(row.checkedFile), std::ios::binary);
        const std::string written((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(written.empty()) << row.checkedFile;
        for (const std::string& t : row.fileLacks)
            EXPECT_EQ(written.find(t), std::string::npos) << row.checkedFile << " holds " << t;
    }
    for (const std::string& o : row.out)
        EXPECT_TRUE(containsPattern(r.out, folder.fill(o))) << "stdout lacks: " << folder.fill(o);

    if (!row.sameAs.empty()) {
        const ProcessResult same = run(row.sameAs, row.german);
        ASSERT_FALSE(same.timedOut);
        const std::string report = finalReport(r.out);
        EXPECT_FALSE(report.empty());
        EXPECT_EQ(report, finalReport(same.out)) << "the settings differ from those after: " << row.sameAs;
    }
    if (row.german) {
        const ProcessResult plain = run(row.input, false);
        EXPECT_EQ(r.status, plain.status);
        EXPECT_EQ(r.out, plain.out) << "the locale changed the output";
        if (row.program == Program::batch) {
            std::ifstream f(folder.out(), std::ios::binary);
            const std::string plainCsv((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            EXPECT_EQ(csv, plainCsv) << "the locale changed the CSV";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputMatrix, ::testing::ValuesIn(allRows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace hybridsim::testing

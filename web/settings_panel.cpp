#include "web/settings_panel.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "task/messages.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The significant digits a field shows at most: any number typed with as
// many comes back as typed, and a derived one such as 3 * 0.2 shows as 0.6.
constexpr int panelDigits = 15;

// --- the dialogue's words, cut from its texts ---

// `text` without the line breaks and blanks around it
std::string trimmed(const std::string& text)
{
    const char* blanks = "\n ";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// the words of `text` before `marker` ("(1-6) ハンドばね定数" of "(1-6) ハンドばね定数　旧(KH1,...")
std::string before(const char* text, const char* marker)
{
    const std::string t = text;
    return trimmed(t.substr(0, t.find(marker)));
}

// the words of `text` after its last blank ("SCARAロボット")
std::string lastWord(const char* text)
{
    const std::string t = trimmed(text);
    return t.substr(t.rfind(' ') + 1);
}

// --- the panel ---

struct Option {
    std::string key, ja, en;
};

struct Words {
    std::string ja, en;
};

struct PanelField {
    const char* name;
    char contour;          // the contour it belongs to, 0 for every contour
    std::string ja;        // the label, without its unit
    bool millimetres;      // entered in mm (the setting error)
};

struct Group {
    char contour;  // 0: the section's fields; else the numbers of that contour
    std::string ja, en;
    std::vector<PanelField> fields;
};

struct Section {
    const char* id;
    std::string ja, en;
    const char* selector;  // the name of the section's selector, or nullptr
    std::vector<Option> options;
    std::vector<Group> groups;
    bool folded = false;   // an addition to the dialogue, closed until opened
    Words note = {};       // a line under its fields, none when empty
};

// The sections in the dialogue's order.
const std::vector<Section>& sections()
{
    static const std::vector<Section> all = [] {
        const std::string system1 = before(msg::gainsInput1, " 旧");
        const std::string system2 = before(msg::gainsInput2, " 旧");
        const std::string start = "始点";
        const std::string end = "終点";
        const std::string time = "位置決め時間";
        const std::string centre = "円の中心";
        return std::vector<Section>{
            {"robot", before(msg::reportRobotA, "  "), "(1-1) the robot type", "robot",
             {{"a", lastWord(msg::reportRobotA), "cylindrical-coordinate robot"},
              {"b", lastWord(msg::reportRobotB), "SCARA robot"}},
             {}},
            {"springs", before(msg::springsOld, "　旧"), "(1-6) the hand springs", nullptr, {},
             {{0, "", "", {{"KH1", 0, "KH1", false}, {"KH2", 0, "KH2", false}}}}},
            {"method", before(msg::methodOld, "　旧"), "(2-1) the hybrid control method", "method",
             {{"7", trimmed(msg::methodDescription7),
               "hybrid7: tangential position and normal force, in task space"},
              {"8", trimmed(msg::methodDescription8),
               "hybrid8: force in joint space, for an object of unknown shape"}},
             {}},
            {"gains", before(msg::gainsOld1, "1 旧"), "(2-2) the control gains of the method in force",
             nullptr, {},
             {{0, "", "",
               {{"fn1", 0, system1 + " fn1", false},
                {"alpha1", 0, "α1", false},
                {"zeta1", 0, "減衰比 ζ1", false},
                {"fn2", 0, system2 + " fn2", false},
                {"alpha2", 0, "α2", false},
                {"zeta2", 0, "減衰比 ζ2", false}}}}},
            {"contour", before(msg::contourOld, "　旧"), "(3-2) the contour", "contour",
             {{"L", trimmed(msg::contourNameLine), "line"},
              {"C", trimmed(msg::contourNameCircle), "circle"},
              {"S", trimmed(msg::contourNameSine), "sine"}},
             {{'L', trimmed(msg::lineHeading), "(3-2-1) line",
               {{"x0", 'L', start + " x0", false},
                {"y0", 'L', start + " y0", false},
                {"xf", 'L', end + " xf", false},
                {"yf", 'L', end + " yf", false},
                {"tf", 'L', time + " tf", false}}},
              {'C', trimmed(msg::circleHeading), "(3-2-2) circle, once round anticlockwise from its right end",
               {{"Ox", 'C', centre + " Ox", false},
                {"Oy", 'C', centre + " Oy", false},
                {"r", 'C', "半径 r", false},
                {"tf", 'C', time + " tf", false}}},
              {'S', trimmed(msg::sineHeading), "(3-2-4) sine y = A sin(2π(x - x0)/L) + y0",
               {{"x0", 'S', start + " x0", false},
                {"y0", 'S', start + " y0", false},
                {"L", 'S', "波長 L", false},
                {"A", 'S', "振幅 A", false},
                {"tf", 'S', time + " tf", false}}}}},
            {"seterror", before(msg::setErrorOld, "　旧"), "(3-3) the setting error", nullptr, {},
             {{0, "", "", {{"seterror", 0, "seterror", true}}}}},
            {"force", before(msg::forceOld, "　旧"), "(3-4) the contact force", nullptr, {},
             {{0, "", "", {{"Fn", 0, "Fn", false}}}}},
            // the contact lab, in the words of the settings report's (4-1) lines
            {"contact", "接触モデル", "Contact", "contact",
             {{"ideal", "接触力は力ループ自身の状態", "the contact force is the force loop's own state"},
              {"spring", "力ループは計測した接触力を帰還", "the force loop feeds back the measured force"}},
             {{0, "", "",
               {{"KW", 0, "工作物の剛性 KW", false},
                {"period", 0, "制御周期", false},
                {"servo", 0, "サーボ時定数", false}}}},
             true,
             {"KW inf：剛体、制御周期 0：連続、サーボ時定数 0：遅れなし。いずれも spring のときだけ働く",
              "KW inf: rigid; period 0: continuous; servo 0: no lag. They act under spring only."}},
        };
    }();
    return all;
}

// the task field a panel field stands for
const TaskField& taskField(const PanelField& p)
{
    for (const TaskField& f : taskFields())
        if (std::strcmp(f.name, p.name) == 0 && f.contour == p.contour) return f;
    return taskFields().front();  // every panel field names one (tests/web checks it)
}

// the task field of a selector's name
const TaskField& taskFieldNamed(const char* name)
{
    for (const TaskField& f : taskFields())
        if (std::strcmp(f.name, name) == 0) return f;
    return taskFields().front();  // every selector names one (tests/web checks it)
}

std::string fieldId(const PanelField& p)
{
    return p.contour ? std::string(1, p.contour) + "." + p.name : p.name;
}

// the unit of a task field as the panel shows it: "[N/m]"
std::string unitOf(const TaskField& f, bool millimetres)
{
    if (millimetres) return "[mm]";
    const std::string unit = f.unit();
    return unit.empty() ? unit : "[" + unit + "]";
}

// --- JSON (nlohmann/json, keys in the order written) ---

using Json = nlohmann::ordered_json;

// the text of `j`: compact, UTF-8 as it is, any byte that is no UTF-8
// written as U+FFFD rather than thrown about
std::string jsonText(const Json& j)
{
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string settingsPanelLayout()
{
    Json out = Json::array();
    for (const Section& s : sections()) {
        Json section = {{"id", s.id}, {"ja", s.ja}, {"en", s.en}, {"folded", s.folded}, {"selector", nullptr}};
        if (s.selector) {
            Json options = Json::array();
            for (const Option& o : s.options) options.push_back({{"key", o.key}, {"ja", o.ja}, {"en", o.en}});
            section["selector"] = {{"name", s.selector}, {"options", std::move(options)}};
        }
        Json groups = Json::array();
        for (const Group& group : s.groups) {
            Json fields = Json::array();
            for (const PanelField& p : group.fields) {
                const TaskField& f = taskField(p);
                fields.push_back({{"id", fieldId(p)},
                                  {"name", p.name},
                                  {"ja", p.ja},
                                  {"en", f.label()},
                                  {"unit", unitOf(f, p.millimetres)},
                                  {"millimetres", p.millimetres}});
            }
            groups.push_back({{"contour", group.contour ? std::string(1, group.contour) : ""},
                              {"ja", group.ja},
                              {"en", group.en},
                              {"fields", std::move(fields)}});
        }
        section["groups"] = std::move(groups);
        section["note"] = s.note.en.empty() ? Json(nullptr) : Json{{"ja", s.note.ja}, {"en", s.note.en}};
        out.push_back(std::move(section));
    }
    return jsonText(out);
}

std::string settingsPanelValues(const SimSettings& s)
{
    Json values = Json::object();
    for (const Section& section : sections())
        for (const Group& group : section.groups)
            for (const PanelField& p : group.fields) {
                const TaskField& f = taskField(p);
                if (!f.belongsTo(s)) continue;
                // the setting error as the dialogue shows it: 1000 times the metres
                const double v = p.millimetres ? 1000.0 * f.get(s) : f.get(s);
                values[fieldId(p)] = shortestNumber(v, panelDigits);
            }
    // each selector's choice as a task file writes it: a key ("a") or a word ("ideal")
    Json out = Json::object();
    for (const Section& section : sections())
        if (section.selector) out[section.selector] = fieldText(taskFieldNamed(section.selector), s);
    out["values"] = std::move(values);
    return jsonText(out);
}

}  // namespace hybridsim

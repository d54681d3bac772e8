// The page's settings panel: the dialogue's sections in its order with its
// words, the fields of the robot and contour in force, and values that the
// panel hands back unchanged reproduce the settings to the last bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "web/settings_panel.h"

namespace hybridsim {
namespace {

// The text between the next pair of double quotes at or after `at` (the
// JSON of the panel holds no escaped quote); the position after the closing
// quote, or npos when there is none.
std::size_t nextQuoted(const std::string& json, std::size_t at, std::string& text)
{
    const std::size_t open = json.find('"', at);
    if (open == std::string::npos) return open;
    const std::size_t close = json.find('"', open + 1);
    if (close == std::string::npos) return close;
    text = json.substr(open + 1, close - open - 1);
    return close + 1;
}

// the ids and texts of a values JSON ("S.x0": "0.2"), in their order
std::vector<std::pair<std::string, std::string>> shownValues(const std::string& json)
{
    const std::string values = json.substr(json.find("\"values\":{"));
    std::vector<std::pair<std::string, std::string>> out;
    std::string key, value;
    for (std::size_t at = 0; (at = nextQuoted(values, at, key)) != std::string::npos;) {
        if (values.compare(at, 2, ":\"") != 0) continue;  // "values" itself, before its object
        at = nextQuoted(values, at, value);
        if (at == std::string::npos) break;
        out.emplace_back(key, value);
    }
    return out;
}

SimSettings started()
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    deriveSettings(s);
    return s;
}

TEST(SettingsPanel, SectionsInTheDialoguesOrderWithItsWords)
{
    const std::string layout = settingsPanelLayout();
    // the dialogue's headings, cut from its texts, in the order it asks them
    const std::vector<std::string> headings = {
        "\"(1-1) ロボットタイプ\"", "\"(1-6) ハンドばね定数\"", "\"(2-1) hybrid制御方法\"",
        "\"(2-2) 制御ゲイン\"",     "\"(3-2) 物体輪郭\"",       "\"(3-2-1) 直線\"",
        "\"(3-2-2) 円  右端から反時計回りに１周\"",
        "\"(3-2-4) 正弦波軌道 y=A*sin(2π(x-x0)/L)+y0\"",
        "\"(3-3) 物体設置誤差\"",   "\"(3-4) 接触力（法線力）\"", "\"接触モデル\"",
    };
    std::size_t at = 0;
    for (const std::string& h : headings) {
        const std::size_t found = layout.find(h, at);
        ASSERT_NE(found, std::string::npos) << h << " after " << at << " in " << layout;
        at = found;
    }
    // choices as the dialogue names them, fields with their units
    for (const char* words :
         {"\"円筒座標ロボット\"", "\"SCARAロボット\"", "\"hybrid7:作業空間で1位置制御と1力制御：（φ1,φ2)で(x,,Fn)制御\"",
          "\"正弦波曲線\"", "\"第１制御系 fn1\"", "\"第２制御系 fn2\"", "\"位置決め時間 tf\"", "\"波長 L\"",
          "\"the spring constant KH1\",\"unit\":\"[N/m]\"", "\"unit\":\"[Hz]\"", "\"unit\":\"[1/s]\"",
          "\"the setting error\",\"unit\":\"[mm]\",\"millimetres\":true",
          "\"the contact force Fn\",\"unit\":\"[N]\""})
        EXPECT_NE(layout.find(words), std::string::npos) << words;
    // every field's name is a setting that setTaskSetting knows
    const std::vector<std::string> known = taskSettingNames();
    int names = 0;
    std::string name;
    for (std::size_t at = layout.find("\"name\":"); at != std::string::npos;
         at = layout.find("\"name\":", at)) {
        at = nextQuoted(layout, at + 7, name);
        if (at == std::string::npos) break;
        EXPECT_NE(std::find(known.begin(), known.end(), name), known.end()) << name;
        ++names;
    }
    EXPECT_EQ(names, 4 + 2 + 6 + 5 + 4 + 5 + 1 + 1 + 3);  // selectors, springs, gains and ratios, contours, e, Fn, contact
}

TEST(SettingsPanel, TheContactModelLastFoldedItsChoicesWords)
{
    const std::string layout = settingsPanelLayout();
    // the one section the dialogue does not have comes last, folded
    const std::size_t contact = layout.find("{\"id\":\"contact\"");
    ASSERT_NE(contact, std::string::npos) << layout;
    const std::size_t folded = layout.find("\"folded\":", contact);
    EXPECT_EQ(layout.find("\"folded\":", folded + 1), std::string::npos) << "a section after the contact model";
    EXPECT_EQ(layout.find("\"folded\":true"), folded) << layout;
    // its choices keyed by the words setTaskSetting takes
    EXPECT_NE(layout.find("{\"name\":\"contact\",\"options\":[{\"key\":\"ideal\"", contact), std::string::npos);
    EXPECT_NE(layout.find("{\"key\":\"spring\"", contact), std::string::npos);

    // the values: each selector's as setTaskSetting takes it back, a rigid workpiece as inf
    SimSettings s = started();
    EXPECT_NE(settingsPanelValues(s).find("\"contact\":\"ideal\",\"values\":{"), std::string::npos);
    EXPECT_NE(settingsPanelValues(s).find("\"KW\":\"inf\""), std::string::npos) << settingsPanelValues(s);
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"contact", "spring"}, {"KW", "5000"}, {"period", "0.001"}, {"servo", "0.02"}})
        ASSERT_TRUE(setTaskSetting(s, name, value).ok) << name;
    const std::string json = settingsPanelValues(s);
    SimSettings back = started();
    for (const char* selector : {"robot", "method", "contour", "contact"}) {
        const std::string key = std::string("\"") + selector + "\":\"";
        const std::size_t at = json.find(key) + key.size();
        ASSERT_TRUE(setTaskSetting(back, selector, json.substr(at, json.find('"', at) - at)).ok) << selector;
    }
    for (const auto& [id, text] : shownValues(json)) {
        if (id != "KW" && id != "period" && id != "servo") continue;
        ASSERT_TRUE(setTaskSetting(back, id, text).ok) << id;
    }
    EXPECT_EQ(robotDataText(back), robotDataText(s));
}

TEST(SettingsPanel, ShowsTheFieldsOfTheRobotAndContourInForce)
{
    SimSettings s = started();
    for (const char* contour : {"L", "C", "S"}) {
        ASSERT_TRUE(setTaskSetting(s, "contour", contour).ok);
        const std::string json = settingsPanelValues(s);
        EXPECT_NE(json.find(std::string("\"contour\":\"") + contour + "\""), std::string::npos) << json;
        std::string ids;
        for (const auto& [id, text] : shownValues(json)) ids += id + " ";
        const std::string numbers = contour[0] == 'L'   ? "L.x0 L.y0 L.xf L.yf L.tf "
                                    : contour[0] == 'C' ? "C.Ox C.Oy C.r C.tf "
                                                        : "S.x0 S.y0 S.L S.A S.tf ";
        EXPECT_EQ(ids, "KH1 KH2 fn1 alpha1 zeta1 fn2 alpha2 zeta2 " + numbers + "seterror Fn KW period servo ") << contour;
    }
}

TEST(SettingsPanel, ValuesHandedBackKeepEverySettingToTheLastBit)
{
    // the default sine's wavelength, 3 times 0.2 m, shows as 0.6
    EXPECT_NE(settingsPanelValues(started()).find("\"S.L\":\"0.6\""), std::string::npos);
    // a task typed with up to 15 digits, and the gains of method 7
    SimSettings s = started();
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"method", "7"}, {"fn1", "3.33333333333333"}, {"alpha2", "0.1"}, {"KH1", "123.456789012345"},
             {"contour", "C"}, {"Ox", "-0.3"}, {"r", "1e-7"}, {"seterror", "0.0012"}})
        ASSERT_TRUE(setTaskSetting(s, name, value).ok) << name;
    deriveSettings(s);
    const std::string before = robotDataText(s);
    SimSettings back = s;
    for (const auto& [id, text] : shownValues(settingsPanelValues(s))) {
        const std::string name = id.substr(id.find('.') == std::string::npos ? 0 : id.find('.') + 1);
        // the setting error shows in millimetres, as the dialogue shows it
        if (name == "seterror") {
            EXPECT_EQ(text, "1.2");
            continue;
        }
        ASSERT_TRUE(setTaskSetting(back, name, text).ok) << id << "=" << text;
    }
    EXPECT_EQ(robotDataText(back), before);
    EXPECT_NE(settingsPanelValues(s).find("\"C.r\":\"1e-07\""), std::string::npos) << settingsPanelValues(s);
}

TEST(SettingsPanel, ShortestNumbersReadBackExactly)
{
    EXPECT_EQ(shortestNumber(0.1), "0.1");
    EXPECT_EQ(shortestNumber(500.0), "500");
    EXPECT_EQ(shortestNumber(-0.0), "-0");
    EXPECT_EQ(shortestNumber(1e16), "10000000000000000");
    EXPECT_EQ(shortestNumber(1e17), "1e+17");
    EXPECT_EQ(shortestNumber(1e-7), "1e-07");
    EXPECT_EQ(shortestNumber(0.1 + 0.2), "0.30000000000000004");
    // any double at 17 digits; within half a unit of the 15th digit at 15
    // (5e-15 of the number, and the rounding of its reading)
    std::mt19937_64 bits(20240611);
    for (int i = 0; i < 20000; ++i) {
        double v = 0.0;
        const std::uint64_t b = bits();
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v)) continue;
        double back = 0.0;
        ASSERT_TRUE(parseDouble(shortestNumber(v), back)) << shortestNumber(v);
        ASSERT_EQ(back, v) << shortestNumber(v);
        ASSERT_TRUE(parseDouble(shortestNumber(v, 15), back)) << shortestNumber(v, 15);
        ASSERT_LE(std::fabs(back - v), 5.2e-15 * std::fabs(v)) << shortestNumber(v, 15);
    }
}

}  // namespace
}  // namespace hybridsim

// The contact model's settings (contact, KW, period, servo) as every front
// end takes them: by name, in a task file's optional tail, in the CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/run.h"
#include "task/series_csv.h"
#include "task/task_file.h"
#include "task/task_setting.h"
#include "tests/task/named_settings.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

// The default task with the contact settings set by name, each checked.
SimSettings withContact(const std::vector<std::pair<std::string, std::string>>& settings)
{
    return testing::defaultsWith(settings);
}

// The fixed fields of the default task as a file writes them.
std::string defaultFileText() { return robotDataText(testing::defaultSettings()); }

TEST(ContactSettings, TravelInTheTailOfATaskFileOnlyWhenTheyDifferFromTheDefaults)
{
    // the default task: no tail, the file of before
    const std::string plain = defaultFileText();
    EXPECT_EQ(plain.find("contact"), std::string::npos) << plain;

    // the tail names what differs, in the table's order, on one last line
    const SimSettings s = withContact({{"servo", "0.02"}, {"contact", "spring"}, {"KW", "5000"}, {"period", "0.001"}});
    const std::string text = robotDataText(s);
    ASSERT_EQ(text.substr(0, plain.size()), plain);
    EXPECT_EQ(text.substr(plain.size()), "contact spring KW 5000 period 0.001 servo 0.02\n");
    EXPECT_EQ(robotDataText(withContact({{"KW", "inf"}, {"period", "0"}, {"contact", "ideal"}})), plain);
    EXPECT_EQ(robotDataText(withContact({{"KW", "800"}})).substr(plain.size()), "KW 800\n");

    // the docs' example is what the writer writes
    std::ifstream doc(HYBRIDSIM_TASK_FILES_DOC);
    const std::string docs((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    const std::string lead = "written exactly as before:\n\n```\n";
    const std::size_t at = docs.find(lead);
    ASSERT_NE(at, std::string::npos) << "docs/task-files.md has no example of a tail";
    EXPECT_EQ(docs.substr(at + lead.size(), docs.find("```", at + lead.size()) - at - lead.size()),
              robotDataText(withContact({{"contact", "spring"}, {"KW", "5000"}, {"period", "0.001"}})));

    // read back: the same settings, bit for bit
    SimSettings back = testing::defaultSettings();
    ASSERT_TRUE(parseRobotData(text, "t", back).ok);
    EXPECT_TRUE(back.springContact);
    EXPECT_EQ(back.KW, 5000.0);
    EXPECT_EQ(back.controlPeriod, 0.001);
    EXPECT_EQ(back.servoTime, 0.02);
    EXPECT_EQ(robotDataText(back), text);

    // a file is the whole task: without a tail, the defaults of the tail
    SimSettings over = s;
    ASSERT_TRUE(parseRobotData(plain, "t", over).ok);
    EXPECT_FALSE(over.springContact);
    EXPECT_TRUE(std::isinf(over.KW));
    EXPECT_EQ(over.controlPeriod, 0.0);
    EXPECT_EQ(over.servoTime, 0.0);

    // tokens after the fixed fields that do not begin a tail are ignored, as before
    SimSettings noted = testing::defaultSettings();
    EXPECT_TRUE(parseRobotData(plain + "# tried on monday contact spring\n", "t", noted).ok);
    EXPECT_FALSE(noted.springContact);
}

TEST(ContactSettings, AreRefusedWithTheirRuleByNameAndInTheTailAndChangeNothing)
{
    struct Case {
        std::string name, value;
        std::string why;  // the end of --set's message
    };
    const std::vector<Case> cases = {
        {"contact", "soft", "the contact model must be ideal or spring"},
        {"contact", "s", "the contact model must be ideal or spring"},
        {"contact", "", "the contact model must be ideal or spring"},
        {"KW", "0", "the workpiece stiffness KW [N/m] must be greater than 0 (inf: rigid)"},
        {"KW", "-inf", "the workpiece stiffness KW [N/m] must be greater than 0 (inf: rigid)"},
        {"KW", "nan", "the workpiece stiffness KW [N/m] must be greater than 0 (inf: rigid)"},
        {"period", "0.00005", "the control period [s] must be 0 (continuous) or from 0.0001 to 1"},
        {"period", "1.5", "the control period [s] must be 0 (continuous) or from 0.0001 to 1"},
        {"period", "-0.01", "the control period [s] must be 0 (continuous) or from 0.0001 to 1"},
        {"servo", "-0.001", "the servo time constant [s] must be 0 or greater"},
        {"servo", "inf", "the servo time constant [s] must be a finite number"},
        {"servo", "fast", "expected a number for the servo time constant [s]"},
    };
    const SimSettings spring = withContact({{"contact", "spring"}, {"KW", "700"}});
    const std::string before = robotDataText(spring);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + "=" + c.value);
        SimSettings s = spring;
        const SettingChange change = setTaskSetting(s, c.name, c.value);
        EXPECT_FALSE(change.ok);
        EXPECT_EQ(change.message, c.name + "=" + c.value + ": " + c.why);
        EXPECT_EQ(robotDataText(s), before);

        // the same value in a file's tail: the token named, the same rule
        if (c.value.empty()) continue;
        SimSettings read = spring;
        const TaskFileResult r = parseRobotData(defaultFileText() + c.name + " " + c.value + "\n", "f", read);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, "f: token 20 '" + c.value + "': " + c.why);
        EXPECT_EQ(robotDataText(read), before);
    }

    // the tail's own mistakes
    const std::vector<std::pair<std::string, std::string>> tails = {
        {"contact spring contact ideal", "token 21 'contact': contact is given twice"},
        {"contact spring foo 1", "token 21 'foo': expected a setting of the tail (zeta1 zeta2 contact KW period servo) or the end"},
        {"contact spring KW", "the file ends after 21 tokens; expected the workpiece stiffness KW [N/m] as token 22"},
    };
    for (const auto& [tail, why] : tails) {
        SimSettings read = spring;
        const TaskFileResult r = parseRobotData(defaultFileText() + tail + "\n", "f", read);
        EXPECT_FALSE(r.ok) << tail;
        EXPECT_EQ(r.error.substr(0, 3 + why.size()), "f: " + why) << tail;
        EXPECT_EQ(robotDataText(read), before) << tail;
    }
}

// The CSV's columns: the ideal contact's as they were, the spring's with the
// force command last (and the force column the measured force).
TEST(ContactSettings, TheForceCommandIsAColumnOfItsOwnUnderTheSpringOnly)
{
    for (const bool spring : {false, true}) {
        SCOPED_TRACE(spring ? "spring" : "ideal");
        SimSettings s = withContact({{"contact", spring ? "spring" : "ideal"}, {"period", "0.02"}});
        deriveSettings(s);
        auto run = std::make_unique<RunSeries>();
        calcontrol(s, *run);
        const SeriesSet& set = currentSeries(*run, s.type);
        std::ostringstream out;
        writeSeriesCsv(s, set, out);
        std::istringstream in(out.str());
        std::string header, row;
        std::getline(in, header);
        const std::string ideal =
            "i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err,spring_force";
        EXPECT_EQ(header, spring ? ideal + ",force_cmd" : ideal);
        int rows = 0;
        while (std::getline(in, row)) {
            const std::size_t comma = row.rfind(',');
            const double last = std::stod(row.substr(comma + 1));
            const int i = std::stoi(row.substr(0, row.find(',')));
            EXPECT_EQ(last, spring ? set.forceCommand[i] : set.springForce[i]) << row;
            ++rows;
        }
        EXPECT_EQ(rows, lastSample(s) + 1);
    }
}

}  // namespace
}  // namespace hybridsim

// The key commands: the table of keys, what each does to the settings, the
// pins and the overlay, and the window's key help against the table.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>

#include "playback/keys.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::defaultTask;
using testing::Task;

TEST(KeyCommands, DialogueKeysStoreTheKeyResetAndRunTheDialogue)
{
    struct Case {
        unsigned char key;
        bool restoresErrorGain;
    };
    for (Case c : {Case{'r', true}, Case{'a', true}, Case{'b', true}, Case{'k', true},
                   Case{'h', false}, Case{'g', false}, Case{'L', true}, Case{'C', true},
                   Case{'S', true}, Case{'e', true}, Case{'f', true}}) {
        SCOPED_TRACE(c.key);
        SimSettings s = defaultTask().s;
        s.type = 'b';
        s.curve = 'S';
        s.frame = 37;
        s.errorGain = 3.0;
        int calls = 0;
        char keySeen = 0;
        int frameSeen = -1;
        const KeyResult result = onKey(s, c.key, [&] {
            ++calls;
            keySeen = s.key;
            frameSeen = s.frame;
        });
        EXPECT_EQ(result, KeyResult::DialogueRan);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(keySeen, static_cast<char>(c.key));
        EXPECT_EQ(frameSeen, 0);
        EXPECT_EQ(s.errorGain, c.restoresErrorGain ? 10.0 : 3.0);
        EXPECT_EQ(s.type, c.key == 'a' || c.key == 'b' ? static_cast<char>(c.key) : 'b');
        EXPECT_EQ(s.curve, c.key == 'L' || c.key == 'C' || c.key == 'S' ? static_cast<char>(c.key)
                                                                          : 'S');
    }
}

TEST(KeyCommands, PinKeysKeepTheRunShownAndDropEveryPin)
{
    Task task = testing::computeTask('a', '7', 'C');
    SimSettings s = task.s;
    PinSet pins;
    // 'p' and 'P' are no commands of onKey: only `key` changes there
    for (unsigned char k : {'p', 'P'}) {
        SimSettings before = s;
        EXPECT_EQ(onKey(s, k, [] { ADD_FAILURE() << "no dialogue expected"; }), KeyResult::Ignored);
        EXPECT_EQ(s.frame, before.frame);
        EXPECT_EQ(s.viewScale, before.viewScale);
    }
    EXPECT_FALSE(onPinKey(pins, s, *task.run, 'P'));  // nothing to drop
    for (unsigned char k : {'x', 's', '0', 'w'}) EXPECT_FALSE(onPinKey(pins, s, *task.run, k));
    EXPECT_TRUE(pins.empty());

    // the run shown: the task and its robot's series, as they were then
    s.frame = 44;
    ASSERT_TRUE(onPinKey(pins, s, *task.run, 'p'));
    ASSERT_EQ(pins.size(), 1);
    const Pin& pin = pins.pins()[0];
    EXPECT_EQ(pin.settings.type, 'a');
    EXPECT_EQ(pin.series.tipPos[120].x, currentSeries(*task.run, 'a').tipPos[120].x);
    EXPECT_EQ(pin.series.contactForce[7], currentSeries(*task.run, 'a').contactForce[7]);
    currentSeries(*task.run, 'a').contactForce[7] = -1.0;  // a new run later
    s.Fn = 33.0;
    EXPECT_NE(pins.pins()[0].series.contactForce[7], -1.0);
    EXPECT_EQ(pins.pins()[0].settings.Fn, task.s.Fn);

    for (int k = 0; k < 6; ++k) onPinKey(pins, s, *task.run, 'p');
    EXPECT_EQ(pins.size(), pinCapacity);
    EXPECT_TRUE(onPinKey(pins, s, *task.run, 'P'));
    EXPECT_TRUE(pins.empty());
}

TEST(KeyCommands, StepResetZoomQuitAndOtherKeys)
{
    SimSettings s = defaultTask().s;
    auto noDialogue = [] { ADD_FAILURE() << "no dialogue expected"; };

    s.frame = 199;
    EXPECT_EQ(onKey(s, 's', noDialogue), KeyResult::Redraw);
    EXPECT_EQ(s.frame, 200);
    EXPECT_EQ(onKey(s, 's', noDialogue), KeyResult::Redraw);  // held at nsteps
    EXPECT_EQ(s.frame, 200);
    s.frame = -7;
    onKey(s, 's', noDialogue);
    EXPECT_EQ(s.frame, 0);
    s.frame = std::numeric_limits<int>::max();
    onKey(s, 's', noDialogue);
    EXPECT_EQ(s.frame, 200);
    EXPECT_EQ(onKey(s, '0', noDialogue), KeyResult::Redraw);
    EXPECT_EQ(s.frame, 0);

    for (int n = 0; n < 5; ++n) EXPECT_EQ(onKey(s, 'w', noDialogue), KeyResult::Redraw);
    EXPECT_DOUBLE_EQ(s.viewScale, std::pow(0.9, 5));
    onKey(s, 'W', noDialogue);
    onKey(s, 'W', noDialogue);
    EXPECT_DOUBLE_EQ(s.viewScale, std::pow(0.9, 3));
    EXPECT_EQ(s.key, 'W');

    EXPECT_EQ(onKey(s, 27, noDialogue), KeyResult::Quit);

    // lower-case contour letters and unknown keys change nothing but `key`
    for (int key : {int('l'), int('c'), int('x'), int('1'), int(' '), 200}) {
        const auto k = static_cast<unsigned char>(key);
        SimSettings before = s;
        EXPECT_EQ(onKey(s, k, noDialogue), KeyResult::Ignored);
        EXPECT_EQ(s.key, static_cast<char>(k));
        EXPECT_EQ(s.frame, before.frame);
        EXPECT_EQ(s.viewScale, before.viewScale);
        EXPECT_EQ(s.type, before.type);
        EXPECT_EQ(s.curve, before.curve);
        EXPECT_EQ(s.errorGain, before.errorGain);
    }
}

// Each key is in the table once and found by its name and, for the
// window, by its character; what the table says of it fits what the
// command does: a dialogue, the end of the program, a step or a jump stop
// the playback first and a zoom does not, and the page offers no dialogue,
// no end and no saving (it has no console).
TEST(KeyTable, FlagsFitWhatEachCommandDoes)
{
    std::set<std::string_view> names;
    for (const KeyCommand& c : keyCommands) {
        const std::string_view key = c.key;
        SCOPED_TRACE(c.key);
        EXPECT_TRUE(names.insert(key).second) << "twice in the table";
        EXPECT_EQ(findKey(key), &c);
        if (key.size() == 1) {
            EXPECT_EQ(findKey(static_cast<unsigned char>(key[0])), &c);
        }

        if (stepKeyOf(c.action)) {
            EXPECT_TRUE(c.stopsPlayback) << "a step or a jump";
            continue;
        }
        if (c.action == KeyAction::saveTask) {
            EXPECT_TRUE(c.stopsPlayback);
            EXPECT_FALSE(c.onPage);
            continue;
        }
        const unsigned char k = key == "Escape" ? escapeKey : static_cast<unsigned char>(key[0]);
        SimSettings s = defaultTask().s;
        s.frame = 37;
        const KeyResult result = onKey(s, k, [] {});
        if (result == KeyResult::DialogueRan || result == KeyResult::Quit) {
            EXPECT_TRUE(c.stopsPlayback);
            EXPECT_FALSE(c.onPage);
        } else if (result == KeyResult::Redraw) {
            EXPECT_TRUE(isViewAction(c.action));
            EXPECT_EQ(c.stopsPlayback, s.frame != 37) << "a step or a jump stops, a zoom does not";
        } else {
            EXPECT_FALSE(isViewAction(c.action));
        }
    }
    EXPECT_EQ(findKey(escapeKey), findKey(std::string_view("Escape")));
    EXPECT_EQ(findKey(static_cast<unsigned char>(0)), nullptr);
    EXPECT_EQ(findKey(std::string_view("Enter")), nullptr);
}

// The window's key help (docs/window.md: the keys of the title bar's help
// and of playback) lists exactly the keys of the table.
TEST(KeyTable, TheWindowsKeyHelpListsEveryKeyOfTheTable)
{
    std::ifstream in(HYBRIDSIM_WINDOW_DOC);
    ASSERT_TRUE(in) << HYBRIDSIM_WINDOW_DOC;
    // the first cell of each row of a table headed "| key ..."
    const std::regex quoted("`([^`]+)`");
    const std::regex named("\\b(ESC|Space|Left|Right|Home|End)\\b");
    const std::map<std::string, std::string> names{{"ESC", "Escape"}, {"Space", " "},
                                                   {"Left", "ArrowLeft"}, {"Right", "ArrowRight"},
                                                   {"Home", "Home"}, {"End", "End"}};
    std::set<std::string> documented;
    bool inKeyTable = false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| key", 0) == 0) {
            inKeyTable = true;
            continue;
        }
        if (line.rfind("|", 0) != 0) {
            inKeyTable = false;
            continue;
        }
        if (!inKeyTable || line.rfind("|---", 0) == 0) continue;
        const std::string cell = line.substr(1, line.find('|', 1) - 1);
        for (std::sregex_iterator m(cell.begin(), cell.end(), quoted), end; m != end; ++m)
            documented.insert((*m)[1]);
        const std::string bare = std::regex_replace(cell, quoted, "");
        for (std::sregex_iterator m(bare.begin(), bare.end(), named), end; m != end; ++m)
            documented.insert(names.at((*m)[1]));
    }
    std::set<std::string> table;
    for (const KeyCommand& c : keyCommands) table.insert(std::string(c.key));
    EXPECT_EQ(documented, table);
}

}  // namespace
}  // namespace hybridsim

// Links: a task, its view and its pins as an address's fragment, read back
// to the same bits; what a link cannot give skipped with the words of --set.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "sim/run.h"
#include "task/series_csv.h"
#include "task/task_link.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The default task after `sets` (NAME=VALUE), each taken as --set takes it.
SimSettings taskAfter(const std::vector<std::string>& sets)
{
    SimSettings s = linkDefaultTask();
    for (const std::string& one : sets) {
        const std::size_t eq = one.find('=');
        const SettingChange c = setTaskSetting(s, one.substr(0, eq), one.substr(eq + 1));
        EXPECT_TRUE(c.ok) << c.message;
    }
    return s;
}

// Every number a task file holds of `s`, as the settings hold it, compared bit for bit.
::testing::AssertionResult sameTask(const SimSettings& a, const SimSettings& b)
{
    if (robotDataText(a) != robotDataText(b))
        return ::testing::AssertionFailure() << robotDataText(a) << "against\n" << robotDataText(b);
    const double held[][2] = {{a.l, b.l}, {a.l1, b.l1}, {a.l2, b.l2}, {a.KH1, b.KH1}, {a.KH2, b.KH2},
                              {a.wn1Hybrid7, b.wn1Hybrid7}, {a.wn2Hybrid7, b.wn2Hybrid7},
                              {a.alpha1Hybrid7, b.alpha1Hybrid7}, {a.alpha2Hybrid7, b.alpha2Hybrid7},
                              {a.wn1Hybrid8, b.wn1Hybrid8}, {a.wn2Hybrid8, b.wn2Hybrid8},
                              {a.alpha1Hybrid8, b.alpha1Hybrid8}, {a.alpha2Hybrid8, b.alpha2Hybrid8},
                              {a.Fn, b.Fn}, {a.seterror, b.seterror}, {a.lineX0, b.lineX0}, {a.lineY0, b.lineY0},
                              {a.lineXf, b.lineXf}, {a.lineYf, b.lineYf}, {a.lineTf, b.lineTf},
                              {a.circleOx, b.circleOx}, {a.circleOy, b.circleOy}, {a.circleR, b.circleR},
                              {a.circleTf, b.circleTf}, {a.sineX0, b.sineX0}, {a.sineY0, b.sineY0},
                              {a.sineL, b.sineL}, {a.sineA, b.sineA}, {a.sineTf, b.sineTf}};
    for (std::size_t k = 0; k < sizeof held / sizeof held[0]; ++k)
        if (std::memcmp(&held[k][0], &held[k][1], sizeof(double)) != 0)
            return ::testing::AssertionFailure() << "held value " << k << " differs";
    if (a.type != b.type || a.hybrid != b.hybrid || a.curve != b.curve)
        return ::testing::AssertionFailure() << "a selector differs";
    return ::testing::AssertionSuccess();
}

std::string csvOf(SimSettings s)
{
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    std::ostringstream out;
    writeSeriesCsv(s, currentSeries(*run, s.type), out);
    return out.str();
}

// Both robots, both methods, every contour: every field of the task its own
// value, numbers that need all 17 digits, 0.1 + 0.2, 1e-300, -0 and a
// subnormal among them, with a view and pins; read back, the same bits and
// the same run.
TEST(TaskLink, EveryFieldReadsBackToTheSameBitsAndRun)
{
    const std::vector<std::string> common = {"KH1=432.1", "KH2=0.30000000000000004", "fn1=4.3", "alpha1=-0",
                                             "fn2=17.900000000000002", "alpha2=1e-300", "seterror=-4.9e-322",
                                             "Fn=10.000000000000002"};
    const std::vector<std::string> contours[] = {
        {"contour=L", "x0=0.31", "y0=-0.02", "xf=0.29", "yf=0.33", "tf=3.7"},
        {"contour=C", "Ox=0.41", "Oy=0.03", "r=0.23", "tf=5.3"},
        {"contour=S", "x0=0.21", "y0=0.29", "L=0.57", "A=0.17", "tf=4.4"},
    };
    for (const char* robot : {"robot=a", "robot=b"}) {
        for (const char* method : {"method=7", "method=8"}) {
            for (const auto& contour : contours) {
                SCOPED_TRACE(std::string(robot) + " " + method + " " + contour[0]);
                std::vector<std::string> sets = {robot, method, robot[6] == 'a' ? "l=0.65" : "l1=0.45",
                                                 robot[6] == 'a' ? "KH1=1" : "l2=0.57"};
                sets.insert(sets.end(), common.begin(), common.end());
                sets.insert(sets.end(), contour.begin(), contour.end());
                LinkState state;
                state.task = taskAfter(sets);
                state.frame = 137;
                state.overlay = true;
                state.language = "ja";
                const std::string fragment = linkFragment(state);
                const LinkReading back = readLinkFragment("#" + fragment);
                EXPECT_EQ(back.refused, "");
                EXPECT_EQ(back.skippedCount, 0u) << (back.skipped.empty() ? "" : back.skipped[0]);
                EXPECT_TRUE(sameTask(back.state.task, state.task)) << fragment;
                EXPECT_EQ(csvOf(back.state.task), csvOf(state.task));
                EXPECT_EQ(back.state.frame, 137);
                EXPECT_TRUE(back.state.overlay);
                EXPECT_EQ(back.state.language, "ja");
                // and the link of what was read is the link written
                EXPECT_EQ(linkFragment(back.state), fragment);
            }
        }
    }
}

// Only the differences from the default task, by their --set names in the
// task file's order; a new method's own gains are no difference.
TEST(TaskLink, HoldsTheDifferencesFromTheDefaultTask)
{
    const struct {
        std::vector<std::string> sets;
        std::string fragment;
    } cases[] = {
        {{}, "v=1"},
        {{"Fn=20"}, "v=1&Fn=20"},
        {{"Fn=20", "method=7", "fn2=12"}, "v=1&method=7&fn2=12&Fn=20"},
        {{"method=7", "method=8"}, "v=1"},
        {{"Fn=10", "KH1=500"}, "v=1"},
        {{"contour=C", "r=0.3"}, "v=1&contour=C&r=0.3"},
        {{"robot=a", "l=0.8"}, "v=1&robot=a&l=0.8"},
        {{"alpha2=1e-300"}, "v=1&alpha2=1e-300"},
        {{"Fn=1e+300"}, "v=1&Fn=1e+300"},
        {{"Fn=0.1"}, "v=1&Fn=0.1"},
    };
    for (const auto& c : cases) {
        LinkState state;
        state.task = taskAfter(c.sets);
        EXPECT_EQ(linkFragment(state), c.fragment);
    }
}

// A selector is read before the settings whose meaning it decides, wherever
// it stands: a gain before its method is that method's gain (the method's
// stored gains would undo it), a radius before its contour the circle's; in
// the link and inside a pin.  Written back, the selector comes first.
TEST(TaskLink, ASelectorIsReadBeforeTheSettingsItDecidesWhereverItStands)
{
    const struct {
        std::vector<std::string> orders;  // the same link, its parts in other orders
        std::vector<std::string> task;    // as --set takes it, the selector first
        std::string written;
    } cases[] = {
        {{"v=1&fn2=12&method=7", "v=1&method=7&fn2=12", "fn2=12&v=1&method=7"}, {"method=7", "fn2=12"},
         "v=1&method=7&fn2=12"},
        {{"v=1&alpha1=3&fn2=12&method=7&Fn=20", "v=1&Fn=20&method=7&alpha1=3&fn2=12"},
         {"method=7", "alpha1=3", "fn2=12", "Fn=20"}, "v=1&method=7&alpha1=3&fn2=12&Fn=20"},
        {{"v=1&r=0.3&contour=C", "v=1&contour=C&r=0.3"}, {"contour=C", "r=0.3"}, "v=1&contour=C&r=0.3"},
        {{"v=1&l=0.8&KH1=600&robot=a", "v=1&robot=a&l=0.8&KH1=600"}, {"robot=a", "l=0.8", "KH1=600"},
         "v=1&robot=a&l=0.8&KH1=600"},
        // (the same key twice: the first kept, in either class)
        {{"v=1&fn2=12&method=7&method=8"}, {"method=7", "fn2=12"}, "v=1&method=7&fn2=12"},
    };
    for (const auto& c : cases) {
        for (const std::string& order : c.orders) {
            SCOPED_TRACE(order);
            const LinkReading r = readLinkFragment(order);
            EXPECT_EQ(r.skippedCount, order.find("method=8") == std::string::npos ? 0u : 1u);
            EXPECT_TRUE(sameTask(r.state.task, taskAfter(c.task)));
            EXPECT_EQ(linkFragment(r.state), c.written);
        }
    }
    // inside a pin
    for (const char* pin : {"v=1&pin=1,fn2:12,method:7", "v=1&pin=1,method:7,fn2:12"}) {
        SCOPED_TRACE(pin);
        const LinkReading r = readLinkFragment(pin);
        EXPECT_EQ(r.skippedCount, 0u);
        ASSERT_EQ(r.state.pins.size(), 1u);
        EXPECT_TRUE(sameTask(r.state.pins[0].task, taskAfter({"method=7", "fn2=12"})));
        EXPECT_EQ(linkFragment(r.state), "v=1&pin=1,method:7,fn2:12");
    }
}

// Each parameter that cannot be taken is skipped with its reason, in the
// words of --set where it is a setting; the others are applied.
TEST(TaskLink, WhatCannotBeTakenIsSkippedWithItsReason)
{
    auto refusal = [](const std::string& name, const std::string& value) {
        SimSettings s = linkDefaultTask();
        return setTaskSetting(s, name, value).message;
    };
    const std::string huge(5000, '7');
    const struct {
        std::string fragment;
        std::vector<std::string> skipped;
    } cases[] = {
        {"v=1&KH1=-1&Fn=20", {refusal("KH1", "-1")}},
        {"v=1&Fn=20&foo=1", {refusal("foo", "1")}},
        {"v=1&Fn=20&l=0.7", {refusal("l", "0.7")}},
        {"v=1&Fn=20&robot=b&l2=1e-17", {refusal("l2", "1e-17")}},
        {"v=1&Fn=20&Fn=30", {"Fn=30: Fn is given more than once; the first is kept"}},
        {"v=1&Fn=20&KH1=5%zz", {"KH1=5%zz: malformed percent-encoding (a '%' must be followed by two hexadecimal "
                                "digits)"}},
        {"v=1&Fn=20&KH1=5%4", {"KH1=5%4: malformed percent-encoding (a '%' must be followed by two hexadecimal "
                               "digits)"}},
        {"v=1&Fn=20&KH1", {"KH1: expected NAME=VALUE"}},
        {"v=1&Fn=20&KH1=" + huge, {refusal("KH1", huge)}},
        {"v=1&Fn=20&KH1=%00", {refusal("KH1", std::string(1, '\0'))}},
        {"v=1&Fn=20&frame=201", {"frame=201: the sample shown must be a whole number from 0 to 200"}},
        {"v=1&Fn=20&frame=-1", {"frame=-1: the sample shown must be a whole number from 0 to 200"}},
        {"v=1&Fn=20&frame=99999999999999999999", {"frame=99999999999999999999: the sample shown must be a whole "
                                                  "number from 0 to 200"}},
        {"v=1&Fn=20&overlay=yes", {"overlay=yes: the overlay is 0 (off) or 1 (on)"}},
        {"v=1&Fn=20&lang=fr", {"lang=fr: the language is en or ja"}},
        {"v=1&Fn=20&pin=5", {"pin=5: a pin starts with its slot, 1 to 4"}},
        {"v=1&Fn=20&pin=1,Fn", {"pin=1,Fn: expected NAME:VALUE after the slot (got 'Fn')"}},
        {"v=1&Fn=20&pin=1,KH1:-1", {"pin=1,KH1:-1: " + refusal("KH1", "-1")}},
        {"v=1&Fn=20&pin=1,Fn:~AAAA", {"pin=1,Fn:~AAAA: '~AAAA' is not '~' and the 11 base64url characters of a number"}},
        {"v=1&Fn=20&pin=1,Fn:~_AAAAAAAAAA", {"pin=1,Fn:~_AAAAAAAAAA: '~_AAAAAAAAAA' is not '~' and the 11 base64url "
                                             "characters of a number"}},
        {"v=1&Fn=20&pin=1,Fn:2,Fn:3", {"pin=1,Fn:2,Fn:3: Fn is given more than once in the pin"}},
        // the bits of not-a-number, its sign bit set or not: "nan", as every written number says it
        {"v=1&Fn=20&pin=1,Fn:~P_4AAAAAAAA", {"pin=1,Fn:~P_4AAAAAAAA: " + refusal("Fn", "nan")}},
        {"v=1&Fn=20&pin=1,Fn:~H_4AAAAAAAA", {"pin=1,Fn:~H_4AAAAAAAA: " + refusal("Fn", "nan")}},
        {"v=1&Fn=20&pin=2&pin=2,Fn:3", {"pin=2,Fn:3: slot 2 is taken by an earlier pin"}},
        {"v=1&Fn=20&lesson=", {"lesson=: the lesson is empty"}},
        {"v=1&Fn=20&lesson=%7B%7D&lesson=x", {"lesson=x: lesson is given more than once; the first is kept"}},
    };
    EXPECT_EQ(refusal("Fn", "nan"), "Fn=nan: the contact force Fn [N] must be a finite number");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment.substr(0, 80));
        const LinkReading r = readLinkFragment(c.fragment);
        EXPECT_EQ(r.refused, "");
        EXPECT_EQ(r.skipped, c.skipped);
        EXPECT_EQ(r.skippedCount, c.skipped.size());
        // the rest applied
        EXPECT_TRUE(sameTask(r.state.task, taskAfter({"Fn=20"})));
    }
    // thousands of parameters: each counted, the first reasons kept
    std::string many = "v=1&Fn=20";
    for (int k = 0; k < 3000; ++k) many += "&Fn=1";
    const LinkReading r = readLinkFragment(many);
    EXPECT_EQ(r.skippedCount, 3000u);
    EXPECT_EQ(r.skipped.size(), linkMostReasons);
    EXPECT_TRUE(sameTask(r.state.task, taskAfter({"Fn=20"})));
}

// A link of another version, without one, or too long is not read at all:
// the defaults, and why.
TEST(TaskLink, AnotherVersionOrAnOverlongLinkGivesTheDefaults)
{
    const struct {
        std::string fragment;
        std::string refused;
    } cases[] = {
        {"v=2&Fn=20", "the link is of format version '2'; this page reads version 1"},
        {"Fn=20&frame=3", "the link names no format version (v=1)"},
        {"v=%zz&Fn=20", "the link names no format version (v=1)"},
        {"v=1&Fn=20&pin=1" + std::string(20000, '&'), "the link is 20015 characters long, more than a link of this "
                                                      "page can be (16384)"},
    };
    for (const auto& c : cases) {
        const LinkReading r = readLinkFragment(c.fragment);
        EXPECT_EQ(r.refused, c.refused);
        EXPECT_TRUE(sameTask(r.state.task, linkDefaultTask()));
        EXPECT_EQ(r.state.frame, 0);
        EXPECT_TRUE(r.state.pins.empty());
    }
    // what --link refuses to write is what the reader would not read whole:
    // a link just over the length, or a goal more than the reader keeps
    const auto accepting = [](std::string&, std::string&) { return true; };
    LinkState state;
    state.task = linkDefaultTask();
    for (std::size_t k = 0; k <= linkMostGoals; ++k) state.goals.push_back("overshoot_pct<" + std::to_string(k));
    const std::string goals = linkFragment(state);
    EXPECT_EQ(linkNotReadWhole(state, goals), "it has 13 goals; a link holds at most 12 goals");
    const LinkReading cut = readLinkFragment(goals, accepting);
    EXPECT_EQ(cut.state.goals.size(), linkMostGoals);
    EXPECT_EQ(cut.skipped, std::vector<std::string>{"goal=overshoot_pct<12: a link holds at most 12 goals"});
    state.goals.pop_back();
    EXPECT_EQ(linkNotReadWhole(state, linkFragment(state)), "");
    EXPECT_EQ(readLinkFragment(linkFragment(state), accepting).skippedCount, 0u);
    for (const std::size_t size : {linkMostCharacters, linkMostCharacters + 1}) {
        std::string fragment = "v=1&Fn=20&" + std::string(size - 10, '&');
        const bool whole = size == linkMostCharacters;
        EXPECT_EQ(readLinkFragment("#" + fragment).refused == "", whole) << size;
        EXPECT_EQ(linkNotReadWhole(LinkState(), "#" + fragment), whole ? "" : readLinkFragment(fragment).refused);
    }
    // nothing at all: the defaults, and nothing to say
    for (const char* nothing : {"", "#", "#v=1"}) {
        const LinkReading r = readLinkFragment(nothing);
        EXPECT_EQ(r.refused, "");
        EXPECT_EQ(r.skippedCount, 0u);
        EXPECT_TRUE(sameTask(r.state.task, linkDefaultTask()));
    }
}

// A value for every field that its rule takes, as long as a task file can write it.
std::vector<std::string> longestTask(char robot, char method, double scale)
{
    // 17 digits and a three-digit exponent; a positive number where the rule asks for one
    auto far = [&](double sign, int k) { return shortestNumber(sign * (1.2345678901234567 + k * 2e-16) * scale); };
    std::vector<std::string> sets = {std::string("robot=") + robot, std::string("method=") + method, "contour=S"};
    int k = 0;
    for (const char* positive : {"l1", "l2", "KH1", "KH2", "L", "tf"}) sets.push_back(std::string(positive) + "=" + far(1, ++k));
    for (const char* any : {"fn1", "alpha1", "fn2", "alpha2", "x0", "y0", "A", "seterror", "Fn"})
        sets.push_back(std::string(any) + "=" + far(-1, ++k));
    return sets;
}

// Pins come back in their slots, oldest first, each task to the same bits;
// the longest link this program can make stays under 2,000 characters.
TEST(TaskLink, PinsReadBackInTheirSlotsAndTheLongestLinkIsShort)
{
    LinkState state;
    state.task = taskAfter({"Fn=20"});
    state.pins = {{2, taskAfter({"Fn=15"})}, {0, taskAfter({"method=7", "fn2=10.000000000000002"})},
                  {3, linkDefaultTask()}};
    const std::string fragment = linkFragment(state);
    EXPECT_EQ(fragment, "v=1&Fn=20&pin=3,Fn:15&pin=1,method:7,fn2:~EAkAAAAAAAB&pin=4");
    // a number's text of 11 characters goes into a pin as it is, one of 12 as its bits
    for (const auto& [value, text] :
         {std::pair{"12.34567891", "12.34567891"}, std::pair{"12.345678912", "~EAosPzTi-nq"}}) {
        LinkState edge;
        edge.task = linkDefaultTask();
        edge.pins = {{0, taskAfter({std::string("Fn=") + value})}};
        const std::string written = linkFragment(edge);
        EXPECT_EQ(written, std::string("v=1&pin=1,Fn:") + text);
        const LinkReading read = readLinkFragment(written);
        ASSERT_EQ(read.state.pins.size(), 1u);
        EXPECT_TRUE(sameTask(read.state.pins[0].task, edge.pins[0].task)) << value;
    }
    const LinkReading back = readLinkFragment(fragment);
    EXPECT_EQ(back.skippedCount, 0u);
    ASSERT_EQ(back.state.pins.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(back.state.pins[k].slot, state.pins[k].slot);
        EXPECT_TRUE(sameTask(back.state.pins[k].task, state.pins[k].task));
    }

    // every field differing from the default, 17 digits each, in the task
    // and in four pins that differ from it and from each other
    LinkState longest;
    longest.task = taskAfter(longestTask('b', '7', 1e100));
    longest.frame = 200;
    longest.overlay = true;
    longest.language = "ja";
    for (int slot = 0; slot < 4; ++slot)
        longest.pins.push_back({slot, taskAfter(longestTask('b', slot % 2 ? '7' : '8', 1e200 / (slot + 1)))});
    const std::string text = linkFragment(longest);
    const LinkReading read = readLinkFragment(text);
    EXPECT_EQ(read.skippedCount, 0u) << (read.skipped.empty() ? "" : read.skipped[0]);
    EXPECT_TRUE(sameTask(read.state.task, longest.task));
    for (std::size_t k = 0; k < 4; ++k) EXPECT_TRUE(sameTask(read.state.pins[k].task, longest.pins[k].task));
    std::cout << "the longest link's fragment: " << text.size() << " characters\n";
    EXPECT_LE(text.size(), 1800u) << text;
}

// A lesson goes into a link as its text, whatever bytes it holds, and
// comes back the same; the settings of a task are the items that make it.
TEST(TaskLink, ALessonAndTheSettingItemsReadBack)
{
    LinkState state;
    state.task = taskAfter({"method=7", "fn2=20", "Fn=15"});
    state.lesson = "{\"title\":{\"en\":\"a & b = 100% #1?\",\"ja\":\"題 \\\" +\"}}";
    const std::string fragment = linkFragment(state);
    EXPECT_EQ(fragment.find_first_of("{}\"# "), std::string::npos) << fragment;
    const LinkReading back = readLinkFragment(fragment);
    EXPECT_EQ(back.skippedCount, 0u);
    EXPECT_EQ(back.state.lesson, state.lesson);
    EXPECT_TRUE(sameTask(back.state.task, state.task));
    EXPECT_EQ(readLinkFragment("v=1&Fn=15").state.lesson, "");
    // the task's settings as items, the selectors first
    const std::vector<std::string> items = linkSettingItems(state.task);
    EXPECT_EQ(items, (std::vector<std::string>{"method=7", "fn2=20", "Fn=15"}));
    EXPECT_TRUE(sameTask(taskAfter(items), state.task));
    EXPECT_TRUE(linkSettingItems(linkDefaultTask()).empty());
}

// The one rule the batch runner (a word after --link) and the page (a link
// without '#') share: a scheme and "://" make an address; a fragment of
// this program and a task file's name are none.
TEST(TaskLink, AnAddressIsASchemeAndTwoSlashes)
{
    for (const char* address : {"https://host/hybridsim/index.html", "file:///home/t a/index.html", "HTTP://H/",
                                "data://text/html,x", "svn+ssh://h/p", "a1.b-c://x"})
        EXPECT_TRUE(linkIsAddress(address)) << address;
    for (const char* word : {"v=1&Fn=20", "#v=1&goal=x://y", "task.dat", "dir/a://b", "://host", "1http://h",
                             "mailto:someone", "C:task.dat", "ht tp://h", ""})
        EXPECT_FALSE(linkIsAddress(word)) << word;
}

}  // namespace
}  // namespace hybridsim

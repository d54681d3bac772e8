// A link to a run: the browser edition's state as the fragment of its
// address (the part after '#'), so that opening the address gives the same
// run, and what `hybridsim-batch --link` prints.  Format version 1:
//
//   v=1&method=7&fn2=10&Fn=20&frame=100&overlay=1&lang=ja&goal=overshoot_pct%3C%3D5&pin=1,Fn:15
//
//   v=1         the format version, always written
//   NAME=VALUE  each task setting in which the task differs from the built-in
//               default task, by its --set name, in the task file's order, the
//               value as the task-file writer writes it (the shortest decimal
//               that gives the held value back to the last bit); read back
//               through setTaskSetting, the rules and words of --set, the
//               selectors (robot, method, contour) first and then the rest,
//               each in the order given: a gain before its method in the
//               link is the method's gain all the same
//   frame=N     the sample shown (not written when 0)
//   overlay=1   the teaching overlay on (not written when off)
//   lang=ja     the page's language (not written for English, the default)
//   goal=TEXT   each goal on the run's figures, in order: "overshoot_pct<=5"
//               (NAME OP VALUE without blanks, study/goals.h), read by the
//               caller's goal reader
//   pin=S,...   each pin, oldest first: its slot S (1..4), then for each
//               setting in which its task differs from the default task
//               ",NAME:VALUE" -- VALUE the task file's text when it has at
//               most 11 characters, else "~" and the 64 bits of the number
//               in 11 characters of base64url (A-Z a-z 0-9 - _), the first
//               holding the top 4 bits, so that no pin takes more than
//               about 290 characters; its settings read as the task's are,
//               the selectors first
//   lesson=TEXT the lesson the link opens, a teacher's own: its lesson
//               object as one line of compact JSON (study/lesson_file.h),
//               written last; the link's reader hands the text on as it is
//               and its caller reads it (and enforces the lesson's locks)
//
// Keys and values are percent-encoded (RFC 3986; '+' stands for itself).
// A parameter that cannot be taken -- an unknown name, a value --set
// refuses, malformed percent-encoding, a key given twice, a pin in a slot
// taken already, a goal after linkMostGoals -- is skipped and named with the
// reason; the rest is applied.  A link of another version, or one longer
// than linkMostCharacters, is not read at all: the defaults.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sim/settings.h"

namespace hybridsim {

constexpr int linkVersion = 1;
// Longest fragment read; a link of this program is under 2,000 characters.
constexpr std::size_t linkMostCharacters = 16384;
// Most pins a link holds (the page's, study/compare.h's pinCapacity).
constexpr int linkMostPins = 4;
// Most goals a link holds (the page keeps as many); the goals after them
// are skipped.
constexpr std::size_t linkMostGoals = 12;
// Most reasons kept for the parameters a link skipped (the rest are counted).
constexpr std::size_t linkMostReasons = 10;

// A pin of a link: its slot (0..linkMostPins-1) and its task.
struct LinkPin {
    int slot = 0;
    SimSettings task;
};

// What a link holds.
struct LinkState {
    SimSettings task;              // the task shown (as setTaskSetting leaves it: the caller derives)
    int frame = 0;                 // the sample shown
    bool overlay = false;          // the teaching overlay
    std::string language = "en";   // the page's language: "en" or "ja"
    std::vector<LinkPin> pins;     // oldest first
    std::vector<std::string> goals;  // "NAME OP VALUE", in order, as the goal reader took them
    std::string lesson;              // the lesson's compact JSON ("" when none)
};

// The built-in default task as the program starts (entry defaults,
// defaults, derivation): what a link's settings are differences from.
SimSettings linkDefaultTask();

// The settings in which `task` differs from the default task, as "NAME=VALUE"
// items that make it from the default task when applied in order (the
// task file's order, a selector before what depends on it): a link's
// settings, a lesson's "set".
std::vector<std::string> linkSettingItems(const SimSettings& task);

// The fragment of `state`, without the '#': "v=1&Fn=20".
std::string linkFragment(const LinkState& state);

// What reading a fragment gave.
struct LinkReading {
    LinkState state;                   // the defaults where the link gave nothing
    std::string refused;               // the link was not read at all: why (state: the defaults); else ""
    std::vector<std::string> skipped;  // the first linkMostReasons parameters skipped: "NAME=VALUE: why"
    std::size_t skippedCount = 0;      // every parameter skipped
};

// Why a reader would not take the link of `state` whole -- its `fragment`
// (linkFragment's) longer than linkMostCharacters, so not read at all, or
// more goals than linkMostGoals or more pins than linkMostPins, the rest
// skipped -- in one phrase; "" when it would.
std::string linkNotReadWhole(const LinkState& state, const std::string& fragment);

// Reads a goal's text: true with `text` put in its written form, or false
// with `error` set to one line.  Without one, a link's goals are skipped.
using LinkGoalReader = std::function<bool(std::string& text, std::string& error)>;

// Reads a fragment, with or without its leading '#'; never fails.
LinkReading readLinkFragment(const std::string& fragment, const LinkGoalReader& readGoal = {});

// Whether `word` is an absolute address, a link's base: a scheme (a letter,
// then letters, digits, '+', '-' or '.') and "://" ("https://host/page",
// "file:///home/page").  A fragment of this program never is one, nor a
// task file's name: the batch runner takes such a word after --link as its
// BASE, and the page reads a link without '#' that is one as an address
// without a fragment.
bool linkIsAddress(const std::string& word);

}  // namespace hybridsim

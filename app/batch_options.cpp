#include "app/batch_options.h"

#include <set>

#include "app/batch_option_table.h"
#include "task/task_link.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The options given, as typed (an alias apart from its name).
using GivenOptions = std::set<std::string>;

bool isGiven(const GivenOptions& given, const char* option)
{
    const BatchOption* row = findBatchOption(option);
    return given.count(option) != 0 || (row != nullptr && row->alias != nullptr && given.count(row->alias) != 0);
}

// "A, B or C" ("A and B" with `last` "and").
std::string listed(const std::vector<const char*>& words, const char* last)
{
    std::string out;
    for (std::size_t k = 0; k < words.size(); ++k)
        out += (k == 0 ? "" : k + 1 == words.size() ? std::string(" ") + last + " " : ", ") + words[k];
    return out;
}

// The option named first in "--png FILE".
std::string optionOf(const char* said)
{
    const std::string text = said;
    return text.substr(0, text.find(' '));
}

// The value after option argv[i], read by its row; false with `error` set:
// none, or an option in its place (--write-task --csv would make a file "--csv").
bool optionValue(const BatchOption& row, int argc, const char* const* argv, int& i, std::string& value,
                 std::string& error)
{
    value.clear();
    if (row.takes == OptionValue::none) return true;
    const bool follows = i + 1 < argc;
    if (row.takes == OptionValue::optionalAddress) {
        if (follows && linkIsAddress(argv[i + 1])) value = argv[++i];
        return true;
    }
    if (!follows || std::string(argv[i + 1]).empty()) {
        error = std::string(argv[i]) + " needs " + row.needs;
        return false;
    }
    if (findBatchOption(argv[i + 1]) != nullptr) {
        error = std::string(argv[i]) + " needs " + row.needs + " (got the option '" + argv[i + 1] + "')";
        return false;
    }
    value = argv[++i];
    return true;
}

// A word that is no option: the task file, once.
bool takeTaskFile(const std::string& word, BatchOptions& o, std::string& error)
{
    if (word.size() > 1 && word[0] == '-') {
        error = "unknown option '" + shownText(word) + "'";
        return false;
    }
    if (o.taskFiles.empty()) o.taskFile = word;
    o.taskFiles.push_back(word);
    return true;
}

// Several task files: with a lesson whose goals grade each, and no output
// of one run.
bool gradingAllowed(const BatchOptions& o, const GivenOptions& given, std::string& error)
{
    if (!o.lessonGiven()) {
        error = "only one task file may be given (got '" + shownText(o.taskFiles[0]) + "' and '" +
                shownText(o.taskFiles[1]) + "'); several are graded with --lesson";
        return false;
    }
    for (const BatchOption& row : batchOptionTable()) {
        const std::string name = row.name;
        if (name == "--set" || name == "--require" || name == "--lesson" || name == "--goals-format" ||
            name == "--junit" || !isGiven(given, row.name))
            continue;
        error = name + " does not go with several task files (each is graded on its goals alone: --set, " +
                "--require, --goals-format and --junit go with them)";
        return false;
    }
    return true;
}

// The options `row` does not go with, in its order: the first one given
// named with the reason; `more` after the reason.
bool noConflict(const BatchOption& row, const GivenOptions& given, const std::string& more, std::string& error)
{
    for (const OptionConflict& c : row.conflicts)
        if (isGiven(given, c.option)) {
            const char* reason = c.reason != nullptr ? c.reason : row.conflictReason;
            error = std::string(c.option) + " does not go with " + row.name + " (" + reason + ")" + more;
            return false;
        }
    return true;
}

// Each option given that goes with others only, with one of them.
bool goesWithGiven(const GivenOptions& given, std::string& error)
{
    for (const BatchOption& row : batchOptionTable()) {
        if (row.goesWith.empty() || !row.conflicts.empty() || !isGiven(given, row.name)) continue;
        bool met = false;
        for (const char* other : row.goesWith) met = met || isGiven(given, optionOf(other).c_str());
        if (met) continue;
        bool noted = false;
        for (const char* other : row.noteWhen) noted = noted || isGiven(given, other);
        error = std::string(row.name) + " goes with " + listed(row.goesWith, "or") +
                (noted ? std::string(" (") + row.goesWithNote + ")" : "");
        return false;
    }
    return true;
}

// --compare: no output of one run's numbers, and an output that compares.
bool compareAllowed(const GivenOptions& given, std::string& error)
{
    const BatchOption& row = *findBatchOption("--compare");
    if (!noConflict(row, given, "; --compare goes with " + listed(row.goesWith, "and"), error)) return false;
    for (const char* other : row.goesWith)
        if (isGiven(given, other)) return true;
    error = "--compare needs an output that compares: " + listed(row.goesWith, "or") + " (or --link)";
    return false;
}

// --sweep: no output of one run, its summaries as CSV, and a grid not too large.
bool sweepAllowed(const BatchOptions& o, const GivenOptions& given, std::string& error)
{
    if (!noConflict(*findBatchOption("--sweep"), given, "", error)) return false;
    if (isGiven(given, "--format") && !o.summaryCsv) {
        error = "--format text does not go with --sweep (a sweep writes its summaries as CSV)";
        return false;
    }
    if (sweepTaskCount(o.sweeps) > sweepMaxTasks) {
        error = format("--sweep: the grid has %zu x %zu tasks, more than %zu", o.sweeps[0].size(), o.sweeps[1].size(),
                       sweepMaxTasks);
        return false;
    }
    return true;
}

// The options given, together: --link alone (it computes no run), then
// what each option goes with, then --compare and --sweep; without any
// output the CSV goes to standard output.
bool combinationAllowed(BatchOptions& o, const GivenOptions& given, std::string& error)
{
    if (o.grading()) return gradingAllowed(o, given, error);
    if (o.link) return noConflict(*findBatchOption("--link"), given, "", error);
    if (!goesWithGiven(given, error)) return false;
    if (o.compare()) return compareAllowed(given, error);
    if (o.sweep()) return sweepAllowed(o, given, error);
    bool output = false;
    for (const BatchOption& row : batchOptionTable()) output = output || (row.outputRank > 0 && isGiven(given, row.name));
    if (!output) o.csvPath = "-";
    return true;
}

}  // namespace

bool parseBatchOptions(int argc, const char* const* argv, BatchOptions& o, std::string& error)
{
    GivenOptions given;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const BatchOption* row = findBatchOption(a);
        if (row == nullptr) {
            if (!takeTaskFile(a, o, error)) return false;
            continue;
        }
        // each option names one output or one setting of it: a second one
        // would silently win over the first (--set and --sweep add up)
        if (!row->repeatable && a.compare(0, 2, "--") == 0 && given.count(a) != 0) {
            error = shownText(a) + " is given more than once";
            return false;
        }
        given.insert(a);
        std::string value;
        if (!optionValue(*row, argc, argv, i, value, error) || !row->take(o, value, error)) return false;
    }
    return combinationAllowed(o, given, error);
}

}  // namespace hybridsim

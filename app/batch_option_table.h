// The batch runner's options, one row each: what an option takes, how its
// value is stored, what it goes with and what not, whether it is an output,
// and its part of --help.  The parser (app/batch_options.cpp) and the text
// of --help are made from this table alone: a new option is one row here
// and its field in BatchOptions.
#pragma once

#include <string>
#include <vector>

#include "app/batch_options.h"

namespace hybridsim {

// What an option takes after it.
enum class OptionValue {
    none,             // nothing: a switch
    one,              // one word, never empty and never an option
    optionalAddress,  // an address (task/task_link.h's linkIsAddress) when one follows
};

// Stores an option's value (empty for a switch) into `o`; false with
// `error` set to one line when the value is not one the option takes.
using TakeOption = bool (*)(BatchOptions& o, const std::string& value, std::string& error);

// An option an option does not go with, and why ("" or nullptr: the
// row's conflictReason).
struct OptionConflict {
    const char* option;
    const char* reason;
};

struct BatchOption {
    const char* name;   // "--csv"
    const char* alias;  // another spelling ("-h"), or nullptr
    OptionValue takes;
    const char* needs;  // what it takes, as "--csv needs a file name or '-'" says
    TakeOption take;
    bool repeatable;    // given again adds up (--set); else given once at most
    int outputRank;     // an output: its place (1, 2, ...) in the default-output rule of --help; 0: none

    // one of these must be given with it ("--png FILE": the option --png, so
    // named in the message); with a note said when one of noteWhen is given
    std::vector<const char*> goesWith;
    const char* goesWithNote;
    std::vector<const char*> noteWhen;
    // the options it does not go with, in the order they are checked; the
    // rows that have some (the outputs that exclude others) are checked whole
    // in turn: --link, then --compare, then --sweep
    std::vector<OptionConflict> conflicts;
    const char* conflictReason;

    // --help: its part of the usage lines ("" when said within another's),
    // whether a usage line ends after it, its paragraph's head ("--csv FILE";
    // nullptr: no paragraph) and the paragraph, its lines apart by '\n'
    const char* usage;
    bool endsUsageLine;
    const char* head;
    const char* help;
};

// Every option, in the order of --help (--frame and --format, said within
// --png and --summary, stand where their checks come).
const std::vector<BatchOption>& batchOptionTable();

// The row of `token` (its name or its alias), or nullptr.
const BatchOption* findBatchOption(const std::string& token);

// The text of --help, made from the table.
const std::string& batchUsage();

}  // namespace hybridsim

// Runs a built program as a child process with a given standard input,
// environment and time limit, and collects what it wrote and how it ended.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace hybridsim::testing {

struct ProcessJob {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::string input;              // standard input, then end of input
    std::string inputFile;          // when not empty: standard input read from this file instead
    std::vector<std::pair<std::string, std::string>> setEnv;
    std::vector<std::string> unsetEnv;
    double timeLimit = 10.0;  // seconds; the process group is killed after it
    // Run as the unprivileged user "nobody" (only when started as root).
    bool unprivileged = false;
};

struct ProcessResult {
    // The exit status, or minus the number of the signal that ended it.
    int status = 0;
    bool timedOut = false;
    bool started = false;  // false: the program could not be executed (see err)
    std::string out;
    std::string err;
    double seconds = 0.0;
};

ProcessResult runProcess(const ProcessJob& job);

// True when the process runs as root and can run a child as "nobody".
bool canDropPrivileges();

// User and group id of "nobody".
constexpr unsigned nobodyId = 65534;

}  // namespace hybridsim::testing

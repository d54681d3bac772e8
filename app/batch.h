// The batch runner: computes a task without a window and writes the report
// and the recorded series.
#pragma once

#include <ostream>

namespace hybridsim {

// Exit statuses of the batch runner.
constexpr int exitOk = 0;
constexpr int exitUsage = 2;  // bad option, invalid task file, unwritable output

// Runs `hybridsim-batch` with its command line; standard output and error
// are given as streams.
int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace hybridsim

// The batch runner: computes a task without a window and writes the report,
// the recorded series, a summary of the run and pictures of the window.
#pragma once

#include <ostream>

namespace hybridsim {

// Exit statuses of the batch runner.
constexpr int exitOk = 0;
constexpr int exitNoDisplay = 1;  // pictures asked for, but no display to draw them on
constexpr int exitGoalFailed = 1; // a goal of --require not met
constexpr int exitUsage = 2;      // bad option, invalid task file, frame out of range,
                                  // unwritable output

// Runs `hybridsim-batch` with its command line; standard output and error
// are given as streams.  The X display for pictures is taken from $DISPLAY;
// it is opened only when --png or --frames asks for pictures.
int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace hybridsim

// The batch runner: computes a task without a window and writes the report,
// the recorded series, a summary of the run and pictures of the window.
#pragma once

#include <ostream>

namespace hybridsim {

// Exit statuses of the batch runner; each means one thing (batchUsage
// lists them).  When several apply, the first of 2, 3, 1 is the status.
constexpr int exitOk = 0;
constexpr int exitGoalFailed = 1;    // a goal (--require, the lesson's) not met; nothing else
constexpr int exitUsage = 2;         // refused: a bad option or setting, an invalid task file, a
                                     // frame out of range, outputs that would write over each
                                     // other or the task, a link the page would not read whole
constexpr int exitOutputFailed = 3;  // an output that cannot be made: pictures that cannot be
                                     // drawn, a file or standard output that cannot be written

// Runs `hybridsim-batch` with its command line; standard output and error
// are given as streams.  The X display for pictures is taken from $DISPLAY;
// it is opened only when --png or --frames asks for pictures.
int runBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace hybridsim

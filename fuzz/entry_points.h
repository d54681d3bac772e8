// What the fuzz targets run on one input, shared with the regression tests
// (tests/regressions), which replay every input that ever failed.
//
// Each entry point returns an empty string when the program behaved as it
// promises, and otherwise what went wrong.  Crashes, hangs and sanitizer
// reports are found by the fuzzer (and the sanitizer build) themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hybridsim::fuzz {

// Inputs longer than this are not run (libFuzzer's -max_len is set to it).
constexpr size_t maxInputBytes = 4096;

// The task-file reader on the bytes as file text: a refused file names the
// file in one line and leaves the settings untouched, an accepted one holds
// only values the model can take and derives and runs.
std::string taskFileInput(const uint8_t* data, size_t size);

// The start-up sequence and the first dialogue pass with the bytes as the
// console's input (a script: not a terminal), then, while input is left,
// at most `extraPasses` further passes, each entered with the next key that
// the window passes to the dialogue.  The settings must stay usable by the
// model whatever was typed.
constexpr int extraPasses = 2;
std::string consoleInput(const uint8_t* data, size_t size);

// Relative task-file names that the console input types are looked up in
// `dir`, which becomes the working directory; files that could block a read
// (terminals, pipes, devices, /proc) do not open (see sandbox.cpp).  False
// when `dir` cannot be entered.
bool enterFileSandbox(const char* dir);

}  // namespace hybridsim::fuzz

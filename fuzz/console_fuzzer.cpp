// libFuzzer target: the start-up sequence and the settings dialogue with
// arbitrary bytes as the console's input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!hybridsim::fuzz::enterFileSandbox(HYBRIDSIM_FUZZ_FILES)) {
        std::fprintf(stderr, "cannot enter the task-file folder %s\n", HYBRIDSIM_FUZZ_FILES);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = hybridsim::fuzz::consoleInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "console input: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

// libFuzzer target: the task-file reader on arbitrary bytes.
#include <cstdio>
#include <cstdlib>

#include "fuzz/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = hybridsim::fuzz::taskFileInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "task file input: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

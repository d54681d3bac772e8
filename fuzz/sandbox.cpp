// Keeps the fuzzed console from files that would block it.  The programs
// that link this are linked with -Wl,--wrap=fopen, so every fopen() of
// their own code comes here (the fuzzer's too: it writes its corpus and
// findings through it, which stay untouched).  A fuzzed file name such as
// /dev/stdin, a terminal, a named pipe or a file under /proc could
// otherwise wait for input that never comes; such names fail to open as a
// file that is not there would.  Relative names are looked up in the
// folder of task files that enterFileSandbox() makes the working directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/entry_points.h"

extern "C" std::FILE* __real_fopen(const char* path, const char* mode);

namespace {

bool under(const char* path, const char* folder)
{
    const size_t n = std::strlen(folder);
    return std::strncmp(path, folder, n) == 0 && (path[n] == '/' || path[n] == '\0');
}

// A file that may block or never end when read.
bool mayBlock(const char* path)
{
    struct stat st {};
    if (stat(path, &st) != 0) return false;  // not there: fopen() says so itself
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return true;
    char* real = realpath(path, nullptr);
    if (real == nullptr) return true;
    const bool system = under(real, "/proc") || under(real, "/sys") || under(real, "/dev");
    std::free(real);
    return system;
}

}  // namespace

extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode)
{
    if (path != nullptr && mayBlock(path)) {
        errno = ENOENT;
        return nullptr;
    }
    return __real_fopen(path, mode);
}

namespace hybridsim::fuzz {

bool enterFileSandbox(const char* dir)
{
    return chdir(dir) == 0;
}

}  // namespace hybridsim::fuzz

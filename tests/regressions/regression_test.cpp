// Replays every input kept under tests/regressions/<target>/ and the seed
// corpus under fuzz/corpus/<target>/ through the entry point of that fuzz
// target.  An input is kept here when it once made the target fail; it must
// pass from then on.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/entry_points.h"

namespace hybridsim::fuzz {
namespace {

// The regular files of a folder, sorted, without the notes (README*).
std::vector<std::string> inputsIn(const std::string& dir)
{
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind("README", 0) == 0 || name[0] == '.') continue;
            struct stat st {};
            if (stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string contentOf(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

using EntryPoint = std::string (*)(const uint8_t*, size_t);

// Runs each input of the target's two folders; returns how many ran.
size_t replay(const std::string& target, EntryPoint entry)
{
    size_t ran = 0;
    for (const std::string& dir : {std::string(HYBRIDSIM_REGRESSIONS) + "/" + target,
                                   std::string(HYBRIDSIM_FUZZ_DIR) + "/corpus/" + target}) {
        for (const std::string& path : inputsIn(dir)) {
            const std::string bytes = contentOf(path);
            const std::string problem = entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            EXPECT_EQ(problem, "") << path;
            ++ran;
        }
    }
    return ran;
}

TEST(FuzzRegressions, TaskFileInputsAreReadAsPromised)
{
    EXPECT_GT(replay("task_file", taskFileInput), 0u);
}

TEST(FuzzRegressions, ConsoleInputsLeaveUsableSettings)
{
    ASSERT_TRUE(enterFileSandbox(HYBRIDSIM_FUZZ_DIR "/files"));
    EXPECT_GT(replay("console", consoleInput), 0u);
}

}  // namespace
}  // namespace hybridsim::fuzz

// Helpers of the study-export tests: the built batch runner as a child
// process, the batch runner in this process, CSV tables, files and folders.
#pragma once

#include <string>
#include <vector>

namespace hybridsim::testing {

// What a program run gave.
struct Outcome {
    int status = -1;  // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

// How the child runs: environment changes and a file size limit.
struct ChildSetup {
    bool unsetDisplay = false;
    std::string display;             // DISPLAY for the child when not empty
    long long fileSizeLimit = -1;    // RLIMIT_FSIZE in bytes when >= 0 (SIGXFSZ as by default)
    std::string stdoutPath;          // standard output goes to this file when not empty
    bool stdoutAppends = false;      // ... added at its end (>>), not emptied first (>)
    std::vector<std::string> environment;  // NAME=VALUE set for the child (over what it inherits)
};

// Runs the built hybridsim-batch with `args`, standard input from /dev/null.
// Its output is collected unless `stdoutPath` sends it elsewhere.
Outcome runBatchProgram(const std::vector<std::string>& args, const ChildSetup& setup = {});

// Runs runBatch in this process.
Outcome runBatchHere(const std::vector<std::string>& args);

// A task file of the study tests' data folder.
std::string studyTask(const char* name);

// A new empty folder under the test's temporary folder; removed with its
// files by removeTree.
std::string makeTempFolder();
void removeTree(const std::string& path);

bool exists(const std::string& path);
std::string readFile(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> folderEntries(const std::string& dir);
// The lines of a text.
std::vector<std::string> textLines(const std::string& text);

// A CSV text with a header line: the header's names and each row's numbers.
struct CsvTable {
    std::vector<std::string> names;
    std::vector<std::vector<double>> rows;
    // the column of a name; fails the test and gives -1 when absent
    int column(const std::string& name) const;
    double at(std::size_t row, const std::string& name) const;
};
CsvTable parseCsv(const std::string& text);

// What is wrong with an SVG text as a picture: an element's coordinates or
// sizes (x, y, x1 .. y2, cx, cy, r, width, height, a path's d, a
// transform, the viewBox) that hold anything but finite numbers, "nan" or
// "inf" in any attribute, or elements that do not close in order.  Empty
// when nothing is.
std::string svgFaults(const std::string& svg);

}  // namespace hybridsim::testing

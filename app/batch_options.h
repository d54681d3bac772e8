// The batch runner's command line: what it asks for, read from the
// arguments with every mistake said in one line that names the option.
#pragma once

#include <string>
#include <vector>

#include "app/batch_task.h"
#include "app/sweep.h"
#include "study/goals.h"

namespace hybridsim {

struct BatchOptions {
    std::string taskFile;                // the first task file given; empty: none
    std::vector<std::string> taskFiles;  // every task file given (several only with --lesson: each graded)
    std::vector<std::string> compareFiles;  // --compare TASKFILE, in the order given (at most pinCapacity)
    std::vector<Setting> sets;  // --set NAME=VALUE, in the order given
    std::string writeTaskPath;  // --write-task FILE; empty: none
    std::vector<SweepAxis> sweeps;  // --sweep: none, one, or two (a grid)
    int jobs = 0;                   // --jobs N; 0: one per processor
    std::string plotPath;           // --plot FILE.svg; empty: none
    std::string csvPath;  // empty: no CSV, "-": standard output
    bool report = false;
    bool summary = false;
    bool summaryCsv = false;
    std::string pngPath;  // empty: no picture
    long frame = 0;
    bool frameGiven = false;
    std::string framesDir;  // empty: no frame sequence
    std::string gifPath;    // --gif FILE; empty: no animation
    double zoom = 1.0;
    bool overlay = false;  // --overlay: the teaching overlay in the pictures (or in the link)
    bool loops = false;    // --loops: the control loops' poles
    std::vector<Goal> goals;  // --require 'NAME OP VALUE', in the order given
    int lesson = 0;           // --lesson N: built-in lesson N (1, 2, ...); 0: none
    std::string lessonFile;   // --lesson FILE[:N]: a lesson file; empty: none
    int lessonIndex = 0;      // its lesson N (1, 2, ...; 1 when not given)
    bool goalsJson = false;   // --goals-format json: the goals' results as one JSON document
    std::string junitPath;    // --junit FILE: the goals as a JUnit XML report; empty: none
    bool link = false;     // --link [BASE]: the link of the task to standard output
    std::string linkBase;  // BASE; empty: the fragment alone
    bool help = false;

    bool pictures() const { return !pngPath.empty() || !framesDir.empty() || !gifPath.empty(); }
    bool sweep() const { return !sweeps.empty(); }
    bool compare() const { return !compareFiles.empty(); }
    bool lessonGiven() const { return lesson > 0 || !lessonFile.empty(); }
    // several task files, each graded on the lesson's goals
    bool grading() const { return taskFiles.size() > 1; }
};

// Reads the command line into `o` by the table of options
// (app/batch_option_table.h); on a mistake fills `error` with one line
// (without the program's name) and returns false.
bool parseBatchOptions(int argc, const char* const* argv, BatchOptions& o, std::string& error);

}  // namespace hybridsim

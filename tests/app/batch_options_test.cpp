// The new options of the batch runner refused when wrong, and what works
// without any display.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/batch_option_table.h"
#include "app/batch_options.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

using testing::exists;
using testing::Outcome;
using testing::runBatchHere;
using testing::runBatchProgram;
using testing::textLines;

TEST(StudyOptions, MistakesGiveOneLineStatus2Or3AndWriteNothing)
{
    const std::string dir = testing::makeTempFolder();
    const std::string png = dir + "/picture.png";
    const std::string frames = dir + "/frames";
    const std::string plainFile = dir + "/plain.txt";
    std::ofstream(plainFile) << "not a folder\n";
    const struct {
        std::vector<std::string> args;
        std::string expect;
        int status = exitUsage;  // exitOutputFailed: an output that cannot be made
    } cases[] = {
        // frames outside the run, and numbers that are no frame
        {{"--png", png, "--frame", "-1"}, "--frame -1 is out of range: the run has frames 0..200"},
        {{"--png", png, "--frame", "201"}, "--frame 201 is out of range: the run has frames 0..200"},
        {{"--png", png, "--frame", "1.5"}, "--frame needs a whole number (got '1.5')"},
        {{"--png", png, "--frame", " 3"}, "--frame needs a whole number"},
        {{"--png", png, "--frame", "99999999999999999999"}, "--frame needs a whole number"},
        {{"--png", png, "--frame"}, "--frame needs a frame number"},
        {{"--frame", "3"}, "--frame goes with --png FILE"},
        {{"--png"}, "--png needs a file name"},
        {{"--png", "-"}, "standard output ('-') is not supported"},
        // zoom: finite and positive, and only for pictures
        {{"--png", png, "--zoom", "0"}, "--zoom needs a finite number greater than 0 (got '0')"},
        {{"--png", png, "--zoom", "-0.5"}, "--zoom needs a finite number greater than 0"},
        {{"--png", png, "--zoom", "nan"}, "--zoom needs a finite number greater than 0"},
        {{"--png", png, "--zoom", "inf"}, "--zoom needs a finite number greater than 0"},
        {{"--png", png, "--zoom", "1,5"}, "--zoom needs a finite number greater than 0"},
        {{"--zoom", "0.9"}, "--zoom goes with --png, --frames or --gif"},
        {{"--overlay", "--csv", "-"}, "--overlay goes with --png, --frames, --gif or --link"},
        // the summary's format
        {{"--summary", "--format", "xml"}, "--format needs 'csv' or 'text' (got 'xml')"},
        {{"--format", "csv"}, "--format goes with --summary or --loops"},
        // goals: a figure of the summary's CSV, one of four comparisons, a finite number
        {{"--require", "overshot_pct < 5"}, "--require 'overshot_pct < 5': unknown figure 'overshot_pct'; the "
                                            "figures are seterror_m, Fn_N, samples,"},
        {{"--require", "robot < 5"}, "unknown figure 'robot'"},
        {{"--require", "< 5"}, "--require '< 5': no figure named; the figures are"},
        {{"--require", "overshoot_pct = 5"}, "--require needs NAME OP VALUE with OP one of <, <=, >, >= (got "
                                             "'overshoot_pct = 5')"},
        {{"--require", "overshoot_pct <> 5"}, "the operator must be one of <, <=, >, >="},
        {{"--require", "overshoot_pct < five"}, "--require 'overshoot_pct < five': the value must be a finite number"},
        {{"--require", "overshoot_pct < inf"}, "the value must be a finite number"},
        {{"--require"}, "--require needs a goal 'NAME OP VALUE'"},
        // outputs that cannot be made: status 3
        {{"--png", "/nonexistent-dir/picture.png"}, "cannot write '/nonexistent-dir/picture.png'", exitOutputFailed},
        {{"--png", dir}, "it is a folder", exitOutputFailed},
        {{"--png", plainFile + "/picture.png"}, "Not a directory", exitOutputFailed},
        {{"--frames", plainFile}, "it is not a folder", exitOutputFailed},
        {{"--frames", "/nonexistent-dir/frames"}, "cannot make the folder '/nonexistent-dir/frames'", exitOutputFailed},
        {{"--csv", "/dev/null"}, "it exists and is not a regular file", exitOutputFailed},
        {{"--summary", "--csv", "/nonexistent-dir/run.csv"}, "cannot write '/nonexistent-dir/run.csv'", exitOutputFailed},
        // an option where a value belongs: the value was forgotten
        {{"--write-task", "--csv"}, "--write-task needs a file name (got the option '--csv')"},
        {{"--csv", "--summary"}, "--csv needs a file name or '-' (got the option '--summary')"},
        {{"--png", "--frames", dir}, "--png needs a file name (got the option '--frames')"},
        {{"--plot", "--help"}, "--plot needs a file name ending in .svg (got the option '--help')"},
        // compared tasks: read like the task file, with outputs that compare
        {{"--compare"}, "--compare needs a task file"},
        {{"--compare", "--summary"}, "--compare needs a task file (got the option '--summary')"},
        {{"--compare", plainFile, "--summary"}, "--compare " + plainFile + ": token 1 'not': expected one character "
                                                "for the robot type (a or b)"},
        {{"--compare", dir + "/none.dat", "--summary"}, "--compare " + dir + "/none.dat: cannot open: No such file"},
        {{"--compare", dir, "--png", png}, "--compare " + dir + ": is a directory, not a robot data file"},
        {{"--compare", plainFile}, "--compare needs an output that compares: --summary, --png, --frames, --gif or --plot"},
        {{"--compare", plainFile, "--write-task", dir + "/t.dat"}, "--compare needs an output that compares"},
        {{"--compare", plainFile, "--summary", "--csv", "-"}, "--csv does not go with --compare (the CSV holds the "
                                                              "samples of one run)"},
        {{"--compare", plainFile, "--summary", "--report"}, "--report does not go with --compare"},
        {{"--compare", plainFile, "--sweep", "fn2=1,2"}, "--sweep does not go with --compare"},
        // the link is printed alone
        {{"--link", "--summary"}, "--summary does not go with --link (it prints the link alone; --frame, --overlay, "
                                  "--require and --compare go into the link)"},
        {{"--link", "--write-task", dir + "/t.dat"}, "--write-task does not go with --link"},
        {{"--link", "https://x/", "--png", png}, "--png does not go with --link"},
        {{"--link", "--sweep", "fn2=1,2"}, "--sweep does not go with --link"},
        {{"--link", "--zoom", "2"}, "--zoom does not go with --link"},
        {{"--link", "--jobs", "2"}, "--jobs does not go with --link"},
        {{"--link", "--frame", "x"}, "--frame needs a whole number (got 'x')"},
        {{"--link", "--frame", "-1"}, "--frame -1 is out of range: the run has frames 0..200"},
        {{"--link", "--link"}, "--link is given more than once"},
        {{"--link", dir + "/none.dat"}, dir + "/none.dat: cannot open: No such file"},
        {{"--compare", "a", "--compare", "b", "--compare", "c", "--compare", "d", "--compare", "e", "--summary"},
         "--compare is given more than 4 times; at most 4 runs are compared with the main run"},
    };
    for (const auto& c : cases) {
        const Outcome r = runBatchHere(c.args);
        EXPECT_EQ(r.status, c.status) << c.expect;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        EXPECT_EQ(textLines(r.err).size(), 1u) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.expect;
    }
    // nothing was made, and the plain file is as it was
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"plain.txt"});
    EXPECT_EQ(testing::readFile(plainFile), "not a folder\n");
    testing::removeTree(dir);
}

// Output that does not reach its file is a failure, said in one line with
// status 3: standard output on a full device, a file past the file-size
// limit (which would end the program by SIGXFSZ and leave a temporary file).
// The goals are still checked: their lines are all that standard output gets.
TEST(StudyOptions, OutputThatCannotBeWrittenFailsAndSaysWhy)
{
    testing::ChildSetup full;
    full.stdoutPath = "/dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--csv", "-"}, {"--report"}, {"--summary"}, {"--help"},
          {"--require", "overshoot_pct < 1"}}) {
        const Outcome r = runBatchProgram(args, full);
        EXPECT_EQ(r.status, exitOutputFailed) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.err, "hybridsim-batch: cannot write to standard output: No space left on device\n");
    }

    const std::string dir = testing::makeTempFolder();
    testing::ChildSetup limited;
    limited.fileSizeLimit = 20 * 1024;  // the CSV is about 50 KB
    const Outcome big = runBatchProgram({"--csv", dir + "/big.csv"}, limited);
    EXPECT_EQ(big.status, exitOutputFailed) << big.err;
    EXPECT_EQ(big.err, "hybridsim-batch: cannot write '" + dir + "/big.csv': File too large\n");
    EXPECT_TRUE(testing::folderEntries(dir).empty()) << "a temporary file was left behind";
    const Outcome small = runBatchProgram({"--summary", "--csv", dir + "/big.csv"}, limited);
    EXPECT_EQ(small.status, exitOutputFailed);
    EXPECT_TRUE(small.out.empty()) << small.out;
    // the goals are checked all the same, a failing one too: status 3 all
    // the same, the goal lines the only output
    for (const auto& [goal, line] : {std::pair{"overshoot_pct < 5", "pass  overshoot_pct = 2.55565 < 5"},
                                     std::pair{"overshoot_pct < 1", "FAIL  overshoot_pct = 2.55565 < 1"}}) {
        const Outcome goals = runBatchProgram({"--summary", "--csv", dir + "/big.csv", "--require", goal,
                                               "--require", "settling_t_s < 1"}, limited);
        EXPECT_EQ(goals.status, exitOutputFailed) << goal;
        EXPECT_EQ(goals.err, big.err);
        EXPECT_EQ(goals.out, std::string(line) + "\npass  settling_t_s = 0.252874 < 1\n");
        EXPECT_TRUE(testing::folderEntries(dir).empty());
    }
    const Outcome fine = runBatchProgram({"--summary"}, limited);
    EXPECT_EQ(fine.status, exitOk) << fine.err;

    // the outputs of one command are all or nothing: the task file, which
    // fits, is not written when the CSV does not
    const Outcome both = runBatchProgram({"--write-task", dir + "/a.dat", "--csv", dir + "/big.csv"}, limited);
    EXPECT_EQ(both.status, exitOutputFailed);
    EXPECT_EQ(both.err, "hybridsim-batch: cannot write '" + dir + "/big.csv': File too large\n");
    EXPECT_TRUE(testing::folderEntries(dir).empty()) << "an output of a failed command was written";
    // ... and one there before stays as it was
    std::ofstream(dir + "/a.dat") << "old\n";
    runBatchProgram({"--write-task", dir + "/a.dat", "--plot", dir + "/p.svg", "--csv", dir + "/big.csv"}, limited);
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"a.dat"});
    EXPECT_EQ(testing::readFile(dir + "/a.dat"), "old\n");
    // a sweep whose table does not reach standard output writes neither its
    // task file nor its plot
    const Outcome sweep = runBatchProgram({"--sweep", "fn2=5:40:400", "--write-task", dir + "/a.dat", "--plot",
                                           dir + "/p.svg"}, full);
    EXPECT_EQ(sweep.status, exitOutputFailed);
    EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"a.dat"});
    EXPECT_EQ(testing::readFile(dir + "/a.dat"), "old\n");
    testing::removeTree(dir);
}

// No output may land in another's file, in the task file read (but for
// --write-task: an edit in place), nor in the file standard output goes
// to: refused before anything is computed, with one line naming both, and
// every file as it was.
TEST(StudyOptions, OutputsThatWouldWriteOverEachOtherOrTheTaskAreRefused)
{
    const std::string dir = testing::makeTempFolder();
    const std::string task = dir + "/task.dat";
    ASSERT_EQ(runBatchHere({"--write-task", task}).status, exitOk);
    const std::string taskText = testing::readFile(task);
    ASSERT_EQ(link(task.c_str(), (dir + "/hard.dat").c_str()), 0);
    ASSERT_EQ(symlink("task.dat", (dir + "/soft.dat").c_str()), 0);
    ASSERT_EQ(mkdir((dir + "/frames").c_str(), 0755), 0);
    const std::string out = dir + "/out.txt";
    const struct {
        std::vector<std::string> args;
        std::string line;
        std::string stdoutTo;  // standard output added to this file (it may be the task file); "": none
    } cases[] = {
        {{"--csv", dir + "/x.csv", "--write-task", dir + "/x.csv"},
         "--write-task '" + dir + "/x.csv' and --csv '" + dir + "/x.csv' are the same file; each output needs a "
                                                               "file of its own", ""},
        {{"--csv", dir + "/./y.svg", "--plot", dir + "/frames/../y.svg"},
         "--csv '" + dir + "/./y.svg' and --plot '" + dir + "/frames/../y.svg' are the same file; each output needs "
                                                            "a file of its own", ""},
        {{"--png", dir + "/frames/frame_200.png", "--frames", dir + "/frames/"},
         "--png '" + dir + "/frames/frame_200.png' and the frame '" + dir + "/frames/frame_200.png' of --frames are "
                                                                           "the same file; each output needs a file "
                                                                           "of its own", ""},
        {{"--csv", dir + "/frames", "--frames", dir + "/frames"},
         "--csv '" + dir + "/frames' and --frames '" + dir + "/frames' are the same file; each output needs a "
                                                               "file of its own", ""},
        {{task, "--csv", task}, "--csv '" + task + "' is the task file read; only --write-task may write over it", ""},
        {{task, "--plot", dir + "/soft.dat.svg", "--csv", dir + "/hard.dat"},
         "--csv '" + dir + "/hard.dat' is the task file read; only --write-task may write over it", ""},
        {{dir + "/soft.dat", "--write-task", dir + "/a.dat", "--csv", task},
         "--csv '" + task + "' is the task file read; only --write-task may write over it", ""},
        // standard output into a file that another output names, or the task file
        {{"--sweep", "fn2=1,2", "--write-task", "/dev/stdout"},
         "--write-task '/dev/stdout' is the file that standard output goes to; standard output and each output "
         "need a file of their own",
         out},
        {{"--summary", "--csv", dir + "/out.txt"},
         "--csv '" + dir + "/out.txt' is the file that standard output goes to; standard output and each output need "
                           "a file of their own",
         out},
        {{task, "--report"}, "standard output goes to the task file read '" + task + "'; only --write-task may write over it",
         task},
        // a task compared is read by no output, not even --write-task
        {{"--compare", task, "--png", dir + "/hard.dat"},
         "--png '" + dir + "/hard.dat' is the task file read by --compare '" + task + "'; no output may write over it",
         ""},
        {{task, "--compare", dir + "/soft.dat", "--summary", "--write-task", task},
         "--write-task '" + task + "' is the task file read by --compare '" + dir + "/soft.dat'; no output may write "
                                   "over it",
         ""},
        {{"--compare", task, "--summary"},
         "standard output goes to the task file read by --compare '" + task + "'; no output may write over it", task},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        testing::ChildSetup setup;
        setup.stdoutPath = c.stdoutTo;
        setup.stdoutAppends = true;
        const Outcome r = runBatchProgram(c.args, setup);
        EXPECT_EQ(r.status, exitUsage);
        EXPECT_EQ(r.err, "hybridsim-batch: " + c.line + "\n");
        EXPECT_EQ(testing::readFile(task), taskText);
        if (c.stdoutTo == out) {
            EXPECT_EQ(testing::readFile(out), "");
            testing::removeTree(out);
        }
        EXPECT_EQ(testing::folderEntries(dir),
                  (std::vector<std::string>{"frames", "hard.dat", "soft.dat", "task.dat"}));
    }

    // taken: the task file written over by --write-task (an edit in place),
    // also through its link; a file named by a link to standard output when
    // the command writes nothing there
    const Outcome edit = runBatchHere({dir + "/soft.dat", "--set", "Fn=12", "--write-task", task, "--summary"});
    EXPECT_EQ(edit.status, exitOk) << edit.err;
    EXPECT_EQ(textLines(testing::readFile(task)).back(), "12");
    testing::ChildSetup toOut;
    toOut.stdoutPath = out;
    const Outcome through = runBatchProgram({task, "--write-task", "/dev/stdout"}, toOut);
    EXPECT_EQ(through.status, exitOk) << through.err;
    EXPECT_EQ(testing::readFile(out), testing::readFile(task));
    testing::removeTree(dir);
}

// An output option given twice would silently write only the second.
TEST(StudyOptions, AnOptionGivenTwiceIsRefused)
{
    const std::string dir = testing::makeTempFolder();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--csv", dir + "/a.csv", "--csv", dir + "/b.csv"},
          {"--png", dir + "/a.png", "--png", dir + "/b.png"},
          {"--summary", "--format", "csv", "--format", "text"},
          {"--report", "--report"}}) {
        const Outcome r = runBatchHere(args);
        EXPECT_EQ(r.status, exitUsage);
        EXPECT_EQ(r.err, "hybridsim-batch: " + args[args.size() - (args.back()[0] == '-' ? 1 : 2)] +
                             " is given more than once (see --help)\n");
    }
    EXPECT_TRUE(testing::folderEntries(dir).empty());
    testing::removeTree(dir);
}

// Writing over a file keeps what the user set up around it: its permission
// bits, and a symbolic link in its place (the file it points to is written).
TEST(StudyOptions, AReplacedFileKeepsItsModeAndItsLink)
{
    const std::string dir = testing::makeTempFolder();
    const std::string kept = dir + "/kept.csv";
    std::ofstream(kept) << "old\n";
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    ASSERT_EQ(runBatchHere({"--csv", kept}).status, exitOk);
    struct stat st;
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(textLines(testing::readFile(kept)).size(), 202u);

    // a link, and a link to a link, to a file in another folder
    const std::string other = testing::makeTempFolder();
    const std::string target = other + "/target.csv";
    std::ofstream(target) << "old\n";
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(symlink(target.c_str(), (dir + "/link.csv").c_str()), 0);
    ASSERT_EQ(symlink("link.csv", (dir + "/link2.csv").c_str()), 0);
    ASSERT_EQ(runBatchHere({"--csv", dir + "/link2.csv", "--summary"}).status, exitOk);
    struct stat ls;
    ASSERT_EQ(lstat((dir + "/link2.csv").c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
    ASSERT_EQ(lstat((dir + "/link.csv").c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
    EXPECT_EQ(textLines(testing::readFile(target)).size(), 202u);
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(testing::folderEntries(other), std::vector<std::string>{"target.csv"});
    // a link that points nowhere yet is written through as well
    ASSERT_EQ(symlink((other + "/new.csv").c_str(), (dir + "/dangling.csv").c_str()), 0);
    ASSERT_EQ(runBatchHere({"--csv", dir + "/dangling.csv"}).status, exitOk);
    EXPECT_EQ(textLines(testing::readFile(other + "/new.csv")).size(), 202u);
    // a link to a folder is no file to write
    ASSERT_EQ(symlink(other.c_str(), (dir + "/folder.csv").c_str()), 0);
    const Outcome r = runBatchHere({"--csv", dir + "/folder.csv"});
    EXPECT_EQ(r.status, exitOutputFailed);
    EXPECT_NE(r.err.find("it is a folder"), std::string::npos) << r.err;
    testing::removeTree(dir);
    testing::removeTree(other);
}

TEST(StudyOptions, HelpNamesTheNewOptions)
{
    const Outcome r = runBatchHere({"--help"});
    EXPECT_EQ(r.status, exitOk);
    for (const char* o : {"--png", "--frame N", "--frames", "--gif FILE", "EGL", "HYBRIDSIM_PICTURES", "--zoom",
                          "--summary", "--format csv", "xvfb-run", "--compare TASKFILE", "--link [BASE]",
                          "Exit status:", "    1  a goal", "    3  an output could not be made"})
        EXPECT_NE(r.out.find(o), std::string::npos) << o;
}

// Every option of the table is read into its own field (with what it goes
// with), and --help names it (but the alias -h): as a word, with its
// paragraph when it has one.
TEST(StudyOptions, EveryOptionOfTheTableIsReadAndInTheHelp)
{
    struct Expected {
        std::vector<std::string> args;  // the option, its value, what it goes with
        std::function<bool(const BatchOptions&)> read;
    };
    const std::map<std::string, Expected> expected = {
        {"--set", {{"--set", "Fn=12"}, [](const BatchOptions& o) { return o.sets.size() == 1 && o.sets[0].value == "12"; }}},
        {"--write-task", {{"--write-task", "t.dat"}, [](const BatchOptions& o) { return o.writeTaskPath == "t.dat"; }}},
        {"--csv", {{"--csv", "r.csv"}, [](const BatchOptions& o) { return o.csvPath == "r.csv"; }}},
        {"--report", {{"--report"}, [](const BatchOptions& o) { return o.report && o.csvPath.empty(); }}},
        {"--summary", {{"--summary"}, [](const BatchOptions& o) { return o.summary && o.csvPath.empty(); }}},
        {"--png", {{"--png", "p.png"}, [](const BatchOptions& o) { return o.pngPath == "p.png"; }}},
        {"--frames", {{"--frames", "d"}, [](const BatchOptions& o) { return o.framesDir == "d"; }}},
        {"--gif", {{"--gif", "g.gif"}, [](const BatchOptions& o) { return o.gifPath == "g.gif"; }}},
        {"--frame", {{"--frame", "7", "--png", "p.png"}, [](const BatchOptions& o) { return o.frameGiven && o.frame == 7; }}},
        {"--zoom", {{"--zoom", "2", "--png", "p.png"}, [](const BatchOptions& o) { return o.zoom == 2.0; }}},
        {"--overlay", {{"--overlay", "--png", "p.png"}, [](const BatchOptions& o) { return o.overlay; }}},
        {"--format", {{"--format", "csv", "--summary"}, [](const BatchOptions& o) { return o.summaryCsv; }}},
        {"--sweep", {{"--sweep", "fn2=1,2"}, [](const BatchOptions& o) { return o.sweeps.size() == 1; }}},
        {"--jobs", {{"--jobs", "3", "--sweep", "fn2=1,2"}, [](const BatchOptions& o) { return o.jobs == 3; }}},
        {"--plot", {{"--plot", "p.svg"}, [](const BatchOptions& o) { return o.plotPath == "p.svg"; }}},
        {"--compare", {{"--compare", "b.dat", "--summary"}, [](const BatchOptions& o) { return o.compare(); }}},
        {"--loops", {{"--loops"}, [](const BatchOptions& o) { return o.loops && o.csvPath.empty(); }}},
        {"--require", {{"--require", "Fn_N > 1"}, [](const BatchOptions& o) { return o.goals.size() == 1; }}},
        {"--lesson", {{"--lesson", "1"}, [](const BatchOptions& o) { return o.lesson == 1; }}},
        {"--goals-format", {{"--goals-format", "json", "--lesson", "1"}, [](const BatchOptions& o) { return o.goalsJson; }}},
        {"--junit", {{"--junit", "g.xml", "--require", "Fn_N > 1"}, [](const BatchOptions& o) { return o.junitPath == "g.xml"; }}},
        {"--link", {{"--link", "https://h/i.html"}, [](const BatchOptions& o) { return o.link && o.linkBase == "https://h/i.html"; }}},
        {"--help", {{"--help"}, [](const BatchOptions& o) { return o.help; }}},
        {"-h", {{"-h"}, [](const BatchOptions& o) { return o.help; }}},
    };
    const Outcome help = runBatchHere({"--help"});
    ASSERT_EQ(help.out, batchUsage());
    const std::vector<std::string> lines = textLines(help.out);
    std::size_t rows = 0;
    for (const BatchOption& row : batchOptionTable())
        for (const char* name : {row.name, row.alias}) {
            if (name == nullptr) continue;
            ++rows;
            const auto e = expected.find(name);
            ASSERT_NE(e, expected.end()) << name << " has no case here";
            std::vector<const char*> argv{"hybridsim-batch"};
            for (const std::string& a : e->second.args) argv.push_back(a.c_str());
            BatchOptions o;
            std::string error;
            EXPECT_TRUE(parseBatchOptions(static_cast<int>(argv.size()), argv.data(), o, error)) << name << ": " << error;
            EXPECT_TRUE(e->second.read(o)) << name;
            if (name != row.name) continue;  // (--help does not name -h)
            // --help names it as a word ("--frame" not inside "--frames")
            EXPECT_TRUE(std::regex_search(help.out, std::regex("(^|[^-a-z])" + std::string(name) + "($|[^-a-z])")))
                << name;
            if (row.head == nullptr) continue;
            const std::string head = std::string("  ") + row.head + "  ";
            bool found = false;
            for (const std::string& line : lines) found = found || line.compare(0, head.size(), head) == 0;
            EXPECT_TRUE(found) << head;
        }
    EXPECT_EQ(rows, expected.size());
}

// The built program without a display: pictures that must go through GLX
// (HYBRIDSIM_PICTURES=glx, or an EGL that cannot be loaded) fail with one
// line and status 1 and leave nothing behind; the other outputs load no
// graphics library at all (LD_DEBUG=libs lists what the loader loads), so
// even a display name that leads nowhere does not matter.
TEST(StudyOptions, WithoutADisplayPicturesFailAndTheRestWorks)
{
    const std::string dir = testing::makeTempFolder();
    // an EGL library that cannot be loaded: an empty file in its place
    const std::string brokenEgl = dir + "/broken-egl";
    ASSERT_EQ(mkdir(brokenEgl.c_str(), 0755), 0);
    std::ofstream(brokenEgl + "/libEGL.so.1").flush();
    testing::ChildSetup noDisplay;
    noDisplay.unsetDisplay = true;
    noDisplay.environment = {"HYBRIDSIM_PICTURES=glx"};
    testing::ChildSetup deadDisplay;
    deadDisplay.display = ":65432";
    deadDisplay.environment = {"HYBRIDSIM_PICTURES=glx"};
    testing::ChildSetup noEgl;
    noEgl.unsetDisplay = true;
    noEgl.environment = {"LD_LIBRARY_PATH=" + brokenEgl};

    for (const auto* setup : {&noDisplay, &deadDisplay, &noEgl}) {
        const bool broken = setup == &noEgl;
        SCOPED_TRACE(broken ? "EGL broken, DISPLAY unset"
                            : setup->display.empty() ? "DISPLAY unset" : "DISPLAY=" + setup->display);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--png", dir + "/a.png"},
              std::vector<std::string>{"--frames", dir + "/frames", "--summary"},
              std::vector<std::string>{"--gif", dir + "/a.gif", "--overlay"}}) {
            const Outcome r = runBatchProgram(args, *setup);
            EXPECT_EQ(r.status, exitOutputFailed) << r.err;
            ASSERT_EQ(textLines(r.err).size(), 1u) << r.err;
            EXPECT_NE(r.err.find("xvfb-run"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(setup->display.empty() ? "DISPLAY is not set"
                                                        : "the X display ':65432' cannot be opened"),
                      std::string::npos)
                << r.err;
            // each way tried, and why it could not draw
            EXPECT_EQ(r.err.find("through EGL: the picture module cannot be loaded") != std::string::npos, broken)
                << r.err;
            EXPECT_TRUE(r.out.empty());
        }
        // the goals are checked all the same: their lines, and status 3 whether they pass or not
        for (const auto& [goal, line] : {std::pair{"overshoot_pct < 5", "pass  overshoot_pct = 2.55565 < 5"},
                                         std::pair{"overshoot_pct < 1", "FAIL  overshoot_pct = 2.55565 < 1"}}) {
            const Outcome r = runBatchProgram({"--png", dir + "/a.png", "--summary", "--require", goal}, *setup);
            EXPECT_EQ(r.status, exitOutputFailed) << r.err;
            EXPECT_EQ(r.out, std::string(line) + "\n");
            EXPECT_NE(r.err.find("cannot draw pictures"), std::string::npos) << r.err;
        }
        EXPECT_EQ(testing::folderEntries(dir), std::vector<std::string>{"broken-egl"});

        const Outcome summary = runBatchProgram({"--summary", "--report", "--csv", dir + "/run.csv"}, *setup);
        EXPECT_EQ(summary.status, exitOk) << summary.err;
        EXPECT_TRUE(summary.err.empty()) << summary.err;
        EXPECT_NE(summary.out.find("largest |posErr|"), std::string::npos);
        EXPECT_EQ(textLines(testing::readFile(dir + "/run.csv")).size(), 202u);
        const Outcome csv = runBatchProgram({}, *setup);
        EXPECT_EQ(csv.status, exitOk) << csv.err;
        EXPECT_EQ(textLines(csv.out).size(), 202u);
        testing::removeTree(dir + "/run.csv");
    }
    // a choice of way that is none of them: a mistake of the set-up, refused
    // before anything is computed, with the values it takes and no display advice
    testing::ChildSetup unknown;
    unknown.unsetDisplay = true;
    unknown.environment = {"HYBRIDSIM_PICTURES=vulkan"};
    const Outcome refused = runBatchProgram({"--png", dir + "/a.png", "--require", "overshoot_pct < 5"}, unknown);
    EXPECT_EQ(refused.status, exitUsage);
    EXPECT_EQ(refused.err, "hybridsim-batch: HYBRIDSIM_PICTURES must be egl, glx or auto (got 'vulkan'); unset or "
                           "empty it is auto: EGL, then GLX\n");
    EXPECT_TRUE(refused.out.empty());
    // ... and never looked at where no picture is asked for
    EXPECT_EQ(runBatchProgram({"--summary"}, unknown).status, exitOk);

    // what the loader loads: for the numbers, nothing of X or OpenGL; for a
    // picture, the EGL module and its libraries (so that the listing is seen
    // to show them)
    const char* const graphics[] = {"libGL.so", "libGLX", "libEGL", "libOpenGL", "libX11", "libglut",
                                    "libxcb", "hybridsim-pictures"};
    testing::ChildSetup listed;
    listed.unsetDisplay = true;
    listed.environment = {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + dir + "/loaded"};
    auto loaded = [&](const std::vector<std::string>& args) {
        for (const std::string& name : testing::folderEntries(dir))
            if (name.rfind("loaded", 0) == 0) testing::removeTree(dir + "/" + name);
        const Outcome r = runBatchProgram(args, listed);
        EXPECT_EQ(r.status, exitOk) << r.err;
        std::string all;
        for (const std::string& name : testing::folderEntries(dir))
            if (name.rfind("loaded", 0) == 0) all += testing::readFile(dir + "/" + name);
        EXPECT_NE(all.find("calling init: "), std::string::npos) << "LD_DEBUG listed nothing";
        return all;
    };
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--summary"}, std::vector<std::string>{"--csv", dir + "/run.csv"},
          std::vector<std::string>{"--report", "--summary", "--format", "csv"}}) {
        SCOPED_TRACE(args[0]);
        const std::string libs = loaded(args);
        for (const char* g : graphics) EXPECT_EQ(libs.find(g), std::string::npos) << g << " loaded";
    }
    const std::string drawing = loaded({"--png", dir + "/a.png"});
    for (const char* g : {"hybridsim-pictures-egl.so", "libEGL", "libOpenGL"})
        EXPECT_NE(drawing.find(g), std::string::npos) << g << " not loaded for a picture";
    EXPECT_EQ(drawing.find("hybridsim-pictures-glx.so"), std::string::npos);
    testing::removeTree(dir);
}

}  // namespace
}  // namespace hybridsim

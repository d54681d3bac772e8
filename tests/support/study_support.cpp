#include "study_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/batch.h"

namespace hybridsim::testing {

namespace {
// Seconds one run of the batch runner may take before it counts as hung: a
// few at most alone, but 201 frames under the sanitizers on a busy 2-core
// machine took over 50 s once (the test's own time limit is 300 s).
constexpr int batchDeadline = 120;
}  // namespace

Outcome runBatchProgram(const std::vector<std::string>& args, const ChildSetup& setup)
{
    Outcome o;
    const std::string folder = makeTempFolder();
    const std::string outPath = folder + "/out";
    const std::string errPath = folder + "/err";
    std::vector<std::string> all{HYBRIDSIM_BATCH_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    // the child's environment is made here: between fork and exec a child
    // of a process with threads (the renderer's) may only make plain calls
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string var = *e;
        if (var.rfind("DISPLAY=", 0) == 0 && (setup.unsetDisplay || !setup.display.empty()))
            continue;
        const std::string name = var.substr(0, var.find('=') + 1);
        if (std::any_of(setup.environment.begin(), setup.environment.end(),
                        [&](const std::string& e) { return e.rfind(name, 0) == 0; }))
            continue;
        env.push_back(var);
    }
    env.insert(env.end(), setup.environment.begin(), setup.environment.end());
    if (!setup.display.empty()) env.push_back("DISPLAY=" + setup.display);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const std::string& outTo = setup.stdoutPath.empty() ? outPath : setup.stdoutPath;
        const int out = open(outTo.c_str(), O_WRONLY | O_CREAT | (setup.stdoutAppends ? O_APPEND : O_TRUNC), 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (setup.fileSizeLimit >= 0) {
            // the signal as a shell leaves it: the program must take it out of
            // the way itself, or a write past the limit ends it
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit),
                               static_cast<rlim_t>(setup.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) {
        ADD_FAILURE() << "cannot fork";
        return o;
    }
    // the program's end, within a deadline: one that hangs is killed and fails
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(batchDeadline);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "hybridsim-batch did not end within " << batchDeadline << " s";
            break;
        }
        usleep(10000);
    }
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.out = readFile(outPath);
    o.err = readFile(errPath);
    removeTree(folder);
    return o;
}

Outcome runBatchHere(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"hybridsim-batch"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& a : all) argv.push_back(a.c_str());
    std::ostringstream out, err;
    Outcome o;
    o.status = runBatch(static_cast<int>(argv.size()), argv.data(), out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

std::string studyTask(const char* name) { return std::string(STUDY_TEST_DATA) + "/" + name; }

std::string makeTempFolder()
{
    std::string pattern = ::testing::TempDir() + "hybridsim_study_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder";
        return ::testing::TempDir();
    }
    return pattern;
}

void removeTree(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const std::string& name : folderEntries(path)) removeTree(path + "/" + name);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream text;
    text << f.rdbuf();
    return text.str();
}

std::vector<std::string> folderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> textLines(const std::string& text)
{
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

int CsvTable::column(const std::string& name) const
{
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) {
        ADD_FAILURE() << "no column " << name;
        return -1;
    }
    return static_cast<int>(at - names.begin());
}

double CsvTable::at(std::size_t row, const std::string& name) const
{
    const int c = column(name);
    if (c < 0 || row >= rows.size() || static_cast<std::size_t>(c) >= rows[row].size()) return 0.0;
    return rows[row][static_cast<std::size_t>(c)];
}

CsvTable parseCsv(const std::string& text)
{
    CsvTable t;
    const std::vector<std::string> lines = textLines(text);
    if (lines.empty()) return t;
    std::istringstream header(lines[0]);
    for (std::string f; std::getline(header, f, ',');) t.names.push_back(f);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<double> row;
        std::istringstream in(lines[i]);
        // strtod reads "nan"; a selector letter reads as 0
        for (std::string f; std::getline(in, f, ',');) row.push_back(std::strtod(f.c_str(), nullptr));
        t.rows.push_back(row);
    }
    return t;
}

std::string svgFaults(const std::string& svg)
{
    // the elements in order: each end tag closes the last one open
    std::vector<std::string> open;
    static const std::regex tag(R"re(<(/?)([A-Za-z][A-Za-z0-9:-]*)((?:[^>"]|"[^"]*")*?)(/?)>)re");
    static const std::regex attribute(R"re(([A-Za-z:-]+)="([^"]*)")re");
    static const std::regex word(R"([A-Za-z]+)");
    static const std::regex number(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)");
    for (auto t = std::sregex_iterator(svg.begin(), svg.end(), tag); t != std::sregex_iterator(); ++t) {
        const std::string name = (*t)[2];
        if ((*t)[1] == "/") {
            if (open.empty() || open.back() != name) return "</" + name + "> closes nothing open";
            open.pop_back();
            continue;
        }
        const std::string attributes = (*t)[3];
        for (auto a = std::sregex_iterator(attributes.begin(), attributes.end(), attribute); a != std::sregex_iterator();
             ++a) {
            const std::string key = (*a)[1], value = (*a)[2];
            std::string lower = value;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (std::regex_search(lower, std::regex(R"(\bnan\b|\binf(inity)?\b|-nan)")))
                return "<" + name + " " + key + "=\"" + value + "\">";
            static const char* const geometry[] = {"x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r", "width",
                                                   "height", "d", "transform", "viewBox"};
            if (std::find(std::begin(geometry), std::end(geometry), key) == std::end(geometry)) continue;
            // the words allowed among the numbers: path commands, rotate, 100% of the background
            const std::string letters = std::regex_replace(value, number, " ");
            for (auto w = std::sregex_iterator(letters.begin(), letters.end(), word); w != std::sregex_iterator(); ++w) {
                const std::string x = (*w)[0];
                if (x != "rotate" && x.find_first_not_of("MLmlZz") != std::string::npos)
                    return "<" + name + " " + key + "=\"" + value + "\">";
            }
            for (auto n = std::sregex_iterator(value.begin(), value.end(), number); n != std::sregex_iterator(); ++n)
                if (!std::isfinite(std::strtod((*n)[0].str().c_str(), nullptr)))
                    return "<" + name + " " + key + "=\"" + value + "\">";
        }
        if ((*t)[4] != "/" && name != "?xml") open.push_back(name);
    }
    if (!open.empty()) return "<" + open.back() + "> is not closed";
    return "";
}

}  // namespace hybridsim::testing

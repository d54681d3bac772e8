// Helpers of the console tests: a scripted console, the start-up and dialogue
// driven through it, and locales made on demand.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/dialogue.h"
#include "console/session.h"
#include "console/startup.h"
#include "console/terminal.h"
#include "sim/run.h"
#include "task/report.h"
#include "tests/test_support.h"

namespace hybridsim::testing {

// A console fed from a script, its output captured.
struct ScriptedConsole {
    explicit ScriptedConsole(const std::string& script, bool interactive = false,
                             Encoding encoding = Encoding::utf8)
        : in(script), terminal(in, out, interactive, encoding)
    {
    }
    std::string output()
    {
        terminal.flush();
        return out.str();
    }
    std::istringstream in;
    std::ostringstream out;
    Terminal terminal;
};

// Settings, runs and a scripted console: what the program holds.
struct ScriptedSession {
    explicit ScriptedSession(const std::string& script, bool interactive = false,
                             Encoding encoding = Encoding::utf8)
        : console(script, interactive, encoding), settings(std::make_unique<SimSettings>()),
          run(std::make_unique<RunSeries>()), session{*settings, *run, console.terminal}
    {
    }
    std::string output() { return console.output(); }
    // What is left of the script.
    std::string unread()
    {
        std::string rest;
        std::getline(console.in, rest, '\0');
        return rest;
    }
    ScriptedConsole console;
    std::unique_ptr<SimSettings> settings;
    std::unique_ptr<RunSeries> run;
    Session session;
};

// The report as printSettings gives it.
inline std::string reportOf(const SimSettings& s)
{
    std::ostringstream out;
    printSettings(s, out);
    return out.str();
}

// Writes `text` to a file under the test's temporary folder; returns its path.
inline std::string writeTempFile(const std::string& name, const std::string& text)
{
    const char* base = std::getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/hybridsim-console-" +
                      std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Makes the locale `name` usable: compiled with localedef from `source` and
// `charmap` into a folder of the build tree on first use, and found there
// through LOCPATH (the system's own locales need not be installed).  False
// with the reason when that is not possible.
inline bool ensureLocale(const std::string& name, const std::string& source,
                         const std::string& charmap, std::string& why)
{
    const std::string dir = HYBRIDSIM_TEST_LOCALE_DIR;
    mkdir(dir.c_str(), 0755);
    setenv("LOCPATH", dir.c_str(), 1);
    const std::string target = dir + "/" + name;
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) {
        // compiled beside it and renamed into place: tests may run side by side
        const std::string tmp = target + ".tmp." + std::to_string(getpid());
        const std::string cmd = "localedef -c -i " + source + " -f " + charmap + " " + tmp +
                                " >/dev/null 2>&1";
        const int rc = std::system(cmd.c_str());
        (void)rc;  // localedef warns (status 1) for charmaps that are not ASCII compatible
        if (stat(tmp.c_str(), &st) != 0) {
            why = "localedef could not make " + name + " (is the locales package installed?)";
            return false;
        }
        if (std::rename(tmp.c_str(), target.c_str()) != 0) {
            const int rm = std::system(("rm -rf '" + tmp + "'").c_str());
            (void)rm;  // another test put it in place first
        }
    }
    if (locale_t l = newlocale(LC_ALL_MASK, name.c_str(), locale_t(0))) {
        freelocale(l);
        return true;
    }
    why = "the locale " + name + " was made but cannot be loaded";
    return false;
}

// Runs the test body under a locale and puts the "C" locale back after it.
class LocaleScope {
public:
    explicit LocaleScope(const std::string& name) { ok_ = std::setlocale(LC_ALL, name.c_str()); }
    ~LocaleScope() { std::setlocale(LC_ALL, "C"); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Counts the occurrences of `needle` in `text`.
inline int countOf(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

}  // namespace hybridsim::testing

// web_task_text [--report=en|ja] [TASKFILE] [NAME=VALUE]...: the task as a
// robot data file, as the desktop's writer (robotDataText) writes it, after
// the page's session has read TASKFILE and taken each setting by name in
// turn (the setting error as the --set name "seterror" in metres;
// "seterror_mm" in millimetres, as the page's panel takes it); with
// --report, the session's settings report in that language instead.  A
// refused file or setting writes its message to standard error and ends
// with status 2.  The browser tests compare the page's saved task file, its
// refusals and its English report with it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "web/web_session.h"

int main(int argc, char** argv)
{
    hybridsim::WebSession session;
    std::string report;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--report=en" || a == "--report=ja") {
            report = a.substr(9);
            continue;
        }
        const std::size_t eq = a.find('=');
        if (eq == std::string::npos) {
            // a task file, read whole as the page reads a file
            std::ifstream in(a, std::ios::binary);
            if (!in) {
                std::cerr << a << ": cannot open\n";
                return 2;
            }
            std::ostringstream bytes;
            bytes << in.rdbuf();
            const hybridsim::WebSession::LoadResult r = session.load(bytes.str(), a);
            if (!r.ok) {
                std::cerr << r.message << "\n";
                return 2;
            }
            continue;
        }
        const std::string name = a.substr(0, eq);
        const std::string value = a.substr(eq + 1);
        const hybridsim::SettingChange c =
            name == "seterror_mm" ? session.setSetErrorMm(value) : session.set(name, value);
        if (!c.ok) {
            std::cerr << c.message << "\n";
            return 2;
        }
    }
    if (report.empty())
        std::cout << session.taskText();
    else
        std::cout << session.report(report == "ja" ? hybridsim::NoticeLanguage::japanese
                                                   : hybridsim::NoticeLanguage::english);
    return 0;
}

// hybridsim: the interactive simulator.  The start-up questions and the
// first pass of the settings dialogue on the console, which ends with the
// first simulation run; then the window, which replays the run and takes the
// key commands until ESC.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "console/dialogue.h"
#include "console/session.h"
#include "console/startup.h"
#include "console/terminal.h"
#include "task/messages.h"
#include "task/text_format.h"
#include "view/window.h"

int main(int argc, char** argv)
{
    using namespace hybridsim;
    // a file written past the file-size limit ('x' saves the task) fails
    // with its reason instead of ending the program
    std::signal(SIGXFSZ, SIG_IGN);
    const Encoding encoding = encodingFromEnvironment();
    const bool interactive = isatty(STDIN_FILENO) == 1;

    FdInputBuf inputBuf(STDIN_FILENO);
    std::istream input(&inputBuf);
    // single-key mode only when the input is a terminal
    std::unique_ptr<TtyKeyMode> keyMode;
    if (interactive) keyMode = std::make_unique<TtyKeyMode>(STDIN_FILENO);
    static Terminal terminal(input, std::cout, interactive, encoding, keyMode.get());

    // the settings and the recorded runs live as long as the program
    static SimSettings settings;
    static RunSeries run;
    static Session session{settings, run, terminal};

    startUp(session);
    settingsDialogue(session);
    terminal.out() << '\n';
    terminal.flush();

    // the window's dialogue keys run the same dialogue on the same console,
    // 'x' saves the task there, and a new playback speed is said there.  On
    // a terminal each starts with what is typed once it asks: what was typed
    // while the window had control is dropped, and so are the window's keys
    // pressed while it runs.
    WindowConsole console;
    console.runDialogue = [] {
        session.terminal.dropTypedAhead();
        settingsDialogue(session);
        session.terminal.flush();
    };
    console.saveTask = [] {
        session.terminal.dropTypedAhead();
        saveRobotDataFile(session);
    };
    console.interactive = interactive;
    console.showSpeed = [](const std::string& speed) {
        session.terminal.out() << format(msg::playbackSpeed, speed.c_str());
        session.terminal.flush();
    };
    openWindow(&argc, argv, settings, run, std::move(console));
}

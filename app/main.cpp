// hybridsim: the interactive simulator.  The start-up questions and the
// first pass of the settings dialogue on the console, which ends with the
// first simulation run.
#include <unistd.h>

#include <iostream>
#include <memory>

#include "console/dialogue.h"
#include "console/session.h"
#include "console/startup.h"
#include "console/terminal.h"

int main()
{
    using namespace hybridsim;
    const Encoding encoding = encodingFromEnvironment();
    const bool interactive = isatty(STDIN_FILENO) == 1;

    FdInputBuf inputBuf(STDIN_FILENO);
    std::istream input(&inputBuf);
    // single-key mode only when the input is a terminal
    std::unique_ptr<TtyKeyMode> keyMode;
    if (interactive) keyMode = std::make_unique<TtyKeyMode>(STDIN_FILENO);
    Terminal terminal(input, std::cout, interactive, encoding, keyMode.get());

    // the settings and the recorded runs live as long as the program
    static SimSettings settings;
    static RunSeries run;
    Session session{settings, run, terminal};

    startUp(session);
    settingsDialogue(session);

    // the shell's prompt on a line of its own
    terminal.out() << '\n';
    terminal.flush();
    return 0;
}

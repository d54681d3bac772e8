// What a dialogue pass works on: the settings, the recorded runs and the
// console.  The program keeps one for its whole life; the window's key
// commands hand it to settingsDialogue.
#pragma once

#include "console/terminal.h"
#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

struct Session {
    SimSettings& settings;
    RunSeries& run;
    Terminal& terminal;
};

}  // namespace hybridsim

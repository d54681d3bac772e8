// The window with the default run and a small stand-in for the settings
// dialogue: every dialogue key reads a new contact force [N] from standard
// input and computes a new run.  Used by the end-to-end test of the window
// (e2e_window.py) and for looking at the window by hand.
#include <cstdio>
#include <iostream>
#include <memory>

#include "sim/derivation.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "view/window.h"

namespace {

hybridsim::SimSettings settings;
hybridsim::RunSeries run;

// What a dialogue pass ends with: derivation, a new run, the view reset.
void recompute()
{
    hybridsim::deriveSettings(settings);
    hybridsim::calcontrol(settings, run);
    settings.frame = 0;
    settings.viewScale = 1.0;
    settings.pointErrorGain = 10.0;
}

void forceDialogue()
{
    std::printf("\ncontact force dialogue (key %c)\nFn [N] = ", settings.key);
    std::fflush(stdout);
    double fn = 0.0;
    if (std::cin >> fn)
        settings.Fn = fn;
    else
        std::printf("(no answer, Fn stays %g N)", settings.Fn);
    recompute();
    std::printf("\nnew run computed with Fn = %g N\n", settings.Fn);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    hybridsim::setEntryDefaults(settings);
    hybridsim::setDefaults(settings);
    recompute();
    std::printf("first run computed: robot %c, method %c, contour %c, Fn = %g N\n", settings.type,
                settings.hybrid, settings.curve, settings.Fn);
    std::fflush(stdout);
    hybridsim::openWindow(&argc, argv, settings, run, forceDialogue);
}

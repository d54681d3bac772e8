// The settings report: the current settings as a fixed block of labelled
// lines, written as UTF-8.
#pragma once

#include <ostream>
#include <string>

#include "sim/settings.h"

namespace hybridsim {

void printSettings(const SimSettings& s, std::ostream& out);

// The notice that the run (nsteps sampling periods) ends before the
// positioning time tf, so that only part of the path is traced; empty when
// the run lasts at least tf.
std::string runTooShortNotice(const SimSettings& s);

}  // namespace hybridsim

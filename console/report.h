// The settings report: the current settings as a fixed block of labelled
// lines, written as UTF-8.
#pragma once

#include <ostream>

#include "sim/settings.h"

namespace hybridsim {

void printSettings(const SimSettings& s, std::ostream& out);

}  // namespace hybridsim

// The start-up sequence: defaults, greeting, the file question or the
// robot, method and contour keys, derivation, and the key for the first
// dialogue pass.
#pragma once

#include "console/session.h"

namespace hybridsim {

// Leaves settings.key 'r' when the user asked for a robot data file, and
// the selected robot type otherwise.
void startUp(Session& session);

}  // namespace hybridsim

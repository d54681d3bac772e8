// The settings dialogue: one pass from the section that settings.key
// selects to the closing derivation, report and run.
#pragma once

#include <functional>
#include <optional>

#include "console/session.h"
#include "task/reach_notice.h"

namespace hybridsim {

// One pass, entered with settings.key: 'r' reads a robot data file; 'a',
// 'b' ask first whether anything is to change; 'k', 'h', 'g', 'L'/'C'/'S',
// 'e', 'f' start at the springs, method, gains, contour parameters, setting
// error, force; any other key at the springs.  Ends with frame 0, view
// scale 1 and point error gain 10.
void settingsDialogue(Session& session);

// Asks for a file name and its confirmation until a file is read, or the
// input ends (then nothing changes).  True when a file was read.
bool readRobotDataFile(Session& session);

// Saves the current task as a robot data file, in the format that
// readRobotDataFile reads: asks for a name (the whole line), and for a file
// that is there already whether to replace it ('y'; any other key asks for
// a name again), until the file is written, an empty line says not to save
// or the input ends.  A name with a blank (which 'r', reading one word,
// could not read back) or a control character, and a name that cannot be
// written, get their notice and the question again.  The settings never
// change.  True when a file was written.
bool saveRobotDataFile(Session& session);

// A selector key out of `choices` (such as "ab", "78", "LCS").  A key
// outside them gets a notice naming the choices, then `ask` prints the
// question again and the next key is read; none at the end of the input.
std::optional<char> readChoice(Terminal& t, const char* choices, const std::function<void()>& ask);

// A reporter of unreachable points that prints on the session's console
// and waits for a key there (only on a terminal).
ReachNotice makeReachNotice(Session& session);

}  // namespace hybridsim

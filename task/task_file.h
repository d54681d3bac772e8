// Robot data files: a whole task as whitespace-separated tokens.
//
//   type  [l | l1 l2+wp]  KH1 KH2  hybrid  fn1 alpha1  fn2 alpha2
//   curve [x0 y0 xf yf tf | Ox Oy r tf | x0 y0 L A tf]  seterror[m]  Fn
//
// The file is parsed into a copy of the settings, which replaces them only
// when the whole file is read and valid.
#pragma once

#include <string>

#include "sim/settings.h"

namespace hybridsim {

struct TaskFileResult {
    bool ok = false;
    std::string error;  // one line naming the file, the token and what was expected
};

// Reads the task file at `path` into `s`; on any failure `s` is unchanged.
TaskFileResult loadRobotDataFile(const std::string& path, SimSettings& s);

// The same from text already in memory; `name` names it in messages.
TaskFileResult parseRobotData(const std::string& text, const std::string& name, SimSettings& s);

}  // namespace hybridsim

// The notice of a run whose numbers stopped being numbers (sim/run_fault.h):
// from which sample, and why, in the console's Japanese or in English.
#pragma once

#include <string>

#include "sim/run_fault.h"
#include "sim/settings.h"

namespace hybridsim {

enum class NoticeLanguage { japanese, english };

// One line; empty when `fault` names no cause.  The Japanese text is the
// console's (it begins with a line end, as the console's notices do); the
// English one is the page's and begins with its first word.
std::string runFaultNotice(const SimSettings& s, const RunFault& fault,
                           NoticeLanguage language = NoticeLanguage::japanese);

}  // namespace hybridsim

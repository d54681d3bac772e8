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

// Under contact=spring with a control period, when the sampled force loop
// (sim/contact_model.h) has a pole outside the unit circle: one line with
// the period, the largest |z| and the longest stable period where the
// bounds give one; empty otherwise.  The languages begin as above.
std::string sampledLoopNotice(const SimSettings& s, NoticeLanguage language = NoticeLanguage::japanese);

}  // namespace hybridsim

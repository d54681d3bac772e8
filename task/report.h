// The settings report: the current settings as a fixed block of labelled
// lines, written as UTF-8.
#pragma once

#include <ostream>
#include <string>

#include "sim/settings.h"
#include "task/run_notice.h"

namespace hybridsim {

// The report in the console's Japanese (task/messages.h, the console's
// and hybridsim-batch --report's), or in English for the page: one layout,
// the same figures in the same order and the same number formats, only the
// words differ.
void printSettings(const SimSettings& s, std::ostream& out,
                   NoticeLanguage language = NoticeLanguage::japanese);

// The contact model's settings after the report, under contact=spring
// only (nothing under the ideal contact): the lines hybridsim-batch
// --report and the page add to it.
void printContactSettings(const SimSettings& s, std::ostream& out,
                          NoticeLanguage language = NoticeLanguage::japanese);

// The notice that the run (nsteps sampling periods) ends before the
// positioning time tf, so that only part of the path is traced; empty when
// the run lasts at least tf.
std::string runTooShortNotice(const SimSettings& s);

}  // namespace hybridsim

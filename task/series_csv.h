// The recorded series of a run as CSV: one header line, then one row per
// sample 0..nsteps, every number with 17 significant digits so that it reads
// back exactly (not-a-number always as "nan", see exactNumber).
//
//   i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err,spring_force
//
// and under contact=spring a last column force_cmd, the force loop's command
// F (the force column is then the measured force).
#pragma once

#include <ostream>

#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

void writeSeriesCsv(const SimSettings& s, const SeriesSet& set, std::ostream& out);

}  // namespace hybridsim

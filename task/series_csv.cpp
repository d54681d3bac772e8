#include "task/series_csv.h"

#include "task/text_format.h"

namespace hybridsim {

void writeSeriesCsv(const SimSettings& s, const SeriesSet& set, std::ostream& out)
{
    // under contact=spring the force is measured, and the force loop's own
    // state, the force command, is a column of its own
    out << "i,t,ref_x,ref_y,tip_x,tip_y,err_x,err_y,joint1,joint2,defl1,defl2,force,force_err,s_err,spring_force"
        << (s.springContact ? ",force_cmd\n" : "\n");
    const int last = lastSample(s);
    for (int i = 0; i <= last; ++i) {
        out << i;
        const double v[15] = {set.time[i],           set.refPos[i].x,        set.refPos[i].y,
                              set.tipPos[i].x,        set.tipPos[i].y,        set.posErr[i].x,
                              set.posErr[i].y,        set.jointPos[i].phi1,   set.jointPos[i].phi2,
                              set.handDeflection[i].x, set.handDeflection[i].y, set.contactForce[i],
                              set.forceErr[i],        set.sErr[i],            set.springForce[i]};
        for (double x : v) out << ',' << exactNumber(x);
        if (s.springContact) out << ',' << exactNumber(set.forceCommand[i]);
        out << '\n';
    }
}

}  // namespace hybridsim

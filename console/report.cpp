#include "console/report.h"

#include "console/messages.h"
#include "console/text_format.h"

namespace hybridsim {

void printSettings(const SimSettings& s, std::ostream& out)
{
    out << msg::reportTitle << msg::reportSubtitle;
    // robot
    if (s.type == 'a') {
        out << msg::reportRobotA << format(msg::reportArmA, s.l);
    } else if (s.type == 'b') {
        out << msg::reportRobotB << format(msg::reportArmsB, s.l1, s.l2 + s.wp);
    }
    out << format(msg::reportProbeOffset, s.wp);
    // hand springs in kgf/mm
    out << format(msg::reportSpringsKgf, s.KH1 / gravity / 1000.0, s.KH2 / gravity / 1000.0);
    // control method, characteristics and gains
    if (s.hybrid == '7') out << msg::reportMethod7;
    if (s.hybrid == '8') out << msg::reportMethod8;
    out << format(msg::reportSystem1, s.wn1 / twoPi, s.zeta1, s.alpha1);
    out << format(msg::reportGains, s.Kp1, s.Kv1, s.Ki1);
    out << format(msg::reportSystem2, s.wn2 / twoPi, s.zeta2, s.alpha2);
    out << format(msg::reportGains, s.Kp2, s.Kv2, s.Ki2);
    out << format(msg::reportServoStiffness, s.Kp1, s.Kp2);
    out << format(msg::reportSpringsN, s.KH1, s.KH2);
    out << format(msg::reportForce, s.Fn);
    // contour
    if (s.curve == 'L') {
        out << format(msg::reportLineTime, s.lineTf) << format(msg::reportLineSpeed, s.vs);
    } else if (s.curve == 'C') {
        out << format(msg::reportCircleTime, s.circleTf) << format(msg::reportCircleSpeed, s.vs)
            << format(msg::reportCircleShape, s.circleOx, s.circleOy, s.circleR);
    } else if (s.curve == 'S') {
        out << format(msg::reportSineTime, s.sineTf) << format(msg::reportSineSpeed, s.vs)
            << format(msg::reportSineShape, s.sineL, s.sineA);
    }
    out << format(msg::reportStart, s.startX, s.startY);
    out << format(msg::reportEnd, s.endX, s.endY);
    out << format(msg::reportSetError, 1000.0 * s.seterror);
    out << '\n';
}

std::string runTooShortNotice(const SimSettings& s)
{
    const double runTime = s.nsteps * s.dt;
    if (!(s.tf > runTime)) return "";
    return format(msg::runShorterThanPath, s.tf, runTime);
}

}  // namespace hybridsim

#include "sim/settings.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace hybridsim {

ProfileParams& currentProfile(SimSettings& s)
{
    return s.type == 'b' ? s.profileB : s.profileA;
}

const ProfileParams& currentProfile(const SimSettings& s)
{
    return s.type == 'b' ? s.profileB : s.profileA;
}

void setEntryDefaults(SimSettings& s)
{
    s.viewScale = 1.0;
    s.errorGain = 10.0;
    s.errorGainDefault = s.errorGain;
    s.viewOffsetX = -0.5;
    s.viewOffsetY = -0.3;
    s.posGraphX = 0.4;
    s.posGraphY = 0.5;
    s.forceGraphX = 0.4;
    s.forceGraphY = 0.1;
    s.graphWidth = 0.5;
    s.forceGraphScale = 0.25;
    s.dt = 0.04;
    s.nsteps = 200;
    s.wp = 0.2;
}

void resetView(SimSettings& s)
{
    s.viewScale = 1.0;
    s.pointErrorGain = pointErrorGainShown;
    s.frame = 0;
}

void setDefaults(SimSettings& s)
{
    // robot a
    s.l = 0.7;
    s.type = 'a';
    updateDrawingDimensions(s);
    // robot b; its joint circles keep the sizes of the default links
    s.l1 = 0.5;
    s.l2 = 0.3;
    s.type = 'b';
    updateDrawingDimensions(s);
    s.drawB3 = 0.075 * s.l1;
    s.drawB4 = 0.075 * s.l2;
    // hand springs
    s.KH2 = 500.0;
    s.KH1 = s.KH2;
    // stored control values of both methods
    s.wn1Hybrid7 = twoPi * 5.0;
    s.alpha1Hybrid7 = 0.0;
    s.wn2Hybrid7 = twoPi * 10.0;
    s.alpha2Hybrid7 = 5.0;
    s.wn1Hybrid8 = twoPi * 5.0;
    s.alpha1Hybrid8 = 0.0;
    s.wn2Hybrid8 = twoPi * 20.0;
    s.alpha2Hybrid8 = 2.0;
    s.zeta1 = 1.0;
    s.zeta2 = 1.0;
    // task
    s.Fn = 10.0;
    s.seterror = 0.005;
    // line
    s.lineTf = 4.0;
    s.lineX0 = 0.3;
    s.lineY0 = 0.0;
    s.lineXf = 0.3;
    s.lineYf = 0.3;
    // circle
    s.circleTf = 6.0;
    s.circleR = 0.25;
    s.circleOx = 0.4;
    s.circleOy = 0.0;
    // sine wave
    s.sineTf = 4.0;
    s.sineX0 = 0.2;
    s.sineY0 = 0.3;
    s.sineXf = 0.8;
    s.sineYf = 0.3;
    s.sineL = s.sineXf - s.sineX0;
    s.sineA = 0.2;
    // selectors (type is 'b' from above)
    s.hybrid = '8';
    s.curve = 'S';
}

void updateDrawingDimensions(SimSettings& s)
{
    if (s.type == 'a') {
        s.drawA1 = s.l / 10.0;
        s.drawA3 = 3.0 * s.drawA1;
        s.drawA2 = 2.0 * s.drawA1;
    } else if (s.type == 'b') {
        s.drawB1 = s.l1 / 5.0;
        s.drawB2 = s.l2 / 5.0;
    }
}

void updateSeterrorLabel(SimSettings& s)
{
    const double e = s.seterror;
    if (e >= 0.0 && e < 0.1) {
        // two digits: tens and units of the millimetres, truncated
        const double tens = std::trunc(100.0 * e);
        double units = std::trunc(1000.0 * e - 10.0 * tens);
        // rounding may carry 1000 e just past the next ten: keep one digit
        units = units < 0.0 ? 0.0 : (units > 9.0 ? 9.0 : units);
        s.seterrorLabel = std::string(1, char('0' + int(tens))) + char('0' + int(units)) + "[mm]\n";
        return;
    }
    // outside the two-digit range: the truncated millimetres with their sign
    const double mm = std::trunc(1000.0 * e) + 0.0;  // + 0.0 turns -0 into 0
    if (!std::isfinite(mm)) {
        s.seterrorLabel = std::string(std::isnan(mm) ? "nan" : (mm < 0 ? "-inf" : "inf")) + "[mm]\n";
        return;
    }
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f[mm]\n", mm);
    s.seterrorLabel = buf;
}

}  // namespace hybridsim

#include "sim/gain_design.h"

namespace hybridsim {

void designGains(SimSettings& s)
{
    // the selected method's stored characteristics become the active ones
    if (s.hybrid == '7') {
        s.wn1 = s.wn1Hybrid7;
        s.wn2 = s.wn2Hybrid7;
        s.alpha1 = s.alpha1Hybrid7;
        s.alpha2 = s.alpha2Hybrid7;
    } else if (s.hybrid == '8') {
        s.wn1 = s.wn1Hybrid8;
        s.wn2 = s.wn2Hybrid8;
        s.alpha1 = s.alpha1Hybrid8;
        s.alpha2 = s.alpha2Hybrid8;
    }
    // system 1: tangential position
    s.Kp1 = 2.0 * s.zeta1 * s.wn1 * s.alpha1 + s.wn1 * s.wn1;
    s.Kv1 = 2.0 * s.zeta1 * s.wn1 + s.alpha1;
    s.Ki1 = s.alpha1 * s.wn1 * s.wn1;
    // system 2: normal force
    s.Kp2 = 2.0 * s.zeta2 * s.wn2 * s.alpha2 + s.wn2 * s.wn2;
    s.Kv2 = 2.0 * s.zeta2 * s.wn2 + s.alpha2;
    s.Ki2 = s.alpha2 * s.wn2 * s.wn2;
}

void storeControlValues(SimSettings& s)
{
    if (s.hybrid == '7') {
        s.wn1Hybrid7 = s.wn1;
        s.wn2Hybrid7 = s.wn2;
        s.alpha1Hybrid7 = s.alpha1;
        s.alpha2Hybrid7 = s.alpha2;
    } else if (s.hybrid == '8') {
        s.wn1Hybrid8 = s.wn1;
        s.wn2Hybrid8 = s.wn2;
        s.alpha1Hybrid8 = s.alpha1;
        s.alpha2Hybrid8 = s.alpha2;
    }
}

}  // namespace hybridsim

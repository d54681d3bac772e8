#include "sim/gain_design.h"

namespace hybridsim {
namespace {

// The stored characteristics of one method.
struct ControlStore {
    double& wn1;
    double& wn2;
    double& alpha1;
    double& alpha2;
};

// Calls `use` with the store of the selected method; nothing for a method
// other than '7' and '8'.
template <class Use>
void withSelectedStore(SimSettings& s, Use use)
{
    if (s.hybrid == '7') use(ControlStore{s.wn1Hybrid7, s.wn2Hybrid7, s.alpha1Hybrid7, s.alpha2Hybrid7});
    if (s.hybrid == '8') use(ControlStore{s.wn1Hybrid8, s.wn2Hybrid8, s.alpha1Hybrid8, s.alpha2Hybrid8});
}

}  // namespace

void designGains(SimSettings& s)
{
    // the selected method's stored characteristics become the active ones
    withSelectedStore(s, [&](ControlStore st) {
        s.wn1 = st.wn1;
        s.wn2 = st.wn2;
        s.alpha1 = st.alpha1;
        s.alpha2 = st.alpha2;
    });
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
    withSelectedStore(s, [&](ControlStore st) {
        st.wn1 = s.wn1;
        st.wn2 = s.wn2;
        st.alpha1 = s.alpha1;
        st.alpha2 = s.alpha2;
    });
}

}  // namespace hybridsim

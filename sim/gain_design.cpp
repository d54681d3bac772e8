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

LoopGains loopGains(double zeta, double wn, double alpha)
{
    LoopGains g;
    g.Kp = 2.0 * zeta * wn * alpha + wn * wn;
    g.Kv = 2.0 * zeta * wn + alpha;
    g.Ki = alpha * wn * wn;
    return g;
}

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
    const LoopGains g1 = loopGains(s.zeta1, s.wn1, s.alpha1);
    s.Kp1 = g1.Kp;
    s.Kv1 = g1.Kv;
    s.Ki1 = g1.Ki;
    // system 2: normal force
    const LoopGains g2 = loopGains(s.zeta2, s.wn2, s.alpha2);
    s.Kp2 = g2.Kp;
    s.Kv2 = g2.Kv;
    s.Ki2 = g2.Ki;
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

#include "sim/integrator.h"

namespace hybridsim {

double modelDerivative(const SimSettings& s, int i, ReferenceMotion ref, const double* y)
{
    switch (i) {
    case 0:  // tangential position, reference speed fed forward
        return ((s.Kp1 - 1.0) * (ref.s - y[0]) + s.Ki1 * y[4]) / s.Kv1 + ref.sdot;
    case 1:  // contact force
        return ((s.Kp2 - 1.0) * (s.Fn - y[1]) + s.Ki2 * y[5]) / s.Kv2;
    case 4:  // integral of the position error
        return ref.s - y[0];
    case 5:  // integral of the force error
        return s.Fn - y[1];
    default:  // components 2 and 3 carry no quantity
        return 0.0;
    }
}

double modelDerivative(const SimSettings& s, int i, double t, const double* y)
{
    return modelDerivative(s, i, referenceMotion(s, t), y);
}

void rungeKuttaGill(const SimSettings& s, double t, double h, const double* y, double* yOut)
{
    // The reference depends on time only, so it is evaluated once for each
    // distinct stage time instead of once per component: same numbers.
    double cachedTime = 0.0;
    ReferenceMotion cached = referenceMotion(s, t);
    cachedTime = t;
    auto derivative = [&](int j, double tau, const double* v) {
        if (tau != cachedTime) {
            cached = referenceMotion(s, tau);
            cachedTime = tau;
        }
        return modelDerivative(s, j, cached, v);
    };
    rungeKuttaGill(derivative, t, h, y, yOut, stateSize);
}

}  // namespace hybridsim

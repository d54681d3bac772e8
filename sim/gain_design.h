// Gain design of the two control systems.
//
// Each closed loop has the characteristic polynomial
//   s^3 + Kv s^2 + Kp s + Ki = (s^2 + 2 zeta wn s + wn^2)(s + alpha),
// so Kp = 2 zeta wn alpha + wn^2, Kv = 2 zeta wn + alpha, Ki = alpha wn^2.
// alpha = 0 makes it a PD control.
#pragma once

#include "sim/settings.h"

namespace hybridsim {

// The three gains of one control system.
struct LoopGains {
    double Kp = 0.0;  // proportional
    double Kv = 0.0;  // velocity
    double Ki = 0.0;  // integral
};

// The gains of a system with damping ratio zeta, natural angular frequency
// wn [rad/s] and inverse additional time constant alpha [1/s].
LoopGains loopGains(double zeta, double wn, double alpha);

// Copies the selected method's stored wn and alpha into the active values
// (nothing for a method other than '7' and '8') and computes the six gains.
void designGains(SimSettings& s);

// The active wn and alpha of both systems become the stored values of the
// selected method (nowhere for a method other than '7' and '8'), so that the
// next gain design keeps them in force.
void storeControlValues(SimSettings& s);

}  // namespace hybridsim

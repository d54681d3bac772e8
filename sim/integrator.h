// Closed-loop model of the two control systems and the Runge-Kutta-Gill
// integrator.
//
// State y: s [m], F [N], two unused components, z1 = integral of s_r - s,
// z2 = integral of Fn - F.
//   ds/dt  = ((Kp1 - 1)(s_r - s) + Ki1 z1) / Kv1 + ds_r/dt
//   dF/dt  = ((Kp2 - 1)(Fn - F) + Ki2 z2) / Kv2
//   dz1/dt = s_r - s,  dz2/dt = Fn - F
#pragma once

#include "sim/settings.h"
#include "sim/trajectory.h"

namespace hybridsim {

constexpr int stateSize = 6;
// Largest n the generic step takes.
constexpr int maxStateSize = 16;

// Gill's constants, as decimals: 1 - 1/sqrt2, 1 + 1/sqrt2 and 1/6.
constexpr double gillC1 = 0.292893219;
constexpr double gillC2 = 1.70710678;
constexpr double gillC3 = 0.16666667;

// Derivative of component i for state y, given the reference motion.
double modelDerivative(const SimSettings& s, int i, ReferenceMotion ref, const double* y);

// Derivative of component i at time t (evaluates the reference at t).
double modelDerivative(const SimSettings& s, int i, double t, const double* y);

// One Runge-Kutta-Gill step of an n-component system (n <= maxStateSize): yOut = y advanced from
// t by h.  f(j, tau, v) is the derivative of component j at tau for vector v.
// Every stage evaluates all components before the next stage begins.
template <class Derivative>
void rungeKuttaGill(Derivative&& f, double t, double h, const double* y, double* yOut, int n)
{
    double k[maxStateSize], q[maxStateSize], u[maxStateSize], v[maxStateSize];
    // stage 1, at t with y
    for (int j = 0; j < n; ++j) k[j] = h * f(j, t, y);
    for (int j = 0; j < n; ++j) {
        double r = 0.5 * k[j];
        u[j] = y[j] + r;
        q[j] = 3.0 * r - 0.5 * k[j];
    }
    // stage 2, at t + h/2 with u1
    for (int j = 0; j < n; ++j) k[j] = h * f(j, t + 0.5 * h, u);
    for (int j = 0; j < n; ++j) {
        double r = gillC1 * (k[j] - q[j]);
        v[j] = u[j] + r;
        q[j] = q[j] + 3.0 * r - gillC1 * k[j];
    }
    // stage 3, at t + h/2 with u2
    for (int j = 0; j < n; ++j) k[j] = h * f(j, t + 0.5 * h, v);
    for (int j = 0; j < n; ++j) {
        double r = gillC2 * (k[j] - q[j]);
        u[j] = v[j] + r;
        q[j] = q[j] + 3.0 * r - gillC2 * k[j];
    }
    // stage 4, at t + h with u3
    for (int j = 0; j < n; ++j) k[j] = h * f(j, t + h, u);
    for (int j = 0; j < n; ++j) {
        double r = gillC3 * (k[j] - 2.0 * q[j]);
        yOut[j] = u[j] + r;
    }
}

// One step of the closed-loop model (n = 6).
void rungeKuttaGill(const SimSettings& s, double t, double h, const double* y, double* yOut);

}  // namespace hybridsim

// Contour reference trajectories: the path along the active contour, its
// velocity profile and the reference at any time.
#pragma once

#include "sim/settings.h"

namespace hybridsim {

// Number of Simpson intervals and Heun steps of the sine contour.
constexpr int sineSteps = 200;

// Tolerance of the tests against the profile's switching times [s]: the
// phases of the trapezoid, and the samples near them that the run
// integrates in finer steps.
constexpr double switchTolerance = 0.00001;

// Reference tangential position and speed along the path.
struct ReferenceMotion {
    double s = 0.0;     // s_r [m]
    double sdot = 0.0;  // ds_r/dt [m/s]
};

// The whole reference at one time: motion and reference ("command") point.
struct Reference {
    double s = 0.0;     // s_r [m]
    double sdot = 0.0;  // ds_r/dt [m/s]
    Vec2 point;         // (x_r, y_r) [m]
};

// Path length, velocity profile of the current robot type, accelTime and vs
// from the contour settings.
void setupTrajectory(SimSettings& s);

// s_r and ds_r/dt at time t >= 0: all the closed-loop model needs.
ReferenceMotion referenceMotion(const SimSettings& s, double t);

// The reference point for a reference position s_r: on the workpiece
// contour (method 8) or on the contour shifted by seterror (method 7).
Vec2 referencePoint(const SimSettings& s, double sr);

// The whole reference at time t.
Reference referenceAt(const SimSettings& s, double t);

// The point of the nominal (unshifted) contour at arc length s.
Vec2 contourPoint(const SimSettings& s, double arc);

// Trapezoidal velocity profile from s0 at t = 0 to sEnd at t = tf.
double trapezoidPosition(double t, double ta, double td, double tf, double acc, double dec,
                         double vs, double s0, double sEnd);
double trapezoidSpeed(double t, double ta, double td, double tf, double acc, double dec,
                      double vs, double s0, double sEnd);

// Arc length of y = sineA sin(k x) over [0, X], Simpson's rule, n intervals.
double sineArcLength(const SimSettings& s, int n, double X);

// sineX0 + xi(s): the abscissa at arc length s from the sine's start, by n
// Heun steps of d(xi)/ds = 1 / G(xi).
double sineAbscissa(const SimSettings& s, int n, double arc);

// Both abscissas of sineAbscissa(n, arc1) and sineAbscissa(n, arc2),
// computed side by side; bit-for-bit the same results.
void sineAbscissaPair(const SimSettings& s, int n, double arc1, double arc2, double& x1,
                      double& x2);

// The sine contour's point at a given abscissa: the nominal curve, or the
// curve shifted by seterror.
Vec2 sinePointAt(const SimSettings& s, double x, bool shifted);

}  // namespace hybridsim

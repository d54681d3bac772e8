#include "sim/trajectory.h"

#include <cmath>

#include "portable_math/portable_math.h"

namespace hybridsim {
namespace {

// wave number k = 2 pi / L of the sine contour [rad/m]
double waveNumber(const SimSettings& s)
{
    return 2.0 * pi / s.sineL;
}

// arc-length density of y = A sin(k x): sqrt(1 + (k A cos(k x))^2)
inline double arcDensity(double k, double A, double x)
{
    const double slope = k * A * pmath::cos(k * x);
    return std::sqrt(1.0 + slope * slope);
}

}  // namespace

void setupTrajectory(SimSettings& s)
{
    // path of the active contour
    if (s.curve == 'L') {
        const double dx = s.lineXf - s.lineX0;
        const double dy = s.lineYf - s.lineY0;
        s.lineAngle = pmath::atan2(dy, dx);
        s.pathLength = std::sqrt(dx * dx + dy * dy);
    } else if (s.curve == 'C') {
        s.pathLength = 2.0 * pi * s.circleR;
    } else if (s.curve == 'S') {
        s.pathLength = sineArcLength(s, sineSteps, s.sineL);
    }
    // velocity profile of the current robot type
    ProfileParams& p = currentProfile(s);
    if (s.hybrid == '7') {
        // trapezoid: accelerate for ta = 0.1 tf, decelerate as long, cover the path in tf
        p.ta = 0.1 * s.tf;
        p.td = p.ta;
        p.acc = s.pathLength / ((s.tf - p.ta) * p.ta);
        p.dec = p.acc;
        p.vs = p.acc * p.ta;
        s.accelTime = p.ta;
        s.vs = p.vs;
    } else if (s.hybrid == '8') {
        // constant speed over the whole path: no acceleration phase, so the
        // sub-step rule looks only at the start and the end of the motion,
        // whatever method 7 set up before
        p.vs = s.pathLength / s.tf;
        s.accelTime = 0.0;
        s.vs = p.vs;
    }
}

double trapezoidPosition(double t, double ta, double td, double tf, double acc, double dec,
                         double vs, double s0, double sEnd)
{
    const double eps = switchTolerance;
    double pos = s0;
    // the phases are tested in order; where two overlap the later one applies
    if (t <= ta + eps) pos = s0 + 0.5 * acc * t * t;
    if (t > ta + eps && t < tf - td - eps) {
        const double sa = s0 + 0.5 * acc * ta * ta;
        pos = sa + vs * (t - ta);
    }
    if (t >= tf - td - eps && t <= tf + eps) pos = sEnd - 0.5 * dec * (tf - t) * (tf - t);
    if (t > tf + eps) pos = sEnd;
    return pos;
}

double trapezoidSpeed(double t, double ta, double td, double tf, double acc, double dec,
                      double vs, double /*s0*/, double /*sEnd*/)
{
    const double eps = switchTolerance;
    double speed = 0.0;
    if (t <= ta + eps) speed = acc * t;
    if (t > ta + eps && t < tf - td - eps) speed = vs;
    if (t >= tf - td - eps && t <= tf + eps) speed = dec * (tf - t);
    if (t > tf + eps) speed = 0.0;
    return speed;
}

ReferenceMotion referenceMotion(const SimSettings& s, double t)
{
    ReferenceMotion m;
    const ProfileParams& p = currentProfile(s);
    if (s.hybrid == '8') {
        // constant speed until the end of the path
        m.s = p.vs * t;
        m.sdot = p.vs;
        if (m.s > s.pathLength) {
            m.s = s.pathLength;
            m.sdot = 0.0;
        }
    } else if (s.hybrid == '7') {
        m.s = trapezoidPosition(t, p.ta, p.td, s.tf, p.acc, p.dec, p.vs, 0.0, s.pathLength);
        m.sdot = trapezoidSpeed(t, p.ta, p.td, s.tf, p.acc, p.dec, p.vs, 0.0, s.pathLength);
    }
    return m;
}

Vec2 sinePointAt(const SimSettings& s, double x, bool shifted)
{
    const double x0 = shifted ? s.shiftedSineX0 : s.sineX0;
    const double y0 = shifted ? s.shiftedSineY0 : s.sineY0;
    return {x, y0 + s.sineA * pmath::sin(2.0 * pi * (x - x0) / s.sineL)};
}

Vec2 referencePoint(const SimSettings& s, double sr)
{
    // method 8 follows the workpiece as it lies
    if (s.hybrid == '8') return contourPoint(s, sr);
    if (s.hybrid != '7') return {};
    // method 7 commands the contour shifted by the setting error
    if (s.curve == 'L') {
        return {s.shiftedLineX0 + sr * pmath::cos(s.shiftedLineAngle),
                s.shiftedLineY0 + sr * pmath::sin(s.shiftedLineAngle)};
    }
    if (s.curve == 'C') {
        return {s.shiftedCircleOx + s.circleR * pmath::cos(sr / s.circleR),
                s.shiftedCircleOy + s.circleR * pmath::sin(sr / s.circleR)};
    }
    if (s.curve == 'S') {
        // the shifted curve at the abscissa the unshifted one reaches at s_r
        return sinePointAt(s, sineAbscissa(s, sineSteps, sr), true);
    }
    return {};
}

Reference referenceAt(const SimSettings& s, double t)
{
    const ReferenceMotion m = referenceMotion(s, t);
    return {m.s, m.sdot, referencePoint(s, m.s)};
}

Vec2 contourPoint(const SimSettings& s, double arc)
{
    if (s.curve == 'L') {
        return {s.lineX0 + arc * pmath::cos(s.lineAngle), s.lineY0 + arc * pmath::sin(s.lineAngle)};
    }
    if (s.curve == 'C') {
        // s = 0 at the right-hand end, counter-clockwise
        return {s.circleOx + s.circleR * pmath::cos(arc / s.circleR),
                s.circleOy + s.circleR * pmath::sin(arc / s.circleR)};
    }
    if (s.curve == 'S') return sinePointAt(s, sineAbscissa(s, sineSteps, arc), false);
    return {};
}

double sineArcLength(const SimSettings& s, int n, double X)
{
    // Simpson's rule over n intervals of w
    const double k = waveNumber(s);
    const double w = X / n;
    const int m = n / 2;
    double sum = 0.0;
    for (int i = 0; i < m; ++i) {
        sum += arcDensity(k, s.sineA, 2 * i * w) + 4.0 * arcDensity(k, s.sineA, 2 * i * w + w) +
               arcDensity(k, s.sineA, 2 * i * w + 2.0 * w);
    }
    return w * sum / 3.0;
}

double sineAbscissa(const SimSettings& s, int n, double arc)
{
    // Heun's method on d(xi)/ds = 1 / G(xi), from xi = 0 at s = 0
    const double k = waveNumber(s);
    const double w = arc / n;
    double xi = 0.0;
    for (int i = 0; i < n; ++i) {
        const double p1 = w / arcDensity(k, s.sineA, xi);
        const double p2 = w / arcDensity(k, s.sineA, xi + p1);
        xi = xi + (p1 + p2) / 2.0;
    }
    return s.sineX0 + xi;
}

void sineAbscissaPair(const SimSettings& s, int n, double arc1, double arc2, double& x1, double& x2)
{
    // two independent chains of dependent steps, interleaved so that the
    // processor can overlap them; each chain computes what sineAbscissa does
    const double k = waveNumber(s);
    const double A = s.sineA;
    const double w1 = arc1 / n;
    const double w2 = arc2 / n;
    double xi1 = 0.0;
    double xi2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double p1a = w1 / arcDensity(k, A, xi1);
        const double p1b = w2 / arcDensity(k, A, xi2);
        const double p2a = w1 / arcDensity(k, A, xi1 + p1a);
        const double p2b = w2 / arcDensity(k, A, xi2 + p1b);
        xi1 = xi1 + (p1a + p2a) / 2.0;
        xi2 = xi2 + (p1b + p2b) / 2.0;
    }
    x1 = s.sineX0 + xi1;
    x2 = s.sineX0 + xi2;
}

}  // namespace hybridsim

#include "sim/hybrid_control.h"

#include <cmath>

#include "portable_math/portable_math.h"
#include "sim/kinematics.h"

namespace hybridsim {
namespace {

// |x0 - xf| below this makes a line parallel to the y axis [m]
constexpr double verticalLineTolerance = 0.00001;

}  // namespace

ContourAngles contourNormalAngle(const SimSettings& s, Vec2 p)
{
    ContourAngles a;
    if (s.curve == 'L') {
        // material to the right of the direction of travel
        a.normal = s.lineAngle - pi / 2.0;
        a.tangent = s.lineAngle;
    } else if (s.curve == 'C') {
        // towards the centre; travel counter-clockwise
        a.normal = pmath::atan2(p.y - s.circleOy, p.x - s.circleOx) + pi;
        a.tangent = a.normal - pi / 2.0;
    } else if (s.curve == 'S') {
        // slope angle of the wave; material below it
        const double k = 2.0 * pi / s.sineL;
        a.tangent = pmath::atan(k * s.sineA * pmath::cos(k * (p.x - s.sineX0)));
        a.normal = a.tangent - pi / 2.0;
    }
    return a;
}

// Pressing with force F along the normal n, seen from the hand axis at
// angle phi = n - theta_h, the springs deflect by
//   p = (F cos phi / KH1, F sin phi / KH2)        (hand frame).
// The command point is P + R(theta_h) p: inside the material by that
// deflection, so the deflected probe tip comes back to P.
Joints computeJointCommand(const SimSettings& s, double t, Vec2 P, double F, Joints& contactJoints,
                           ReachReporter* report)
{
    const Joints reference = (t == 0.0) ? s.initialJoint : contactJoints;
    const ContourAngles angles = contourNormalAngle(s, P);
    contactJoints = inverseKinematics(s, P.x, P.y, reference, report);
    const double th = handAngle(s, contactJoints);
    const double phi = angleFromHand(s, angles.normal, contactJoints);
    const double p1 = F * pmath::cos(phi) / s.KH1;
    const double p2 = F * pmath::sin(phi) / s.KH2;
    const double pcx = P.x + pmath::cos(th) * p1 - pmath::sin(th) * p2;
    const double pcy = P.y + pmath::sin(th) * p1 + pmath::cos(th) * p2;
    return inverseKinematics(s, pcx, pcy, reference, report);
}

// A tip pressed into the material by the signed depth d along the normal n
// (phi = n - theta_h) is held by a frictionless contact: the force is along
// n, Fc = d KH1 KH2 / (KH1 sin^2 phi + KH2 cos^2 phi), and unequal springs
// add a tangential deflection dt = (KH1 - KH2) Fc cos phi sin phi / (KH1 KH2).
// In the hand frame delta = d (cos phi, sin phi) + dt (-sin phi, cos phi).
Penetration penetrationOf(const SimSettings& s, Joints q)
{
    const Vec2 T = probeTipPosition(s, q);
    double n = 0.0;  // normal angle into the material
    double d = 0.0;  // penetration depth, positive inside the material
    if (s.curve == 'L') {
        if (std::fabs(s.lineX0 - s.lineXf) < verticalLineTolerance) {
            if (s.lineYf < s.lineY0) {
                // running towards -y: the material lies on the -x side, as the
                // joint command has it
                n = -pi;
                d = s.lineX0 - T.x;
            } else {
                n = 0.0;
                d = T.x - s.lineX0;
            }
        } else {
            n = s.lineAngle - pi / 2.0;
            const double yL = s.lineY0 + pmath::tan(s.lineAngle) * (T.x - s.lineX0);
            d = pmath::cos(s.lineAngle) * (yL - T.y);
        }
    } else if (s.curve == 'C') {
        n = pmath::atan2(T.y - s.circleOy, T.x - s.circleOx) + pi;
        const double dx = T.x - s.circleOx;
        const double dy = T.y - s.circleOy;
        d = s.circleR - std::sqrt(dx * dx + dy * dy);
    } else if (s.curve == 'S') {
        const double yS = s.sineY0 + s.sineA * pmath::sin(2.0 * pi * (T.x - s.sineX0) / s.sineL);
        n = contourNormalAngle(s, T).normal;
        d = pmath::sin(n) * (T.y - yS);
    }
    return {d, n};
}

double handNormalStiffness(const SimSettings& s, double cphi, double sphi)
{
    return s.KH1 * s.KH2 / (s.KH1 * sphi * sphi + s.KH2 * cphi * cphi);
}

Contact contactOf(const SimSettings& s, Joints q)
{
    const Penetration p = penetrationOf(s, q);
    const double d = p.depth;
    const double phi = angleFromHand(s, p.normal, q);
    const double cphi = pmath::cos(phi);
    const double sphi = pmath::sin(phi);
    const double Fc = d * s.KH1 * s.KH2 / (s.KH1 * sphi * sphi + s.KH2 * cphi * cphi);
    const double dt = (s.KH1 - s.KH2) * Fc * cphi * sphi / (s.KH1 * s.KH2);
    return {{d * cphi - dt * sphi, d * sphi + dt * cphi}, Fc};
}

Vec2 evaluateContact(const SimSettings& s, Joints q)
{
    return contactOf(s, q).deflection;
}

// The real tip lies at the undeflected tip minus R(theta_h) delta.
Vec2 deflectedTipPosition(const SimSettings& s, Joints q, Vec2 delta)
{
    if (s.type == 'a') {
        const double c = pmath::cos(q.phi1);
        const double sn = pmath::sin(q.phi1);
        return {(q.phi2 - delta.x) * c + delta.y * sn, (q.phi2 - delta.x) * sn - delta.y * c};
    }
    if (s.type == 'b') {
        const double L2 = s.l2 + s.wp;
        const double h = q.phi1 + q.phi2;
        return {s.l1 * pmath::cos(q.phi1) + (L2 - delta.x) * pmath::cos(h) + delta.y * pmath::sin(h),
                s.l1 * pmath::sin(q.phi1) + (L2 - delta.x) * pmath::sin(h) - delta.y * pmath::cos(h)};
    }
    return {};
}

}  // namespace hybridsim

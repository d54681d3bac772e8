#include "sim/kinematics.h"

#include <cmath>

#include "portable_math/portable_math.h"

namespace hybridsim {

double nearestBranch(double v, double r)
{
    // candidates in order of preference; a later one must be strictly closer
    const double candidates[4] = {v + 2.0 * pi, v - 2.0 * pi, v + 4.0 * pi, v - 4.0 * pi};
    double w = v;
    for (double c : candidates) {
        if (std::fabs(c - r) < std::fabs(w - r)) w = c;
    }
    return w;
}

Joints inverseKinematics(const SimSettings& s, double x, double y, Joints reference,
                         ReachReporter* report)
{
    Joints q = reference;
    if (s.type == 'a') {
        // arm direction and radial distance
        q.phi1 = nearestBranch(pmath::atan2(y, x), reference.phi1);
        q.phi2 = std::sqrt(x * x + y * y);
    } else if (s.type == 'b') {
        const double d = std::sqrt(x * x + y * y);
        const double L2 = s.l2 + s.wp;
        // cosine of the inner angle at the elbow
        const double c2 = (s.l1 * s.l1 + L2 * L2 - d * d) / (2.0 * s.l1 * L2);
        if (std::fabs(c2) > 1.0 && report) report->unreachable(s.l1, L2, x, y);
        // one fixed elbow posture: link 2 turned counter-clockwise from link 1
        const double phi2 = pi - pmath::acos(c2);
        const double phi1 = pmath::atan2(y, x) - pmath::acos((s.l1 * s.l1 + d * d - L2 * L2) / (2.0 * s.l1 * d));
        q.phi1 = nearestBranch(phi1, reference.phi1);
        q.phi2 = nearestBranch(phi2, reference.phi2);
    }
    return q;
}

ReachAnnulus reachOfRobotB(const SimSettings& s)
{
    const double L2 = s.l2 + s.wp;
    return {std::fabs(s.l1 - L2), s.l1 + L2};
}

Vec2 probeTipPosition(const SimSettings& s, Joints q)
{
    if (s.type == 'a') return {q.phi2 * pmath::cos(q.phi1), q.phi2 * pmath::sin(q.phi1)};
    if (s.type == 'b') {
        const double L2 = s.l2 + s.wp;
        return {s.l1 * pmath::cos(q.phi1) + L2 * pmath::cos(q.phi1 + q.phi2),
                s.l1 * pmath::sin(q.phi1) + L2 * pmath::sin(q.phi1 + q.phi2)};
    }
    return {};
}

double handAngle(const SimSettings& s, Joints q)
{
    if (s.type == 'b') return q.phi1 + q.phi2;
    if (s.type == 'a') return q.phi1;
    return 0.0;
}

double angleFromHand(const SimSettings& s, double angle, Joints q)
{
    double e = angle - handAngle(s, q);
    if (e > pi) e = e - 2.0 * pi;
    if (e < -pi) e = e + 2.0 * pi;
    return e;
}

}  // namespace hybridsim

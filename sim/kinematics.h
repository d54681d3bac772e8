// Kinematics of the two robots in the work plane.
//
// Robot a (cylindrical coordinates): phi1 arm direction, phi2 radial
// distance of the probe tip.  Robot b (SCARA): link 1 of length l1 at phi1,
// link 2 turned by phi2 relative to link 1; the probe tip lies wp beyond the
// end of link 2, so the elbow-to-tip length is L2 = l2 + wp.
#pragma once

#include "sim/reach_reporter.h"
#include "sim/settings.h"

namespace hybridsim {

// The candidate among v, v + 2pi, v - 2pi, v + 4pi, v - 4pi nearest to r
// (a tie keeps the earlier one): keeps successive angles continuous.
double nearestBranch(double v, double r);

// Joint coordinates that put the undeflected probe tip at (x, y), each angle
// on the branch nearest to `reference`.  Robot b keeps its elbow turned
// counter-clockwise (0 <= phi2 <= pi).  A point out of robot b's reach is
// reported to `report` (when given) and yields not-a-number joints.
Joints inverseKinematics(const SimSettings& s, double x, double y, Joints reference,
                         ReachReporter* report = nullptr);

// The annulus about the base that robot b's undeflected probe tip can reach:
// radii |l1 - L2| and l1 + L2 [m].  Points between them, edges included,
// have a posture; inverseKinematics reports every other point.
struct ReachAnnulus {
    double inner = 0.0;
    double outer = 0.0;
};
ReachAnnulus reachOfRobotB(const SimSettings& s);

// The undeflected probe tip of a posture.
Vec2 probeTipPosition(const SimSettings& s, Joints q);

// Direction of the hand axis: phi1 (robot a) or phi1 + phi2 (robot b).
double handAngle(const SimSettings& s, Joints q);

// angle - handAngle(q), folded once into [-pi, pi].
double angleFromHand(const SimSettings& s, double angle, Joints q);

}  // namespace hybridsim

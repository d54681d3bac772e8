// Hybrid control laws: the joint command for a contact point and a normal
// force, and what that posture does against the workpiece.
//
// Hand frame: axis 1 along the hand (handAngle), axis 2 turned by +pi/2.
// The probe sits on springs KH1 (axis 1) and KH2 (axis 2); a deflection
// delta carries the force (KH1 d1, KH2 d2) and moves the real probe tip to
// the undeflected tip minus R(theta_h) delta.
#pragma once

#include "sim/reach_reporter.h"
#include "sim/settings.h"

namespace hybridsim {

// Normal (into the material) and tangent angle of the active contour.
struct ContourAngles {
    double normal = 0.0;   // n [rad]
    double tangent = 0.0;  // tau [rad]
};

// Normal and tangent of the active contour at point p.
ContourAngles contourNormalAngle(const SimSettings& s, Vec2 p);

// Joint coordinates commanded for contact point P and normal force F: the
// posture whose undeflected tip lies inside the material by the deflection
// that F needs along the normal.  The continuity reference is initialJoint at
// t = 0 and `contactJoints` otherwise; `contactJoints` becomes the posture at P.
Joints computeJointCommand(const SimSettings& s, double t, Vec2 P, double F,
                           Joints& contactJoints, ReachReporter* report = nullptr);

// Where the undeflected tip of posture q lies against the nominal contour:
// its signed penetration d [m], positive inside the material, along the
// normal n into the material [rad].
struct Penetration {
    double depth = 0.0;
    double normal = 0.0;
};
Penetration penetrationOf(const SimSettings& s, Joints q);

// The hand's stiffness along a normal at angle phi from the hand axis:
// KH1 KH2 / (KH1 sin^2 phi + KH2 cos^2 phi) [N/m].
double handNormalStiffness(const SimSettings& s, double cphi, double sphi);

// What posture q does pressed against the nominal contour, from the signed
// penetration of its undeflected tip: the hand deflection (hand frame) and
// the normal force Fc that the spring exerts [N].
struct Contact {
    Vec2 deflection;
    double springForce = 0.0;
};
Contact contactOf(const SimSettings& s, Joints q);

// The hand deflection of contactOf alone.
Vec2 evaluateContact(const SimSettings& s, Joints q);

// The real probe tip of posture q with hand deflection delta.
Vec2 deflectedTipPosition(const SimSettings& s, Joints q, Vec2 delta);

}  // namespace hybridsim

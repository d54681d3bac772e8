#include "sim/derivation.h"

#include "portable_math/portable_math.h"
#include "sim/gain_design.h"
#include "sim/kinematics.h"
#include "sim/trajectory.h"

namespace hybridsim {
namespace {

// continuity reference of the settings steps
constexpr Joints ikReference{0.0, 0.0};

// Joints of the start point for the selected robot, and the reachability
// check of the end point (its joints are not kept).  Returns false when the
// robot type selects no model.
bool deriveStartJoints(SimSettings& s, ReachReporter* report)
{
    if (s.type != 'a' && s.type != 'b') return false;
    Joints& start = s.type == 'a' ? s.startJointA : s.startJointB;
    start = inverseKinematics(s, s.startX, s.startY, ikReference, report);
    inverseKinematics(s, s.endX, s.endY, ikReference, report);
    return true;
}

}  // namespace

bool deriveContourEnds(SimSettings& s)
{
    if (s.curve == 'L') {
        s.tf = s.lineTf;
        s.startX = s.lineX0;
        s.startY = s.lineY0;
        s.endX = s.lineXf;
        s.endY = s.lineYf;
    } else if (s.curve == 'C') {
        // one full turn from the right-hand end back to it
        s.tf = s.circleTf;
        s.circleX0 = s.circleOx + s.circleR;
        s.circleY0 = s.circleOy;
        s.startX = s.circleX0;
        s.startY = s.circleY0;
        s.circleXf = s.startX;
        s.circleYf = s.startY;
        s.endX = s.startX;
        s.endY = s.startY;
    } else if (s.curve == 'S') {
        // one wavelength
        s.tf = s.sineTf;
        s.startX = s.sineX0;
        s.startY = s.sineY0;
        s.sineXf = s.startX + s.sineL;
        s.sineYf = s.startY;
        s.endX = s.sineXf;
        s.endY = s.sineYf;
    } else {
        return false;
    }
    return true;
}

void deriveSettings(SimSettings& s, ReachReporter* report)
{
    updateDrawingDimensions(s);
    designGains(s);
    updateSeterrorLabel(s);
    // positioning time, start and end point, shifted contour
    deriveContourEnds(s);
    if (s.curve == 'L') {
        s.lineAngle = pmath::atan2(s.endY - s.startY, s.endX - s.startX);
        s.shiftedLineX0 = s.lineX0 + s.seterror;
        s.shiftedLineY0 = s.lineY0;
        s.shiftedLineXf = s.lineXf + s.seterror;
        s.shiftedLineYf = s.lineYf;
        s.shiftedLineAngle =
            pmath::atan2(s.shiftedLineYf - s.shiftedLineY0, s.shiftedLineXf - s.shiftedLineX0);
    } else if (s.curve == 'C') {
        s.shiftedCircleOx = s.circleOx + s.seterror;
        s.shiftedCircleOy = s.circleOy;
    }
    s.shiftedSineX0 = s.sineX0 + s.seterror;
    s.shiftedSineY0 = s.sineY0;
    if (deriveStartJoints(s, report)) s.initialJoint = s.type == 'a' ? s.startJointA : s.startJointB;
    setupTrajectory(s);
}

void updateContourStart(SimSettings& s, ReachReporter* report)
{
    if (!deriveContourEnds(s)) return;
    deriveStartJoints(s, report);
    setupTrajectory(s);
}

}  // namespace hybridsim

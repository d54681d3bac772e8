// How the model reports a point that robot b cannot reach.
//
// The model never touches the terminal: the inverse kinematics hands the
// failure to the reporter it is given, and the console decides how to show
// it (message lines, key wait, counting).
#pragma once

namespace hybridsim {

class ReachReporter {
public:
    virtual ~ReachReporter() = default;
    // Robot b cannot put its probe tip at (x, y): link 1 length l1, elbow to
    // probe tip L2.  The inverse kinematics goes on with not-a-number joints.
    virtual void unreachable(double l1, double L2, double x, double y) = 0;
};

}  // namespace hybridsim

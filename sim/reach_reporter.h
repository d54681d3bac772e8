// How the model reports a point that robot b cannot reach.
//
// The model never touches the terminal: the inverse kinematics hands the
// failure to the reporter it is given, and the console decides how to show
// it (message lines, key wait, counting).
#pragma once

#include <cmath>

namespace hybridsim {

class ReachReporter {
public:
    virtual ~ReachReporter() = default;
    // Robot b cannot put its probe tip at (x, y): link 1 length l1, elbow to
    // probe tip L2.  The inverse kinematics goes on with not-a-number joints.
    virtual void unreachable(double l1, double L2, double x, double y) = 0;
};

// Hands every unreachable point on and remembers whether the sample being
// recorded met one at a finite point (a point at infinity or not-a-number
// is an overflow that reached the inverse kinematics, not a point out of
// reach).
class SampleReach : public ReachReporter {
public:
    explicit SampleReach(ReachReporter* next) : next_(next) {}
    void unreachable(double l1, double L2, double x, double y) override
    {
        if (std::isfinite(x) && std::isfinite(y)) met_ = true;
        if (next_) next_->unreachable(l1, L2, x, y);
    }
    // whether the sample since the last call met one
    bool take()
    {
        const bool met = met_;
        met_ = false;
        return met;
    }

private:
    ReachReporter* next_;
    bool met_ = false;
};

}  // namespace hybridsim

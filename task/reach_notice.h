// The console's side of an unreachable point: the two message lines, a key
// wait, and a count when one run or one derivation meets many such points.
#pragma once

#include <functional>
#include <ostream>

#include "sim/reach_reporter.h"

namespace hybridsim {

class ReachNotice : public ReachReporter {
public:
    // `waitKey` runs after the message (nothing when empty).
    explicit ReachNotice(std::ostream& out, std::function<void()> waitKey = {});

    // Starts a run or a derivation: its first unreachable point prints the
    // message and waits, the further ones are only counted.
    void beginScope();
    // Ends it: when more than one point was unreachable, one line says how many.
    void endScope();

    void unreachable(double l1, double L2, double x, double y) override;

    // Unreachable points met in the current scope.
    int count() const { return count_; }

private:
    std::ostream& out_;
    std::function<void()> waitKey_;
    int count_ = 0;
};

}  // namespace hybridsim

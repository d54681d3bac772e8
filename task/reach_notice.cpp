#include "task/reach_notice.h"

#include <utility>

#include "task/messages.h"
#include "task/text_format.h"

namespace hybridsim {

ReachNotice::ReachNotice(std::ostream& out, std::function<void()> waitKey)
    : out_(out), waitKey_(std::move(waitKey))
{
}

void ReachNotice::beginScope()
{
    count_ = 0;
}

void ReachNotice::endScope()
{
    if (count_ > 1) out_ << format(msg::unreachableCount, count_) << std::flush;
    count_ = 0;
}

void ReachNotice::unreachable(double l1, double L2, double x, double y)
{
    if (++count_ > 1) return;
    out_ << msg::noSolution << format(msg::noSolutionDetail, l1, L2, x, y) << std::flush;
    if (waitKey_) waitKey_();
}

}  // namespace hybridsim

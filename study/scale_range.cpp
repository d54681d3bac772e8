#include "study/scale_range.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace hybridsim {

void ValueRange::cover(double v)
{
    if (!std::isfinite(v)) return;
    lo = any ? std::min(lo, v) : v;
    hi = any ? std::max(hi, v) : v;
    any = true;
}

ScaleEnds scaleEnds(double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) return {0.0, 1.0};
    // a single value (or a span rounding could make, or one too fine to
    // resolve): a span around it
    const double size = std::max(std::fabs(lo), std::fabs(hi));
    if (hi - lo <= 1e-9 * size || hi == lo || hi / 2.0 - lo / 2.0 < leastHalfSpan) {
        const double half = 0.1 * size >= leastHalfSpan ? 0.1 * size : 1.0;
        lo = std::max(lo - half, -DBL_MAX);
        hi = std::min(hi + half, DBL_MAX);
    }
    return {lo, hi};
}

double scaleShare(double v, double lo, double hi)
{
    return (v / 2.0 - lo / 2.0) / (hi / 2.0 - lo / 2.0);
}

}  // namespace hybridsim

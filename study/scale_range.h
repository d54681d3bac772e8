// The one rule by which every scale of the program is fitted to values --
// the charts' axes (study/svg_chart), the loops' force axis, the study
// graphs' force scale and the window's position graph (drawing/graphs) -- so
// that a scale stays finite and maps every value to a finite place whatever
// the values: subnormal numbers, values near the largest double, all values
// equal, none a number, infinities among them.
#pragma once

namespace hybridsim {

// The smallest and largest finite value covered; infinities and
// not-a-number are passed over.
struct ValueRange {
    double lo = 0.0;
    double hi = 0.0;
    bool any = false;  // whether a finite value was covered
    void cover(double v);
};

// The least half-span a scale resolves: some 500 times the smallest normal
// double.  Below it the halves of the span, its steps and its shares become
// subnormal numbers, lose their digits or become 0 (half of 5e-324 is 0).
constexpr double leastHalfSpan = 1e-305;

// The ends of a scale that covers lo..hi:
//   lo..hi itself when it spans more than rounding (1e-9 of the values'
//   size) and more than twice leastHalfSpan;
//   else a single value: widened by a tenth of its size each way, or by 1
//   each way when that tenth is below leastHalfSpan (0, and every value a
//   scale cannot tell from 0);
//   0..1 when lo or hi is not finite or hi < lo (no values).
// Ends widened past the largest double stay at it.
struct ScaleEnds {
    double lo = 0.0;
    double hi = 1.0;
};
ScaleEnds scaleEnds(double lo, double hi);

// Where v lies between lo and hi, 0 at lo and 1 at hi: each halved first,
// so that a span between the widest doubles does not overflow.
double scaleShare(double v, double lo, double hi);

}  // namespace hybridsim

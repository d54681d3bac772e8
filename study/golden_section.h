// The smallest value of a function of one variable on an interval where it
// has one minimum, by golden-section search: the run summary's distance to
// the sine and the step response's peak between two trace points.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>

namespace hybridsim {

// The smallest value of f on [a, b] and where it is (the smaller abscissa
// of equal values), after at most `steps` narrowings of the bracket by the
// golden ratio; f is taken to have one minimum there.
template <class F>
std::pair<double, double> goldenMinimum(F f, double a, double b, int steps)
{
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - g * (b - a);
    double d = a + g * (b - a);
    double fc = f(c);
    double fd = f(d);
    std::pair<double, double> best = std::min({std::make_pair(f(a), a), std::make_pair(f(b), b),
                                               std::make_pair(fc, c), std::make_pair(fd, d)});
    for (int i = 0; i < steps && c < d; ++i) {
        if (fc <= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
            best = std::min(best, std::make_pair(fc, c));
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
            best = std::min(best, std::make_pair(fd, d));
        }
    }
    return best;
}

}  // namespace hybridsim

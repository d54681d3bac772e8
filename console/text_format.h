// printf-style formatting that never follows the locale's decimal mark.
#pragma once

#include <functional>
#include <string>

namespace hybridsim {

// Formats like snprintf under the "C" numeric locale.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Converts a whole token to a double like "%lf" under the "C" locale:
// false when the token is not entirely a number.
bool parseDouble(const std::string& token, double& value);

// `v` with the fewest significant digits, at most `maxDigits`, that
// parseDouble reads back to `v` exactly (with 17 every double reads back);
// without an exponent when it has fewer than 17 places before the point
// (500, 0.25, 1e-07, 1e+20).
std::string shortestNumber(double v, int maxDigits = 17);

// `v` rounded to the fewest significant digits, at most 17, whose reading
// by parseDouble `reads` accepts, written as shortestNumber writes; empty
// when no rounding of `v` is accepted.  shortestNumber(v) is this with
// `reads` accepting v alone.
std::string shortestNumberThat(double v, const std::function<bool(double)>& reads);

}  // namespace hybridsim

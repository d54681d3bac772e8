// printf-style formatting that never follows the locale's decimal mark.
#pragma once

#include <string>

namespace hybridsim {

// Formats like snprintf under the "C" numeric locale.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Converts a whole token to a double like "%lf" under the "C" locale:
// false when the token is not entirely a number.
bool parseDouble(const std::string& token, double& value);

}  // namespace hybridsim

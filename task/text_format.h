// printf-style formatting that never follows the locale's decimal mark,
// and the texts of numbers and values that every output shares.
#pragma once

#include <cstddef>
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
// (not-a-number: "nan").
std::string shortestNumber(double v, int maxDigits = 17);

// `v` as it is: not-a-number without its sign, so that "%g" and "%f" write
// it as "nan" (never "-nan": the sign of a not-a-number means nothing, and a
// reader should meet one spelling).
double plainNan(double v);

// `v` with 17 significant digits ("%.17g": reads back exactly), not-a-number
// as "nan": the numbers of the CSV files.
std::string exactNumber(double v);

// A field of a CSV row: quoted, with its quotes doubled, when it holds a
// comma, a quote or a line end; as it is otherwise.
std::string csvField(const std::string& text);

// A text as a JSON string: in quotes, with quotes, backslashes and control
// characters escaped, a byte that is not UTF-8 as U+FFFD.
std::string jsonQuoted(const std::string& text);

// The character of UTF-8 text that starts at byte `at`: its length in
// bytes, with its code point in `code`; 0 where no well-formed character
// starts (a stray or missing continuation byte, an overlong form, a
// surrogate, past U+10FFFF).
std::size_t utf8CharAt(const std::string& text, std::size_t at, unsigned long& code);

// A value as a message quotes it: on one line and short.  Printable
// characters stay as they are, those of other scripts too (UTF-8: "Fn=１０");
// every other byte (control characters, line ends, invisible format
// characters such as the byte-order mark, bytes that are not UTF-8) is
// written as \xNN, and after `most` characters the rest is left out and
// "..." ends it.
std::string shownText(const std::string& text, std::size_t most = 60);
// `v` rounded to the fewest significant digits, at most 17, whose reading
// by parseDouble `reads` accepts, written as shortestNumber writes; empty
// when no rounding of `v` is accepted.  shortestNumber(v) is this with
// `reads` accepting v alone.
std::string shortestNumberThat(double v, const std::function<bool(double)>& reads);

}  // namespace hybridsim

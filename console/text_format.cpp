#include "console/text_format.h"

#include <cerrno>
#include <cmath>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace hybridsim {
namespace {

// The "C" locale, made once; numbers are always written and read with it.
locale_t cLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

// Switches this thread to the "C" locale for as long as it lives.
class CLocaleScope {
public:
    CLocaleScope() : previous_(cLocale() ? uselocale(cLocale()) : locale_t(0)) {}
    ~CLocaleScope()
    {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace

std::string format(const char* fmt, ...)
{
    CLocaleScope scope;
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    char buf[256];
    const int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(again);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof buf) {
        out.assign(buf, static_cast<size_t>(n));
    } else {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, again);
        out.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}

bool parseDouble(const std::string& token, double& value)
{
    if (token.empty() || !cLocale()) return false;
    const char* begin = token.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = strtod_l(begin, &end, cLocale());
    // the whole token must be the number (leading blanks are not a number)
    // (a zero byte inside the token ends the conversion early: not a number)
    if (end == begin || end != begin + token.size() ||
        token.find_first_of(" \t\n\r\v\f") != std::string::npos)
        return false;
    value = v;
    return true;
}

namespace {

// The fewest digits up to maxDigits whose reading `reads` accepts: the text
// and its reading; false when none is.
bool fewestDigits(double v, int maxDigits, const std::function<bool(double)>& reads, std::string& text,
                  double& back)
{
    if (std::isnan(v)) {
        text = "nan";
        back = v;
        return reads(v);
    }
    for (int digits = 1; digits <= maxDigits; ++digits) {
        text = format("%.*g", digits, v);
        if (parseDouble(text, back) && reads(back)) return true;
    }
    return false;
}

// A number of up to 17 places before the point without an exponent: 500,
// not 5e+02 (the same number, with as many digits as it has places).
std::string withoutSmallExponent(const std::string& text, double back)
{
    const std::size_t e = text.find('e');
    if (e == std::string::npos) return text;
    const std::size_t mantissa = text.find_first_of("0123456789");
    const std::size_t point = text.find('.');
    const int digits = point < e ? static_cast<int>(e - mantissa - 1) : static_cast<int>(e - mantissa);
    const int exponent = std::atoi(text.c_str() + e + 1);
    if (exponent >= digits && exponent < 17) return format("%.*g", exponent + 1, back);
    return text;
}

}  // namespace

std::string shortestNumber(double v, int maxDigits)
{
    std::string text;
    double back = 0.0;
    // with fewer digits than every double needs, the nearest at maxDigits
    if (!fewestDigits(v, maxDigits, [v](double x) { return x == v; }, text, back)) parseDouble(text, back);
    return withoutSmallExponent(text, back);
}

std::string shortestNumberThat(double v, const std::function<bool(double)>& reads)
{
    std::string text;
    double back = 0.0;
    if (!fewestDigits(v, 17, reads, text, back)) return "";
    return withoutSmallExponent(text, back);
}

double plainNan(double v)
{
    return std::isnan(v) ? std::fabs(v) : v;
}

std::string exactNumber(double v)
{
    return format("%.17g", plainNan(v));
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string shownText(const std::string& text, std::size_t most)
{
    std::string out;
    std::size_t shown = 0;
    for (unsigned char c : text) {
        if (shown == most) return out + "...";
        if (c >= 0x20 && c < 0x7f)
            out.push_back(static_cast<char>(c));
        else
            out += format("\\x%02x", c);
        ++shown;
    }
    return out;
}

}  // namespace hybridsim

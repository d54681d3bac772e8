#include "task/text_format.h"

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

std::string jsonQuoted(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        unsigned long code = 0;
        const std::size_t length = c < 0x80 ? 1 : utf8CharAt(text, at, code);
        if (length == 0) {
            out += "\\ufffd";  // a byte that is not UTF-8
            ++at;
            continue;
        }
        if (c == '"' || c == '\\')
            out += std::string("\\") + text[at];
        else if (c < 0x20 || c == 0x7f)
            out += format("\\u%04x", c);
        else
            out += text.substr(at, length);
        at += length;
    }
    return out + "\"";
}

namespace {

// The length of the UTF-8 character at text[at] when it is one a message
// shows as it is: well formed (no stray or missing continuation byte, no
// overlong form, no surrogate, nothing past U+10FFFF) and printable -- not
// a control character (C0, DEL, C1), a line or paragraph separator, an
// invisible format character (zero-width spaces and joiners, direction
// marks and overrides, the byte-order mark) or a noncharacter.  0 otherwise.
std::size_t shownCharLength(const std::string& text, std::size_t at)
{
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) return c >= 0x20 && c < 0x7f ? 1 : 0;
    unsigned long code = 0;
    const std::size_t n = utf8CharAt(text, at, code);
    if (n == 0) return 0;
    const bool hidden = code <= 0x9F || code == 0xAD || (code >= 0x200B && code <= 0x200F) ||
                        (code >= 0x2028 && code <= 0x202E) || (code >= 0x2060 && code <= 0x206F) ||
                        code == 0xFEFF || (code >= 0xFFF9 && code <= 0xFFFB) || (code >= 0xFDD0 && code <= 0xFDEF) ||
                        (code & 0xFFFE) == 0xFFFE;
    return hidden ? 0 : n;
}

}  // namespace

std::size_t utf8CharAt(const std::string& text, std::size_t at, unsigned long& code)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(at);
    std::size_t n = 0;
    if (c < 0x80) {
        code = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (at + n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

std::string shownText(const std::string& text, std::size_t most)
{
    std::string out;
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (shown == most) return out + "...";
        const std::size_t n = shownCharLength(text, at);
        if (n > 0) {
            out.append(text, at, n);
            at += n;
        } else {
            out += format("\\x%02x", static_cast<unsigned char>(text[at]));
            ++at;
        }
        ++shown;
    }
    return out;
}

}  // namespace hybridsim

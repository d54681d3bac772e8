#include "study/frequency_response.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "portable_math/portable_math.h"
#include "study/golden_section.h"
#include "task/text_format.h"

namespace hybridsim {

namespace {

// coefficients of a polynomial, the lowest power first
using Poly = std::vector<double>;

// A transfer function N(x) / D(x) of x = s / scale (continuous) or
// x = z - 1 (sampled, T the period).  Doubles and the portable functions
// only, so that every build gives the same figures to the last bit.
struct Rational {
    Poly num, den;
    double scale = 1.0;  // [rad/s] per unit of x (continuous)
    double period = 0.0;  // T [s], sampled when above 0
};

struct Value {
    double re = 0.0, im = 0.0;
};

// p(x) by Horner's rule in complex numbers
Value evaluate(const Poly& p, Value x)
{
    Value v;
    for (auto c = p.rbegin(); c != p.rend(); ++c) v = Value{v.re * x.re - v.im * x.im + *c, v.re * x.im + v.im * x.re};
    return v;
}

// N and D at one frequency [Hz]
std::pair<Value, Value> at(const Rational& h, double hz)
{
    const double w = twoPi * hz;
    Value x;
    if (h.period > 0.0) {
        // z - 1 = e^(j theta) - 1 = -2 sin^2(theta / 2) + j sin theta, without cancellation near z = 1
        const double theta = w * h.period;
        const double half = pmath::sin(theta / 2.0);
        x = Value{-2.0 * half * half, pmath::sin(theta)};
    } else {
        x = Value{0.0, w / h.scale};
    }
    return {evaluate(h.num, x), evaluate(h.den, x)};
}

// |H| in dB, the difference of the logarithms so that no quotient overflows
double decibels(const std::pair<Value, Value>& nd)
{
    return 20.0 * (pmath::log10(pmath::hypot(nd.first.re, nd.first.im)) -
                   pmath::log10(pmath::hypot(nd.second.re, nd.second.im)));
}

double degrees(const std::pair<Value, Value>& nd)
{
    return (pmath::atan2(nd.first.im, nd.first.re) - pmath::atan2(nd.second.im, nd.second.re)) * 360.0 / twoPi;
}

// |H| at 0 Hz, the limit x -> 0: the ratio of the lowest powers the
// denominator has (infinite where the numerator has a lower one)
double dcGain(const Rational& h)
{
    std::size_t m = 0;
    while (m < h.den.size() && h.den[m] == 0.0) ++m;
    for (std::size_t k = 0; k < std::min(m, h.num.size()); ++k)
        if (h.num[k] != 0.0) return HUGE_VAL;
    if (m == h.den.size()) return std::nan("");
    const double n = m < h.num.size() ? h.num[m] : 0.0;
    return std::fabs(n / h.den[m]);
}

bool finiteCoefficients(const Rational& h)
{
    for (const Poly* p : {&h.num, &h.den})
        for (double c : *p)
            if (!std::isfinite(c)) return false;
    return true;
}

// The response of h on the log grid from low to high [Hz], its bandwidth and peak.
Response respond(const Rational& h, double low, double high)
{
    Response r;
    if (!finiteCoefficients(h) || !(low >= 1e-300) || !(high > low) || !(high <= 1e300)) return r;
    r.computed = true;
    r.dcGain = dcGain(h);
    // 20 a decade; low and high within 1e-300 and 1e300: at most 12,001
    const int points = static_cast<int>(std::ceil(20.0 * (pmath::log10(high) - pmath::log10(low)))) + 1;
    double turned = 0.0;
    for (int i = 0; i < points; ++i) {
        const double f = i == points - 1 ? high : low * pmath::pow(10.0, i / 20.0);
        const auto g = at(h, f);
        double phase = degrees(g);
        // continuous: the turn nearest the last point's phase
        if (!r.phase.empty()) {
            while (phase + turned - r.phase.back() > 180.0) turned -= 360.0;
            while (phase + turned - r.phase.back() < -180.0) turned += 360.0;
        }
        r.frequency.push_back(f);
        r.magnitude.push_back(decibels(g));
        r.phase.push_back(phase + turned);
    }
    if (!(r.dcGain > 0.0) || !std::isfinite(r.dcGain)) return r;
    const double dc = 20.0 * pmath::log10(r.dcGain);
    // bandwidth: the first grid point 3 dB below, then halving the bracket
    // from the point before (0 Hz, the DC gain, before the first)
    for (std::size_t i = 0; i < r.frequency.size(); ++i) {
        if (!(r.magnitude[i] < dc - 3.0)) continue;
        double a = i == 0 ? 0.0 : r.frequency[i - 1];
        double b = r.frequency[i];
        for (int k = 0; k < 2000; ++k) {
            const double mid = a + (b - a) / 2.0;
            if (mid <= a || mid >= b) break;
            (decibels(at(h, mid)) < dc - 3.0 ? b : a) = mid;
        }
        r.hasBandwidth = true;
        r.bandwidth = b;
        break;
    }
    // peak: the largest grid point above the DC gain, then golden sections between its neighbours
    const auto top = std::max_element(r.magnitude.begin(), r.magnitude.end());
    if (*top - dc > 1e-12) {
        const std::size_t i = static_cast<std::size_t>(top - r.magnitude.begin());
        const double a = r.frequency[i == 0 ? 0 : i - 1];
        const double b = r.frequency[std::min(i + 1, r.frequency.size() - 1)];
        const auto best = goldenMinimum([&](double f) { return -decibels(at(h, f)); }, a, b, 200);
        r.hasPeak = true;
        r.peak = std::max(-best.first, *top) - dc;
        r.peakFrequency = -best.first >= *top ? best.second : r.frequency[i];
    }
    return r;
}

// the designed closed loop in x = s / w0, w0 the larger of wn and alpha:
// numerator and denominator divided by w0^3 with W = wn / w0 and
// B = alpha / w0, so that no coefficient is above 4 and none overflows
Rational designedRational(const LoopPoles& l)
{
    const double w0 = std::max(l.wn, l.alpha) > 0.0 ? std::max(l.wn, l.alpha) : 1.0;
    const double W = l.wn / w0, B = l.alpha / w0, z = l.zeta;
    Rational h;
    h.num = {B * W * W, W * W + 2.0 * z * W * B, 2.0 * z * W + B};
    h.den = {B * W * W, W * W + 2.0 * z * W * B, 2.0 * z * W + B, 1.0};
    h.scale = w0;
    return h;
}

// the model: the force loop's (r on the measured force), the position
// loop's 1; in x = s / w0, w0 the largest pole frequency, and divided by
// the leading coefficient times w0^2, so that large or small gains keep
// the numbers near 1
Rational modelRational(const LoopPoles& l)
{
    Rational h;
    if (!std::isfinite(l.Kv) || !std::isfinite(l.Kp - 1.0) || !std::isfinite(l.Ki) || !std::isfinite(l.ratio)) {
        h.num = {std::nan("")};
        h.den = {1.0};
        return h;
    }
    if (l.system == 1) {
        h.num = {1.0};
        h.den = {1.0};
        return h;
    }
    const double r = l.ratio;
    const Poly den = {r * l.Ki, r * (l.Kp - 1.0), l.Kv};
    double w0 = 0.0;
    for (const Pole& p : quadraticRoots(den[2], den[1], den[0])) w0 = std::max(w0, poleFrequency(p));
    if (!(w0 > 0.0) || !std::isfinite(w0)) w0 = 1.0;
    // c_k w0^k / (c_n w0^n), c_n the highest coefficient that is not 0
    std::size_t n = den.size() - 1;
    while (n > 0 && den[n] == 0.0) --n;
    auto scaled = [&](double c, std::size_t k) {
        double v = c / den[n];
        for (std::size_t i = k; i < n; ++i) v /= w0;
        for (std::size_t i = n; i < k; ++i) v *= w0;
        return v;
    };
    for (std::size_t k = 0; k < den.size(); ++k) h.den.push_back(scaled(den[k], k));
    h.num = {h.den[0], h.den.size() > 1 ? h.den[1] : 0.0};
    h.scale = w0;
    return h;
}

// the sampled force loop in x = z - 1
Rational sampledRational(const LoopPoles& l)
{
    const double T = l.discrete.period, r = l.discrete.ratio;
    const double b = T * (l.Kp - 1.0) / l.Kv + l.Ki * T * T / (2.0 * l.Kv);
    const double g = l.Ki * T / l.Kv;
    Rational h;
    h.num = {r * g * T, r * b};
    h.den = {r * g * T, r * b, 1.0};
    h.period = l.discrete.period;
    return h;
}

// N / D as re, im: N times D's conjugate over |D|^2
Gain gainOf(const std::pair<Value, Value>& nd)
{
    const Value& n = nd.first;
    const Value& d = nd.second;
    const double size = d.re * d.re + d.im * d.im;
    return Gain{(n.re * d.re + n.im * d.im) / size, (n.im * d.re - n.re * d.im) / size};
}

}  // namespace

Gain designedResponseAt(const LoopPoles& l, double hz) { return gainOf(at(designedRational(l), hz)); }
Gain modelResponseAt(const LoopPoles& l, double hz) { return gainOf(at(modelRational(l), hz)); }
Gain sampledResponseAt(const LoopPoles& l, double hz) { return gainOf(at(sampledRational(l), hz)); }

std::array<LoopResponse, 2> loopResponses(const SimSettings& s)
{
    const std::array<LoopPoles, 2> loops = loopPoles(s);
    std::array<LoopResponse, 2> out;
    for (std::size_t k = 0; k < 2; ++k) {
        const LoopPoles& l = loops[k];
        LoopResponse& o = out[k];
        o.system = l.system;
        // the range: two decades either side of the poles off the origin
        double smallest = HUGE_VAL, largest = 0.0;
        for (const auto* set : {&l.designed, &l.model})
            for (const Pole& p : *set) {
                const double w = poleFrequency(p);
                if (!(w > 0.0) || !std::isfinite(w)) continue;
                smallest = std::min(smallest, w);
                largest = std::max(largest, w);
            }
        if (largest == 0.0) smallest = largest = twoPi;
        o.low = std::max(hertz(smallest) / 100.0, 1e-300);
        o.high = std::min(hertz(largest) * 100.0, 1e300);
        // poles beyond the range of numbers: four decades at its edge
        if (!(o.high > o.low)) {
            if (o.low > 1.0)
                o.low = o.high / 1e4;
            else
                o.high = o.low * 1e4;
        }
        o.designed = respond(designedRational(l), o.low, o.high);
        if (l.modelNone != PolesNone::gainsNotFinite && l.modelNone != PolesNone::startUnreached)
            o.model = respond(modelRational(l), o.low, o.high);
        if (l.discrete.computed) {
            const double nyquist = 0.5 / l.discrete.period;
            o.sampled = respond(sampledRational(l), std::min(o.low, nyquist / 1000.0), nyquist);
        }
    }
    return out;
}

std::string bandwidthText(const Response& r, double high)
{
    if (!r.computed) return "bandwidth none";
    if (r.dcGain == 0.0) return "bandwidth none (|H| is 0 at 0 Hz)";
    if (!std::isfinite(r.dcGain)) return "bandwidth none (|H| has no finite value at 0 Hz)";
    if (r.hasBandwidth) return format("bandwidth %.6g Hz", r.bandwidth);
    return format("bandwidth none (within 3 dB of its 0 Hz value up to %.6g Hz)", high);
}

std::string peakText(const Response& r)
{
    if (!r.computed || !(r.dcGain > 0.0) || !std::isfinite(r.dcGain)) return "peak none";
    if (r.hasPeak) return format("peak %.6g dB above the 0 Hz value at %.6g Hz", r.peak, r.peakFrequency);
    return "peak none (not above its 0 Hz value in this range)";
}

}  // namespace hybridsim

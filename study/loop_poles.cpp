#include "study/loop_poles.h"

#include <algorithm>
#include <cmath>

#include "portable_math/portable_math.h"
#include "study/frequency_response.h"
#include "task/text_format.h"

namespace hybridsim {

std::vector<Pole> quadraticRoots(double a, double b, double c)
{
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) return {};
    if (a == 0.0) {
        if (b == 0.0) return {};
        return {Pole{-c / b, 0.0}};
    }
    if (b == 0.0 && c == 0.0) return {Pole{0.0, 0.0}, Pole{0.0, 0.0}};
    // s = 2^m u, the equation divided by 2^k: A u^2 + B u + C with A the
    // mantissa of a and 2^m the size of the larger root (of |b/a| and
    // sqrt|c/a|), so that B^2 and 4 A C are about 1 whatever the gains.
    // Powers of two scale exactly: where nothing overflows the roots are
    // those of the schoolbook formula on a, b, c to the last bit.
    int ea = 0, eb = 0, ec = 0;
    const double A = std::frexp(a, &ea);
    const double fb = std::frexp(b, &eb);
    const double fc = std::frexp(c, &ec);
    const int d = ec - ea;
    const int m = b == 0.0 ? (d + (d & 1)) / 2 : c == 0.0 ? eb - ea : std::max(eb - ea, (d + (d & 1)) / 2);
    const double B = std::ldexp(fb, eb - ea - m);
    const double C = std::ldexp(fc, ec - ea - 2 * m);
    const double disc = B * B - 4.0 * A * C;
    if (disc < 0.0) {
        const double re = std::ldexp(-fb / (2.0 * A), eb - ea);
        const double im = std::ldexp(std::sqrt(-disc) / (2.0 * std::fabs(A)), m);
        return {Pole{re, im}, Pole{re, -im}};
    }
    // q = -(B + sign(B) sqrt(disc)) / 2: no difference of near-equal
    // numbers; the larger root q / A, the other C / q (from c's own
    // mantissa, so that it keeps its digits however small it is)
    const double q = -0.5 * (B + std::copysign(std::sqrt(disc), B));
    return {Pole{std::ldexp(q / A, m), 0.0}, Pole{std::ldexp(fc / q, ec - ea - m), 0.0}};
}

std::array<LoopPoles, 2> loopPoles(const SimSettings& s)
{
    std::array<LoopPoles, 2> loops;
    for (int k = 0; k < 2; ++k) {
        LoopPoles& l = loops[static_cast<std::size_t>(k)];
        l.system = k + 1;
        l.wn = k == 0 ? s.wn1 : s.wn2;
        l.zeta = k == 0 ? s.zeta1 : s.zeta2;
        l.alpha = k == 0 ? s.alpha1 : s.alpha2;
        l.Kp = k == 0 ? s.Kp1 : s.Kp2;
        l.Kv = k == 0 ? s.Kv1 : s.Kv2;
        l.Ki = k == 0 ? s.Ki1 : s.Ki2;
    }
    // the force loop under contact=spring feeds back r F
    loops[1].spring = s.springContact;
    if (s.springContact) loops[1].ratio = stiffnessRatio(s);
    for (LoopPoles& l : loops) {
        // the designed pair: wn times the roots of u^2 + 2 zeta u + 1 (s = wn u),
        // so that wn^2 neither overflows nor underflows
        for (const Pole& u : quadraticRoots(1.0, 2.0 * l.zeta, 1.0)) l.designed.push_back(Pole{l.wn * u.re, l.wn * u.im});
        l.designed.push_back(Pole{-l.alpha, 0.0});
        if (!std::isfinite(l.Kv) || !std::isfinite(l.Kp - 1.0) || !std::isfinite(l.Ki)) {
            l.modelNone = PolesNone::gainsNotFinite;
        } else if (!std::isfinite(l.ratio)) {
            l.modelNone = PolesNone::startUnreached;
        } else {
            l.model = l.spring ? quadraticRoots(l.Kv, l.ratio * (l.Kp - 1.0), l.ratio * l.Ki)
                               : quadraticRoots(l.Kv, l.Kp - 1.0, l.Ki);
            for (const Pole& p : l.model)
                if (!std::isfinite(p.re) || !std::isfinite(p.im)) l.modelNone = PolesNone::beyondRange;
            if (l.modelNone != PolesNone::computed) l.model.clear();
        }
        // a pole at 0 (alpha 0, no integral gain) is 0, not -0
        for (auto* set : {&l.designed, &l.model})
            for (Pole& p : *set) p = Pole{p.re + 0.0, p.im + 0.0};
    }
    // the sampled force loop (z-plane)
    LoopPoles& f = loops[1];
    f.discrete = sampledForceLoop(s);
    if (f.discrete.computed)
        for (int k = 0; k < 2; ++k) f.sampled.push_back(Pole{f.discrete.re[k] + 0.0, f.discrete.im[k] + 0.0});
    return loops;
}

const char* polesNoneText(PolesNone why)
{
    switch (why) {
    case PolesNone::gainsNotFinite: return "none: the gains are not all finite numbers (they overflow)";
    case PolesNone::beyondRange: return "none: a root lies beyond the largest number (about 1.8e308)";
    case PolesNone::startUnreached: return "none: the contour's start is out of the robot's reach, and k / kh with it";
    case PolesNone::computed: break;
    }
    return "";
}

double poleFrequency(const Pole& p) { return pmath::hypot(p.re, p.im); }

double poleDamping(const Pole& p)
{
    const double w = poleFrequency(p);
    return w > 0.0 ? -p.re / w : std::nan("");
}

namespace {


// A time 1 / |re| [s] as the table writes it; "none" with the reason where
// it is beyond the largest number (re below about 5.6e-309).
std::string timeText(double seconds)
{
    return std::isfinite(seconds) ? format("%.6g s", seconds) : std::string("none, beyond the largest number");
}

std::string poleText(const Pole& p)
{
    std::string t = p.im == 0.0 ? format("%14.6g", p.re) : format("%14.6g %c %.6gi", p.re, p.im < 0 ? '-' : '+',
                                                                  std::fabs(p.im));
    if (p.im != 0.0)
        t += format("   (fn %.6g Hz, damping %.6g)", hertz(poleFrequency(p)), poleDamping(p));
    else if (p.re < 0.0)
        t += "   (time constant " + timeText(-1.0 / p.re) + ")";
    else if (p.re > 0.0)
        t += "   (unstable: grows e-fold in " + timeText(1.0 / p.re) + ")";
    return t;
}

// The sampled force loop's lines of --loops: its z-plane poles and the
// longest stable period.
void printSampled(const LoopPoles& l, std::ostream& out)
{
    const SampledForceLoop& d = l.discrete;
    out << "  sampled every T = " << format("%g", d.period)
        << " s (the force held between instants), the poles z of the loop over one period:\n";
    for (const Pole& p : l.sampled) {
        const double size = poleFrequency(p);
        std::string t = p.im == 0.0 ? format("%14.6g", p.re)
                                    : format("%14.6g %c %.6gi", p.re, p.im < 0 ? '-' : '+', std::fabs(p.im));
        t += format("   (|z| %.6g, ", size);
        t += size < 1.0 ? "inside the unit circle)" : size > 1.0 ? "outside the unit circle: unstable)"
                                                                 : "on the unit circle)";
        out << "    " << t << "\n";
    }
    if (!d.computed) out << "    none: the numbers of one period are beyond the range of numbers\n";
    if (std::isfinite(d.periodLimit))
        out << "  inside the unit circle for periods T below " << format("%.6g", d.periodLimit) << " s\n";
}

// The loop's frequency response lines of --loops: bandwidth and peak of
// the designed, the model and the sampled response.
void printResponses(const LoopPoles& l, const LoopResponse& r, std::ostream& out)
{
    const char* what = l.system == 1 ? "s_r to s" : l.spring ? "Fn to the measured force (about the start's posture with r, as the poles above)" : "Fn to F";
    out << "  frequency response from " << what << ", " << format("%.6g", r.low) << " to "
        << format("%.6g", r.high) << " Hz:\n";
    out << "    designed (PID on the error of 1/s^2): " << bandwidthText(r.designed, r.high) << ", "
        << peakText(r.designed) << "\n";
    if (l.system == 1 && r.model.computed)
        out << "    model: |H| = 1 at every frequency (the law adds ds_r/dt, so the error does not depend on s_r): "
            << bandwidthText(r.model, r.high) << ", " << peakText(r.model) << "\n";
    else if (!r.model.computed && l.modelNone != PolesNone::computed)
        out << "    model: " << polesNoneText(l.modelNone) << "\n";
    else
        out << "    model: " << bandwidthText(r.model, r.high) << ", " << peakText(r.model) << "\n";
    if (r.sampled.computed)
        out << "    sampled (command and measured force held over T): "
            << bandwidthText(r.sampled, 0.5 / l.discrete.period) << ", " << peakText(r.sampled) << "\n";
}

}  // namespace

void printLoops(const SimSettings& s, std::ostream& out)
{
    const char* names[] = {"", "system 1 (tangential position)", "system 2 (normal force)"};
    const std::array<LoopResponse, 2> responses = loopResponses(s);
    for (const LoopPoles& l : loopPoles(s)) {
        out << names[l.system] << ", method " << s.hybrid << ": fn " << format("%g", hertz(l.wn)) << " Hz, zeta "
            << format("%g", l.zeta) << ", alpha " << format("%g", l.alpha) << " 1/s\n";
        out << "  designed, the roots of (s^2 + 2 zeta wn s + wn^2)(s + alpha):\n";
        for (const Pole& p : l.designed) out << "    " << poleText(p) << "\n";
        if (l.spring) {
            out << "  contact=spring: the measured force grows r = " << format("%.6g", l.ratio)
                << " N per N of command F at the start's posture (the model's slope dFm/dF at the start's rest state; on a line or a circle with a hand that does not turn, k / kh)\n";
            out << "  model, the roots of Kv s^2 + r (Kp - 1) s + r Ki = " << format("%.6g", l.Kv) << " s^2 + "
                << format("%.6g", l.ratio * (l.Kp - 1.0)) << " s + " << format("%.6g", l.ratio * l.Ki) << ":\n";
        } else {
            out << "  model, the roots of Kv s^2 + (Kp - 1) s + Ki = " << format("%.6g", l.Kv) << " s^2 + "
                << format("%.6g", l.Kp - 1.0) << " s + " << format("%.6g", l.Ki) << ":\n";
        }
        for (const Pole& p : l.model) out << "    " << poleText(p) << "\n";
        if (l.modelNone != PolesNone::computed) out << "    " << polesNoneText(l.modelNone) << "\n";
        if (l.discrete.period > 0.0) printSampled(l, out);
        // the joints' lag is a further state these poles leave out
        if (l.spring && s.servoTime > 0.0)
            out << "  (without the servo lag of " << format("%g", s.servoTime) << " s, which is not in these poles and moves this bound)\n";
        printResponses(l, responses[static_cast<std::size_t>(l.system - 1)], out);
    }
}

void printLoopsCsv(const SimSettings& s, std::ostream& out)
{
    // under contact=spring: the ratio on the force loop's rows, |z| and
    // whether inside the unit circle on the sampled ones
    const bool spring = s.springContact;
    out << (spring ? "system,kind,re,im,ratio,abs,inside" : "system,kind,re,im") << ",bandwidth_hz,peak_db,peak_hz\n";
    const std::array<LoopResponse, 2> responses = loopResponses(s);
    auto row = [&](const LoopPoles& l, const char* kind, const Pole& p) {
        out << l.system << ',' << kind << ',' << exactNumber(p.re) << ',' << exactNumber(p.im);
        if (spring) {
            const bool sampled = kind[0] == 's';
            const bool withRatio = l.spring && kind[0] != 'd';
            out << ',' << (withRatio ? exactNumber(l.ratio) : std::string());
            out << ',' << (sampled ? exactNumber(poleFrequency(p)) : std::string());
            out << ',' << (sampled ? (poleFrequency(p) < 1.0 ? "yes" : "no") : "");
        }
        // the frequency response of the row's kind of this loop
        const LoopResponse& lr = responses[static_cast<std::size_t>(l.system - 1)];
        const Response& r = kind[0] == 'd' ? lr.designed : kind[0] == 'm' ? lr.model : lr.sampled;
        const bool figures = r.computed && r.dcGain > 0.0 && std::isfinite(r.dcGain);
        out << ',' << (r.hasBandwidth ? exactNumber(r.bandwidth) : std::string());
        out << ',' << (figures ? exactNumber(r.peak) : std::string());
        out << ',' << (r.hasPeak ? exactNumber(r.peakFrequency) : std::string());
        out << '\n';
    };
    for (const LoopPoles& l : loopPoles(s)) {
        for (const Pole& p : l.designed) row(l, "designed", p);
        for (const Pole& p : l.model) row(l, "model", p);
        for (const Pole& p : l.sampled) row(l, "sampled", p);
    }
}

double modelForceStep(const SimSettings& s, double t)
{
    // e = Fn - F: e'' + b e' + c e = 0, e(0) = Fn, e'(0) = -F'(0) = -b Fn;
    // under contact=spring F the measured force r F, b and c times r
    const double ratio = s.springContact ? stiffnessRatio(s) : 1.0;
    const double b = ratio * (s.Kp2 - 1.0) / s.Kv2;
    const double c = ratio * s.Ki2 / s.Kv2;
    const double Fn = s.Fn;
    if (!std::isfinite(b) || !std::isfinite(c)) return std::nan("");  // no closed form in numbers
    const std::vector<Pole> r = quadraticRoots(1.0, b, c);
    double e = 0.0;
    if (r.size() != 2) {
        e = Fn;
    } else if (r[0].im != 0.0) {
        // sigma +- i w, -b = 2 sigma: e = Fn e^(sigma t) (cos w t + (sigma / w) sin w t)
        const double sigma = r[0].re;
        const double w = std::fabs(r[0].im);
        e = Fn * pmath::exp(sigma * t) * (pmath::cos(w * t) + (sigma / w) * pmath::sin(w * t));
    } else {
        const double r1 = r[0].re;
        const double r2 = r[1].re;
        if (std::fabs(r1 - r2) <= 1e-9 * std::fabs(r1)) {
            const double rr = 0.5 * (r1 + r2);
            e = Fn * (1.0 + rr * t) * pmath::exp(rr * t);  // -b = 2 r
        } else {
            e = Fn * (r1 * pmath::exp(r1 * t) - r2 * pmath::exp(r2 * t)) / (r1 - r2);  // -b = r1 + r2
        }
    }
    return Fn - e;
}

}  // namespace hybridsim

#include "study/loop_poles.h"

#include <cmath>

#include "console/text_format.h"
#include "portable_math/portable_math.h"

namespace hybridsim {

std::vector<Pole> quadraticRoots(double a, double b, double c)
{
    if (a == 0.0) {
        if (b == 0.0) return {};
        return {Pole{-c / b, 0.0}};
    }
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0) {
        const double re = -b / (2.0 * a);
        const double im = std::sqrt(-disc) / (2.0 * std::fabs(a));
        return {Pole{re, im}, Pole{re, -im}};
    }
    // q = -(b + sign(b) sqrt(disc)) / 2: no difference of near-equal numbers
    const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
    if (q == 0.0) return {Pole{0.0, 0.0}, Pole{0.0, 0.0}};  // b = c = 0
    return {Pole{q / a, 0.0}, Pole{c / q, 0.0}};
}

std::array<LoopPoles, 2> loopPoles(const SimSettings& s)
{
    std::array<LoopPoles, 2> loops{LoopPoles{1, s.wn1, s.zeta1, s.alpha1, s.Kp1, s.Kv1, s.Ki1, {}, {}},
                                   LoopPoles{2, s.wn2, s.zeta2, s.alpha2, s.Kp2, s.Kv2, s.Ki2, {}, {}}};
    for (LoopPoles& l : loops) {
        l.designed = quadraticRoots(1.0, 2.0 * l.zeta * l.wn, l.wn * l.wn);
        l.designed.push_back(Pole{-l.alpha, 0.0});
        l.model = quadraticRoots(l.Kv, l.Kp - 1.0, l.Ki);
        // a pole at 0 (alpha 0, no integral gain) is 0, not -0
        for (auto* set : {&l.designed, &l.model})
            for (Pole& p : *set) p = Pole{p.re + 0.0, p.im + 0.0};
    }
    return loops;
}

double poleFrequency(const Pole& p) { return pmath::hypot(p.re, p.im); }

double poleDamping(const Pole& p)
{
    const double w = poleFrequency(p);
    return w > 0.0 ? -p.re / w : std::nan("");
}

namespace {


std::string poleText(const Pole& p)
{
    std::string t = p.im == 0.0 ? format("%14.6g", p.re) : format("%14.6g %c %.6gi", p.re, p.im < 0 ? '-' : '+',
                                                                  std::fabs(p.im));
    if (p.im != 0.0)
        t += format("   (fn %.6g Hz, damping %.6g)", hertz(poleFrequency(p)), poleDamping(p));
    else if (p.re < 0.0)
        t += format("   (time constant %.6g s)", -1.0 / p.re);
    else if (p.re > 0.0)
        t += format("   (unstable: grows e-fold in %.6g s)", 1.0 / p.re);
    return t;
}

}  // namespace

void printLoops(const SimSettings& s, std::ostream& out)
{
    const char* names[] = {"", "system 1 (tangential position)", "system 2 (normal force)"};
    for (const LoopPoles& l : loopPoles(s)) {
        out << names[l.system] << ", method " << s.hybrid << ": fn " << format("%g", hertz(l.wn)) << " Hz, zeta "
            << format("%g", l.zeta) << ", alpha " << format("%g", l.alpha) << " 1/s\n";
        out << "  designed, the roots of (s^2 + 2 zeta wn s + wn^2)(s + alpha):\n";
        for (const Pole& p : l.designed) out << "    " << poleText(p) << "\n";
        out << "  model, the roots of Kv s^2 + (Kp - 1) s + Ki = " << format("%.6g", l.Kv) << " s^2 + "
            << format("%.6g", l.Kp - 1.0) << " s + " << format("%.6g", l.Ki) << ":\n";
        for (const Pole& p : l.model) out << "    " << poleText(p) << "\n";
    }
}

void printLoopsCsv(const SimSettings& s, std::ostream& out)
{
    out << "system,kind,re,im\n";
    for (const LoopPoles& l : loopPoles(s)) {
        for (const Pole& p : l.designed)
            out << l.system << ",designed," << exactNumber(p.re) << ',' << exactNumber(p.im) << '\n';
        for (const Pole& p : l.model)
            out << l.system << ",model," << exactNumber(p.re) << ',' << exactNumber(p.im) << '\n';
    }
}

double modelForceStep(const SimSettings& s, double t)
{
    // e = Fn - F: e'' + b e' + c e = 0, e(0) = Fn, e'(0) = -F'(0) = -b Fn
    const double b = (s.Kp2 - 1.0) / s.Kv2;
    const double c = s.Ki2 / s.Kv2;
    const double Fn = s.Fn;
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

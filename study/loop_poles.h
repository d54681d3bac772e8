// The poles of the two control loops: as the gain design means them and as
// the model integrates them, and the model's force step in closed form.
//
// The gain design (sim/derivation.h) picks Kp, Kv and Ki so that
//   s^3 + Kv s^2 + Kp s + Ki = (s^2 + 2 zeta wn s + wn^2)(s + alpha),
// three poles: a pair of natural angular frequency wn and damping zeta, and
// -alpha.  The model's laws (sim/integrator.h) subtract 1 from Kp and
// divide by Kv, so the error e of either loop obeys
//   Kv e'' + (Kp - 1) e' + Ki e = 0,
// two poles, the roots of Kv s^2 + (Kp - 1) s + Ki: not the designed ones.
// For the default method 8 force loop (fn2 = 20 Hz, alpha2 = 2) the design
// has -125.7 twice and -2; the model has about -62.3 and -2.0.
// Under contact=spring the force loop feeds back the measured force, r F
// about the start's rest state (sim/contact_model.h): its polynomial is Kv s^2 + r (Kp - 1) s + r Ki,
// and with a control period the loop is sampled, its poles in the z-plane.
#pragma once

#include <array>
#include <ostream>
#include <vector>

#include "sim/contact_model.h"
#include "sim/settings.h"

namespace hybridsim {

struct Pole {
    double re = 0.0;
    double im = 0.0;
};

// Why a loop's model has no poles to show though it has a second or first
// order: its gains are beyond the range of numbers (fn above about 1e153
// Hz: Kp = wn^2 overflows), or a root is (Kv below about 1e-308: the root
// near 1 / Kv).
// Under contact=spring: the start of the contour is out of reach, and the
// ratio r with it.
enum class PolesNone { computed, gainsNotFinite, beyondRange, startUnreached };
// "none: ..." with the reason, "" for computed.
const char* polesNoneText(PolesNone why);

struct LoopPoles {
    int system = 1;  // 1: tangential position, 2: normal force
    // the system's design values and gains, as the settings hold them
    double wn = 0.0, zeta = 0.0, alpha = 0.0;
    double Kp = 0.0, Kv = 0.0, Ki = 0.0;
    std::vector<Pole> designed;  // three: the pair of wn and zeta, then -alpha
    std::vector<Pole> model;     // two, or one when Kv is 0 and the model has no second order; none when modelNone
    PolesNone modelNone = PolesNone::computed;
    // the force loop under contact=spring: the ratio r (stiffnessRatio) in
    // the model's polynomial (1 otherwise), and with a control period the
    // sampled loop, its poles z (none where it is not computed)
    bool spring = false;
    double ratio = 1.0;
    SampledForceLoop discrete;
    std::vector<Pole> sampled;
};

// The roots of a s^2 + b s + c, without the cancellation of the schoolbook
// formula: the larger root first from b and the root of the discriminant,
// the other from c / (a root).  A complex pair as re + i im, im > 0 first.
// The polynomial is scaled by powers of two first, so that no square or
// product of the coefficients overflows or underflows: a root is lost only
// where it is itself beyond the range of numbers (then infinite).  With
// a = 0 the one root -c / b (none when b is 0 too); none when a
// coefficient is not a finite number.
std::vector<Pole> quadraticRoots(double a, double b, double c);

// The poles of systems 1 and 2 of the settings' method, from the active wn,
// zeta and alpha (designed) and the gains (model); the settings derived.
std::array<LoopPoles, 2> loopPoles(const SimSettings& s);

// The natural angular frequency |p| [rad/s] and the damping -re / |p| of a pole.
double poleFrequency(const Pole& p);
double poleDamping(const Pole& p);

// The poles as text: per system, each set with its polynomial, every pole
// with its natural frequency in Hz and its damping where it is complex;
// under contact=spring the force loop's ratio r, and with a control period
// the z-plane poles with |z| and whether they lie inside the unit circle.
void printLoops(const SimSettings& s, std::ostream& out);

// The poles as CSV: the header system,kind,re,im and one row per pole,
// kind "designed" or "model", numbers with 17 significant digits; under
// contact=spring with a control period also the force loop's "sampled"
// rows (z-plane), and under contact=spring the header gains the columns
// ratio (r, on the force loop's model and sampled rows), abs and inside
// (|z| and yes or no, on the sampled rows).
void printLoopsCsv(const SimSettings& s, std::ostream& out);

// The model's contact force at time t [s] of the step from F = 0 (and its
// integral 0) to Fn, in closed form: the force the run integrates, without
// the integration error.  Under contact=spring the measured force of the
// continuous loop with the ratio r (exact where the contact is).
double modelForceStep(const SimSettings& s, double t);

}  // namespace hybridsim

// The frequency response of the two control loops, from the command to
// what the loop controls, as the gain design means it and as the model
// integrates it.
//
// Designed: the gain design's polynomial s^3 + Kv s^2 + Kp s + Ki is that of
// a PID control u = Kp e + Kv e' + Ki (integral of e) on the error e = r - y
// of a unit mass, y'' = u (a plant 1/s^2):
//   s^2 Y = (Kv s^2 + Kp s + Ki)(R - Y), so
//   H(s) = (Kv s^2 + Kp s + Ki) / (s^3 + Kv s^2 + Kp s + Ki),
// the denominator (s^2 + 2 zeta wn s + wn^2)(s + alpha).
// Model, the force loop: dF/dt = ((Kp2 - 1)(Fn - F) + Ki2 z2) / Kv2 with
// dz2/dt = Fn - F gives Kv2 s^2 F = ((Kp2 - 1) s + Ki2)(Fn - F), so
//   H(s) = ((Kp2 - 1) s + Ki2) / (Kv2 s^2 + (Kp2 - 1) s + Ki2).
// Under contact=spring the law feeds back the measured force r F about the
// start (stiffnessRatio), and the measured force answers the command as
//   H(s) = r ((Kp2 - 1) s + Ki2) / (Kv2 s^2 + r (Kp2 - 1) s + r Ki2).
// Model, the position loop: ds/dt = ((Kp1 - 1)(s_r - s) + Ki1 z1) / Kv1 +
// ds_r/dt gives Kv1 s^2 S + ((Kp1 - 1) s + Ki1) S = the same times S_r: the
// error does not depend on the command, and H(s) = 1 at every frequency.
// Sampled (contact=spring with a control period T, the measured force and
// the command held over each period): the exact map of one period,
//   F+  = (1 - a) F + g z2 + b Fn,   z2+ = z2 - r T F + T Fn,
// b = T (Kp2 - 1) / Kv2 + Ki2 T^2 / (2 Kv2), a = r b, g = Ki2 T / Kv2,
// gives from the samples of the command to those of the measured force r F
//   H(z) = r (b (z - 1) + g T) / ((z - 1)^2 + a (z - 1) + c),  c = r g T,
// at z = e^(j w T) up to the Nyquist frequency 1 / (2 T).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sim/settings.h"
#include "study/loop_poles.h"

namespace hybridsim {

// One response of a loop over the frequencies.
struct Response {
    bool computed = false;          // false where the gains or the ratio are not numbers
    double dcGain = 0.0;            // |H| at 0 Hz (the limit); 0 or infinite: no bandwidth, no peak
    std::vector<double> frequency;  // [Hz], a log grid
    std::vector<double> magnitude;  // [dB]
    std::vector<double> phase;      // [deg], continuous along the grid
    bool hasBandwidth = false;
    double bandwidth = 0.0;  // [Hz] the lowest frequency where |H| is 3 dB below the DC gain
    bool hasPeak = false;
    double peak = 0.0;           // [dB] the largest |H| above the DC gain, 0 without a peak
    double peakFrequency = 0.0;  // [Hz]
};

struct LoopResponse {
    int system = 1;
    double low = 0.0, high = 0.0;  // the range of frequencies [Hz]
    Response designed;
    Response model;
    Response sampled;  // the force loop under contact=spring with a control period
};

// Both loops' responses (the settings derived), on a grid of 20 points a
// decade from a hundredth of the smallest pole frequency (designed and
// model, poles at 0 left out) to a hundred times the largest; the sampled
// response up to the Nyquist frequency.  Bandwidth and peak are refined
// between the grid points to the precision of numbers.
std::array<LoopResponse, 2> loopResponses(const SimSettings& s);

// The designed, model and sampled transfer functions at one frequency [Hz]
// (no grid), as complex re, im: for tests and charts.
struct Gain {
    double re = 0.0;
    double im = 0.0;
};
Gain designedResponseAt(const LoopPoles& l, double hz);
Gain modelResponseAt(const LoopPoles& l, double hz);
Gain sampledResponseAt(const LoopPoles& l, double hz);

// "bandwidth 12.3 Hz" or "bandwidth none (...)" with the reason (high the
// range's end), and "peak 1.2 dB above the 0 Hz value at 3.4 Hz" or
// "peak none (...)".
std::string bandwidthText(const Response& r, double high);
std::string peakText(const Response& r);

}  // namespace hybridsim

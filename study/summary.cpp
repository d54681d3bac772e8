#include "study/summary.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "portable_math/portable_math.h"
#include "sim/hybrid_control.h"
#include "study/golden_section.h"
#include "study/step_response.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The sine search samples the squared distance at least this many steps a
// wavelength, and at most this many steps in all.
constexpr double sineStepsPerWavelength = 256.0;
constexpr int sineMinSteps = 16;
constexpr int sineMaxSteps = 65536;
// Golden-section steps of the refinement: the bracket shrinks to 0.618^100
// of two sampling steps, far below a double's resolution of the abscissa.
constexpr int goldenSteps = 100;
// Newton's method: at most this many steps, done when a step is below this
// share of the abscissas involved; the convexity test keeps this margin
// below 1 against rounding.
constexpr int newtonSteps = 30;
constexpr double newtonTolerance = 1e-15;
constexpr double convexShare = 0.99;

bool finite(Vec2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The sine y = A sin(k (x - x0)) + y0 of the settings.
struct Sine {
    double A, k, x0, y0;
    explicit Sine(const SimSettings& s) : A(s.sineA), k(2.0 * pi / s.sineL), x0(s.sineX0), y0(s.sineY0) {}
    double y(double x) const { return A * pmath::sin(k * (x - x0)) + y0; }
};

// Distance from p to the sine over all x by sampling, and the abscissa of
// its foot (the nearest point of the curve).
//
// The point of the curve straight above or below p, (p.x, y(p.x)), lies at
// the vertical distance d0 = |y(p.x) - p.y|, so the nearest point of the
// curve lies within d0 of p and its abscissa within [p.x - d0, p.x + d0].
// The squared distance is sampled over that window in steps of at most a
// 256th of the wavelength (a curve that bends within a few steps would
// need a wavelength of a few hundred sampling steps to hide a minimum);
// every sample not larger than its neighbours is then refined by a
// golden-section search between those neighbours, and the smallest value
// found is the distance.  A window wider than 65536 steps (a point more
// than 128 wavelengths from the curve) is sampled with a larger step.
double sampledDistance(const SimSettings& s, Vec2 p, double& footX)
{
    const Sine c(s);
    auto f = [&](double x) {
        const double dx = x - p.x;
        const double dy = c.y(x) - p.y;
        return dx * dx + dy * dy;
    };
    const double d0 = std::fabs(c.y(p.x) - p.y);
    footX = p.x;
    if (!std::isfinite(d0)) return notANumber;
    if (d0 == 0.0) return 0.0;

    const double window = 2.0 * d0;
    const double wantedStep = std::fabs(s.sineL) / sineStepsPerWavelength;
    const double steps = std::ceil(window / wantedStep);
    const int n = steps < sineMinSteps ? sineMinSteps
                  : steps > sineMaxSteps ? sineMaxSteps
                                         : static_cast<int>(steps);
    const double h = window / n;
    const double x0 = p.x - d0;

    std::pair<double, double> best{d0 * d0, p.x};
    double prev = f(x0);
    double cur = f(x0 + h);
    for (int i = 1; i < n; ++i) {
        const double next = f(x0 + (i + 1) * h);
        if (cur <= prev && cur <= next)
            best = std::min(best, goldenMinimum(f, x0 + (i - 1) * h, x0 + (i + 1) * h, goldenSteps));
        prev = cur;
        cur = next;
    }
    footX = best.second;
    return std::sqrt(best.first);
}

// Distance from p to the sine by Newton's method on the derivative of the
// squared distance, started at abscissa `x`; -1 when the point found cannot
// be shown to be the nearest, and then the sampled search must answer.
//
//   g(x)  = (x - px) + (y - py) y'        half the derivative of the squared distance
//   g'(x) = 1 + y'^2 + (y - py) y''       Newton: x <- x - g / g'
//
// The foot lies within d0 = |y(px) - py| of px (as in the sampled search).
// On that window |y - py| <= d0 + |A| k d0 and |y''| <= |A| k^2, so when
// d0 (1 + |A| k) |A| k^2 < 1 the squared distance is strictly convex there:
// it has one stationary point in the window, and it is the nearest point.
double newtonDistance(const SimSettings& s, Vec2 p, double& x)
{
    const Sine c(s);
    const double d0 = std::fabs(c.y(p.x) - p.y);
    const double bend = std::fabs(c.A) * c.k * c.k;  // largest |y''|
    if (!(d0 * (1.0 + std::fabs(c.A) * c.k) * bend < convexShare)) return -1.0;
    if (!std::isfinite(x)) x = p.x;
    bool converged = false;
    for (int i = 0; i < newtonSteps && !converged; ++i) {
        const double u = c.k * (x - c.x0);
        const double sn = pmath::sin(u);
        const double y = c.A * sn + c.y0;
        const double y1 = c.A * c.k * pmath::cos(u);
        const double y2 = -c.A * c.k * c.k * sn;
        const double g = (x - p.x) + (y - p.y) * y1;
        const double dg = 1.0 + y1 * y1 + (y - p.y) * y2;
        if (!(dg > 0.0)) return -1.0;  // not heading for a minimum
        const double step = g / dg;
        x -= step;
        converged = std::fabs(step) <= newtonTolerance * (std::fabs(x) + std::fabs(s.sineL));
    }
    // a stationary point inside the window: the one minimum there
    if (!converged || !(std::fabs(x - p.x) <= d0)) return -1.0;
    const double dx = x - p.x;
    const double dy = c.y(x) - p.y;
    return std::min(std::sqrt(dx * dx + dy * dy), d0);
}

double distanceToSine(const SimSettings& s, Vec2 p, double& footX)
{
    const double d0 = std::fabs(Sine(s).y(p.x) - p.y);
    if (!std::isfinite(d0)) return notANumber;
    if (d0 == 0.0) {
        footX = p.x;
        return 0.0;
    }
    // from the neighbouring foot, then from straight above or below p
    for (double start : {footX, p.x}) {
        double x = start;
        const double d = newtonDistance(s, p, x);
        if (d >= 0.0) {
            footX = x;
            return d;
        }
    }
    return sampledDistance(s, p, footX);
}

}  // namespace

double distanceToContour(const SimSettings& s, Vec2 p)
{
    double footX = p.x;
    return distanceToContour(s, p, footX);
}

double sampledSineDistance(const SimSettings& s, Vec2 p)
{
    double footX = p.x;
    return finite(p) && s.curve == 'S' ? sampledDistance(s, p, footX) : notANumber;
}

double distanceToContour(const SimSettings& s, Vec2 p, double& footX)
{
    if (!finite(p)) return notANumber;
    switch (s.curve) {
    case 'L': {
        const double dx = s.lineXf - s.lineX0;
        const double dy = s.lineYf - s.lineY0;
        const double length = pmath::hypot(dx, dy);
        const double px = p.x - s.lineX0;
        const double py = p.y - s.lineY0;
        if (length == 0.0) return pmath::hypot(px, py);
        return std::fabs(dx * py - dy * px) / length;
    }
    case 'C':
        return std::fabs(pmath::hypot(p.x - s.circleOx, p.y - s.circleOy) - s.circleR);
    case 'S':
        return distanceToSine(s, p, footX);
    default:
        return notANumber;
    }
}

bool hasPosture(const SeriesSet& set, int i)
{
    const std::size_t k = static_cast<std::size_t>(i);
    return std::isfinite(set.time[k]) && finite(set.tipPos[k]) && finite(set.refPos[k]) &&
           finite(set.posErr[k]) && std::isfinite(set.jointPos[k].phi1) &&
           std::isfinite(set.jointPos[k].phi2) && finite(set.handDeflection[k]) &&
           std::isfinite(set.contactForce[k]) && std::isfinite(set.forceErr[k]) && std::isfinite(set.sErr[k]);
}

ForceStretches forceInReach(const SimSettings& s, const SeriesSet& set)
{
    const int last = lastSample(s);
    std::vector<bool> inReach(static_cast<std::size_t>(last) + 1, false);
    for (int i = 0; i <= last; ++i) inReach[static_cast<std::size_t>(i)] = hasPosture(set, i);
    return forceStretches(set, last, inReach);
}

std::vector<double> contactForceInReach(const SimSettings& s, const SeriesSet& set)
{
    const int last = lastSample(s);
    std::vector<double> force;
    force.reserve(static_cast<std::size_t>(last) + 1);
    for (int i = 0; i <= last; ++i) force.push_back(hasPosture(set, i) ? set.contactForce[i] : notANumber);
    return force;
}

namespace {

// `at` raised to v, or set to v while it is none
void larger(double& at, double v)
{
    if (std::isnan(at) || v > at) at = v;
}

// The position error err at tip split along the contour's tangent and
// normal there, each part's largest size kept in r.
void splitPosErr(const SimSettings& s, Vec2 tip, Vec2 err, RunSummary& r)
{
    const ContourAngles a = contourNormalAngle(s, tip);
    const double along = err.x * pmath::cos(a.tangent) + err.y * pmath::sin(a.tangent);
    const double across = err.x * pmath::cos(a.normal) + err.y * pmath::sin(a.normal);
    if (std::isfinite(along) && std::isfinite(across)) {
        larger(r.posErrTanMax, std::fabs(along));
        larger(r.posErrNormMax, std::fabs(across));
    }
}

// The step figures of r from the step read (r.Fn and r.finalForceErr set):
// the overshoot also as a share of |Fn|, the steady error once settled.
void readStepFigures(const StepFigures& step, RunSummary& r)
{
    r.stepRead = step.read;
    r.overshoot = step.overshoot;
    r.overshootPercent = r.Fn != 0.0 ? 100.0 * r.overshoot / std::fabs(r.Fn) : notANumber;
    r.settlingTime = step.settlingTime;
    r.riseTime = step.riseTime;
    r.riseFromTime = step.riseFromTime;
    r.riseToTime = step.riseToTime;
    r.peakForce = step.peakForce;
    r.peakTime = step.peakTime;
    r.steadyError = step.read && !std::isnan(r.settlingTime) ? r.finalForceErr : notANumber;
}

}  // namespace

RunSummary summarizeRun(const SimSettings& s, const SeriesSet& set)
{
    RunSummary r;
    const int last = lastSample(s);
    r.seterror = s.seterror;
    r.Fn = s.Fn;
    r.samples = last + 1;

    const double tolerance = forceReachedShare * std::fabs(s.Fn);
    double sumSq = 0.0;
    int sErrCount = 0;
    double footX = notANumber;  // the sine's foot of the previous sample
    std::vector<bool> inReach(static_cast<std::size_t>(last) + 1, false);
    r.posErrTanMax = r.posErrNormMax = notANumber;
    r.springForceDiffMax = r.springForceMin = r.springForceMax = notANumber;
    r.contactLostTime = r.largestForce = notANumber;
    bool inContact = false;  // the force has been above 0
    for (int i = 0; i <= last; ++i) {
        const Vec2 tip = set.tipPos[i];
        const Vec2 err = set.posErr[i];
        const double force = set.contactForce[i];
        const double forceErr = set.forceErr[i];
        const double sErr = set.sErr[i];
        // the force figures: only samples with a posture, all their numbers finite
        if (!hasPosture(set, i)) {
            ++r.nanSamples;
        } else {
            inReach[static_cast<std::size_t>(i)] = true;
            ++r.postureSamples;
            if (r.firstSample < 0) r.firstSample = i;
            r.finalSample = i;
            if (!r.forceReached && std::fabs(force - s.Fn) <= tolerance) {
                r.forceReached = true;
                r.forceReachedSample = i;
                r.forceReachedTime = set.time[i];
            }
            if (r.forceReached) r.maxForceErrAfterReached = std::max(r.maxForceErrAfterReached, std::fabs(forceErr));
            // the contact: lost when the force falls to 0 once it has pushed
            if (inContact && !(force > 0.0)) {
                ++r.offSurfaceSamples;
                if (r.contactLostSample < 0) {
                    r.contactLostSample = i;
                    r.contactLostTime = set.time[i];
                }
            }
            inContact = inContact || force > 0.0;
            larger(r.largestForce, force);
            const double spring = set.springForce[i];
            if (std::isfinite(spring)) {
                larger(r.springForceDiffMax, std::fabs(spring - force));
                if (r.forceReached) {
                    larger(r.springForceMax, spring);
                    if (std::isnan(r.springForceMin) || spring < r.springForceMin) r.springForceMin = spring;
                }
            }
        }

        if (std::isfinite(sErr)) {
            sumSq += sErr * sErr;
            ++sErrCount;
            r.sErrMax = std::max(r.sErrMax, std::fabs(sErr));
        }
        const double dist = distanceToContour(s, tip, footX);
        if (std::isfinite(dist) && (r.contourDistMaxSample < 0 || dist > r.contourDistMax)) {
            r.contourDistMax = dist;
            r.contourDistMaxSample = i;
        }
        if (finite(err)) {
            const double e = pmath::hypot(err.x, err.y);
            if (r.posErrMaxSample < 0 || e > r.posErrMax) {
                r.posErrMax = e;
                r.posErrMaxSample = i;
            }
            // along the contour's tangent and normal where the tip is
            if (finite(tip)) splitPosErr(s, tip, err, r);
        }
    }
    r.finalForce = r.finalSample >= 0 ? set.contactForce[r.finalSample] : notANumber;
    r.finalForceErr = r.finalSample >= 0 ? set.forceErr[r.finalSample] : notANumber;
    r.sErrRms = sErrCount > 0 ? std::sqrt(sumSq / sErrCount) : notANumber;
    if (!r.forceReached) r.maxForceErrAfterReached = notANumber;
    if (r.contourDistMaxSample < 0) r.contourDistMax = notANumber;
    if (r.posErrMaxSample < 0) r.posErrMax = notANumber;
    if (sErrCount == 0) r.sErrMax = notANumber;

    // the step response, between the samples
    readStepFigures(readStep(forceStretches(set, last, inReach), s.Fn, riseFromShare, riseToShare,
                             forceSettledShare * std::fabs(s.Fn)),
                    r);
    return r;
}

namespace {

const char* robotName(char type)
{
    return type == 'a' ? "a (cylindrical)" : type == 'b' ? "b (SCARA)" : "?";
}

const char* contourName(char curve)
{
    return curve == 'L' ? "line" : curve == 'C' ? "circle" : curve == 'S' ? "sine wave" : "?";
}

std::string selector(char c) { return c >= 0x21 && c < 0x7F ? std::string(1, c) : "?"; }

// "     1.234 mm" for a length in metres.
std::string mm(double metres) { return format("%10.3f mm", plainNan(1000.0 * metres)); }

// "    10.073 N" and the like: a figure in its field, not-a-number as "nan".
std::string fixed(const char* fmt, double v) { return format(fmt, plainNan(v)); }

}  // namespace

namespace {

// ", spring contact (KW 5000 N/m, period 0.001 s, servo 0 s)" under
// contact=spring, nothing otherwise
std::string contactTitle(const SimSettings& s)
{
    if (!s.springContact) return "";
    return format(", spring contact (KW %g N/m, period %g s, servo %g s)", s.KW, s.controlPeriod, s.servoTime);
}

}  // namespace

std::string summaryTitle(const SimSettings& s)
{
    return std::string("robot ") + robotName(s.type) + ", method " + selector(s.hybrid) + ", " +
           contourName(s.curve) + ", setting error " + format("%g", 1000.0 * s.seterror) + " mm, Fn " +
           format("%g", s.Fn) + " N" + contactTitle(s);
}

namespace {

// --- each figure's text after its label ---

// the force of the last sample with a posture, and which one when not the last
std::string finalNote(const RunSummary& r)
{
    return r.finalSample >= 0 && r.finalSample != r.samples - 1
               ? format("  (sample %d, the last with a posture)", r.finalSample)
               : std::string();
}

// "  (sample 51)", nothing for none
std::string sampleNote(int sample) { return sample < 0 ? std::string() : format("  (sample %d)", sample); }

std::string finalForceText(const RunSummary& r)
{
    if (r.finalSample < 0) return "      none  (no sample has a posture)";
    return fixed("%10.3f N", r.finalForce) + finalNote(r);
}

std::string finalForceErrText(const RunSummary& r)
{
    if (r.finalSample < 0) return "      none";
    return fixed("%10.3f N", r.finalForceErr) + finalNote(r);
}

std::string forceReachedText(const RunSummary& r)
{
    if (!r.forceReached) return "     never";
    return fixed("%10.3f s", r.forceReachedTime) + sampleNote(r.forceReachedSample);
}

std::string forceErrAfterText(const RunSummary& r)
{
    return r.forceReached ? fixed("%10.3f N", r.maxForceErrAfterReached) : "         -";
}

// the step figures: none, and for the overshoot why, when the step was not read
std::string overshootText(const RunSummary& r)
{
    if (!r.stepRead) {
        const char* why = r.firstSample < 0   ? ""
                          : r.firstSample > 0 ? "  (sample 0 has no posture: no step to read)"
                          : r.samples == 1    ? "  (the run has sample 0 alone: no step to read)"
                                              : "  (sample 1 has no posture: the step is not in the samples)";
        return std::string("      none") + why;
    }
    return fixed("%10.3f N", r.overshoot) +
           (r.Fn != 0.0 ? fixed("  (%.1f %% of Fn)", r.overshootPercent) : "  (Fn is 0: no %)");
}

std::string settlingText(const RunSummary& r)
{
    if (!r.stepRead) return "      none";
    return std::isnan(r.settlingTime) ? std::string("     never") : fixed("%10.4f s", r.settlingTime);
}

std::string riseText(const RunSummary& r)
{
    if (!r.stepRead) return "      none";
    if (std::isnan(r.riseTime)) return r.Fn == 0.0 ? "      none  (Fn is 0: no step)" : "      none";
    return fixed("%10.4f s", r.riseTime);
}

std::string peakText(const RunSummary& r)
{
    if (!r.stepRead) return "      none";
    if (std::isnan(r.peakForce)) return "      none  (the force never passes Fn)";
    return fixed("%10.3f N", r.peakForce) + fixed(" at %.4f s", r.peakTime);
}

std::string steadyText(const RunSummary& r)
{
    if (!r.stepRead) return "      none";
    return std::isnan(r.steadyError) ? std::string("      none  (not settled)")
                                     : fixed("%10.3f N", r.steadyError) + finalNote(r);
}

std::string springDiffText(const RunSummary& r)
{
    return std::isnan(r.springForceDiffMax) ? std::string("      none") : fixed("%10.3f N", r.springForceDiffMax);
}

std::string springRangeText(const RunSummary& r)
{
    if (std::isnan(r.springForceMin)) return "      none";
    return fixed("%10.3f", r.springForceMin) + fixed(" to %.3f N", r.springForceMax);
}

double numberOr(bool exists, double v) { return exists ? v : notANumber; }

std::string offSurfaceText(const RunSummary& r) { return format("%10d", r.offSurfaceSamples); }

std::string contactLostText(const RunSummary& r)
{
    if (r.contactLostSample < 0) return "     never";
    return fixed("%10.3f s", r.contactLostTime) + sampleNote(r.contactLostSample);
}

std::string largestForceText(const RunSummary& r)
{
    return std::isnan(r.largestForce) ? std::string("      none") : fixed("%10.3f N", r.largestForce);
}

using R = const RunSummary&;

// column, title, page's unit and factor, goal, value; text line, label,
// text; sweep panel, title, quantity; a figure of the contact
const SummaryFigure figureTable[] = {
    {"seterror_m", "setting error", "mm", 1000.0, false, [](R r) { return r.seterror; }, 0, nullptr, nullptr, 0,
     nullptr, nullptr, false},
    {"Fn_N", "commanded force Fn", "N", 1.0, false, [](R r) { return r.Fn; }, 0, nullptr, nullptr, 0, nullptr,
     nullptr, false},
    {"samples", "samples", "", 1.0, false, [](R r) { return double(r.samples); }, 0, nullptr, nullptr, 0, nullptr,
     nullptr, false},
    {"nan_samples", "samples without a posture", "", 1.0, true, [](R r) { return double(r.nanSamples); }, 9,
     "samples holding not-a-number (left out)", [](R r) { return format("%10d", r.nanSamples); }, 12,
     "samples holding not-a-number", "samples", false},
    {"final_force_N", "final force", "N", 1.0, true, [](R r) { return r.finalForce; }, 1, "final contact force",
     finalForceText, 1, "final contact force", "force", false},
    {"final_force_err_N", "final force error", "N", 1.0, true, [](R r) { return r.finalForceErr; }, 2,
     "final force error", finalForceErrText, 2, "final force error", "force", false},
    {"force_reached_t_s", "force first within 5 % at", "s", 1.0, true,
     [](R r) { return numberOr(r.forceReached, r.forceReachedTime); }, 3, "force first within 5 % of Fn at",
     forceReachedText, 3, "force first within 5 % of Fn", "time", false},
    {"force_err_max_after_N", "largest |force error| from then on", "N", 1.0, true,
     [](R r) { return r.maxForceErrAfterReached; }, 4, "largest |force error| from then on", forceErrAfterText, 4,
     "largest |force error| from then on", "force", false},
    {"s_err_rms_m", "RMS tangential error", "mm", 1000.0, true, [](R r) { return r.sErrRms; }, 5,
     "RMS tangential error sErr", [](R r) { return mm(r.sErrRms); }, 8, "RMS tangential error sErr", "length", false},
    {"s_err_max_m", "largest |sErr|", "mm", 1000.0, true, [](R r) { return r.sErrMax; }, 6, "largest |sErr|",
     [](R r) { return mm(r.sErrMax); }, 9, "largest |sErr|", "length", false},
    {"contour_dist_max_m", "largest distance tip to workpiece", "mm", 1000.0, true,
     [](R r) { return r.contourDistMax; }, 7, "largest distance tip to workpiece contour",
     [](R r) { return mm(r.contourDistMax) + sampleNote(r.contourDistMaxSample); }, 10,
     "largest distance tip to workpiece contour", "length", false},
    {"pos_err_max_m", "largest |posErr|", "mm", 1000.0, true, [](R r) { return r.posErrMax; }, 8,
     "largest |posErr| (tip to command point)", [](R r) { return mm(r.posErrMax) + sampleNote(r.posErrMaxSample); },
     11, "largest |posErr| (tip to command point)", "length", false},
    {"overshoot_N", "force overshoot", "N", 1.0, true, [](R r) { return r.overshoot; }, 10,
     "force overshoot above Fn", overshootText, 5, "force overshoot above Fn", "force", false},
    {"overshoot_pct", "force overshoot", "%", 1.0, true, [](R r) { return r.overshootPercent; }, 0, nullptr, nullptr,
     6, "force overshoot above Fn", "share of Fn", false},
    {"settling_t_s", "force settling time", "s", 1.0, true, [](R r) { return r.settlingTime; }, 11,
     "force settled within 2 % of Fn from", settlingText, 7, "force settled within 2 % of Fn from", "time", false},
    {"force_rise_t_s", "force rise time", "s", 1.0, true, [](R r) { return r.riseTime; }, 12,
     "force rise time, 10 % to 90 % of Fn", riseText, 0, nullptr, nullptr, false},
    {"force_peak_N", "force peak", "N", 1.0, true, [](R r) { return r.peakForce; }, 13, "force peak", peakText, 0,
     nullptr, nullptr, false},
    {"force_peak_t_s", "force peak time", "s", 1.0, true, [](R r) { return r.peakTime; }, 0, nullptr, nullptr, 0,
     nullptr, nullptr, false},
    {"force_steady_err_N", "steady-state force error", "N", 1.0, true, [](R r) { return r.steadyError; }, 14,
     "force steady-state error (F - Fn)", steadyText, 0, nullptr, nullptr, false},
    {"pos_err_tan_max_m", "largest |posErr| along the tangent", "mm", 1000.0, true,
     [](R r) { return r.posErrTanMax; }, 15, "largest |posErr| along the contour's tangent",
     [](R r) { return mm(r.posErrTanMax); }, 0, nullptr, nullptr, false},
    {"pos_err_norm_max_m", "largest |posErr| along the normal", "mm", 1000.0, true,
     [](R r) { return r.posErrNormMax; }, 16, "largest |posErr| along the contour's normal",
     [](R r) { return mm(r.posErrNormMax); }, 0, nullptr, nullptr, false},
    {"spring_force_diff_max_N", "largest |spring force - F|", "N", 1.0, true,
     [](R r) { return r.springForceDiffMax; }, 17, "largest |spring force - F|", springDiffText, 0, nullptr, nullptr, false},
    {"spring_force_min_N", "smallest spring force once F is within 5 % of Fn", "N", 1.0, true,
     [](R r) { return r.springForceMin; }, 18, "spring force from F first within 5 % of Fn", springRangeText, 0,
     nullptr, nullptr, false},
    {"spring_force_max_N", "largest spring force once F is within 5 % of Fn", "N", 1.0, true,
     [](R r) { return r.springForceMax; }, 0, nullptr, nullptr, 0, nullptr, nullptr, false},
    {"off_surface_samples", "samples off the surface", "", 1.0, true, [](R r) { return double(r.offSurfaceSamples); },
     19, "samples off the surface after first contact", offSurfaceText, 0, nullptr, nullptr, true},
    {"contact_lost_t_s", "contact first lost at", "s", 1.0, true,
     [](R r) { return numberOr(r.contactLostSample >= 0, r.contactLostTime); }, 20, "contact first lost at",
     contactLostText, 0, nullptr, nullptr, true},
    {"force_max_N", "largest contact force", "N", 1.0, true, [](R r) { return r.largestForce; }, 21,
     "largest contact force", largestForceText, 0, nullptr, nullptr, true},
};

// the figures with a place above 0 by `place`, in its order
std::vector<const SummaryFigure*> inPlaceOrder(int SummaryFigure::*place)
{
    std::vector<const SummaryFigure*> out;
    for (const SummaryFigure& f : summaryFigures())
        if (f.*place > 0) out.push_back(&f);
    std::stable_sort(out.begin(), out.end(),
                     [place](const SummaryFigure* a, const SummaryFigure* b) { return a->*place < b->*place; });
    return out;
}

}  // namespace

const std::vector<SummaryFigure>& summaryFigures()
{
    static const std::vector<SummaryFigure> figures(std::begin(figureTable), std::end(figureTable));
    return figures;
}

const SummaryFigure& goalFormStart() { return *summaryFigure("overshoot_pct"); }

std::vector<const SummaryFigure*> summaryTextFigures() { return inPlaceOrder(&SummaryFigure::textLine); }

std::vector<const SummaryFigure*> sweepFigures() { return inPlaceOrder(&SummaryFigure::sweepPanel); }

std::string sweepAxisLabel(const SummaryFigure& f)
{
    return f.unit[0] == '\0' ? std::string(f.sweepQuantity) : std::string(f.sweepQuantity) + " [" + f.unit + "]";
}

std::string summaryLine(const std::string& label, const std::string& value)
{
    return format("%-48s", label.c_str()) + value + "\n";
}

void printSummary(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << summaryTitle(s) << ", samples 0.." << r.samples - 1 << "\n";
    for (const SummaryFigure* f : summaryTextFigures())
        if (!f->contact || s.springContact) out << summaryLine(f->textLabel, f->text(r));
}

const SummaryFigure* summaryFigure(const std::string& column)
{
    for (const SummaryFigure& f : summaryFigures())
        if (column == f.column) return &f;
    return nullptr;
}

std::string summaryCsvHeader(bool contact)
{
    std::string header = "robot,method,contour";
    for (const SummaryFigure& f : summaryFigures())
        if (!f.contact || contact) header += std::string(",") + f.column;
    return header;
}

std::string summaryCsvRow(const SimSettings& s, const RunSummary& r, bool contact)
{
    std::string row = selector(s.type) + ',' + selector(s.hybrid) + ',' + selector(s.curve);
    for (const SummaryFigure& f : summaryFigures()) {
        if (f.contact && !contact) continue;
        const double v = f.value(r);
        // the counts as integers
        row += ',' + (f.unit[0] == '\0' ? std::to_string(static_cast<long long>(v)) : exactNumber(v));
    }
    return row;
}

void printSummaryCsv(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << summaryCsvHeader(s.springContact) << '\n' << summaryCsvRow(s, r, s.springContact) << '\n';
}

}  // namespace hybridsim

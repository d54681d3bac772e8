#include "study/summary.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "console/text_format.h"
#include "portable_math/portable_math.h"
#include "sim/hybrid_control.h"
#include "study/golden_section.h"
#include "study/step_response.h"

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

RunSummary summarizeRun(const SimSettings& s, const SeriesSet& set)
{
    RunSummary r;
    const int last = lastSample(s);
    r.samples = last + 1;

    const double tolerance = forceReachedShare * std::fabs(s.Fn);
    double sumSq = 0.0;
    int sErrCount = 0;
    double footX = notANumber;  // the sine's foot of the previous sample
    std::vector<bool> inReach(static_cast<std::size_t>(last) + 1, false);
    r.posErrTanMax = r.posErrNormMax = notANumber;
    r.springForceDiffMax = r.springForceMin = r.springForceMax = notANumber;
    auto larger = [](double& at, double v) {
        if (std::isnan(at) || v > at) at = v;
    };
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
            if (finite(tip)) {
                const ContourAngles a = contourNormalAngle(s, tip);
                const double along = err.x * pmath::cos(a.tangent) + err.y * pmath::sin(a.tangent);
                const double across = err.x * pmath::cos(a.normal) + err.y * pmath::sin(a.normal);
                if (std::isfinite(along) && std::isfinite(across)) {
                    larger(r.posErrTanMax, std::fabs(along));
                    larger(r.posErrNormMax, std::fabs(across));
                }
            }
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
    const StepFigures step = readStep(forceStretches(set, last, inReach), s.Fn, riseFromShare, riseToShare,
                                      forceSettledShare * std::fabs(s.Fn));
    r.stepRead = step.read;
    r.overshoot = step.overshoot;
    r.overshootPercent = s.Fn != 0.0 ? 100.0 * r.overshoot / std::fabs(s.Fn) : notANumber;
    r.settlingTime = step.settlingTime;
    r.riseTime = step.riseTime;
    r.riseFromTime = step.riseFromTime;
    r.riseToTime = step.riseToTime;
    r.peakForce = step.peakForce;
    r.peakTime = step.peakTime;
    r.steadyError = step.read && !std::isnan(r.settlingTime) ? r.finalForceErr : notANumber;
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

std::string summaryTitle(const SimSettings& s)
{
    return std::string("robot ") + robotName(s.type) + ", method " + selector(s.hybrid) + ", " +
           contourName(s.curve) + ", setting error " + format("%g", 1000.0 * s.seterror) + " mm, Fn " +
           format("%g", s.Fn) + " N";
}

void printSummary(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << summaryTitle(s) << ", samples 0.." << r.samples - 1 << "\n";
    auto line = [&out](const char* what, const std::string& value) {
        out << format("%-48s", what) << value << "\n";
    };
    // the force of the last sample with a posture, and which one when not the last
    const std::string finalNote =
        r.finalSample >= 0 && r.finalSample != r.samples - 1
            ? format("  (sample %d, the last with a posture)", r.finalSample)
            : std::string();
    if (r.finalSample < 0) {
        line("final contact force", "      none  (no sample has a posture)");
        line("final force error", "      none");
    } else {
        line("final contact force", fixed("%10.3f N", r.finalForce) + finalNote);
        line("final force error", fixed("%10.3f N", r.finalForceErr) + finalNote);
    }
    if (r.forceReached) {
        line("force first within 5 % of Fn at",
             fixed("%10.3f s", r.forceReachedTime) + format("  (sample %d)", r.forceReachedSample));
        line("largest |force error| from then on", fixed("%10.3f N", r.maxForceErrAfterReached));
    } else {
        line("force first within 5 % of Fn at", "     never");
        line("largest |force error| from then on", "         -");
    }
    line("RMS tangential error sErr", mm(r.sErrRms));
    line("largest |sErr|", mm(r.sErrMax));
    line("largest distance tip to workpiece contour",
         mm(r.contourDistMax) + (r.contourDistMaxSample < 0
                                     ? std::string()
                                     : format("  (sample %d)", r.contourDistMaxSample)));
    line("largest |posErr| (tip to command point)",
         mm(r.posErrMax) +
             (r.posErrMaxSample < 0 ? std::string() : format("  (sample %d)", r.posErrMaxSample)));
    line("samples holding not-a-number (left out)", format("%10d", r.nanSamples));
    if (!r.stepRead) {
        const char* why = r.firstSample < 0   ? ""
                          : r.firstSample > 0 ? "  (sample 0 has no posture: no step to read)"
                          : r.samples == 1    ? "  (the run has sample 0 alone: no step to read)"
                                              : "  (sample 1 has no posture: the step is not in the samples)";
        line("force overshoot above Fn", std::string("      none") + why);
        line("force settled within 2 % of Fn from", "      none");
        line("force rise time, 10 % to 90 % of Fn", "      none");
        line("force peak", "      none");
        line("force steady-state error (F - Fn)", "      none");
    } else {
        line("force overshoot above Fn",
             fixed("%10.3f N", r.overshoot) +
                 (s.Fn != 0.0 ? fixed("  (%.1f %% of Fn)", r.overshootPercent) : "  (Fn is 0: no %)"));
        line("force settled within 2 % of Fn from",
             std::isnan(r.settlingTime) ? std::string("     never") : fixed("%10.4f s", r.settlingTime));
        line("force rise time, 10 % to 90 % of Fn",
             std::isnan(r.riseTime) ? std::string(s.Fn == 0.0 ? "      none  (Fn is 0: no step)" : "      none")
                                    : fixed("%10.4f s", r.riseTime));
        line("force peak", std::isnan(r.peakForce)
                               ? std::string("      none  (the force never passes Fn)")
                               : fixed("%10.3f N", r.peakForce) + fixed(" at %.4f s", r.peakTime));
        line("force steady-state error (F - Fn)",
             std::isnan(r.steadyError) ? std::string("      none  (not settled)")
                                       : fixed("%10.3f N", r.steadyError) + finalNote);
    }
    line("largest |posErr| along the contour's tangent", mm(r.posErrTanMax));
    line("largest |posErr| along the contour's normal", mm(r.posErrNormMax));
    line("largest |spring force - F|", std::isnan(r.springForceDiffMax) ? std::string("      none")
                                                                         : fixed("%10.3f N", r.springForceDiffMax));
    line("spring force from F first within 5 % of Fn",
         std::isnan(r.springForceMin)
             ? std::string("      none")
             : fixed("%10.3f", r.springForceMin) + fixed(" to %.3f N", r.springForceMax));
}

namespace {

double numberOr(bool exists, double v) { return exists ? v : notANumber; }

}  // namespace

const std::vector<SummaryFigure>& summaryFigures()
{
    using S = const SimSettings&;
    using R = const RunSummary&;
    static const std::vector<SummaryFigure> figures = {
        {"seterror_m", "setting error", "mm", 1000.0, false, [](S s, R) { return s.seterror; }},
        {"Fn_N", "commanded force Fn", "N", 1.0, false, [](S s, R) { return s.Fn; }},
        {"samples", "samples", "", 1.0, false, [](S, R r) { return double(r.samples); }},
        {"nan_samples", "samples without a posture", "", 1.0, true, [](S, R r) { return double(r.nanSamples); }},
        {"final_force_N", "final force", "N", 1.0, true, [](S, R r) { return r.finalForce; }},
        {"final_force_err_N", "final force error", "N", 1.0, true, [](S, R r) { return r.finalForceErr; }},
        {"force_reached_t_s", "force first within 5 % at", "s", 1.0, true,
         [](S, R r) { return numberOr(r.forceReached, r.forceReachedTime); }},
        {"force_err_max_after_N", "largest |force error| from then on", "N", 1.0, true,
         [](S, R r) { return r.maxForceErrAfterReached; }},
        {"s_err_rms_m", "RMS tangential error", "mm", 1000.0, true, [](S, R r) { return r.sErrRms; }},
        {"s_err_max_m", "largest |sErr|", "mm", 1000.0, true, [](S, R r) { return r.sErrMax; }},
        {"contour_dist_max_m", "largest distance tip to workpiece", "mm", 1000.0, true,
         [](S, R r) { return r.contourDistMax; }},
        {"pos_err_max_m", "largest |posErr|", "mm", 1000.0, true, [](S, R r) { return r.posErrMax; }},
        {"overshoot_N", "force overshoot", "N", 1.0, true, [](S, R r) { return r.overshoot; }},
        {"overshoot_pct", "force overshoot", "%", 1.0, true, [](S, R r) { return r.overshootPercent; }},
        {"settling_t_s", "force settling time", "s", 1.0, true, [](S, R r) { return r.settlingTime; }},
        {"force_rise_t_s", "force rise time", "s", 1.0, true, [](S, R r) { return r.riseTime; }},
        {"force_peak_N", "force peak", "N", 1.0, true, [](S, R r) { return r.peakForce; }},
        {"force_peak_t_s", "force peak time", "s", 1.0, true, [](S, R r) { return r.peakTime; }},
        {"force_steady_err_N", "steady-state force error", "N", 1.0, true, [](S, R r) { return r.steadyError; }},
        {"pos_err_tan_max_m", "largest |posErr| along the tangent", "mm", 1000.0, true,
         [](S, R r) { return r.posErrTanMax; }},
        {"pos_err_norm_max_m", "largest |posErr| along the normal", "mm", 1000.0, true,
         [](S, R r) { return r.posErrNormMax; }},
        {"spring_force_diff_max_N", "largest |spring force - F|", "N", 1.0, true,
         [](S, R r) { return r.springForceDiffMax; }},
        {"spring_force_min_N", "smallest spring force once F is within 5 % of Fn", "N", 1.0, true,
         [](S, R r) { return r.springForceMin; }},
        {"spring_force_max_N", "largest spring force once F is within 5 % of Fn", "N", 1.0, true,
         [](S, R r) { return r.springForceMax; }},
    };
    return figures;
}

const SummaryFigure* summaryFigure(const std::string& column)
{
    for (const SummaryFigure& f : summaryFigures())
        if (column == f.column) return &f;
    return nullptr;
}

std::string summaryCsvHeader()
{
    std::string header = "robot,method,contour";
    for (const SummaryFigure& f : summaryFigures()) header += std::string(",") + f.column;
    return header;
}

std::string summaryCsvRow(const SimSettings& s, const RunSummary& r)
{
    std::string row = selector(s.type) + ',' + selector(s.hybrid) + ',' + selector(s.curve);
    for (const SummaryFigure& f : summaryFigures()) {
        const double v = f.value(s, r);
        // the counts as integers
        row += ',' + (f.unit[0] == '\0' ? std::to_string(static_cast<long long>(v)) : exactNumber(v));
    }
    return row;
}

void printSummaryCsv(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << summaryCsvHeader() << '\n' << summaryCsvRow(s, r) << '\n';
}

}  // namespace hybridsim

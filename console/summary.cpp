#include "console/summary.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "console/text_format.h"

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

bool finite(Vec2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Smallest value of f on [a, b] by golden-section search; f is taken to
// have one minimum there.
template <class F>
double goldenMinimum(F f, double a, double b)
{
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - g * (b - a);
    double d = a + g * (b - a);
    double fc = f(c);
    double fd = f(d);
    double best = std::min({f(a), f(b), fc, fd});
    for (int i = 0; i < goldenSteps && c < d; ++i) {
        if (fc <= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
            best = std::min(best, fc);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
            best = std::min(best, fd);
        }
    }
    return best;
}

// Distance from p to the sine curve y = A sin(k (x - x0)) + y0 over all x.
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
double distanceToSine(const SimSettings& s, Vec2 p)
{
    const double k = 2.0 * pi / s.sineL;
    auto y = [&](double x) { return s.sineA * std::sin(k * (x - s.sineX0)) + s.sineY0; };
    auto f = [&](double x) {
        const double dx = x - p.x;
        const double dy = y(x) - p.y;
        return dx * dx + dy * dy;
    };
    const double d0 = std::fabs(y(p.x) - p.y);
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

    double best = d0 * d0;
    double prev = f(x0);
    double cur = f(x0 + h);
    for (int i = 1; i < n; ++i) {
        const double next = f(x0 + (i + 1) * h);
        if (cur <= prev && cur <= next)
            best = std::min(best, goldenMinimum(f, x0 + (i - 1) * h, x0 + (i + 1) * h));
        prev = cur;
        cur = next;
    }
    return std::sqrt(best);
}

}  // namespace

double distanceToContour(const SimSettings& s, Vec2 p)
{
    if (!finite(p)) return notANumber;
    switch (s.curve) {
    case 'L': {
        const double dx = s.lineXf - s.lineX0;
        const double dy = s.lineYf - s.lineY0;
        const double length = std::hypot(dx, dy);
        const double px = p.x - s.lineX0;
        const double py = p.y - s.lineY0;
        if (length == 0.0) return std::hypot(px, py);
        return std::fabs(dx * py - dy * px) / length;
    }
    case 'C':
        return std::fabs(std::hypot(p.x - s.circleOx, p.y - s.circleOy) - s.circleR);
    case 'S':
        return distanceToSine(s, p);
    default:
        return notANumber;
    }
}

RunSummary summarizeRun(const SimSettings& s, const SeriesSet& set)
{
    RunSummary r;
    const int last = std::max(0, std::min(s.nsteps, seriesCapacity - 1));
    r.samples = last + 1;

    const double tolerance = forceReachedShare * std::fabs(s.Fn);
    double sumSq = 0.0;
    int sErrCount = 0;
    for (int i = 0; i <= last; ++i) {
        const Vec2 tip = set.tipPos[i];
        const Vec2 err = set.posErr[i];
        const double force = set.contactForce[i];
        const double forceErr = set.forceErr[i];
        const double sErr = set.sErr[i];
        if (!finite(tip) || !finite(err) || !finite(set.refPos[i]) || !std::isfinite(force) ||
            !std::isfinite(forceErr) || !std::isfinite(sErr))
            ++r.nanSamples;

        // the force figures: only samples in reach of the robot
        const Joints q = set.jointPos[i];
        const bool inReach = std::isfinite(q.phi1) && std::isfinite(q.phi2);
        if (inReach) {
            ++r.reachedSamples;
            r.finalSample = i;
            if (std::isfinite(force) && !r.forceReached && std::fabs(force - s.Fn) <= tolerance) {
                r.forceReached = true;
                r.forceReachedSample = i;
                r.forceReachedTime = set.time[i];
            }
            if (r.forceReached && std::isfinite(forceErr))
                r.maxForceErrAfterReached = std::max(r.maxForceErrAfterReached, std::fabs(forceErr));
        }

        if (std::isfinite(sErr)) {
            sumSq += sErr * sErr;
            ++sErrCount;
            r.sErrMax = std::max(r.sErrMax, std::fabs(sErr));
        }
        const double dist = distanceToContour(s, tip);
        if (std::isfinite(dist) && (r.contourDistMaxSample < 0 || dist > r.contourDistMax)) {
            r.contourDistMax = dist;
            r.contourDistMaxSample = i;
        }
        if (finite(err)) {
            const double e = std::hypot(err.x, err.y);
            if (r.posErrMaxSample < 0 || e > r.posErrMax) {
                r.posErrMax = e;
                r.posErrMaxSample = i;
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
std::string mm(double metres) { return format("%10.3f mm", 1000.0 * metres); }

}  // namespace

void printSummary(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << "robot " << robotName(s.type) << ", method " << selector(s.hybrid) << ", "
        << contourName(s.curve) << ", setting error " << format("%g", 1000.0 * s.seterror)
        << " mm, Fn " << format("%g", s.Fn) << " N, samples 0.." << r.samples - 1 << "\n";
    auto line = [&out](const char* what, const std::string& value) {
        out << format("%-48s", what) << value << "\n";
    };
    // the force of the last sample in reach, and which one when not the last
    const std::string finalNote =
        r.finalSample >= 0 && r.finalSample != r.samples - 1
            ? format("  (sample %d, the last in reach)", r.finalSample)
            : std::string();
    if (r.finalSample < 0) {
        line("final contact force", "      none  (no sample is in reach of the robot)");
        line("final force error", "      none");
    } else {
        line("final contact force", format("%10.3f N", r.finalForce) + finalNote);
        line("final force error", format("%10.3f N", r.finalForceErr) + finalNote);
    }
    if (r.forceReached) {
        line("force first within 5 % of Fn at",
             format("%10.3f s", r.forceReachedTime) + format("  (sample %d)", r.forceReachedSample));
        line("largest |force error| from then on", format("%10.3f N", r.maxForceErrAfterReached));
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
}

void printSummaryCsv(const SimSettings& s, const RunSummary& r, std::ostream& out)
{
    out << "robot,method,contour,seterror_m,Fn_N,samples,nan_samples,final_force_N,"
           "final_force_err_N,force_reached_t_s,force_err_max_after_N,s_err_rms_m,s_err_max_m,"
           "contour_dist_max_m,pos_err_max_m\n";
    auto num = [](double v) { return format("%.17g", v); };
    out << selector(s.type) << ',' << selector(s.hybrid) << ',' << selector(s.curve) << ','
        << num(s.seterror) << ',' << num(s.Fn) << ',' << r.samples << ',' << r.nanSamples << ','
        << num(r.finalForce) << ',' << num(r.finalForceErr) << ','
        << num(r.forceReached ? r.forceReachedTime : notANumber) << ','
        << num(r.maxForceErrAfterReached) << ',' << num(r.sErrRms) << ',' << num(r.sErrMax) << ','
        << num(r.contourDistMax) << ',' << num(r.posErrMax) << '\n';
}

}  // namespace hybridsim

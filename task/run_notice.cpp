#include "task/run_notice.h"

#include <cmath>

#include "sim/contact_model.h"
#include "sim/run.h"
#include "task/messages.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// The texts of one language.  Each takes the arguments its Japanese
// counterpart in task/messages.h takes, in the same order.
struct Texts {
    const char* from;
    const char* loopPosition;
    const char* loopForce;
    const char* stepTooLong;
    const char* stableUpTo;
    const char* loopUnstable;
    const char* gains;
    const char* velocityGainTiny;
    const char* forceTooLarge;
    const char* pathNumbers;
    const char* lineTooLong;
    const char* circleTooLong;
    const char* sineTooLong;
    const char* pathTooFast;
    const char* springsTooStiff;
    const char* springsTooSoft;
    const char* coordinates;
};

const Texts japanese = {
    msg::runFaultFrom,           msg::runFaultLoopPosition,  msg::runFaultLoopForce,
    msg::runFaultStepTooLong,    msg::runFaultStableUpTo,    msg::runFaultLoopUnstable,
    msg::runFaultGains,          msg::runFaultVelocityGainTiny, msg::runFaultForceTooLarge,
    msg::runFaultPathNumbers,    msg::runFaultLineTooLong,   msg::runFaultCircleTooLong,
    msg::runFaultSineTooLong,    msg::runFaultPathTooFast,   msg::runFaultSpringsTooStiff,
    msg::runFaultSpringsTooSoft, msg::runFaultCoordinates,
};

const Texts english = {
    "From sample %d (t = %.2f s) on, the run's numbers are not numbers: ",
    "tangential position",
    "normal force",
    "the %s loop (fn%d = %g Hz) is too fast for the integration step h = %g s, and the integration grows "
    "without bound. ",
    "With this run's steps (at most %g s) it stays stable up to about fn%d = %.3g Hz.",
    "the %s loop (fn%d = %g Hz, alpha%d = %g 1/s) is unstable: its error grows without bound.",
    "with fn%d = %g Hz and alpha%d = %g 1/s the gains Kp%d, Kv%d, Ki%d are beyond the range of double "
    "precision numbers.",
    "with fn%d = %g Hz and alpha%d = %g 1/s the velocity gain Kv%d = %g is so small that dividing by Kv%d "
    "goes beyond the range of double precision numbers.",
    "the contact force Fn = %g N is so large that the force loop's (Kp2 - 1)(Fn - F) goes beyond the range "
    "of double precision numbers.",
    "the path of %g m is so long that the position loop's (Kp1 - 1)(sr - s) goes beyond the range of double "
    "precision numbers.",
    "the line's end points are so far apart that its length is beyond the range of double precision "
    "numbers, and the reference path is undefined.",
    "the radius r = %g m is so large that the circumference 2 pi r is beyond the range of double precision "
    "numbers, and the reference path is undefined.",
    "the amplitude A = %g m is so large against the wavelength L = %g m that the sine wave's length is "
    "beyond the range of double precision numbers, and the reference path is undefined.",
    "the positioning time tf = %g s is so short for a path of %g m that the reference's speed and "
    "acceleration are beyond the range of double precision numbers.",
    "the hand springs KH1 = %g and KH2 = %g N/m are so stiff that the probe's deflection, computed with "
    "KH1 x KH2, goes beyond the range of double precision numbers.",
    "the hand springs KH1 = %g and KH2 = %g N/m are so soft that the deflection F / KH for a contact force "
    "of %g N goes beyond the range of double precision numbers.",
    "a position of the robot or of the contour is beyond the range of double precision numbers.",
};

std::string why(const SimSettings& s, const RunFault& f, const Texts& t)
{
    const int n = f.system;
    const double fn = hertz(n == 1 ? s.wn1 : s.wn2);
    const double alpha = n == 1 ? s.alpha1 : s.alpha2;
    const char* loop = n == 1 ? t.loopPosition : t.loopForce;
    switch (f.cause) {
    case RunFaultCause::none: return "";
    case RunFaultCause::pathTooLong:
        if (s.curve == 'C') return format(t.circleTooLong, s.circleR);
        if (s.curve == 'S') return format(t.sineTooLong, s.sineA, s.sineL);
        return t.lineTooLong;
    case RunFaultCause::pathTooFast: return format(t.pathTooFast, s.tf, s.pathLength);
    case RunFaultCause::gainsOverflow: return format(t.gains, n, fn, n, alpha, n, n, n);
    case RunFaultCause::velocityGainTiny:
        return format(t.velocityGainTiny, n, fn, n, alpha, n, n == 1 ? s.Kv1 : s.Kv2, n);
    case RunFaultCause::loopUnstable: return format(t.loopUnstable, loop, n, fn, n, alpha);
    case RunFaultCause::stepTooLong: {
        std::string text = format(t.stepTooLong, loop, n, fn, f.step);
        if (f.stableUpTo > 0.0) text += format(t.stableUpTo, s.dt / coarseSubSteps, n, f.stableUpTo);
        return text;
    }
    case RunFaultCause::forceTooLarge: return format(t.forceTooLarge, s.Fn);
    case RunFaultCause::pathNumbersTooLarge: return format(t.pathNumbers, s.pathLength);
    case RunFaultCause::springsTooStiff: return format(t.springsTooStiff, s.KH1, s.KH2);
    case RunFaultCause::springsTooSoft: return format(t.springsTooSoft, s.KH1, s.KH2, f.force);
    case RunFaultCause::coordinatesTooLarge: return t.coordinates;
    }
    return "";
}

// the sampled force loop's notice: the unstable loop, then its bound
const char* const sampledUnstable[] = {
    msg::sampledLoopUnstable,
    "The force loop sampled every T = %g s, linearised about the contour's start without the servo lag, is "
    "unstable: its largest pole has |z| = %.4g > 1. "};
const char* const sampledStableBelow[] = {
    msg::sampledLoopStableBelow, "Without the lag, periods below about %.3g s keep that linearised loop stable. "};
const char* const sampledServoLeftOut[] = {
    msg::sampledLoopServoLeftOut, "The servo lag of %g s is left out and moves this bound either way."};

}  // namespace

std::string sampledLoopNotice(const SimSettings& s, NoticeLanguage language)
{
    const SampledForceLoop l = sampledForceLoop(s);
    if (!l.unstable) return "";
    const int k = language == NoticeLanguage::english ? 1 : 0;
    std::string text = format(sampledUnstable[k], l.period, l.largest);
    if (std::isfinite(l.periodLimit)) text += format(sampledStableBelow[k], l.periodLimit);
    if (s.servoTime > 0.0) text += format(sampledServoLeftOut[k], s.servoTime);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string runFaultNotice(const SimSettings& s, const RunFault& fault, NoticeLanguage language)
{
    if (!fault) return "";
    const Texts& t = language == NoticeLanguage::english ? english : japanese;
    std::string text = format(t.from, fault.sample, fault.time) + why(s, fault, t);
    // the English sentence ends its last clause itself; a trailing blank goes
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace hybridsim

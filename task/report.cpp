#include "task/report.h"

#include "task/messages.h"
#include "task/text_format.h"

namespace hybridsim {

namespace {

// The report's texts of one language.  Each English text takes the
// arguments its Japanese counterpart in task/messages.h takes, in the
// same order and with the same conversions.
struct ReportTexts {
    const char* title;
    const char* subtitle;
    const char* robotA;
    const char* armA;
    const char* robotB;
    const char* armsB;
    const char* probeOffset;
    const char* springsKgf;
    const char* method7;
    const char* method8;
    const char* system1;
    const char* gains;
    const char* system2;
    const char* servoStiffness;
    const char* springsN;
    const char* force;
    const char* lineTime;
    const char* lineSpeed;
    const char* circleTime;
    const char* circleSpeed;
    const char* circleShape;
    const char* sineTime;
    const char* sineSpeed;
    const char* sineShape;
    const char* start;
    const char* end;
    const char* setError;
};

const ReportTexts japanese = {
    msg::reportTitle,       msg::reportSubtitle,       msg::reportRobotA,     msg::reportArmA,
    msg::reportRobotB,      msg::reportArmsB,          msg::reportProbeOffset, msg::reportSpringsKgf,
    msg::reportMethod7,     msg::reportMethod8,        msg::reportSystem1,    msg::reportGains,
    msg::reportSystem2,     msg::reportServoStiffness, msg::reportSpringsN,   msg::reportForce,
    msg::reportLineTime,    msg::reportLineSpeed,      msg::reportCircleTime, msg::reportCircleSpeed,
    msg::reportCircleShape, msg::reportSineTime,       msg::reportSineSpeed,  msg::reportSineShape,
    msg::reportStart,       msg::reportEnd,            msg::reportSetError,
};

// Only what holds for the model: the loops' design parameters (the model
// integrates a second-order loop of the gains), the natural frequencies in
// hertz (fn = wn / 2 pi); l2 link 2 up to the probe tip (l2 + wp of the settings); the
// reference's top speed vs, of method 7's trapezoid and of method 8's one
// speed; Kp1 and Kp2 as the gains they are.
const ReportTexts english = {
    "\n\n******Contour tracing by a robot with position-controlled drives******",
    "\nThe values set now",
    "\n(1-1) robot type           cylindrical-coordinate robot",
    "\n(1-2) arm length       l = %6.3f[m]",
    "\n(1-1) robot type     SCARA robot",
    "\n(1-2) arm lengths 1, 2 (2 to the probe tip) (l1,l2)=(%6.3f,%6.3f)[m]",
    "\n      arm tip to probe tip              wp= %6.3f[m]",
    "\n(1-6) hand spring constants       (KH1, KH2)=(%6.3f %6.3f)[kgf/mm]",
    "\n(2-1) hybrid7: command point on the expected (shifted) contour, trapezoidal speed",
    "\n(2-1) hybrid8: command point on the workpiece itself, constant speed",
    "\n(2-2) tangential position loop designed with (fn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])",
    "\n      → gains (Kp,Kv,Ki)=(%7.4f     %7.4f %7.4f)",
    "\n      normal force loop designed with        (fn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])",
    "\n      → proportional gains Kp1, Kp2 (tangential, normal)=(%6.2f %6.2f)",
    "\n(1-6) hand spring constants (KH1,  KH2) =(%6.2f %6.2f)[N/m]",
    "\n(3-2) contact force         Fn=%6.3f[N]",
    "\n(3-3-1) line contour         travel time tf= %6.3f[s]",
    "\n       (along the path) top reference speed vs= %6.3f[m/s]",
    "\n(3-3-2) circle contour       travel time tf= %6.3f[s]",
    "\n       (along the path) top reference speed vs= %6.3f[m/s]",
    "\n                                  centre   =(%6.3f %6.3f)[m] radius=%6.3f[m]",
    "\n(3-3-4) sine contour         travel time tf= %6.3f[s]",
    "\n       (along the path) top reference speed vs= %6.3f[m/s]",
    "\n                    wavelength, amplitude (L,A)=(%6.3f,%6.3f)[m]",
    "\n(3-4) robot start position  (x0,y0) =(%6.3f %6.3f)[m]",
    "\n(3-5) robot end position    (xf,yf) =(%6.3f %6.3f)[m]",
    "\n(3-6) setting error (method 7's contour shifted in +X) e = %6.2f[mm]",
};

}  // namespace

void printSettings(const SimSettings& s, std::ostream& out, NoticeLanguage language)
{
    const ReportTexts& t = language == NoticeLanguage::english ? english : japanese;
    out << t.title << t.subtitle;
    // robot
    if (s.type == 'a') {
        out << t.robotA << format(t.armA, s.l);
    } else if (s.type == 'b') {
        out << t.robotB << format(t.armsB, s.l1, s.l2 + s.wp);
    }
    out << format(t.probeOffset, s.wp);
    // hand springs in kgf/mm
    out << format(t.springsKgf, s.KH1 / gravity / 1000.0, s.KH2 / gravity / 1000.0);
    // control method, characteristics and gains
    if (s.hybrid == '7') out << t.method7;
    if (s.hybrid == '8') out << t.method8;
    out << format(t.system1, s.wn1 / twoPi, s.zeta1, s.alpha1);
    out << format(t.gains, s.Kp1, s.Kv1, s.Ki1);
    out << format(t.system2, s.wn2 / twoPi, s.zeta2, s.alpha2);
    out << format(t.gains, s.Kp2, s.Kv2, s.Ki2);
    out << format(t.servoStiffness, s.Kp1, s.Kp2);
    out << format(t.springsN, s.KH1, s.KH2);
    out << format(t.force, s.Fn);
    // contour
    if (s.curve == 'L') {
        out << format(t.lineTime, s.lineTf) << format(t.lineSpeed, s.vs);
    } else if (s.curve == 'C') {
        out << format(t.circleTime, s.circleTf) << format(t.circleSpeed, s.vs)
            << format(t.circleShape, s.circleOx, s.circleOy, s.circleR);
    } else if (s.curve == 'S') {
        out << format(t.sineTime, s.sineTf) << format(t.sineSpeed, s.vs)
            << format(t.sineShape, s.sineL, s.sineA);
    }
    out << format(t.start, s.startX, s.startY);
    out << format(t.end, s.endX, s.endY);
    out << format(t.setError, 1000.0 * s.seterror);
    out << '\n';
}

namespace {

// "5000", "inf (rigid)", "0 (continuous)": a value with what 0 or inf means
std::string contactValue(double v, double special, const char* meaning)
{
    return v == special ? format("%g%s", v, meaning) : format("%g", v);
}

}  // namespace

void printContactSettings(const SimSettings& s, std::ostream& out, NoticeLanguage language)
{
    if (!s.springContact) return;
    const bool en = language == NoticeLanguage::english;
    const double inf = 1.0 / 0.0;
    out << (en ? "(4-1) contact model    spring: the force loop feeds back the measured force"
               : "(4-1) 接触モデル        spring：力ループは計測した接触力を帰還")
        << (en ? "\n      workpiece stiffness   KW= " : "\n      工作物の剛性      KW= ")
        << contactValue(s.KW, inf, en ? " (rigid)" : "（剛体）") << "[N/m]"
        << (en ? "\n      control period        T = " : "\n      制御周期          T = ")
        << contactValue(s.controlPeriod, 0.0, en ? " (continuous)" : "（連続）") << "[s]"
        << (en ? "\n      servo time constant   Ts= " : "\n      サーボ時定数      Ts= ")
        << contactValue(s.servoTime, 0.0, en ? " (none)" : "（なし）") << "[s]\n";
}

std::string runTooShortNotice(const SimSettings& s)
{
    const double runTime = s.nsteps * s.dt;
    if (!(s.tf > runTime)) return "";
    return format(msg::runShorterThanPath, s.tf, runTime);
}

}  // namespace hybridsim

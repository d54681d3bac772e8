// The one settings record: every setting, every quantity derived from the
// settings and the display settings of the program.
//
// Units inside the program: metres, newtons, seconds, radians, rad/s.
// Natural frequencies are stored as angular frequencies; the console shows
// them in hertz.  A field without a default below is zero at program start.
#pragma once

#include <string>

namespace hybridsim {

// The program's value of pi in the simulation model.
constexpr double pi = 3.14159265358979;
// Factor between hertz and rad/s.
constexpr double twoPi = 2.0 * pi;
// A natural frequency given in rad/s, in hertz.
constexpr double hertz(double wn) { return wn / twoPi; }
// Used to show spring constants in kgf/mm.
constexpr double gravity = 9.8;

// A point or vector of the work plane [m], or a hand-frame pair.
struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// Joint coordinates.  Robot a: phi1 arm direction [rad], phi2 radial
// distance of the probe tip [m].  Robot b: phi1 direction of link 1 [rad],
// phi2 angle of link 2 relative to link 1 [rad].  Angles are not folded.
struct Joints {
    double phi1 = 0.0;
    double phi2 = 0.0;
};

// Trapezoidal velocity profile along the path, kept once per robot type.
struct ProfileParams {
    double ta = 0.0;   // acceleration time [s]
    double td = 0.0;   // deceleration time [s]
    double acc = 0.0;  // acceleration [m/s^2]
    double dec = 0.0;  // deceleration [m/s^2]
    double vs = 0.0;   // moving speed [m/s]
};

struct SimSettings {
    // --- selectors (single characters, never validated) ---
    char type = 0;    // robot: 'a' cylindrical-coordinate, 'b' SCARA
    char hybrid = 0;  // hybrid control method: '7' task space, '8' joint space
    char curve = 0;   // workpiece contour: 'L' line, 'C' circle, 'S' sine wave
    char key = 0;     // the last command key; selects where the dialogue starts

    // --- robot and hand ---
    double l = 0.0;    // arm length of robot a [m] (drawing and report only)
    double l1 = 0.0;   // first link length of robot b [m]
    double l2 = 0.0;   // second link length of robot b up to the arm tip, without wp [m]
    double wp = 0.0;   // arm tip to probe tip [m]
    double KH1 = 0.0;  // hand spring constant along hand axis 1 [N/m]
    double KH2 = 0.0;  // hand spring constant along hand axis 2 [N/m]

    // --- control: system 1 tangential position, system 2 normal force ---
    double wn1 = 0.0, wn2 = 0.0;        // active natural angular frequencies [rad/s]
    double zeta1 = 1.0, zeta2 = 1.0;    // damping ratios [-] (task settings, whatever the method)
    double alpha1 = 0.0, alpha2 = 0.0;  // inverse additional time constants [1/s]
    double Kp1 = 0.0, Kv1 = 0.0, Ki1 = 0.0;  // gains of system 1
    double Kp2 = 0.0, Kv2 = 0.0, Ki2 = 0.0;  // gains of system 2
    double wn1Hybrid7 = 0.0, wn2Hybrid7 = 0.0;        // method 7 store [rad/s]
    double alpha1Hybrid7 = 0.0, alpha2Hybrid7 = 0.0;  // method 7 store [1/s]
    double wn1Hybrid8 = 0.0, wn2Hybrid8 = 0.0;        // method 8 store [rad/s]
    double alpha1Hybrid8 = 0.0, alpha2Hybrid8 = 0.0;  // method 8 store [1/s]

    // --- task ---
    double Fn = 0.0;        // commanded contact (normal) force [N]
    double seterror = 0.0;  // workpiece setting error in +x [m]

    // --- nominal contours ---
    double lineX0 = 0.0, lineY0 = 0.0;  // start of the line [m]
    double lineXf = 0.0, lineYf = 0.0;  // end of the line [m]
    double lineTf = 0.0;                // positioning time of the line [s]
    double circleOx = 0.0, circleOy = 0.0;  // centre of the circle [m]
    double circleR = 0.0;                   // radius [m]
    double circleTf = 0.0;                  // positioning time of the circle [s]
    double sineX0 = 0.0, sineY0 = 0.0;  // start of y = A sin(2 pi (x - x0) / L) + y0 [m]
    double sineL = 0.0;                 // wavelength [m]
    double sineA = 0.0;                 // amplitude [m]
    double sineTf = 0.0;                // positioning time of the sine wave [s]

    // --- the contact lab (sim/contact_model.h): off, the model above ---
    bool springContact = false;  // the force loop measures the hand's spring (contact=spring)
    double KW = 1.0 / 0.0;       // the workpiece's stiffness along its normal [N/m]; inf: rigid
    double controlPeriod = 0.0;  // the force loop's sampling period [s]; 0: continuous
    double servoTime = 0.0;      // the joint servos' time constant [s]; 0: the posture is the command

    // --- simulation ---
    double dt = 0.0;  // sampling period [s]
    int nsteps = 0;   // number of sampling periods simulated

    // --- derived quantities (never entered) ---
    double tf = 0.0;                    // positioning time of the active contour [s]
    double startX = 0.0, startY = 0.0;  // start point of the active contour [m]
    double endX = 0.0, endY = 0.0;      // end point of the active contour [m]
    double circleX0 = 0.0, circleY0 = 0.0;  // circle start point [m]
    double circleXf = 0.0, circleYf = 0.0;  // circle end point (= start) [m]
    double sineXf = 0.0, sineYf = 0.0;      // sine end point [m]
    double lineAngle = 0.0;                 // direction of the nominal line [rad]
    double shiftedLineX0 = 0.0, shiftedLineY0 = 0.0;  // line shifted by seterror [m]
    double shiftedLineXf = 0.0, shiftedLineYf = 0.0;
    double shiftedLineAngle = 0.0;                      // [rad]
    double shiftedCircleOx = 0.0, shiftedCircleOy = 0.0;  // shifted circle centre [m]
    double shiftedSineX0 = 0.0, shiftedSineY0 = 0.0;      // shifted sine start [m]
    Joints startJointA;   // joints of the start point, robot a
    Joints startJointB;   // joints of the start point, robot b
    Joints initialJoint;  // initial posture of the run (selected robot)
    double vs = 0.0;      // moving speed of the latest trajectory set-up [m/s]
    std::string seterrorLabel = "00[mm]\n";  // setting error text of the legend
    double drawA1 = 0.0, drawA2 = 0.0, drawA3 = 0.0;  // robot a arm width, base block [m]
    double drawB1 = 0.0, drawB2 = 0.0;                // robot b link widths [m]
    double drawB3 = 0.0, drawB4 = 0.0;                // robot b joint circle radii [m]

    // --- trajectory set-up ---
    double pathLength = 0.0;  // length of the path along the active contour [m]
    ProfileParams profileA;   // velocity profile of robot a
    ProfileParams profileB;   // velocity profile of robot b
    double accelTime = 0.0;   // acceleration time of the latest set-up: ta (method 7), 0 (method 8) [s]

    // --- display ---
    double viewScale = 0.0;       // zoom of the robot view
    int frame = 0;                // current animation frame, 0..nsteps
    double viewOffsetX = 0.0;     // offset added to work-plane x before scaling [m]
    double viewOffsetY = 0.0;     // offset added to work-plane y before scaling [m]
    double errorGain = 0.0;       // magnification of the tangential error curve
    double errorGainDefault = 0.0;  // value the window keys restore errorGain to
    double pointErrorGain = 0.0;  // magnification of the error point
    double posGraphX = 0.0, posGraphY = 0.0;      // origin of the position graph [window units]
    double graphWidth = 0.0;                      // length of both time axes [window units]
    double forceGraphX = 0.0, forceGraphY = 0.0;  // origin of the force graph [window units]
    double forceGraphScale = 0.0;                 // height that represents Fn [window units]
};

// The velocity profile read and written for the current robot type
// ('b' uses robot b's, anything else robot a's).
ProfileParams& currentProfile(SimSettings& s);
const ProfileParams& currentProfile(const SimSettings& s);

// Entry defaults of the start-up sequence: view and graph layout, error
// gains, sampling period, number of periods and probe offset.  Both
// programs call it before setDefaults.
void setEntryDefaults(SimSettings& s);

// The error point's magnification in every picture of a run.
constexpr double pointErrorGainShown = 10.0;

// The view as a settings pass leaves it, before its run is shown: no zoom,
// the first frame, the error point magnified pointErrorGainShown times.
void resetView(SimSettings& s);

// Every setting to its default, for both robots, both methods and all three
// contours; leaves robot b, method 8 and the sine contour selected.
void setDefaults(SimSettings& s);

// Drawing dimensions of the selected robot.
void updateDrawingDimensions(SimSettings& s);

// The setting error as legend text: two digits and "[mm]\n" for
// 0 <= seterror < 0.1 m, otherwise the truncated signed millimetres.
void updateSeterrorLabel(SimSettings& s);

}  // namespace hybridsim

#include "drawing/frame.h"

#include "drawing/graphs.h"
#include "drawing/overlay.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "drawing/robot_drawing.h"
#include "drawing/text_legend.h"

namespace hybridsim {
namespace {

// Lines of the grid on each side of its axes, and their spacing [m].
constexpr int gridLines = 20;
constexpr double gridSpacing = 0.1;

// The robot, the pins' trails, the robot's points and trail, the pins' tip
// rings and the graph panel for robot 'a' or 'b'.
void drawScene(Canvas& cv, const SimSettings& s, const SeriesSet& set, int i, bool robotA,
               const PinSet& pins, bool overlay)
{
    // green point: the command point minus the magnified position error,
    // on the side of the command point away from the tip
    const Vec2 ref = set.refPos[i];
    const Vec2 err = set.posErr[i];
    const Vec2 g{ref.x - s.pointErrorGain * err.x, ref.y - s.pointErrorGain * err.y};

    if (robotA)
        drawRobotA(cv, s, set.jointPos[i], set.tipPos[i]);
    else
        drawRobotB(cv, s, set.jointPos[i], set.tipPos[i]);
    drawPinTrails(cv, s, pins);
    drawPoint(cv, s, g, palette::green);
    drawPoint(cv, s, ref, palette::white);
    // the trail of the probe tip, drawn last over the two points
    for (int k = 0; k <= i; ++k) drawPoint(cv, s, set.tipPos[k], palette::red);
    drawPinRings(cv, s, pins);
    if (overlay) drawOverlay(cv, s, set, i, pins);

    fillRect(cv, Vec2{s.posGraphX - graphPanelMargin, -1.0}, 1.0, 2.0, 0.0, palette::white);
}

}  // namespace

void beginFrame(Canvas& cv)
{
    cv.clear();
    cv.loadIdentity();
    cv.setLighting(true);
}

void endFrame(Canvas& cv)
{
    cv.present();
}

void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run)
{
    static const PinSet noPins;
    drawFrame(cv, s, run, noPins);
}

void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins)
{
    drawFrame(cv, s, run, pins, false);
}

void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay)
{
    beginFrame(cv);
    drawTitle(cv);
    drawLegend(cv, s);

    const double vs = s.viewScale;
    drawGrid(cv, Vec2{s.viewOffsetX * vs, s.viewOffsetY * vs}, 0.0, gridLines, gridSpacing * vs,
             gridSpacing * vs);

    drawWorkpiece(cv, s);

    const SeriesSet& set = currentSeries(run, s.type);
    const int i = lastSample(s, s.frame);
    if (s.type == 'a') drawScene(cv, s, set, i, true, pins, overlay);
    if (s.type == 'b') drawScene(cv, s, set, i, false, pins, overlay);
    // the pins' legend over the robot view, which a zoomed workpiece or
    // robot would otherwise cover (nothing without pins)
    drawPinLegend(cv, s, pins);

    drawPositionGraph(cv, s, set, s.frame, &pins);
    drawForceGraph(cv, s, set, s.frame, &pins);
    endFrame(cv);
}

}  // namespace hybridsim

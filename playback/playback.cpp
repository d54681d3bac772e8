#include "playback/playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "drawing/graphs.h"
#include "sim/run.h"

namespace hybridsim {
namespace {

// The margin around each time graph's axes that still counts as the graph
// [window units], as the graph panel's.
constexpr double graphMargin = 0.05;

// A frame is due when the clock is within this share of a frame of it: the
// times of whole frames are not exact in binary (0.08 / 0.04 < 2).
constexpr double frameTolerance = 1e-9;

// Window units of pixel (px, py) of a width x height window, y from the top:
// its corner, as the view mapping puts window point x in column
// floor((x + 1) width / 2), so that sample i of the graphs lies in column px.
double windowX(int px, int width) { return 2.0 * px / width - 1.0; }
double windowY(int py, int height) { return 1.0 - 2.0 * py / height; }

}  // namespace

double monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Playback::Playback(PlaybackClock clock) : clock_(std::move(clock)) {}

double Playback::speed() const
{
    return std::ldexp(1.0, speedStep_);
}

std::string Playback::speedText() const
{
    if (speedStep_ >= 0) return std::to_string(1 << speedStep_);
    return "1/" + std::to_string(1 << -speedStep_);
}

double Playback::position(const SimSettings& s, double now) const
{
    return anchorFrame_ + (now - anchorTime_) * speed() / s.dt;
}

void Playback::anchor(double frame, double now)
{
    anchorFrame_ = frame;
    anchorTime_ = now;
}

void Playback::toggle(SimSettings& s)
{
    if (playing_) {
        playing_ = false;
        return;
    }
    // at the last frame the run plays again from its start
    if (s.frame >= lastSample(s)) s.frame = 0;
    playing_ = lastSample(s) > 0 && s.dt > 0.0;
    anchor(s.frame, clock_());
}

bool Playback::changeSpeed(const SimSettings& s, int step)
{
    const int next = std::max(slowestSpeedStep, std::min(fastestSpeedStep, speedStep_ + step));
    if (next == speedStep_) return false;
    // the frames go on from the one reached, at the new speed
    const double now = clock_();
    if (playing_) anchor(position(s, now), now);
    speedStep_ = next;
    return true;
}

bool Playback::tick(SimSettings& s)
{
    if (!playing_) return false;
    const int last = lastSample(s);
    const double reached = position(s, clock_()) + frameTolerance;
    const int frame = reached >= last ? last : static_cast<int>(std::floor(reached));
    if (frame >= last) playing_ = false;
    if (frame == s.frame) return false;
    s.frame = std::max(0, frame);
    return true;
}

int Playback::msToNextFrame(const SimSettings& s) const
{
    if (!playing_) return -1;
    const double now = clock_();
    const double reached = position(s, now);
    const double next = std::floor(reached + frameTolerance) + 1.0;
    const double seconds = (next - reached) * s.dt / speed();
    // whole milliseconds, never early by more than the rounding of the times
    return std::max(1, static_cast<int>(std::ceil(seconds * 1000.0 - 1e-6)));
}

bool onStepKey(Playback& p, SimSettings& s, StepKey key)
{
    p.pause();
    const int last = lastSample(s);
    switch (key) {
    case StepKey::left: s.frame = std::max(0, std::min(s.frame, last) - 1); break;
    case StepKey::right: s.frame = std::min(last, std::max(s.frame, 0) + 1); break;
    case StepKey::home: s.frame = 0; break;
    case StepKey::end: s.frame = last; break;
    }
    return true;
}

bool inTimeGraph(const SimSettings& s, double x, double y)
{
    const double x0 = s.posGraphX - graphMargin;
    const double x1 = s.posGraphX + s.graphWidth + graphMargin;
    if (!(x >= x0 && x <= x1)) return false;
    // each graph from its time axis to the top of its value axis
    const double posTop = s.posGraphY + posGraphHeight + graphMargin;
    const double forceTop = s.forceGraphY + s.forceGraphScale + graphMargin;
    return (y >= s.posGraphY - graphMargin && y <= posTop + graphMargin) ||
           (y >= s.forceGraphY - graphMargin && y <= forceTop + graphMargin);
}

int sampleAtGraphX(const SimSettings& s, double x)
{
    const int last = lastSample(s);
    if (!(s.graphWidth > 0.0) || s.nsteps <= 0) return 0;
    // sample i lies at posGraphX + i graphWidth / nsteps
    const double i = std::round((x - s.posGraphX) * s.nsteps / s.graphWidth);
    if (!(i > 0.0)) return 0;
    return i >= last ? last : static_cast<int>(i);
}

bool Scrub::press(Playback& p, SimSettings& s, int px, int py, int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    return pressAt(p, s, windowX(px, width), windowY(py, height));
}

bool Scrub::drag(Playback& p, SimSettings& s, int px, int py, int width, int height)
{
    (void)py;
    if (!active_ || width <= 0 || height <= 0) return false;
    return dragAt(p, s, windowX(px, width));
}

bool Scrub::pressAt(Playback& p, SimSettings& s, double x, double y)
{
    active_ = inTimeGraph(s, x, y);
    return active_ && jump(p, s, x);
}

bool Scrub::dragAt(Playback& p, SimSettings& s, double x)
{
    return active_ && jump(p, s, x);
}

bool Scrub::jump(Playback& p, SimSettings& s, double x)
{
    p.pause();
    s.frame = sampleAtGraphX(s, x);
    return true;
}

}  // namespace hybridsim

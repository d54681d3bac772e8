// Playback of the recorded run in the window, beyond the one-sample steps
// of 's' and '0': play and pause in real time at a chosen speed, step back
// and forth, jump to the first and the last sample, and scrub on the time
// graphs.  All of it is plain logic over the settings' `frame` and a clock,
// so it is tested without a window; the window feeds it GLUT's keys, mouse
// and timer.
//
// Real time: one frame per sampling period dt at speed 1 (0.04 s, 25
// frames a second).  The frame shown is computed from the clock, not
// counted from timer calls, so a slow redraw drops no time: a frame that is
// late is skipped to, never queued.
#pragma once

#include <functional>
#include <string>

#include "sim/settings.h"

namespace hybridsim {

// Seconds of a monotonic clock.
using PlaybackClock = std::function<double()>;
double monotonicSeconds();

// Playback speeds are 2^k times real time, k from -3 to 3 (1/8 to 8).
constexpr int slowestSpeedStep = -3;
constexpr int fastestSpeedStep = 3;

class Playback {
public:
    explicit Playback(PlaybackClock clock = monotonicSeconds);

    bool playing() const { return playing_; }
    // The speed as a factor of real time, and as the console shows it ("1/8" .. "8").
    double speed() const;
    std::string speedText() const;

    // Space: plays from the current frame, or from frame 0 when the current
    // one is the last; pauses when playing.
    void toggle(SimSettings& s);
    void pause() { playing_ = false; }
    // '+' and '-': doubles or halves the speed, within 1/8 .. 8; playing
    // goes on from the frame reached.  False at the limit.
    bool faster(const SimSettings& s) { return changeSpeed(s, 1); }
    bool slower(const SimSettings& s) { return changeSpeed(s, -1); }

    // The timer: moves s.frame to the frame the clock has reached; at the
    // last frame playback stops.  True when the frame changed.
    bool tick(SimSettings& s);
    // Milliseconds until the next frame is due (at least 1), or -1 when
    // paused: when to call tick again.
    int msToNextFrame(const SimSettings& s) const;

private:
    bool changeSpeed(const SimSettings& s, int step);
    // The frame, with its fraction, that the clock has reached now.
    double position(const SimSettings& s, double now) const;
    // Playback goes on from `frame` (with its fraction) at `now`.
    void anchor(double frame, double now);

    PlaybackClock clock_;
    bool playing_ = false;
    int speedStep_ = 0;
    double anchorFrame_ = 0.0;  // the frame at anchorTime_
    double anchorTime_ = 0.0;   // [s] of the clock
};

// The keys of the arrows, Home and End, apart from GLUT's numbers.
enum class StepKey { left, right, home, end };

// Left one sample back (not below 0), right one on (not past the last),
// Home the first sample, End the last; each pauses playback.  True when
// the picture must be drawn again.
bool onStepKey(Playback& p, SimSettings& s, StepKey key);

// A point in window units: inside one of the two time graphs (their axes
// with the panel margin around them)?
bool inTimeGraph(const SimSettings& s, double x, double y);
// The sample under window x on the time axes: the nearest one, held within
// 0 .. last frame when x lies left or right of the axes.
int sampleAtGraphX(const SimSettings& s, double x);

// Scrubbing with the left mouse button: a press inside a time graph starts
// it, and the press and every drag until the release jump to the sample
// under the pointer (pausing playback).  Pixels are those of a window of
// `width` x `height`, y from the top.
class Scrub {
public:
    // True when the picture must be drawn again.
    bool press(Playback& p, SimSettings& s, int px, int py, int width, int height);
    bool drag(Playback& p, SimSettings& s, int px, int py, int width, int height);
    // The same at a point (x, y) in window units, for a pointer finer than
    // a pixel (the browser's, in CSS pixels of a canvas of any size).
    bool pressAt(Playback& p, SimSettings& s, double x, double y);
    bool dragAt(Playback& p, SimSettings& s, double x);
    void release() { active_ = false; }
    bool active() const { return active_; }

private:
    bool jump(Playback& p, SimSettings& s, double x);
    bool active_ = false;
};

}  // namespace hybridsim

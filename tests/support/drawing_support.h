// Helpers of the drawing tests: the default run, computed once per test
// process, and small measures of recorded shapes.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "../test_support.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "task/task_setting.h"
#include "tests/support/recording_canvas.h"

namespace hybridsim::testing {

// A task and its recorded run.
struct Task {
    SimSettings s;
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    const SeriesSet& set() const { return currentSeries(*run, s.type); }
};

// Settings derived for robot, method and contour, the run computed and the
// view reset, as a dialogue pass leaves them.
inline Task computeTask(char type, char hybrid, char curve)
{
    Task t;
    t.s = settingsFor(type, hybrid, curve);
    calcontrol(t.s, *t.run);
    t.s.frame = 0;
    t.s.viewScale = 1.0;
    t.s.pointErrorGain = 10.0;
    return t;
}

// The default task (robot b, method 8, sine wave), computed once.
inline const Task& defaultTask()
{
    static const Task task = computeTask('b', '8', 'S');
    return task;
}

// The default task with some settings changed by name, derived and run,
// shown from frame 0 unzoomed.
inline Task taskWith(const std::vector<std::pair<const char*, const char*>>& changes)
{
    Task t;
    t.s = defaultTask().s;
    for (const auto& [name, value] : changes) EXPECT_TRUE(setTaskSetting(t.s, name, value).ok) << name;
    deriveSettings(t.s);
    calcontrol(t.s, *t.run);
    t.s.frame = 0;
    t.s.viewScale = 1.0;
    return t;
}

inline double distance(Vec2 p, Vec2 q) { return std::hypot(p.x - q.x, p.y - q.y); }

// Mean of a shape's vertices.
inline Vec2 centroid(const RecordedShape& shape)
{
    Vec2 c;
    for (const Vec2& v : shape.vertices) {
        c.x += v.x;
        c.y += v.y;
    }
    const double n = shape.vertices.empty() ? 1.0 : double(shape.vertices.size());
    return Vec2{c.x / n, c.y / n};
}

// Largest distance of a shape's vertices from point c.
inline double radiusAbout(const RecordedShape& shape, Vec2 c)
{
    double r = 0.0;
    for (const Vec2& v : shape.vertices) r = std::max(r, distance(v, c));
    return r;
}

}  // namespace hybridsim::testing

// Time to draw one picture of the window: the last frame of the default run
// (201 trail points, both graphs complete) in the 800 x 800 window, drawn by
// OpenGL, without pins and with four.  Needs an X display; without one, run it under
//   xvfb-run -a -s "-screen 0 1024x1024x24" hybridsim-draw-bench
// Each benchmark reports the median of its single redraws as `median_ms`
// (clock) and `median_cpu_ms` (processor time of every thread).
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "drawing/frame.h"
#include "sim/derivation.h"
#include "sim/run.h"
#include "task/task_setting.h"
#include "tests/support/recording_canvas.h"
#include "view/gl_canvas.h"
#include "view/window.h"

namespace hybridsim {
namespace {

// The default task, computed once, shown at its last frame.
struct LastFrame {
    SimSettings s;
    std::unique_ptr<RunSeries> run = std::make_unique<RunSeries>();
    LastFrame()
    {
        setEntryDefaults(s);
        setDefaults(s);
        deriveSettings(s);
        calcontrol(s, *run);
        s.viewScale = 1.0;
        s.pointErrorGain = 10.0;
        s.frame = s.nsteps;
    }
};

const LastFrame& lastFrame()
{
    static const LastFrame f;
    return f;
}

// Four runs pinned under it, each of another task: Fn 5 N, method 7, tf
// 6 s, and robot a on the circle (trails, rings, curves and legend lines).
const PinSet& fourPins()
{
    static const PinSet pins = [] {
        PinSet p;
        const char* const changes[][2][2] = {{{"Fn", "5"}, {"Fn", "5"}},
                                             {{"method", "7"}, {"method", "7"}},
                                             {{"tf", "6"}, {"tf", "6"}},
                                             {{"robot", "a"}, {"contour", "C"}}};
        for (const auto& change : changes) {
            LastFrame task;
            for (const auto& [name, value] : change) setTaskSetting(task.s, name, value);
            deriveSettings(task.s);
            calcontrol(task.s, *task.run);
            p.pin(task.s, *task.run);
        }
        return p;
    }();
    return pins;
}

// The processor time of the whole process, every thread (the renderer's
// own among them) [ms].
double processMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

double median(std::vector<double>& v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Times every redraw and reports their median in milliseconds, of the
// clock (`median_ms`) and of the process's processor time (`median_cpu_ms`:
// less disturbed by other programs on a loaded machine).
template <typename Redraw>
void timeRedraws(benchmark::State& state, Redraw redraw)
{
    std::vector<double> ms;
    std::vector<double> cpu;
    for (auto _ : state) {
        const double cpuStart = processMs();
        const auto start = std::chrono::steady_clock::now();
        redraw();
        const auto stop = std::chrono::steady_clock::now();
        cpu.push_back(processMs() - cpuStart);
        ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    if (ms.empty()) return;
    state.counters["median_ms"] = median(ms);
    state.counters["median_cpu_ms"] = median(cpu);
}

// Drawing and rendering of the picture, until OpenGL has finished it, in
// depth-ordered batches as the window sends it.
void BM_DrawLastFrame(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    GlCanvas canvas;
    if (canvas.order() != GlCanvas::Order::Depth) state.SkipWithError("no depth buffer");
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run);
        glFinish();
    });
}
BENCHMARK(BM_DrawLastFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The same picture with four pins, as the window draws it after 'p' four times.
void BM_DrawLastFrameFourPins(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    const PinSet& pins = fourPins();
    GlCanvas canvas;
    if (canvas.order() != GlCanvas::Order::Depth) state.SkipWithError("no depth buffer");
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run, pins);
        glFinish();
    });
}
BENCHMARK(BM_DrawLastFrameFourPins)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// ... and shown by a buffer swap.
void BM_DrawAndShowLastFrameFourPins(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    const PinSet& pins = fourPins();
    GlCanvas canvas([] { glutSwapBuffers(); });
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run, pins);
        glFinish();
    });
}
BENCHMARK(BM_DrawAndShowLastFrameFourPins)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// ... with the teaching overlay over the run and its four pins ('v').
void BM_DrawAndShowLastFrameFourPinsOverlay(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    const PinSet& pins = fourPins();
    GlCanvas canvas([] { glutSwapBuffers(); });
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run, pins, true);
        glFinish();
    });
}
BENCHMARK(BM_DrawAndShowLastFrameFourPinsOverlay)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The same picture sent shape by shape in drawing order, for comparison.
void BM_DrawLastFramePainter(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    GlCanvas canvas({}, GlCanvas::Order::Painter);
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run);
        glFinish();
    });
}
BENCHMARK(BM_DrawLastFramePainter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// As the window does it: the picture shown by a buffer swap.
void BM_DrawAndShowLastFrame(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    GlCanvas canvas([] { glutSwapBuffers(); });
    timeRedraws(state, [&] {
        drawFrame(canvas, f.s, *f.run);
        glFinish();
    });
}
BENCHMARK(BM_DrawAndShowLastFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The geometry alone (no OpenGL): what the drawing code itself costs.
void BM_LastFrameGeometry(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    RecordingCanvas canvas;
    timeRedraws(state, [&] {
        canvas.reset();
        drawFrame(canvas, f.s, *f.run);
        benchmark::DoNotOptimize(canvas.shapes.data());
    });
}
BENCHMARK(BM_LastFrameGeometry)->Unit(benchmark::kMillisecond)->UseRealTime();

// ... with four pins.
void BM_LastFrameGeometryFourPins(benchmark::State& state)
{
    const LastFrame& f = lastFrame();
    const PinSet& pins = fourPins();
    RecordingCanvas canvas;
    timeRedraws(state, [&] {
        canvas.reset();
        drawFrame(canvas, f.s, *f.run, pins);
        benchmark::DoNotOptimize(canvas.shapes.data());
    });
}
BENCHMARK(BM_LastFrameGeometryFourPins)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hybridsim

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string problem = hybridsim::checkDisplay(hybridsim::displayName(argc, argv));
    if (!problem.empty()) {
        std::fprintf(stderr,
                     "hybridsim-draw-bench: needs an X display with OpenGL; run it as\n"
                     "  xvfb-run -a -s \"-screen 0 1024x1024x24\" %s\n",
                     argv[0]);
        return 1;
    }
    hybridsim::prepareWindow(&argc, argv);
    std::printf("OpenGL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

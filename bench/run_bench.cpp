// Speed of one whole run (calcontrol) for every robot, method and contour.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "sim/derivation.h"
#include "sim/run.h"
#include "sim/trajectory.h"

namespace hybridsim {
namespace {

SimSettings taskFor(char type, char hybrid, char curve)
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    s.type = type;
    s.hybrid = hybrid;
    s.curve = curve;
    deriveSettings(s);
    return s;
}

void BM_Calcontrol(benchmark::State& state, char type, char hybrid, char curve)
{
    const SimSettings s = taskFor(type, hybrid, curve);
    auto run = std::make_unique<RunSeries>();
    for (auto _ : state) {
        calcontrol(s, *run);
        benchmark::DoNotOptimize(run->A.tipPos[s.nsteps].x);
        benchmark::DoNotOptimize(run->B.tipPos[s.nsteps].x);
    }
}

// Calcontrol/robot_b/method_8/sine and so on, for all twelve tasks.
const int registered = [] {
    for (char type : {'a', 'b'})
        for (char hybrid : {'7', '8'})
            for (char curve : {'L', 'C', 'S'}) {
                const char* contour = curve == 'L' ? "line" : curve == 'C' ? "circle" : "sine";
                const std::string name = std::string("Calcontrol/robot_") + type + "/method_" + hybrid + "/" + contour;
                benchmark::RegisterBenchmark(name.c_str(), BM_Calcontrol, type, hybrid, curve)
                    ->Unit(benchmark::kMillisecond);
            }
    return 0;
}();

// The default sine task with the force loop measuring the spring
// (contact=spring), continuous and with a 1 ms control period.
void BM_CalcontrolSpring(benchmark::State& state, double period)
{
    SimSettings s = taskFor('b', '8', 'S');
    s.springContact = true;
    s.controlPeriod = period;
    auto run = std::make_unique<RunSeries>();
    for (auto _ : state) {
        calcontrol(s, *run);
        benchmark::DoNotOptimize(run->B.tipPos[s.nsteps].x);
    }
}
BENCHMARK_CAPTURE(BM_CalcontrolSpring, continuous, 0.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CalcontrolSpring, period_1ms, 0.001)->Unit(benchmark::kMillisecond);

// The two sine abscissas of one sample, one after the other and side by side.
void BM_SineAbscissaTwice(benchmark::State& state)
{
    const SimSettings s = taskFor('b', '8', 'S');
    double a = 0.3;
    for (auto _ : state) {
        const double x1 = sineAbscissa(s, sineSteps, a);
        const double x2 = sineAbscissa(s, sineSteps, a + 0.01);
        benchmark::DoNotOptimize(x1);
        benchmark::DoNotOptimize(x2);
    }
}
BENCHMARK(BM_SineAbscissaTwice)->Unit(benchmark::kMicrosecond);

void BM_SineAbscissaPair(benchmark::State& state)
{
    const SimSettings s = taskFor('b', '8', 'S');
    double a = 0.3;
    for (auto _ : state) {
        double x1, x2;
        sineAbscissaPair(s, sineSteps, a, a + 0.01, x1, x2);
        benchmark::DoNotOptimize(x1);
        benchmark::DoNotOptimize(x2);
    }
}
BENCHMARK(BM_SineAbscissaPair)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hybridsim

BENCHMARK_MAIN();
